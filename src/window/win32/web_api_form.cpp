// The Win32 window: controls built from the control table, the Form operations on them, and
// one window procedure that turns their messages into the window's events.
#include "window/win32/web_api_form.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "window/win32/owned_window.h"
#include "window/win32/text.h"
#include "text/text.h"

namespace webapitest::win32 {
namespace {

constexpr wchar_t kClassName[] = L"WebApiForm";
// No WS_CLIPCHILDREN: the frames are transparent and need the window to paint behind them.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
// The window font: the platform's standard dialog font.
constexpr double kWindowFontPoints = 8.25;
// Long tooltips wrap at about four inches.
constexpr int kTooltipWidth = 4 * kTwipsPerInch;

std::string Name(const ControlItem& item) { return std::string(item.name); }

const wchar_t* FaceName(Face face) {
  return face == Face::CourierNew ? L"Courier New" : L"MS Sans Serif";
}

DWORD TextBoxStyle(unsigned flags) {
  DWORD style = 0;
  if (flags & kMultiLine) {
    style |= ES_MULTILINE | ES_AUTOVSCROLL;
    if (!(flags & kReadOnly)) style |= ES_WANTRETURN;  // Enter types a line break
  } else {
    style |= ES_AUTOHSCROLL;
  }
  if (flags & kHScroll) style |= WS_HSCROLL | ES_AUTOHSCROLL;  // lines never wrap
  if (flags & kVScroll) style |= WS_VSCROLL;
  if (flags & kReadOnly) style |= ES_READONLY;
  return style;
}

}  // namespace

WebApiForm::WebApiForm(HINSTANCE instance, int iconId)
    : instance_(instance),
      host_({[this](const std::string& message) { ShowCritical(kWindowTitle, FromUtf8(message)); },
             [this] {
               if (hwnd_) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
             }}) {
  INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = OwnedWindowProc<WebApiForm>;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error("Cannot register the window class: " + ErrorText(GetLastError()));

  HDC screen = GetDC(nullptr);
  dpi_ = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;

  // The table's size is the client area's; the frame comes on top of it.
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const std::wstring title = Wide(kWindowTitle);
  if (!CreateWindowExW(kExStyle, kClassName, title.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                       frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                       instance_, this))
    throw std::runtime_error("Cannot create the window: " + ErrorText(GetLastError()));

  try {
    if (iconId != 0) {
      const auto load = [&](int sizeMetric) {
        const int size = GetSystemMetrics(sizeMetric);
        return reinterpret_cast<LPARAM>(LoadImageW(instance_, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                   size, size, LR_DEFAULTCOLOR | LR_SHARED));
      };
      SendMessageW(hwnd_, WM_SETICON, ICON_BIG, load(SM_CXICON));
      SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, load(SM_CXSMICON));
    }
    BuildControls();
  } catch (...) {
    DestroyWindow(hwnd_);
    for (auto& font : fonts_) DeleteObject(font.second);
    throw;
  }
}

WebApiForm::~WebApiForm() {
  host_.SetEvents(nullptr);
  if (hwnd_) DestroyWindow(hwnd_);
  for (auto& font : fonts_) DeleteObject(font.second);
}

void WebApiForm::BuildControls() {
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
  if (!tooltip_) throw std::runtime_error("Cannot create the tooltips: " + ErrorText(GetLastError()));
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, TwipsToPixels(kTooltipWidth, dpi_));

  // Children are created in tab order: the first created is the first in the dialog
  // manager's tab order and the top of the z-order. The frames come late in the tab order,
  // so the buttons that lie over a frame stay above it. Lights are painted, not created.
  std::array<const ControlItem*, kControlCount> order{};
  std::transform(kControls.begin(), kControls.end(), order.begin(),
                 [](const ControlItem& item) { return &item; });
  std::stable_sort(order.begin(), order.end(), [](const ControlItem* a, const ControlItem* b) {
    return a->tabIndex < b->tabIndex;
  });
  for (const ControlItem* item : order)
    if (item->kind != Kind::Light) children_[static_cast<std::size_t>(item->id)] = CreateControl(*item);

  const ControlItem& first = Lookup(TabOrder()[0]);
  lastFocus_ = Child(first.id);
}

