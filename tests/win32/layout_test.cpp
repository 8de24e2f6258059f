// The window as built from the control table: every control's place, kind, text, font,
// tooltip and tab stop at 96 DPI, the lights' drawing, and mouse clicks on every button.
#include <gtest/gtest.h>

#include <cmath>

#include "text/text.h"
#include "live_window.h"

#include <commctrl.h>

namespace webapitest::testing {
namespace {

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
         "x" + std::to_string(r.bottom - r.top);
}

struct TooltipSearch {
  HWND owner, found;
};

BOOL CALLBACK FindTooltip(HWND candidate, LPARAM data) {
  auto* search = reinterpret_cast<TooltipSearch*>(data);
  if (ClassOf(candidate) == u"tooltips_class32" && GetWindow(candidate, GW_OWNER) == search->owner) {
    search->found = candidate;
    return FALSE;
  }
  return TRUE;
}

HWND TooltipOf(HWND window) {
  TooltipSearch search{window, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::u16string TooltipText(HWND tooltip, HWND owner, HWND control) {
  wchar_t text[1024] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = owner;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text;
  SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
  return win32::Utf16(text);
}

class ControlTable : public ::testing::TestWithParam<Control> {
 protected:
  static void SetUpTestSuite() { live_ = new LiveWindow(); }
  static void TearDownTestSuite() { delete live_; }
  static LiveWindow* live_;
};
LiveWindow* ControlTable::live_ = nullptr;

TEST_P(ControlTable, IsBuiltAsTheTableSays) {
  const ControlItem& item = Lookup(GetParam());
  const RECT expected = TableRect(item, live_->window().dpi());
  const HWND window = live_->hwnd();
  if (item.kind == Kind::Light) {
    // Painted on the window: a thin grey outline, and dark (the window shows through) at first.
    const POINT center = CenterOf(expected);
    const COLORREF background = GetSysColor(COLOR_BTNFACE), outline = GetSysColor(COLOR_GRAYTEXT);
    EXPECT_EQ(PixelAt(window, center), background);
    EXPECT_EQ(PixelAt(window, {center.x, expected.top}), outline);
    EXPECT_EQ(PixelAt(window, {expected.left, center.y}), outline);
    EXPECT_EQ(PixelAt(window, {center.x, expected.top - 1}), background);
    EXPECT_EQ(PixelAt(window, {expected.right, center.y}), background);
    return;
  }
  const HWND control = (*live_)[item.id];
  ASSERT_NE(control, nullptr);
  RECT actual;
  GetWindowRect(control, &actual);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
  EXPECT_EQ(Describe(actual), Describe(expected));
  EXPECT_EQ(TextOf(control), item.text);

  const LONG style = GetWindowLongW(control, GWL_STYLE);
  const std::u16string kind = ClassOf(control);
  switch (item.kind) {
    case Kind::TextBox:
      EXPECT_TRUE(kind == u"Edit" || kind == u"EDIT") << ToUtf8(kind);  // the output pane too
      EXPECT_EQ((style & ES_MULTILINE) != 0, (item.flags & kMultiLine) != 0);
      EXPECT_EQ((style & ES_READONLY) != 0, (item.flags & kReadOnly) != 0);
      EXPECT_EQ((style & WS_HSCROLL) != 0, (item.flags & kHScroll) != 0);
      EXPECT_EQ((style & WS_VSCROLL) != 0, (item.flags & kVScroll) != 0);
      // No length limit: the default would refuse typing past 30,000 characters.
      EXPECT_GE(static_cast<unsigned long>(SendMessageW(control, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEul);
      break;
    case Kind::CommandButton: EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON); break;
    case Kind::CheckBox:
      EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
      EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0), BST_UNCHECKED);
      break;
    case Kind::Frame: EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX); break;
    default: EXPECT_TRUE(kind == u"Static" || kind == u"STATIC"); break;
  }
  const bool focusable = item.kind != Kind::Label && item.kind != Kind::Frame;
  EXPECT_EQ((style & WS_TABSTOP) != 0, focusable);

  LOGFONTW font{};
  ASSERT_NE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font), 0);
  const bool windowFont = item.font.face == Face::WindowFont;
  const double points = windowFont ? 8.25 : item.font.points;
  EXPECT_EQ(std::wstring(font.lfFaceName), item.font.face == Face::CourierNew ? L"Courier New" : L"MS Sans Serif");
  EXPECT_EQ(font.lfHeight, -std::lround(points * live_->window().dpi() / 72.0));
  EXPECT_EQ(font.lfWeight, FW_NORMAL);
  EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
  EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);

  EXPECT_EQ(TooltipText(TooltipOf(window), window, control), item.tooltip);
}

