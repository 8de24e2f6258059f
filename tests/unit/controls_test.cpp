// The control table: the facts both front ends build the window from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "window/controls.h"

namespace webapitest {
namespace {

using ::testing::ElementsAre;

TEST(Controls, TableIsInEnumOrderWithUniqueNames) {
  std::map<std::string_view, int> names;
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    EXPECT_EQ(static_cast<std::size_t>(kControls[i].id), i) << kControls[i].name;
    EXPECT_EQ(++names[kControls[i].name], 1) << kControls[i].name;
  }
  EXPECT_EQ(kControls.size(), 26u);
}

TEST(Controls, TabOrderRunsThroughTheFocusableControls) {
  EXPECT_THAT(TabOrder(),
              ElementsAre(Control::host, Control::StatusButton, Control::reqFile, Control::checkFileRaw,
                          Control::FileRequestButton, Control::RequestUrl, Control::request,
                          Control::checkMemRaw, Control::MemRequestButton, Control::ResetButton,
                          Control::repFile, Control::RefreshButton, Control::ReplyUrl, Control::status,
                          Control::ClearButton, Control::output));
  std::vector<int> indexes;
  for (const ControlItem& item : kControls)
    if (item.tabIndex >= 0) indexes.push_back(item.tabIndex);
  std::sort(indexes.begin(), indexes.end());
  for (int i = 0; i < static_cast<int>(indexes.size()); ++i) EXPECT_EQ(indexes[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(indexes.size(), 24u);
}

TEST(Controls, OnlySevenButtonsHaveAccessKeys) {
  std::map<Control, char16_t> keys;
  for (const ControlItem& item : kControls) {
    const std::size_t mark = item.text.find(u'&');
    if (mark != std::u16string_view::npos) keys[item.id] = static_cast<char16_t>(item.text[mark + 1] & ~0x20);  // upper case
  }
  EXPECT_EQ(keys, (std::map<Control, char16_t>{{Control::StatusButton, u'S'}, {Control::FileRequestButton, u'F'},
                                               {Control::RequestUrl, u'Q'}, {Control::MemRequestButton, u'T'},
                                               {Control::RefreshButton, u'R'}, {Control::ReplyUrl, u'P'},
                                               {Control::ClearButton, u'C'}}));
  for (const auto& [id, key] : keys) EXPECT_EQ(Lookup(id).kind, Kind::CommandButton);
}

TEST(Controls, CaptionsShowWithoutTheirMarks) {
  EXPECT_EQ(StripAccessKey(u"Run Free-&Text Request"), u"Run Free-Text Request");
  EXPECT_EQ(StripAccessKey(u"Open Re&quest"), u"Open Request");
  EXPECT_EQ(StripAccessKey(u"Save && &Quit"), u"Save & Quit");
}

TEST(Controls, AssistiveToolsHearTheLabelBesideABoxOrTheFrameAroundIt) {
  const std::map<Control, std::u16string> names = {
      {Control::host, u"Status host"},          {Control::ActiveShape, u"Request active"},
      {Control::status, u"Status code"},        {Control::request, u"Free-Text Request Data"},
      {Control::output, u"Web-API Client Output"}, {Control::StatusButton, u"Run Status Request"}};
  for (const auto& [id, name] : names) EXPECT_EQ(AccessibleName(Lookup(id)), name) << Lookup(id).name;
  EXPECT_EQ(AccessibleDescription(Lookup(Control::ActiveShape)), Lookup(Control::ActiveLabel).tooltip);
}

TEST(Controls, EightControlsHaveTooltipsAndLightsHaveNone) {
  std::vector<Control> withTip;
  for (const ControlItem& item : kControls)
    if (!item.tooltip.empty()) withTip.push_back(item.id);
  EXPECT_THAT(withTip, ElementsAre(Control::host, Control::reqFile, Control::request, Control::repFile,
                                   Control::ActiveLabel, Control::LastStatusLabel, Control::status,
                                   Control::output));
  EXPECT_EQ(Lookup(Control::host).tooltip,
            u"Enter Manager host for status requests, on the form \"hostname or IP:portnumber\".");
}

TEST(Controls, ControlsInFramesSitAtTheFramesOffset) {
  const auto at = [](Control id) {
    const Point p = WindowPosition(Lookup(id));
    return std::make_pair(p.left, p.top);
  };
  EXPECT_EQ(at(Control::request), std::make_pair(240, 1440));
  EXPECT_EQ(at(Control::checkMemRaw), std::make_pair(240, 3600));
  EXPECT_EQ(at(Control::output), std::make_pair(240, 5520));
  EXPECT_EQ(at(Control::MemRequestButton), std::make_pair(1080, 3600));
}

TEST(Controls, EverythingLiesInsideTheMarginsAndOnlyTheTwoButtonsOverlapTheFrame) {
  struct Rect {
    int l, t, r, b;
  };
  const auto rect = [](const ControlItem& s) {
    const Point p = WindowPosition(s);
    return Rect{p.left, p.top, p.left + s.width, p.top + s.height};
  };
  for (const ControlItem& item : kControls) {
    const Rect r = rect(item);
    EXPECT_GE(r.l, 120) << item.name;
    EXPECT_GE(r.t, 120) << item.name;
    EXPECT_LE(r.r, 8775) << item.name;
    EXPECT_LE(r.b, 7695) << item.name;
  }
  std::vector<std::string> overlaps;
  for (const ControlItem& a : kControls)
    for (const ControlItem& b : kControls) {
      if (&a >= &b || a.container == b.id || b.container == a.id) continue;
      const Rect x = rect(a), y = rect(b);
      if (x.l < y.r && y.l < x.r && x.t < y.b && y.t < x.b)
        overlaps.push_back(std::string(a.name) + "/" + std::string(b.name));
    }
  EXPECT_THAT(overlaps, ElementsAre("MemRequestFrame/MemRequestButton", "MemRequestFrame/ResetButton"));
}

TEST(Controls, TwipsBecomePixelsAtTheScreensDpi) {
  EXPECT_EQ(TwipsToPixels(kClientWidth, 96), 594);
  EXPECT_EQ(TwipsToPixels(kClientHeight, 96), 522);
  EXPECT_EQ(TwipsToPixels(370, 96), 25);  // 24.67 rounds up
  EXPECT_EQ(TwipsToPixels(375, 96), 25);
  EXPECT_EQ(TwipsToPixels(120, 144), 12);
  EXPECT_EQ(TwipsToPixels(8910, 192), 1188);
}

}  // namespace
}  // namespace webapitest