HWND WebApiForm::CreateControl(const ControlItem& item) {
  // WS_GROUP on every control: each is a group of its own, so the arrow keys never move the
  // focus onto a label or a frame. WS_CLIPSIBLINGS keeps a frame from painting over the
  // controls that lie above it.
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_GROUP;
  DWORD exStyle = 0;
  const wchar_t* windowClass = L"BUTTON";
  switch (item.kind) {
    case Kind::Label:
      windowClass = L"STATIC";
      // SS_NOTIFY: a label takes the mouse instead of letting it through to the window, so
      // the tooltip of a light's label shows when the mouse rests on it.
      style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
      break;
    case Kind::TextBox:
      windowClass = L"EDIT";
      exStyle |= WS_EX_CLIENTEDGE;
      style |= WS_TABSTOP | TextBoxStyle(item.flags);
      break;
    case Kind::CommandButton:
      style |= WS_TABSTOP | BS_PUSHBUTTON;  // never BS_DEFPUSHBUTTON: Enter clicks nothing
      break;
    case Kind::CheckBox:
      style |= WS_TABSTOP | BS_AUTOCHECKBOX;
      break;
    case Kind::Frame:
      style |= BS_GROUPBOX;
      break;
    case Kind::Light:
      return nullptr;
  }
  const RECT place = PixelRect(item);
  if (item.kind == Kind::TextBox && (item.flags & kMultiLine) && (item.flags & kReadOnly)) {
    // The output pane: a view that lays out only the rows on screen, so no reply is too
    // large for it (a wrapping EDIT takes half a minute for one 100,000-character line).
    output_ = TextPane::Create(hwnd_, ControlId(item.id), place, AccessibleName(item));
    if (!output_) throw std::runtime_error("Cannot create the control " + Name(item) + ": " + ErrorText(GetLastError()));
    SendMessageW(output_->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(item.font)), FALSE);
    output_->SetText(std::u16string(item.text));
    AddTooltip(item, output_->hwnd());
    return output_->hwnd();
  }
  const std::wstring text = Wide(item.text);
  HWND control = CreateWindowExW(exStyle, windowClass, text.c_str(), style, place.left, place.top,
                                 place.right - place.left, place.bottom - place.top, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(item.id))),
                                 instance_, nullptr);
  if (!control)
    throw std::runtime_error("Cannot create the control " + Name(item) + ": " + ErrorText(GetLastError()));
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(item.font)), FALSE);

  if (item.kind == Kind::TextBox) {
    SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no limit
    if (item.flags & kMultiLine) SetWindowSubclass(control, BoxProc, 0, 0);
  }
  AddTooltip(item, control);
  return control;
}