INSTANTIATE_TEST_SUITE_P(Window, ControlTable,
                         ::testing::ValuesIn([] {
                           std::vector<Control> all;
                           for (const ControlItem& item : kControls) all.push_back(item.id);
                           return all;
                         }()),
                         [](const auto& row) { return std::string(Lookup(row.param).name); });

TEST(Window, HasTheTableClientAreaTitleAndAFixedFrame) {
  LiveWindow live;
  RECT client;
  GetClientRect(live.hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(kClientWidth, live.window().dpi()));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeight, live.window().dpi()));
  EXPECT_EQ(client.right, 594);  // at 96 DPI, as the tests run
  EXPECT_EQ(TextOf(live.hwnd()), kWindowTitle);
  const LONG style = GetWindowLongW(live.hwnd(), GWL_STYLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  EXPECT_EQ(GetFocus(), live[TabOrder()[0]]);
  EXPECT_EQ(SendMessageW(TooltipOf(live.hwnd()), TTM_GETTOOLCOUNT, 0, 0), 8);
}

// Resting the mouse on a control shows its tooltip: the lights' labels as much as the boxes.
class Hover : public ::testing::TestWithParam<Control> {};

TEST_P(Hover, ShowsTheTooltip) {
  LiveWindow live;
  const ControlItem& item = Lookup(GetParam());
  HWND tooltip = TooltipOf(live.hwnd());
  MoveMouseTo(live.hwnd(), {1, 1});
  live.pump().Settle();
  MoveMouseTo(live.hwnd(), CenterOf(TableRect(item, live.window().dpi())));
  std::u16string shown;
  const bool appeared = live.pump().Until(
      [&] {
        if (!IsWindowVisible(tooltip)) return false;
        wchar_t text[1024] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.lpszText = text;
        if (!SendMessageW(tooltip, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) return false;
        shown = win32::Utf16(text);
        return true;
      },
      std::chrono::seconds(5));
  EXPECT_TRUE(appeared);
  EXPECT_EQ(shown, item.tooltip);
}

INSTANTIATE_TEST_SUITE_P(Window, Hover,
                         ::testing::ValuesIn([] {
                           std::vector<Control> tipped;
                           for (const ControlItem& item : kControls)
                             if (!item.tooltip.empty()) tipped.push_back(item.id);
                           return tipped;
                         }()),
                         [](const auto& row) { return std::string(Lookup(row.param).name); });

// A mouse click on each button raises that button's click, and only that; the two buttons
// over the free-text frame are reached through it.
class MouseClick : public ::testing::TestWithParam<std::pair<Control, const char*>> {};

TEST_P(MouseClick, OnAButtonRaisesItsClick) {
  LiveWindow live;
  const RECT place = TableRect(Lookup(GetParam().first), live.window().dpi());
  ClickAt(live.hwnd(), CenterOf(place));
  live.pump().Settle();
  EXPECT_EQ(live.log().events, std::vector<std::string>{GetParam().second});
}

INSTANTIATE_TEST_SUITE_P(
    Window, MouseClick,
    ::testing::Values(std::pair{Control::StatusButton, "StatusButton_Click"},
                      std::pair{Control::FileRequestButton, "FileRequestButton_Click"},
                      std::pair{Control::RequestUrl, "RequestUrl_Click"},
                      std::pair{Control::MemRequestButton, "MemRequestButton_Click"},
                      std::pair{Control::ResetButton, "ResetButton_Click"},
                      std::pair{Control::RefreshButton, "RefreshButton_Click"},
                      std::pair{Control::ReplyUrl, "ReplyUrl_Click"},
                      std::pair{Control::ClearButton, "ClearButton_Click"}),
    [](const auto& row) { return std::string(Lookup(row.param.first).name); });

}  // namespace
}  // namespace webapitest::testing
