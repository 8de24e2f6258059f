// The output pane as both windows work it: caret keys, selection, double clicks, points,
// scrolling and what is painted, as tables of cases.
#include <gtest/gtest.h>

#include <initializer_list>

#include "window/pane_model.h"

namespace webapitest {
namespace {

using Motion = PaneModel::Motion;

// A model of `text` in a pane `columns` wide and `rows` high.
PaneModel Model(std::u16string_view text, std::size_t columns, std::size_t rows = 5) {
  PaneModel m;
  m.SetText(std::u16string(text));
  m.Resize(columns, rows);
  return m;
}

std::u16string Lines(int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text += u"line\r\n";
  return text;
}

struct KeyCase {
  const char* name;
  std::u16string_view text;
  std::size_t columns;
  std::size_t from;
  std::initializer_list<Motion> keys;
  std::size_t caret;
};

// Rows of "abcdefgh\r\nxy\r\nlonger" 4 wide: abcd efgh xy long er.
constexpr std::u16string_view kWrapped = u"abcdefgh\r\nxy\r\nlonger";

TEST(PaneModel, CaretKeysMoveOverBreaksRowsAndStopAtTheEnds) {
  const KeyCase cases[] = {
      {"right over CR LF", u"ab\r\ncd", 10, 2, {Motion::Right}, 4},
      {"left over CR LF", u"ab\r\ncd", 10, 4, {Motion::Left}, 2},
      {"left at the start", u"ab\r\ncd", 10, 0, {Motion::Left}, 0},
      {"right at the end", u"ab\r\ncd", 10, 6, {Motion::Right}, 6},
      {"right in an empty text", u"", 10, 0, {Motion::Right, Motion::Down}, 0},
      {"down onto a wrapped row", kWrapped, 4, 3, {Motion::Down}, 7},
      {"down a short row and back to the column", kWrapped, 4, 3, {Motion::Down, Motion::Down, Motion::Down}, 17},
      {"up from the first row", kWrapped, 4, 1, {Motion::Up}, 1},
      {"down from the last row", kWrapped, 4, 19, {Motion::Down}, 19},
      {"home on a wrapped row", kWrapped, 4, 5, {Motion::RowStart}, 4},
      {"end of a line's last row", kWrapped, 4, 5, {Motion::RowEnd}, 8},
      {"page down past the end keeps the column", kWrapped, 4, 1, {Motion::PageDown, Motion::PageDown}, 19},
      {"ctrl+end, ctrl+home", kWrapped, 4, 5, {Motion::TextEnd}, 20},
      {"ctrl+home", kWrapped, 4, 5, {Motion::TextStart}, 0},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    PaneModel m = Model(c.text, c.columns, 3);
    m.Select(c.from, c.from);
    for (const Motion key : c.keys) m.Press(key, false);
    EXPECT_EQ(m.caret(), c.caret);
    EXPECT_EQ(m.anchor(), c.caret);
  }
}

TEST(PaneModel, PageKeysMoveByThePanesRows) {
  PaneModel m = Model(Lines(20), 10, 5);
  m.Select(2, 2);
  m.Press(Motion::PageDown, false);
  EXPECT_EQ(m.caret(), 5 * 6 + 2u);
  m.Press(Motion::PageUp, false);
  EXPECT_EQ(m.caret(), 2u);
}

struct SelectionCase {
  const char* name;
  std::size_t from;
  std::initializer_list<Motion> shiftKeys;
  std::size_t anchor, caret;
  std::u16string_view selected;
};

TEST(PaneModel, ShiftSelectsEitherWayAndCopiesTheTextAsItIs) {
  const SelectionCase cases[] = {
      {"forward over a break", 1, {Motion::Right, Motion::Right}, 1, 4, u"b\r\n"},
      {"backward over a break", 5, {Motion::Left, Motion::Left}, 5, 2, u"\r\nc"},
      {"down a row", 1, {Motion::Down}, 1, 5, u"b\r\nc"},
      {"to the end", 0, {Motion::TextEnd}, 0, 6, u"ab\r\ncd"},
      {"there and back", 1, {Motion::Right, Motion::Left}, 1, 1, u""},
  };
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(c.name);
    PaneModel m = Model(u"ab\r\ncd", 10);
    m.Select(c.from, c.from);
    for (const Motion key : c.shiftKeys) m.Press(key, true);
    EXPECT_EQ(m.anchor(), c.anchor);
    EXPECT_EQ(m.caret(), c.caret);
    EXPECT_EQ(m.SelectedText(), c.selected);
    EXPECT_EQ(m.HasSelection(), !c.selected.empty());
  }
}

TEST(PaneModel, SelectionEndsArePulledOutOfBreaksAndBackIntoTheText) {
  PaneModel m = Model(u"ab\r\ncd", 10);
  m.Select(99, 3);  // past the end; between CR and LF
  EXPECT_EQ(m.anchor(), 6u);
  EXPECT_EQ(m.caret(), 2u);
  EXPECT_EQ(m.SelectedText(), u"\r\ncd");
  m.SelectAll();
  EXPECT_EQ(m.SelectedText(), u"ab\r\ncd");
  m.Press(Motion::Left, false);  // a key without Shift drops the selection
  EXPECT_FALSE(m.HasSelection());
}

TEST(PaneModel, TheMouseClicksShiftClicksAndDragsEitherWay) {
  PaneModel m = Model(u"first line\r\nsecond line", 20);
  m.Click({0, 6.0}, false);
  m.Drag({1, 6.2});
  EXPECT_EQ(m.SelectedText(), u"line\r\nsecond");
  m.Drag({0, 1.9});  // back past the anchor
  EXPECT_EQ(m.SelectedText(), u"rst ");
  m.Click({1, 0}, true);
  EXPECT_EQ(m.SelectedText(), u"line\r\n");
  m.Click({1, 3}, false);
  EXPECT_FALSE(m.HasSelection());
}

struct PointCase {
  const char* name;
  std::size_t top;
  PaneModel::Point point;
  std::size_t offset;
};

TEST(PaneModel, PointsGoToTheNearestPlaceBetweenCharacters) {
  // Rows 4 wide: abcd efgh xy long er; three on screen.
  const PointCase cases[] = {
      {"left half of a cell", 0, {0, 2.4}, 2},
      {"right half of a cell", 0, {0, 2.6}, 3},
      {"left of the text", 0, {1, -3.0}, 4},
      {"past a short row", 0, {2, 9.0}, 12},
      {"a wrapped row's end: before its last character", 0, {0, 4.0}, 3},
      {"below the last row", 2, {7, 1.0}, 19},
      {"above the pane", 2, {-1, 1.0}, 5},
      {"above the text", 0, {-1, 1.0}, 1},
  };
  for (const PointCase& c : cases) {
    SCOPED_TRACE(c.name);
    PaneModel m = Model(kWrapped, 4, 3);
    m.ScrollTo(static_cast<long long>(c.top));
    EXPECT_EQ(m.top(), c.top);
    EXPECT_EQ(m.OffsetAt(c.point), c.offset);
  }
}

struct WordCase {
  const char* name;
  std::u16string_view text;
  std::size_t columns;
  PaneModel::Point point;
  std::u16string_view selected;
  std::size_t caret;
};

TEST(PaneModel, DoubleClickSelectsTheWordBlanksOrSignUnderThePointer) {
  const WordCase cases[] = {
      {"a word", u"alpha beta", 20, {0, 7.3}, u"beta", 10},
      {"a word's last letter, right half", u"alpha beta", 20, {0, 4.9}, u"alpha", 5},
      {"digits and underscores", u"x = foo_bar2.baz", 20, {0, 6}, u"foo_bar2", 12},
      {"letters of other scripts", u"na\u00EFve caf\u00E9!", 20, {0, 8}, u"caf\u00E9", 10},
      {"ideographs up to a full stop", u"\u65E5\u672C\u8A9E\u3002\u30C6", 20, {0, 1}, u"\u65E5\u672C\u8A9E", 3},
      {"a word with a character beyond the basic plane", u"x ab\U00020000c d", 20, {0, 3}, u"ab\U00020000c", 7},
      {"a run of blanks", u"ab \t  cd", 20, {0, 3.5}, u" \t  ", 6},
      {"one sign", u"a+=b", 20, {0, 1.5}, u"+", 2},
      {"a line break", u"alpha\r\nbeta", 20, {0, 8}, u"", 5},
      {"past the last line", u"ab", 20, {0, 5}, u"", 2},
      {"a word across a wrap", u"abcdefghij klm", 8, {1, 1}, u"abcdefghij", 10},
      {"past a row that breaks a word", u"abcdefghij klm", 8, {0, 9}, u"abcdefghij", 10},
      {"past a row that wraps at a blank", u"alpha beta gamma", 8, {0, 7}, u" ", 6},
  };
  for (const WordCase& c : cases) {
    SCOPED_TRACE(c.name);
    PaneModel m = Model(c.text, c.columns);
    m.DoubleClick(c.point);
    EXPECT_EQ(m.SelectedText(), c.selected);
    EXPECT_EQ(m.caret(), c.caret);
  }
}

struct ScrollCase {
  const char* name;
  std::size_t from;  // the caret, in rows, before the keys
  std::initializer_list<Motion> keys;
  std::size_t top;
};

TEST(PaneModel, ScrollingKeepsTheCaretInView) {
  // 101 rows of "line", 5 on screen.
  const ScrollCase cases[] = {
      {"down past the bottom row", 4, {Motion::Down}, 1},
      {"down within the screen", 3, {Motion::Down}, 0},
      {"page down", 0, {Motion::PageDown}, 1},
      {"ctrl+end", 0, {Motion::TextEnd}, 96},
      {"ctrl+end, then up within the screen", 0, {Motion::TextEnd, Motion::Up}, 96},
      {"ctrl+end, page up twice", 0, {Motion::TextEnd, Motion::PageUp, Motion::PageUp}, 90},
      {"ctrl+home from the middle", 50, {Motion::TextStart}, 0},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.name);
    PaneModel m = Model(Lines(100), 10, 5);
    m.Select(c.from * 6, c.from * 6);
    for (const Motion key : c.keys) m.Press(key, false);
    EXPECT_EQ(m.top(), c.top);
    EXPECT_GE(m.CaretRow(), 0);
    EXPECT_LT(m.CaretRow(), 5);
  }
}