void WebApiForm::AddTooltip(const ControlItem& item, HWND control) {
  if (!item.tooltip.empty()) {
    std::wstring tip = Wide(item.tooltip);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = tip.data();
    if (!SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
      throw std::runtime_error("Cannot add the tooltip of " + Name(item) + ".");
  }
}

HFONT WebApiForm::FontFor(const Font& font) {
  const Face face = font.face == Face::WindowFont ? Face::MsSansSerif : font.face;
  const double points = font.face == Face::WindowFont ? kWindowFontPoints : font.points;
  const auto key = std::make_pair(face, points);
  if (const auto found = fonts_.find(key); found != fonts_.end()) return found->second;

  LOGFONTW description{};
  description.lfHeight = -static_cast<LONG>(std::lround(points * dpi_ / 72.0));
  description.lfWeight = FW_NORMAL;
  description.lfCharSet = ANSI_CHARSET;
  description.lfOutPrecision = OUT_DEFAULT_PRECIS;
  description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  description.lfQuality = DEFAULT_QUALITY;
  description.lfPitchAndFamily = face == Face::CourierNew ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS;
  wcsncpy(description.lfFaceName, FaceName(face), LF_FACESIZE - 1);
  HFONT handle = CreateFontIndirectW(&description);
  if (!handle) throw std::runtime_error("Cannot create the font " + ToUtf8(Utf16(FaceName(face))) + ".");
  fonts_.emplace(key, handle);
  return handle;
}

RECT WebApiForm::PixelRect(const ControlItem& item) const {
  const Point at = WindowPosition(item);
  const int left = TwipsToPixels(at.left, dpi_);
  const int top = TwipsToPixels(at.top, dpi_);
  return RECT{left, top, left + TwipsToPixels(item.width, dpi_), top + TwipsToPixels(item.height, dpi_)};
}

// ---- Window procedure --------------------------------------------------------------------

void WebApiForm::Attached(HWND hwnd) { hwnd_ = hwnd; }

void WebApiForm::Detached() {
  hwnd_ = nullptr;
  tooltip_ = nullptr;
  lastFocus_ = nullptr;
  children_.fill(nullptr);
}

LRESULT WebApiForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT:  // themed controls ask for the background behind them
      PaintLights(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam));
      return 0;
    case WM_SETFOCUS:
      if (lastFocus_) SetFocus(lastFocus_);
      return 0;
    case DM_GETDEFID:
      return 0;  // no default button: Enter clicks nothing
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

// Multi-line text boxes: Tab and Escape go to the dialog manager (Tab moves the focus on,
// Escape does nothing).
LRESULT CALLBACK WebApiForm::BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR subclass, DWORD_PTR) {
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = DefSubclassProc(box, message, wParam, lParam);
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (key && key->message == WM_KEYDOWN && (key->wParam == VK_TAB || key->wParam == VK_ESCAPE))
        code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) return 0;  // a multi-line EDIT would close the window
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(box, BoxProc, subclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(box, message, wParam, lParam);
}

void WebApiForm::OnCommand(int id, UINT code, HWND control) {
  // Enter and Escape arrive as IDOK and IDCANCEL with no control: nothing to click.
  if (code != BN_CLICKED || !control) return;
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(kControlCount)) return;
  const ControlItem& item = kControls[static_cast<std::size_t>(index)];
  if (item.kind != Kind::CommandButton || control != Child(item.id)) return;
  host_.Click(item.id);
}

void WebApiForm::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  PaintLights(dc);
  EndPaint(hwnd_, &paint);
}

void WebApiForm::PaintLights(HDC dc) {
  HPEN outline = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT));
  HGDIOBJ oldPen = SelectObject(dc, outline);
  for (const ControlItem& item : kControls) {
    if (item.kind != Kind::Light) continue;
    const Light& light = lights_[static_cast<std::size_t>(item.id)];
    HBRUSH fill = light.fill == Fill::Solid ? CreateSolidBrush(light.color)
                                            : static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    const RECT place = PixelRect(item);
    Ellipse(dc, place.left, place.top, place.right, place.bottom);
    SelectObject(dc, oldBrush);
    if (light.fill == Fill::Solid) DeleteObject(fill);
  }
  SelectObject(dc, oldPen);
  DeleteObject(outline);
}

