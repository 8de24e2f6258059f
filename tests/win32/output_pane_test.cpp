// The output pane as a user works it: caret keys, Shift to select, Ctrl+C, the mouse.
#include <gtest/gtest.h>

#include <windowsx.h>

#include <utility>

#include "gui_driver.h"
#include "live_window.h"

namespace webapitest::testing {
namespace {

// The pane's cell: the width of its fixed-pitch font's characters and the height of a row.
SIZE CellSize(HWND pane) {
  HDC dc = GetDC(pane);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(pane, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SIZE cell{};
  GetTextExtentPoint32W(dc, L"M", 1, &cell);
  SelectObject(dc, old);
  ReleaseDC(pane, dc);
  cell.cy = metrics.tmHeight + metrics.tmExternalLeading;
  return cell;
}

TEST(OutputPane, CaretKeysSelectAndCtrlCCopies) {
  LiveWindow live;
  live.window().SetText(Control::output, u"first line\r\nsecond line\r\nthird\r\n");
  live.FocusOn(Control::output);
  PressKeys({VK_DOWN});
  PressKeys({VK_SHIFT, VK_END});
  PressKeys({VK_CONTROL, 'C'});
  live.pump().Settle();
  EXPECT_EQ(ClipboardText(), u"second line");
  PressKeys({VK_CONTROL, VK_END});
  PressKeys({VK_SHIFT, VK_UP});
  PressKeys({VK_SHIFT, VK_LEFT});
  PressKeys({VK_CONTROL, 'C'});
  live.pump().Settle();
  EXPECT_EQ(ClipboardText(), u"\r\nthird\r\n");
  PressKeys({VK_CONTROL, 'A'});
  PressKeys({VK_CONTROL, VK_INSERT});
  live.pump().Settle();
  EXPECT_EQ(ClipboardText(), u"first line\r\nsecond line\r\nthird\r\n");
}

TEST(OutputPane, TheMouseSelectsByDraggingAndWordsByDoubleClicking) {
  LiveWindow live;
  live.window().SetText(Control::output, u"alpha beta\r\ngamma delta\r\n");
  const HWND pane = live[Control::output];
  const SIZE cell = CellSize(pane);
  const int row = static_cast<int>(cell.cy);
  const auto at = [&](int column, int line) { return MAKELPARAM(2 + column * cell.cx, 2 + line * row + row / 2); };

  SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, at(6, 0));
  SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, at(5, 1));
  SendMessageW(pane, WM_LBUTTONUP, 0, at(5, 1));
  DWORD from = 0, to = 0;
  SendMessageW(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 6u);   // "beta..."
  EXPECT_EQ(to, 17u);    // "...gamma"
  EXPECT_EQ(GetFocus(), pane);