TEST(PaneModel, ScrollingStopsAtTheEndsAndFollowsTheSize) {
  PaneModel m = Model(Lines(100), 10, 5);
  m.ScrollTo(1000);
  EXPECT_EQ(m.top(), 96u);
  EXPECT_EQ(m.caret(), 0u);  // scrolling leaves the caret where it was
  EXPECT_EQ(m.CaretRow(), -96);
  m.Resize(10, 10);  // a taller pane shows the last rows still at the bottom
  EXPECT_EQ(m.top(), 91u);
  EXPECT_EQ(m.ShownRows(), 10u);
  m.ScrollTo(-5);
  EXPECT_EQ(m.top(), 0u);
  EXPECT_EQ(m.ShownRows(), 11u);  // and the row partly shown below
  m.ScrollTo(50);
  m.Drag({-1, 0});  // dragging above the pane scrolls a row at a time
  m.Drag({-1, 0});
  EXPECT_EQ(m.top(), 48u);
  m.SetText(u"new");
  EXPECT_EQ(m.top(), 0u);
  EXPECT_EQ(m.caret(), 0u);
}

TEST(PaneModel, RowsArePaintedInRunsOfTheSelectionsColours) {
  PaneModel m = Model(u"ab\tc\x01\r\n\u4E00x", 10);
  m.Select(1, 8);
  const std::vector<PaneModel::Run> first = m.RunsOf(0);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[0].text, u"a");
  EXPECT_FALSE(first[0].selected);
  EXPECT_EQ(first[1].text, u"b      c ");  // the tab to its stop; a control character as a blank
  EXPECT_EQ(first[1].column, 1u);
  EXPECT_EQ(first[1].cells, 9u);
  EXPECT_TRUE(first[1].selected);
  EXPECT_EQ(first[2].column, 10u);  // the line break, one cell
  EXPECT_EQ(first[2].text, u" ");
  EXPECT_TRUE(first[2].selected);
  const std::vector<PaneModel::Run> second = m.RunsOf(1);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].text, u"\u4E00");  // a wide character over two cells of its own
  EXPECT_EQ(second[0].cells, 2u);
  EXPECT_TRUE(second[0].selected);
  EXPECT_EQ(second[1].text, u"x");
  EXPECT_EQ(second[1].column, 2u);
  EXPECT_FALSE(second[1].selected);
}