LRESULT WebApiForm::OnCtlColorStatic(HDC dc, HWND control) {
  // Read-only text boxes keep the look of a text box; status writes in the grey-text colour.
  const int index = GetDlgCtrlID(control) - kFirstControlId;
  if (index >= 0 && index < static_cast<int>(kControlCount)) {
    const ControlItem& item = kControls[static_cast<std::size_t>(index)];
    if (item.kind == Kind::TextBox) {
      SetTextColor(dc, GetSysColor(item.flags & kGrayText ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
  }
  return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void WebApiForm::OnActivate(bool active) {
  // The focus leaves with the window and comes back to the same control.
  if (active) {
    if (lastFocus_) SetFocus(lastFocus_);
  } else if (HWND focus = GetFocus(); focus && IsChild(hwnd_, focus)) {
    lastFocus_ = focus;
  }
}

void WebApiForm::OnClose() {
  if (host_.Closing() && hwnd_) DestroyWindow(hwnd_);
}

void WebApiForm::OnDestroy() { PostQuitMessage(host_.exitCode()); }

// ---- Program side ------------------------------------------------------------------------

bool WebApiForm::Load() {
  if (host_.Load()) return true;
  if (hwnd_) DestroyWindow(hwnd_);
  return false;
}

void WebApiForm::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  if (GetActiveWindow() == hwnd_ && lastFocus_) SetFocus(lastFocus_);
}

bool WebApiForm::PreTranslate(MSG& message) {
  if (!hwnd_) return false;
  // The dialog manager takes a bare letter typed on a control that wants no characters (a
  // button, a check box) for an access key; here an access key needs Alt, so such a letter
  // goes to the control itself, which ignores it.
  if (message.message == WM_CHAR && IsChild(hwnd_, message.hwnd) &&
      !(SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message)) & DLGC_WANTCHARS))
    return false;
  return IsDialogMessageW(hwnd_, &message);
}

int WebApiForm::Run() {
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 1;
    if (!PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

// ---- Form --------------------------------------------------------------------------------

const ControlItem& WebApiForm::Require(Control control, Kind kind) const {
  if (control == Control::Window || Lookup(control).kind != kind)
    throw std::invalid_argument("The window has no such operation on the control " +
                                (control == Control::Window ? std::string("Window") : Name(Lookup(control))) + ".");
  return Lookup(control);
}

std::u16string WebApiForm::Text(Control box) const {
  Require(box, Kind::TextBox);
  if (box == Control::output) return std::u16string(output_->Text());
  return WindowText(Child(box));
}

void WebApiForm::SetText(Control box, std::u16string text) {
  const ControlItem& item = Require(box, Kind::TextBox);
  if (box == Control::output) return output_->SetText(std::move(text));
  if (!SetWindowTextW(Child(box), reinterpret_cast<const wchar_t*>(text.c_str())))
    throw std::runtime_error("Cannot show the text in " + Name(item) + ": " + ErrorText(GetLastError()));
}

int WebApiForm::Value(Control checkBox) const {
  Require(checkBox, Kind::CheckBox);
  return SendMessageW(Child(checkBox), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void WebApiForm::SetFillColor(Control light, Rgb color) {
  Require(light, Kind::Light);
  lights_[static_cast<std::size_t>(light)].color = color;
}

void WebApiForm::SetFillStyle(Control light, Fill fill) {
  Require(light, Kind::Light);
  lights_[static_cast<std::size_t>(light)].fill = fill;
}

void WebApiForm::Repaint(Control light) {
  const RECT place = PixelRect(Require(light, Kind::Light));
  // Painted before this returns: the caller may block the window's thread next.
  RedrawWindow(hwnd_, &place, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  GdiFlush();
  // Wine hands a window's painting to the display when its thread looks for messages; a wait
  // of no time does that without taking or dispatching any (on Windows it does nothing).
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

void WebApiForm::Focus(Control control) {
  HWND target = control == Control::Window ? nullptr : Child(control);
  if (!target || !(GetWindowLongW(target, GWL_STYLE) & WS_TABSTOP))
    throw std::invalid_argument("The control cannot take the focus.");
  lastFocus_ = target;
  SetFocus(target);
}

void WebApiForm::ShowCritical(std::u16string_view title, std::u16string_view text) {
  const std::wstring caption = Wide(title);
  const std::wstring message = Wide(text);
  MessageBoxW(hwnd_, message.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace webapitest::win32