  SendMessageW(pane, WM_LBUTTONDBLCLK, MK_LBUTTON, at(8, 1));
  SendMessageW(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 18u);  // "delta"
  EXPECT_EQ(to, 23u);
}

TEST(OutputPane, LongRepliesScrollToTheEndAndWrapAtThePanesWidth) {
  LiveWindow live;
  std::u16string reply;
  for (int i = 0; i < 50000; ++i) reply += u"a line of the reply\r\n";
  reply += std::u16string(1000, u'w');
  live.window().SetText(Control::output, reply);
  const HWND pane = live[Control::output];
  const auto rows = static_cast<std::size_t>(SendMessageW(pane, EM_GETLINECOUNT, 0, 0));
  const auto width = static_cast<std::size_t>(SendMessageW(pane, EM_LINELENGTH, reply.size() - 1000, 0));
  ASSERT_GT(width, 20u);
  EXPECT_EQ(rows, 50000u + (1000u + width - 1) / width);
  live.FocusOn(Control::output);
  PressKeys({VK_CONTROL, VK_END});
  live.pump().Settle();
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(pane, SB_VERT, &info);
  EXPECT_EQ(info.nPos + static_cast<int>(info.nPage), info.nMax + 1);  // at the bottom
  EXPECT_EQ(info.nMax + 1, static_cast<int>(rows));
}

// Tools and tests read the layout as from a wrapping edit control: a tab reaches its stop, a
// line of words wraps after the last blank that fits.
TEST(OutputPane, AnswersWhereCharactersAreAsAWrappingEditControl) {
  LiveWindow live;
  std::u16string words;
  for (int i = 0; i < 300; ++i) words += u"word ";
  live.window().SetText(Control::output, u"a\tb\r\n" + words);
  const HWND pane = live[Control::output];
  const SIZE cell = CellSize(pane);
  const auto at = [pane](std::size_t offset) {
    const LRESULT place = SendMessageW(pane, EM_POSFROMCHAR, offset, 0);
    return std::pair<int, int>(GET_X_LPARAM(place), GET_Y_LPARAM(place));
  };
  RECT format{}, client{};
  SendMessageW(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  GetClientRect(pane, &client);
  const int x = format.left, y = format.top;  // where the text starts
  EXPECT_EQ(at(1), std::make_pair(x + static_cast<int>(cell.cx), y));  // the tab
  EXPECT_EQ(at(2), std::make_pair(x + 8 * static_cast<int>(cell.cx), y));  // at the tab's stop

  // A row's text keeps a pixel clear of the right edge; a blank may hang past it.
  const int perRow = ((format.right - format.left - 1) / static_cast<int>(cell.cx) + 1) / 5;  // "word " is five cells
  const auto second = static_cast<std::size_t>(5 + 5 * perRow);  // where the words' second row starts
  EXPECT_EQ(SendMessageW(pane, EM_LINEINDEX, 2, 0), static_cast<LRESULT>(second));
  EXPECT_EQ(SendMessageW(pane, EM_LINEFROMCHAR, second - 1, 0), 1);  // the blank stays on its row
  EXPECT_EQ(at(second), std::make_pair(x, y + 2 * static_cast<int>(cell.cy)));
  EXPECT_EQ(at(second - 2), std::make_pair(x + (5 * perRow - 2) * static_cast<int>(cell.cx), y + static_cast<int>(cell.cy)));
  const LRESULT found = SendMessageW(pane, EM_CHARFROMPOS, 0, MAKELPARAM(x + 1, y + 1 + 2 * cell.cy));
  EXPECT_EQ(LOWORD(found), second);
  EXPECT_EQ(HIWORD(found), 2);
  EXPECT_EQ(SendMessageW(pane, EM_POSFROMCHAR, 5 + words.size(), 0), -1);  // past the end
  EXPECT_EQ(SendMessageW(pane, EM_CHARFROMPOS, 0, MAKELPARAM(-1, 3)), -1);  // outside the pane
  EXPECT_EQ(SendMessageW(pane, EM_CHARFROMPOS, 0, MAKELPARAM(3, client.bottom)), -1);
  SendMessageW(pane, EM_SETSEL, second, second + 5 * perRow + 1);  // from row 2 into row 3
  EXPECT_EQ(SendMessageW(pane, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0), 2);  // where it starts
  EXPECT_EQ(SendMessageW(pane, EM_LINEINDEX, static_cast<WPARAM>(-1), 0), static_cast<LRESULT>(second + 5 * perRow));

  SendMessageW(pane, EM_LINESCROLL, 0, 2);
  EXPECT_EQ(SendMessageW(pane, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
  EXPECT_EQ(at(second).second, y);
}

TEST(OutputPane, SmallWheelTurnsAddUpToWholeOnes) {
  LiveWindow live;
  std::u16string reply;
  for (int i = 0; i < 200; ++i) reply += u"line\r\n";
  live.window().SetText(Control::output, reply);
  const HWND pane = live[Control::output];
  const auto position = [pane] { return GetScrollPos(pane, SB_VERT); };
  const auto turn = [pane](int delta) { SendMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0); };
  turn(-120);
  const int notch = position();
  ASSERT_GT(notch, 0);
  for (int i = 0; i < 4; ++i) turn(-30);  // a touchpad's small steps
  EXPECT_EQ(position(), 2 * notch);
  for (int i = 0; i < 40; ++i) turn(-3);  // steps that are no exact fraction of a row
  EXPECT_EQ(position(), 3 * notch);
  for (int i = 0; i < 3; ++i) turn(120);
  EXPECT_EQ(position(), 0);
}

// With "one screen at a time" in the mouse settings a notch turns a page, as Page Down does.
TEST(OutputPane, TheOneScreenWheelSettingTurnsAPagePerNotch) {
  UINT saved = 3;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &saved, 0));
  struct Restore {
    UINT lines;
    ~Restore() { SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0); }
  } restore{saved};
  ASSERT_TRUE(SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0));
  LiveWindow live;
  std::u16string reply;
  for (int i = 0; i < 200; ++i) reply += u"line\r\n";
  live.window().SetText(Control::output, reply);
  const HWND pane = live[Control::output];
  SendMessageW(pane, WM_VSCROLL, SB_PAGEDOWN, 0);
  const LRESULT page = SendMessageW(pane, EM_GETFIRSTVISIBLELINE, 0, 0);
  ASSERT_GT(page, 3);
  SendMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(SendMessageW(pane, EM_GETFIRSTVISIBLELINE, 0, 0), 2 * page);
  for (int i = 0; i < 4; ++i) SendMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 4), 0);
  EXPECT_EQ(SendMessageW(pane, EM_GETFIRSTVISIBLELINE, 0, 0), page);
}

}  // namespace
}  // namespace webapitest::testing