// Rows of "a\tb\u4E00c" and "\t\U00020000x": cells a 0, tab 1-7, b 8, wide 9-10, c 11; tab 0-7,
// the pair 8-9, x 10.
constexpr std::u16string_view kCells = u"a\tb\u4E00c\r\n\t\U00020000x";

TEST(PaneModel, PointsOnTabsAndWideCharactersGoToTheNearerSide) {
  const PointCase cases[] = {
      {"the near side of a tab", 0, {0, 3.0}, 1},
      {"the far side of a tab", 0, {0, 6.0}, 2},
      {"the left half of a wide character", 0, {0, 9.9}, 3},
      {"the right half of a wide character", 0, {0, 10.6}, 4},
      {"the left half of a pair", 0, {1, 8.9}, 8},
      {"halfway: after", 0, {1, 9.0}, 10},
      {"the right half of a pair", 0, {1, 9.6}, 10},
  };
  for (const PointCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Model(kCells, 20).OffsetAt(c.point), c.offset);
  }
}

// "e\u0301x\U0001F600\uFE0Fy\u200Dz": cells e+accent 0, x 1, the pair and its selector 2-3,
// y and the joiner 4, z 5.
constexpr std::u16string_view kMarks = u"e\u0301x\U0001F600\uFE0Fy\u200Dz";

