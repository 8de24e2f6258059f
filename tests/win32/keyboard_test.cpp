// Keys through the dialog manager, pressed as a user presses them: Tab order both ways, the
// access keys from any control (the multi-line request box included), Enter and Escape, and
// typing into the read-only boxes.
#include <gtest/gtest.h>

#include "live_window.h"

namespace webapitest::testing {
namespace {

std::string NameOf(Control control) { return std::string(Lookup(control).name); }

class TabKey : public ::testing::TestWithParam<bool> {};

TEST_P(TabKey, VisitsTheFocusableControlsInTableOrderAndWrapsAround) {
  const bool backward = GetParam();
  LiveWindow live;
  const auto order = TabOrder();
  const std::size_t n = order.size();
  live.FocusOn(order[0]);
  for (std::size_t step = 1; step <= n; ++step) {
    if (backward) {
      PressKeys({VK_SHIFT, VK_TAB});
    } else {
      PressKeys({VK_TAB});
    }
    live.pump().Settle();
    const Control expected = order[backward ? (n - step % n) % n : step % n];
    EXPECT_EQ(live.Focused(), live[expected]) << "step " << step << ": " << NameOf(expected);
  }
  EXPECT_EQ(TextOf(live[Control::request]), u"");  // Tab left the request box, typing nothing
  EXPECT_TRUE(live.log().events.empty());
}

INSTANTIATE_TEST_SUITE_P(Keyboard, TabKey, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "ShiftTabBackward" : "TabForward"; });

struct AccessKeyRow {
  Control from;
  char letter;
  const char* click;  // the click raised; nullptr: none
};

void PrintTo(const AccessKeyRow& row, std::ostream* out) { *out << NameOf(row.from) << " Alt+" << row.letter; }

class AccessKey : public ::testing::TestWithParam<AccessKeyRow> {};

TEST_P(AccessKey, ClicksItsButtonFromAnyControlAndTypesNothing) {
  const AccessKeyRow& row = GetParam();
  LiveWindow live;
  live.FocusOn(row.from);
  const std::u16string before = TextOf(live[row.from]);
  PressKeys({VK_MENU, static_cast<WORD>(row.letter)});
  live.pump().Settle();
  EXPECT_EQ(live.log().events, row.click ? std::vector<std::string>{row.click} : std::vector<std::string>{});
  EXPECT_EQ(TextOf(live[row.from]), before);
  EXPECT_NE(live.hwnd(), nullptr);
}

std::vector<AccessKeyRow> AccessKeyRows() {
  const std::vector<AccessKeyRow> keys = {
      {Control::request, 'S', "StatusButton_Click"},   {Control::request, 'F', "FileRequestButton_Click"},
      {Control::request, 'Q', "RequestUrl_Click"},     {Control::request, 'T', "MemRequestButton_Click"},
      {Control::request, 'R', "RefreshButton_Click"},  {Control::request, 'P', "ReplyUrl_Click"},
      {Control::request, 'C', "ClearButton_Click"}};
  std::vector<AccessKeyRow> rows;
  // Every letter from the request box: only the seven buttons' letters click anything, and
  // nothing reaches ResetButton ("Reset ..." has no access key).
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const char* click = nullptr;
    for (const AccessKeyRow& key : keys)
      if (key.letter == letter) click = key.click;
    rows.push_back({Control::request, letter, click});
  }
  for (Control from : {Control::host, Control::output, Control::checkMemRaw, Control::ResetButton})
    for (const AccessKeyRow& key : keys) rows.push_back({from, key.letter, key.click});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Keyboard, AccessKey, ::testing::ValuesIn(AccessKeyRows()), [](const auto& row) {
  return NameOf(row.param.from) + "_Alt" + row.param.letter;
});

// An access key needs Alt: the seven letters typed bare on a button or a check box click
// nothing (the dialog manager's own habit would click their buttons).
class BareLetter : public ::testing::TestWithParam<Control> {};

TEST_P(BareLetter, ClicksNothing) {
  LiveWindow live;
  live.FocusOn(GetParam());
  for (char letter : {'S', 'F', 'Q', 'T', 'R', 'P', 'C'}) PressKeys({static_cast<WORD>(letter)});
  live.pump().Settle();
  EXPECT_TRUE(live.log().events.empty());
  EXPECT_EQ(live.Focused(), live[GetParam()]);
  EXPECT_EQ(SendMessageW(live[Control::checkFileRaw], BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, BareLetter,
                         ::testing::Values(Control::StatusButton, Control::ResetButton, Control::checkFileRaw,
                                           Control::checkMemRaw),
                         [](const auto& row) { return NameOf(row.param); });

struct KeyRow {
  Control at;
  WORD key;
};

void PrintTo(const KeyRow& row, std::ostream* out) {
  *out << NameOf(row.at) << (row.key == VK_RETURN ? " Enter" : " Escape");
}

class EnterAndEscape : public ::testing::TestWithParam<KeyRow> {};

TEST_P(EnterAndEscape, ClickNothingAndLeaveTheWindowOpen) {
  const KeyRow& row = GetParam();
  LiveWindow live;
  live.FocusOn(row.at);
  const std::u16string before = TextOf(live[row.at]);
  PressKeys({row.key});
  live.pump().Settle();
  EXPECT_TRUE(live.log().events.empty());
  ASSERT_NE(live.hwnd(), nullptr);
  EXPECT_EQ(live.Focused(), live[row.at]);
  // Enter types a line break in the request box, and nothing anywhere else.
  const bool breaksLine = row.at == Control::request && row.key == VK_RETURN;
  EXPECT_EQ(TextOf(live[row.at]), breaksLine ? before + u"\r\n" : before);
}

std::vector<KeyRow> EnterAndEscapeRows() {
  std::vector<KeyRow> rows;
  for (Control at : TabOrder())
    for (int key : {VK_RETURN, VK_ESCAPE}) rows.push_back({at, static_cast<WORD>(key)});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Keyboard, EnterAndEscape, ::testing::ValuesIn(EnterAndEscapeRows()),
                         [](const auto& row) {
                           return NameOf(row.param.at) + (row.param.key == VK_RETURN ? "_Enter" : "_Escape");
                         });

class ReadOnlyBox : public ::testing::TestWithParam<std::pair<Control, std::u16string>> {};

TEST_P(ReadOnlyBox, IgnoresTypingButCopiesItsText) {
  const auto& [box, text] = GetParam();
  LiveWindow live;
  live.window().SetText(box, text);
  live.FocusOn(box);
  TypeText(u"xy");
  PressKeys({VK_BACK});
  PressKeys({VK_DELETE});
  PressKeys({VK_CONTROL, 'V'});
  live.pump().Settle();
  EXPECT_EQ(TextOf(live[box]), text);
  SendMessageW(live[box], EM_SETSEL, 0, -1);
  SendMessageW(live[box], WM_COPY, 0, 0);
  EXPECT_EQ(ClipboardText(), text);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, ReadOnlyBox,
                         ::testing::Values(std::pair{Control::status, std::u16string(u"-2147483648")},
                                           std::pair{Control::output, std::u16string(u"first line\r\nsecond\r\n")}),
                         [](const auto& row) { return NameOf(row.param.first); });

}  // namespace
}  // namespace webapitest::testing
