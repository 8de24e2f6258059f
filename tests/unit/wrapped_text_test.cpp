// The output pane's layout: lines, rows of cells, tab stops, wrapping and caret steps.
#include <gtest/gtest.h>

#include <vector>

#include "window/wrapped_text.h"

namespace webapitest {
namespace {

std::vector<std::u16string> Rows(const WrappedText& w) {
  std::vector<std::u16string> rows;
  for (std::size_t row = 0; row < w.RowCount(); ++row) {
    const WrappedText::Row r = w.RowAt(row);
    rows.emplace_back(w.Text().substr(r.offset, r.length));
  }
  return rows;
}

struct LayoutCase {
  const char* name;
  std::size_t columns;
  std::u16string_view text;
  std::vector<std::u16string> rows;
};

TEST(WrappedText, LinesWrapAfterTheLastBlankThatFits) {
  const LayoutCase cases[] = {
      {"short lines, one row each", 10, u"one\r\ntwo\r\n\r\nfour\r\n", {u"one", u"two", u"", u"four", u""}},
      {"a lone LF breaks a line too", 10, u"ab\ncd", {u"ab", u"cd"}},
      {"at blanks", 10, u"alpha beta gamma", {u"alpha beta ", u"gamma"}},
      {"a word longer than a row", 4, u"ab cdefgh", {u"ab ", u"cdef", u"gh"}},
      {"a word exactly a row", 5, u"abcde fgh", {u"abcde ", u"fgh"}},
      {"a line exactly the width", 5, u"abcde\r\nf", {u"abcde", u"f"}},
      {"no blanks at all", 4, u"abcdefghij", {u"abcd", u"efgh", u"ij"}},
      {"a run of blanks stays on its row", 6, u"ab      cd ef", {u"ab      ", u"cd ef"}},
      {"a line of only blanks", 4, u"          ", {u"          "}},
      {"a tab at a row's end", 10, u"abcdefgh\tx", {u"abcdefgh\t", u"x"}},
      {"a tab reaching the width", 8, u"abc\tdef", {u"abc\t", u"def"}},
      {"a tab on a row after a cut word", 10, u"abcdefghijk\tm", {u"abcdefghij", u"k\tm"}},
      {"tabs widen a short line", 12, u"a\tb\tc", {u"a\tb\t", u"c"}},
      {"a wide character that fits exactly", 4, u"ab\u4E00c", {u"ab\u4E00", u"c"}},
      {"a wide character that does not fit", 5, u"ab\u4E00\u4E01", {u"ab\u4E00", u"\u4E01"}},
      {"a wide character in a one-cell pane", 1, u"\u4E00\u4E01", {u"\u4E00", u"\u4E01"}},
      {"a wide surrogate pair", 3, u"a\U00020000\U00020000", {u"a\U00020000", u"\U00020000"}},
      {"the empty text", 10, u"", {u""}},
      {"marks take no cell", 3, u"e\u0301e\u0301e\u0301x", {u"e\u0301e\u0301e\u0301", u"x"}},
      {"a row never starts at a mark after a blank", 2, u"ab \u0301c", {u"ab \u0301", u"c"}},
      {"a cut word keeps its marks", 2, u"a\u0301b\u0302\u0303c", {u"a\u0301b\u0302\u0303", u"c"}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    WrappedText w;
    w.SetColumns(c.columns);
    w.Assign(std::u16string(c.text));
    EXPECT_EQ(Rows(w), c.rows);
  }
}

struct ColumnCase {
  const char* name;
  std::size_t columns;
  std::u16string_view text;
  std::size_t offset;
  std::size_t row, column;
};

TEST(WrappedText, CaretPlacesSitInRowsAndCells) {
  const ColumnCase cases[] = {
      {"after a tab at a row's start", 20, u"\tx", 1, 0, 8},
      {"after a tab in the middle", 20, u"abc\tx", 4, 0, 8},
      {"after a tab on a stop", 20, u"abcdefgh\tx", 9, 0, 16},
      {"after a tab across a wrap", 10, u"abcdefghijk\tm", 12, 1, 8},
      {"after a wide character", 20, u"a\u4E00b", 2, 0, 3},
      {"after a surrogate pair", 20, u"a\U00020000b", 3, 0, 3},
      {"where a row wraps: the next row's start", 4, u"abcdefgh", 4, 1, 0},
      {"the end of a line", 4, u"abcdefgh\r\nxy", 8, 1, 4},
      {"past the end", 4, u"abcdefgh\r\nxy", 500, 2, 2},
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(c.name);
    WrappedText w;
    w.SetColumns(c.columns);
    w.Assign(std::u16string(c.text));
    EXPECT_EQ(w.RowOf(c.offset), c.row);
    EXPECT_EQ(w.ColumnOf(c.offset), c.column);
  }
}

struct StepCase {
  const char* name;
  std::u16string_view text;
  std::size_t from, next, previous;
};

TEST(WrappedText, CaretStepsTakeBreaksAndPairsWhole) {
  const StepCase cases[] = {
      {"a letter", u"ab\r\ncd", 1, 2, 0},
      {"CR LF", u"ab\r\ncd", 2, 4, 1},
      {"after CR LF", u"ab\r\ncd", 4, 5, 2},
      {"a lone LF", u"ab\ncd", 2, 3, 1},
      {"a surrogate pair", u"a\U00020000b", 1, 3, 0},
      {"after a surrogate pair", u"a\U00020000b", 3, 4, 1},
      {"the ends", u"ab", 2, 2, 1},
      {"the start", u"ab", 0, 1, 0},
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.name);
    WrappedText w;
    w.Assign(std::u16string(c.text));
    EXPECT_EQ(w.Next(c.from), c.next);
    EXPECT_EQ(w.Previous(c.from), c.previous);
  }
  WrappedText w;
  w.Assign(u"ab\r\n\U00020000");
  EXPECT_EQ(w.Clamp(3), 2u);  // inside CR LF
  EXPECT_EQ(w.Clamp(5), 4u);  // inside a pair
  EXPECT_EQ(w.Clamp(99), 6u);
  EXPECT_EQ(w.Slice(5, 1), u"b\r\n\xD840");
}

TEST(WrappedText, ColumnsCanChangeAfterTheText) {
  WrappedText w;
  w.Assign(std::u16string(100, u'x'));
  EXPECT_EQ(w.RowCount(), 2u);  // 80 columns until told otherwise
  w.SetColumns(10);
  EXPECT_EQ(w.RowCount(), 10u);
  w.SetColumns(0);
  EXPECT_EQ(w.columns(), 1u);
  EXPECT_EQ(w.RowCount(), 100u);
  EXPECT_EQ(w.RowAt(999).offset, 99u);  // rows past the end give the last
}

TEST(WrappedText, ManyLinesAndOneHugeLineAreCheapToLayOut) {
  WrappedText w;
  w.SetColumns(69);
  std::u16string many;
  for (int i = 0; i < 200000; ++i) many += u"\r\n";
  w.Assign(many);
  EXPECT_EQ(w.RowCount(), 200001u);
  w.Assign(std::u16string(16u << 20, u'y'));
  EXPECT_EQ(w.RowCount(), ((16u << 20) + 68) / 69);
  EXPECT_EQ(w.RowAt(w.RowCount() - 1).length, (16u << 20) % 69);
}

}  // namespace
}  // namespace webapitest
