// The output pane's Win32 adapter: messages onto the pane model, its rows painted, the clipboard.
#include "window/win32/text_pane.h"
#include "window/win32/owned_window.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>

namespace webapitest::win32 {
namespace {

// The keys the pane answers, by their virtual-key codes.
constexpr PaneKeyName kKeys[] = {
    {VK_LEFT, PaneKey::Left}, {VK_RIGHT, PaneKey::Right}, {VK_UP, PaneKey::Up}, {VK_DOWN, PaneKey::Down},
    {VK_PRIOR, PaneKey::PageUp}, {VK_NEXT, PaneKey::PageDown}, {VK_HOME, PaneKey::Home}, {VK_END, PaneKey::End},
    {'A', PaneKey::A}, {'C', PaneKey::C}, {VK_INSERT, PaneKey::Insert}};

bool Pressed(int key) { return (GetKeyState(key) & 0x8000) != 0; }

int ToInt(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, INT32_MAX)); }

}  // namespace

TextPane* TextPane::Create(HWND parent, int id, const RECT& bounds, std::u16string name, DWORD exStyle) {
  static const bool registered = RegisterPaneClass(&OwnedWindowProc<TextPane>);
  if (!registered) return nullptr;
  auto* pane = new TextPane;
  pane->name_ = std::move(name);
  pane->model_.SetPointsPastWraps(true);
  // The edit control's style bits say what the pane is, for whoever looks (tests, readers).
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
  const HWND hwnd = CreatePaneWindow(exStyle, style, bounds, parent, id, pane);
  if (!hwnd) {
    delete pane;
    return nullptr;
  }
  return pane;
}

LRESULT TextPane::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: SetFont(static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT))); return 0;
    case WM_SIZE: Relayout(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
    case WM_MOUSEWHEEL: {  // parts of a notch (touchpads) add up in the model
      UINT lines = 3;
      SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
      const auto turn = WheelTurn::Notches(GET_WHEEL_DELTA_WPARAM(wParam), lines, lines == WHEEL_PAGESCROLL);
      model_.Wheel(geometry_.RowsOf(turn, model_.page()));
      Show();
      return 0;
    }
    case WM_SETFOCUS:
      MakeCaret();  // readers hear of the focus from the system itself
      return 0;
    case WM_KILLFOCUS:
      DestroyCaret();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN: OnKeyDown(wParam); return 0;
    case WM_CHAR: return 0;  // read-only: typing changes nothing
    case WM_GETOBJECT:  // readers ask for the client area; the frame and the scroll bar are the system's
      if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) return accessible_.Answer(wParam);
      return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_LBUTTONDOWN:
      SetFocus(hwnd_);
      SetCapture(hwnd_);
      model_.Click(PointAt(Confined(lParam)), (wParam & MK_SHIFT) != 0);
      Show();
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() != hwnd_) return 0;
      model_.Drag(PointAt(lParam));
      Show();
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd_) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      model_.DoubleClick(PointAt(lParam));
      Show();
      return 0;
    case WM_CONTEXTMENU: OnContextMenu(lParam); return 0;
    default: return OnEditMessage(message, wParam, lParam);
  }
}

void TextPane::Relayout() {
  Reformat();
  Show();
}

void TextPane::ScrollTo(long long row) {
  model_.ScrollTo(row);
  Show();
}

void TextPane::Show() {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = ToInt(model_.RowCount() - 1);
  info.nPage = static_cast<UINT>(model_.page());
  info.nPos = ToInt(model_.top());
  // Redrawn at once by the system, so not for every selection a reader sets.
  if (info.nMax != shownBar_.nMax || info.nPage != shownBar_.nPage || info.nPos != shownBar_.nPos ||
      !shownBar_.cbSize) {
    SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
    shownBar_ = info;
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
  PlaceCaret();
}

void TextPane::MakeCaret() {
  if (GetFocus() != hwnd_) return;
  DWORD width = 1;  // as thick as the user asked for in the system's settings
  SystemParametersInfoW(SPI_GETCARETWIDTH, 0, &width, 0);
  CreateCaret(hwnd_, nullptr, std::max(1, static_cast<int>(width)), geometry_.rowHeight());
  caretAt_ = {INT_MIN, INT_MIN};
  ShowCaret(hwnd_);
  PlaceCaret();  // readers told only once it is there to be found
}

void TextPane::PlaceCaret() {
  if (GetFocus() != hwnd_) return;
  // Off screen too where EM_POSFROMCHAR says, in its 16 bits: the system clips what it draws.
  const POINT at = CornerOf(geometry_.RectOf({model_.CaretRow(), model_.CaretColumn(), 1}));
  if (at.x == caretAt_.x && at.y == caretAt_.y) return;
  caretAt_ = at;
  SetCaretPos(at.x, at.y);
  NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, hwnd_, OBJID_CARET, CHILDID_SELF);
}

void TextPane::SetText(std::u16string text) {
  model_.SetText(std::move(text));
  Relayout();
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

void TextPane::Select(std::size_t anchor, std::size_t caret) {
  model_.Select(anchor, caret);
  Show();
}

PaneModel::Point TextPane::PointAt(LPARAM lParam) const {
  return geometry_.PointAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

void TextPane::OnKeyDown(WPARAM key) {
  Complete(PressKey(model_, KeyNamed(static_cast<long long>(key), kKeys), Pressed(VK_CONTROL), Pressed(VK_SHIFT)));
}

void TextPane::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, font_);
  geometry_.PaintRows(model_, [dc](const PaneModel::Run& run, const PaneRect& r) {
    const int x = static_cast<int>(r.left), y = static_cast<int>(r.top);
    const RECT box{x, y, x + static_cast<int>(r.width), y + static_cast<int>(r.height)};
    SetBkMode(dc, run.selected ? OPAQUE : TRANSPARENT);
    SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(run.selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    ExtTextOutW(dc, x, y, run.selected ? ETO_OPAQUE : 0u, &box, reinterpret_cast<const wchar_t*>(run.text.c_str()),
                static_cast<UINT>(run.text.size()), nullptr);
  });
  SelectObject(dc, oldFont);
  EndPaint(hwnd_, &ps);
}

}  // namespace webapitest::win32
