// The window's controls as data: the one place where a control's kind, place, text, font,
// tooltip and tab index are written. Both front ends walk this table to build the window.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace webapitest {

// Every control of the window, area by area, top to bottom.
enum class Control {
  HostLabel, host, StatusButton,
  FileLabel, reqFile, checkFileRaw, FileRequestButton, RequestUrl,
  MemRequestFrame, request, checkMemRaw, MemRequestButton, ResetButton,
  ReplyLabel, repFile, RefreshButton, ReplyUrl,
  ActiveLabel, ActiveShape, LastStatusLabel, StatusShape, StatusLabel, status, ClearButton,
  OutputFrame, output,
  Window,  // not a control: the window itself, whose client area holds the other controls
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::Window);

enum class Kind { Label, TextBox, CommandButton, CheckBox, Frame, Light };

// Fonts: the window's own (the platform's dialog font) or a named face at a point size.
enum class Face { WindowFont, CourierNew, MsSansSerif };
struct Font {
  Face face;
  double points;  // 0 with WindowFont
};

// Text box settings; other kinds keep 0.
enum BoxFlags : unsigned {
  kMultiLine = 1u << 0,
  kReadOnly = 1u << 1,
  kVScroll = 1u << 2,
  kHScroll = 1u << 3,   // lines never wrap; without it, a multi-line box wraps at its width
  kGrayText = 1u << 4,  // text in the system's grey-text colour
};

struct ControlItem {
  Control id;
  std::string_view name;  // the control's name, e.g. "StatusButton"
  Kind kind;
  Control container;      // a frame, or Control::Window for the window's client area
  // Twips (1440 to the inch, 15 to the pixel at 96 DPI), from the container's top-left corner.
  int left, top, width, height;
  // Caption or initial text; an "&" marks the access key of a command button.
  std::u16string_view text;
  Font font;
  std::u16string_view tooltip;  // empty: none
  int tabIndex;                 // -1: takes no focus and is not in the tab order
  unsigned flags;
};

extern const std::array<ControlItem, kControlCount> kControls;

// The table's item of a control.
inline const ControlItem& Lookup(Control id) { return kControls[static_cast<std::size_t>(id)]; }

// The window itself.
inline constexpr std::u16string_view kWindowTitle = u"Web-API DLL Test";
inline constexpr int kClientWidth = 8910;   // twips
inline constexpr int kClientHeight = 7830;  // twips
inline constexpr int kTwipsPerInch = 1440;

// The caption as shown: every "&" that marks an access key removed ("&&" shows one "&").
std::u16string StripAccessKey(std::u16string_view caption);

// What assistive tools call a control: its caption as shown; for a text box or a light, the
// label beside it (host: "Status host", ActiveShape: "Request active"), else the frame around
// it (output: "Web-API Client Output"), else the control's name.
std::u16string AccessibleName(const ControlItem& item);
// Its tooltip; a light, which has none, is described by its label's.
std::u16string_view AccessibleDescription(const ControlItem& item);

// A control's Left and Top in the window's client area (frames offset their contents).
struct Point {
  int left, top;
};
Point WindowPosition(const ControlItem& item);

// Twips to pixels at a given DPI, rounded to the nearest pixel (15 twips a pixel at 96 DPI).
int TwipsToPixels(int twips, int dpi);

// The controls that take the keyboard focus, in tab order.
std::array<Control, 16> TabOrder();

}  // namespace webapitest