TEST(PaneModel, CaretAndSelectionStepOverTabsAndWideCharactersWhole) {
  const KeyCase cases[] = {
      {"right over a tab", kCells, 20, 1, {Motion::Right}, 2},
      {"right over a pair", kCells, 20, 8, {Motion::Right}, 10},
      {"left over a pair", kCells, 20, 10, {Motion::Left}, 8},
      {"down keeps the column past a wide character", kCells, 20, 4, {Motion::Down}, 11},
      {"up onto the middle of a wide character: after it", kCells, 20, 10, {Motion::Up}, 4},
      {"down from after a tab", kCells, 20, 2, {Motion::Down}, 8},
      {"right over a letter and its accent", kMarks, 20, 0, {Motion::Right}, 2},
      {"left over a pair and its selector", kMarks, 20, 6, {Motion::Left}, 3},
      {"right over a letter and a joiner", kMarks, 20, 6, {Motion::Right}, 8},
      {"a caret put inside a character with its marks is pulled back", kMarks, 20, 1, {}, 0},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    PaneModel m = Model(c.text, c.columns);
    m.Select(c.from, c.from);
    for (const Motion key : c.keys) m.Press(key, false);
    EXPECT_EQ(m.caret(), c.caret);
  }
  PaneModel m = Model(kCells, 20);
  m.Click({0, 0}, false);
  m.Drag({1, 12});
  EXPECT_EQ(m.SelectedText(), kCells);  // copied as it is: tabs, pairs and breaks
  m.Select(2, 2);
  m.Press(Motion::Right, true);
  m.Press(Motion::Right, true);
  EXPECT_EQ(m.SelectedText(), u"b\u4E00");
  const PaneModel::Cell wide = m.CellOf(3), tab = m.CellOf(1), lineBreak = m.CellOf(5);
  EXPECT_EQ(wide.column, 9u);
  EXPECT_EQ(wide.cells, 2u);
  EXPECT_EQ(tab.column, 1u);
  EXPECT_EQ(tab.cells, 7u);
  EXPECT_EQ(lineBreak.column, 12u);
  EXPECT_EQ(lineBreak.cells, 1u);
}

