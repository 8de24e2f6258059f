// The control table of the one window, and the small rules for reading it.
#include "window/controls.h"

#include <algorithm>

namespace webapitest {
namespace {

constexpr Font kWindowFont{Face::WindowFont, 0};
constexpr Font kLabelFont{Face::MsSansSerif, 9.75};
constexpr Font kBoxFont{Face::CourierNew, 8.25};
constexpr Font kStatusFont{Face::CourierNew, 9.75};

#ifdef _WIN32
constexpr std::u16string_view kRequestPath = u"C:\\temp\\request.xml";
constexpr std::u16string_view kReplyPath = u"C:\\temp\\reply.txt";
#else
constexpr std::u16string_view kRequestPath = u"/tmp/request.xml";
constexpr std::u16string_view kReplyPath = u"/tmp/reply.txt";
#endif

using C = Control;
using K = Kind;

}  // namespace

// clang-format off
const std::array<ControlItem, kControlCount> kControls = {{
  // Area 1: status request.
  {C::HostLabel, "HostLabel", K::Label, C::Window, 120, 120, 975, 370,
   u"Status host", kLabelFont, u"", 17, 0},
  {C::host, "host", K::TextBox, C::Window, 1560, 120, 4215, 370,
   u"localhost:3380", kWindowFont,
   u"Enter Manager host for status requests, on the form \"hostname or IP:portnumber\".", 0, 0},
  {C::StatusButton, "StatusButton", K::CommandButton, C::Window, 5880, 120, 2895, 370,
   u"Run &Status Request", kWindowFont, u"", 1, 0},

  // Area 2: file request.
  {C::FileLabel, "FileLabel", K::Label, C::Window, 120, 650, 1305, 370,
   u"Request file", kLabelFont, u"", 18, 0},
  {C::reqFile, "reqFile", K::TextBox, C::Window, 1560, 650, 4215, 370,
   kRequestPath, kWindowFont,
   u"Enter the full path to a file containing webapirequest data and click \"Run File Request\".", 2, 0},
  {C::checkFileRaw, "checkFileRaw", K::CheckBox, C::Window, 5880, 650, 630, 370,
   u"Raw", kWindowFont, u"", 3, 0},
  {C::FileRequestButton, "FileRequestButton", K::CommandButton, C::Window, 6600, 650, 855, 370,
   u"Run &File", kWindowFont, u"", 4, 0},
  {C::RequestUrl, "RequestUrl", K::CommandButton, C::Window, 7560, 650, 1215, 370,
   u"Open Re&quest", kWindowFont, u"", 5, 0},

  // Area 3: free-text request. The two buttons belong to the window and are stacked above
  // the frame's bottom strip.
  {C::MemRequestFrame, "MemRequestFrame", K::Frame, C::Window, 120, 1200, 8655, 2895,
   u"Free-Text Request Data", kWindowFont, u"", 20, 0},
  {C::request, "request", K::TextBox, C::MemRequestFrame, 120, 240, 8415, 2055,
   u"", kBoxFont,
   u"Enter or paste any webapirequest into this area and click \"Run Free-Text Request\".", 6,
   kMultiLine | kVScroll | kHScroll},
  {C::checkMemRaw, "checkMemRaw", K::CheckBox, C::MemRequestFrame, 120, 2400, 735, 375,
   u"Raw", kWindowFont, u"", 7, 0},
  {C::MemRequestButton, "MemRequestButton", K::CommandButton, C::Window, 1080, 3600, 2655, 375,
   u"Run Free-&Text Request", kWindowFont, u"", 8, 0},
  {C::ResetButton, "ResetButton", K::CommandButton, C::Window, 6000, 3600, 2655, 375,
   u"Reset Free-Text to Template", kWindowFont, u"", 9, 0},

  // Area 4: reply file.
  {C::ReplyLabel, "ReplyLabel", K::Label, C::Window, 120, 4200, 840, 375,
   u"Reply file", kLabelFont, u"", 22, 0},
  {C::repFile, "repFile", K::TextBox, C::Window, 1560, 4200, 4215, 370,
   kReplyPath, kWindowFont,
   u"Enter full path to a file where the webapireply data will be written. Click \"Refresh\" "
   u"to re-read client output from the file.", 10, 0},
  {C::RefreshButton, "RefreshButton", K::CommandButton, C::Window, 5880, 4200, 1335, 370,
   u"&Reload to output", kWindowFont, u"", 11, 0},
  {C::ReplyUrl, "ReplyUrl", K::CommandButton, C::Window, 7440, 4200, 1335, 370,
   u"Open Re&ply", kWindowFont, u"", 12, 0},

  // Area 5: lights, status code, clear.
  {C::ActiveLabel, "ActiveLabel", K::Label, C::Window, 120, 4800, 1455, 375,
   u"Request active", kLabelFont, u"This light will be green while running a request.", 21, 0},
  {C::ActiveShape, "ActiveShape", K::Light, C::Window, 1680, 4800, 375, 375,
   u"", kWindowFont, u"", -1, 0},
  {C::LastStatusLabel, "LastStatusLabel", K::Label, C::Window, 2400, 4800, 1455, 375,
   u"Request status", kLabelFont,
   u"This light will be green if the last request was successful, or red if not.", 23, 0},
  {C::StatusShape, "StatusShape", K::Light, C::Window, 3960, 4800, 375, 375,
   u"", kWindowFont, u"", -1, 0},
  {C::StatusLabel, "StatusLabel", K::Label, C::Window, 4680, 4800, 1065, 375,
   u"Status code", kLabelFont, u"", 19, 0},
  {C::status, "status", K::TextBox, C::Window, 5880, 4800, 1335, 370,
   u"0", kStatusFont,
   u"Status code for last request. See the webapi.h interface specification for a list of all codes.",
   13, kReadOnly | kGrayText},
  {C::ClearButton, "ClearButton", K::CommandButton, C::Window, 7440, 4800, 1335, 370,
   u"&Clear output", kWindowFont, u"", 14, 0},

  // Area 6: output.
  {C::OutputFrame, "OutputFrame", K::Frame, C::Window, 120, 5280, 8655, 2415,
   u"Web-API Client Output", kWindowFont, u"", 16, 0},
  {C::output, "output", K::TextBox, C::OutputFrame, 120, 240, 8415, 2055,
   u"", kBoxFont, u"Reply data from the last request", 15, kMultiLine | kReadOnly | kVScroll},
}};
// clang-format on

std::u16string StripAccessKey(std::u16string_view caption) {
  std::u16string shown;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown;
}

namespace {

// The label that names a control: the nearest label to its left on the same line of the same
// container, or none.
const ControlItem* LabelBeside(const ControlItem& item) {
  const ControlItem* found = nullptr;
  for (const ControlItem& other : kControls) {
    if (other.kind != Kind::Label || other.container != item.container || other.top != item.top ||
        other.left >= item.left)
      continue;
    if (!found || other.left > found->left) found = &other;
  }
  return found;
}

}  // namespace

std::u16string AccessibleName(const ControlItem& item) {
  if (item.kind == Kind::TextBox || item.kind == Kind::Light) {
    if (const ControlItem* label = LabelBeside(item)) return StripAccessKey(label->text);
    if (item.container != Control::Window) return StripAccessKey(Lookup(item.container).text);
    return std::u16string(item.name.begin(), item.name.end());
  }
  return StripAccessKey(item.text);
}

std::u16string_view AccessibleDescription(const ControlItem& item) {
  if (item.kind == Kind::Light) {
    if (const ControlItem* label = LabelBeside(item)) return label->tooltip;
  }
  return item.tooltip;
}

Point WindowPosition(const ControlItem& item) {
  Point p{item.left, item.top};
  if (item.container != Control::Window) {
    const ControlItem& frame = Lookup(item.container);
    p.left += frame.left;
    p.top += frame.top;
  }
  return p;
}

int TwipsToPixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>((scaled + kTwipsPerInch / 2) / kTwipsPerInch);
}

std::array<Control, 16> TabOrder() {
  std::array<const ControlItem*, kControlCount> sorted{};
  for (std::size_t i = 0; i < kControlCount; ++i) sorted[i] = &kControls[i];
  std::sort(sorted.begin(), sorted.end(),
            [](const ControlItem* a, const ControlItem* b) { return a->tabIndex < b->tabIndex; });
  std::array<Control, 16> order{};
  std::size_t n = 0;
  for (const ControlItem* item : sorted) {
    const bool focusable = item->kind == Kind::TextBox || item->kind == Kind::CommandButton ||
                           item->kind == Kind::CheckBox;
    if (focusable && n < order.size()) order[n++] = item->id;
  }
  return order;
}

}  // namespace webapitest
