// What both windows' keys, wheels and context menus do to the output pane, as tables of cases.
#include <gtest/gtest.h>

#include "window/pane_geometry.h"

namespace webapitest {
namespace {

struct KeyCase {
  const char* name;
  PaneKey key;
  bool control, shift;
  PaneCommand done;
  std::size_t anchor, caret;  // from a caret at 1 in "ab\r\ncd"
};

TEST(PaneGeometry, KeysCopySelectAllOrMoveTheCaret) {
  const KeyCase cases[] = {
      {"Ctrl+C copies", PaneKey::C, true, false, PaneCommand::Copy, 1, 1},
      {"Ctrl+Shift+C copies too", PaneKey::C, true, true, PaneCommand::Copy, 1, 1},
      {"Ctrl+Insert copies", PaneKey::Insert, true, false, PaneCommand::Copy, 1, 1},
      {"the Copy key copies", PaneKey::Copy, false, false, PaneCommand::Copy, 1, 1},
      {"C alone is typing", PaneKey::C, false, false, PaneCommand::None, 1, 1},
      {"Insert alone does nothing", PaneKey::Insert, false, false, PaneCommand::None, 1, 1},
      {"Ctrl+A selects everything", PaneKey::A, true, false, PaneCommand::SelectAll, 0, 6},
      {"A alone is typing", PaneKey::A, false, false, PaneCommand::None, 1, 1},
      {"another key", PaneKey::Other, true, false, PaneCommand::None, 1, 1},
      {"Right", PaneKey::Right, false, false, PaneCommand::Move, 2, 2},
      {"Shift+Down extends", PaneKey::Down, false, true, PaneCommand::Move, 1, 5},
      {"Home: the row's start", PaneKey::Home, false, false, PaneCommand::Move, 0, 0},
      {"Ctrl+End: the text's end", PaneKey::End, true, false, PaneCommand::Move, 6, 6},
      {"Shift+End: the row's end", PaneKey::End, false, true, PaneCommand::Move, 1, 2},
      {"Page Down", PaneKey::PageDown, false, false, PaneCommand::Move, 5, 5},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    PaneModel m;
    m.SetText(u"ab\r\ncd");
    m.Resize(10, 5);
    m.Select(1, 1);
    EXPECT_EQ(PressKey(m, c.key, c.control, c.shift), c.done);
    EXPECT_EQ(m.anchor(), c.anchor);
    EXPECT_EQ(m.caret(), c.caret);
  }
}

struct WheelCase {
  const char* name;
  WheelTurn turn;
  double rows;
};

TEST(PaneGeometry, WheelsScrollByTheSystemsLinesAPageOrTheTouchpadsPixels) {
  const WheelCase cases[] = {
      {"a notch down, 3 lines a notch", WheelTurn::Notches(-120, 3), 3},
      {"half a notch up", WheelTurn::Notches(60, 3), -1.5},
      {"a notch with a page a notch", WheelTurn::Notches(-120, 3, true), 7},
      {"a touchpad's pixels, 16 to a row", WheelTurn::Pixels(-24), 1.5},
  };
  PaneGeometry geometry;
  geometry.SetCell(8, 16);
  for (const WheelCase& c : cases) EXPECT_DOUBLE_EQ(geometry.RowsOf(c.turn, 7), c.rows) << c.name;
}

TEST(PaneGeometry, TheContextMenuCopiesOnlyASelection) {
  PaneModel m;
  m.SetText(u"ab\r\ncd");
  EXPECT_FALSE(ContextMenu(m)[0].enabled);
  EXPECT_EQ(ContextMenu(m)[1].command, PaneCommand::None);  // the separator
  EXPECT_EQ(ChooseMenuItem(m, ContextMenu(m)[2].command), PaneCommand::SelectAll);
  EXPECT_EQ(m.SelectedText(), u"ab\r\ncd");
  EXPECT_TRUE(ContextMenu(m)[0].enabled);
  EXPECT_EQ(ContextMenu(m)[0].command, PaneCommand::Copy);
}

}  // namespace
}  // namespace webapitest