TEST(PaneModel, WheelTurnsAddUpToRows) {
  PaneModel m = Model(Lines(100), 10, 5);
  for (int i = 0; i < 3; ++i) m.Wheel(0.25);
  EXPECT_EQ(m.top(), 0u);
  m.Wheel(0.25);
  EXPECT_EQ(m.top(), 1u);
  m.Wheel(2.5);
  EXPECT_EQ(m.top(), 3u);
  m.Wheel(-0.25);  // the other way: the half row saved up downwards is dropped
  EXPECT_EQ(m.top(), 3u);
  m.Wheel(-0.75);
  EXPECT_EQ(m.top(), 2u);
  m.ScrollTo(96);
  m.Wheel(3.5);  // at the end nothing is saved up for the way back
  m.Wheel(-0.5);
  EXPECT_EQ(m.top(), 96u);
  EXPECT_EQ(m.caret(), 0u);
}

// Steps that are no exact binary fraction still make every row they add up to.
TEST(PaneModel, SmallWheelStepsMakeEveryRowTheyAddUpTo) {
  struct Steps {
    double rows;
    int count;
  };
  for (const Steps steps : {Steps{0.025, 120}, Steps{0.075, 40}, Steps{-0.075, 40}, Steps{0.1, 30}, Steps{-0.3, 10}}) {
    PaneModel m = Model(Lines(100), 10, 5);
    m.ScrollTo(50);
    for (int i = 0; i < steps.count; ++i) m.Wheel(steps.rows);
    EXPECT_EQ(m.top(), steps.rows > 0 ? 53u : 47u) << steps.rows << " x" << steps.count;
  }
}

}  // namespace
}  // namespace webapitest

namespace webapitest {
namespace {

TEST(PaneModel, CaretSelectionAndPointsNeverStopInsideACharacterWithItsMarks) {
  const PointCase points[] = {{"after the accented letter", 0, {0, 1.0}, 2},
                               {"the right half of the emoji", 0, {0, 3.6}, 6},
                               {"after the joined letter", 0, {0, 5.0}, 8}};
  for (const PointCase& c : points) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Model(kMarks, 20).OffsetAt(c.point), c.offset);
  }
  PaneModel m = Model(u"caf\u0065\u0301 bar", 20);
  m.DoubleClick({0, 3.5});
  EXPECT_EQ(m.SelectedText(), u"cafe\u0301");
  EXPECT_EQ(m.CellOf(6).column, 5u);  // "bar" one cell after the blank, the accent taking none
  const std::vector<PaneModel::Run> runs = Model(kMarks, 20).RunsOf(0);
  ASSERT_EQ(runs.size(), 5u);  // a mark drawn with its letter in the letter's cells
  EXPECT_EQ(std::make_tuple(runs[0].text, runs[0].column, runs[0].cells), std::make_tuple(u"e\u0301", 0u, 1u));
  EXPECT_EQ(std::make_tuple(runs[2].text, runs[2].column, runs[2].cells), std::make_tuple(u"\U0001F600\uFE0F", 2u, 2u));
  EXPECT_EQ(runs[4].column, 5u);
}

}  // namespace
}  // namespace webapitest
