// The output pane's window class: painting, scrolling, caret, selection and the clipboard.
#include "window/win32/text_pane.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace webapitest::win32 {
namespace {

constexpr wchar_t kClassName[] = L"WebApiTestTextPane";
constexpr int kMargin = 2;
constexpr UINT kCopyCommand = 1, kSelectAllCommand = 2;

bool Pressed(int key) { return (GetKeyState(key) & 0x8000) != 0; }

std::wstring Shown(std::u16string_view text) {
  std::wstring s(reinterpret_cast<const wchar_t*>(text.data()), text.size());
  for (wchar_t& c : s)
    if (c < 0x20) c = L' ';  // a tab or control character takes one cell
  return s;
}

}  // namespace

TextPane* TextPane::Create(HWND parent, int id, const RECT& bounds, DWORD exStyle) {
  static const ATOM registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &TextPane::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc);
  }();
  if (!registered) return nullptr;
  auto* pane = new TextPane;
  // The edit control's style bits say what the pane is, for whoever looks (tests, readers).
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY;
  HWND hwnd = CreateWindowExW(exStyle, kClassName, L"", style,
                              bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                              parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), pane);
  if (!hwnd) {
    delete pane;
    return nullptr;
  }
  return pane;
}

LRESULT CALLBACK TextPane::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* pane = reinterpret_cast<TextPane*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    pane = static_cast<TextPane*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    pane->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pane));
  }
  if (!pane) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete pane;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return pane->OnMessage(message, wParam, lParam);
}

LRESULT TextPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      layout_.Assign(u"");
      SetFont(static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT)));
      return 0;
    case WM_SETFONT:
      SetFont(reinterpret_cast<HFONT>(wParam));
      if (LOWORD(lParam)) InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT:
      SetText(lParam ? std::u16string(reinterpret_cast<const char16_t*>(lParam)) : std::u16string());
      return TRUE;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(layout_.Text().size());
    case WM_GETTEXT: {
      if (wParam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(layout_.Text().size(), wParam - 1);
      std::memcpy(reinterpret_cast<wchar_t*>(lParam), layout_.Text().data(), n * sizeof(wchar_t));
      reinterpret_cast<wchar_t*>(lParam)[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;  // Tab, Enter, Escape go to the window
    // The edit control's messages that make sense for a read-only pane.
    case EM_GETSEL: {
      const auto from = static_cast<DWORD>(std::min(anchor_, caret_));
      const auto to = static_cast<DWORD>(std::max(anchor_, caret_));
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = from;
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = to;
      return MAKELRESULT(std::min<DWORD>(from, 0xFFFF), std::min<DWORD>(to, 0xFFFF));
    }
    case EM_SETSEL: {
      const auto end = layout_.Text().size();
      const auto at = [end](WPARAM value) {
        const auto signedValue = static_cast<long long>(static_cast<int>(value));
        return signedValue < 0 ? end : std::min<std::size_t>(static_cast<std::size_t>(signedValue), end);
      };
      Select(at(wParam), at(static_cast<WPARAM>(lParam)));
      return 0;
    }
    case EM_GETLINECOUNT: return static_cast<LRESULT>(layout_.RowCount());
    case EM_LINELENGTH: {
      const auto at = static_cast<long long>(static_cast<int>(wParam));
      return static_cast<LRESULT>(layout_.RowAt(layout_.RowOf(at < 0 ? caret_ : static_cast<std::size_t>(at))).length);
    }
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(0xFFFFFFFFu);  // no limit but memory
    case EM_SETLIMITTEXT: return 0;
    case WM_SIZE: Relayout(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
    case WM_VSCROLL: OnScroll(LOWORD(wParam)); return 0;
    case WM_MOUSEWHEEL: {
      UINT lines = 3;
      SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
      const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
      ScrollTo(static_cast<long long>(top_) - static_cast<long long>(notches) * static_cast<long long>(lines));
      return 0;
    }
    case WM_SETFOCUS:
      CreateCaret(hwnd_, nullptr, 1, rowHeight_);
      PlaceCaret();
      ShowCaret(hwnd_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS:
      DestroyCaret();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN: OnKeyDown(wParam); return 0;
    case WM_CHAR: return 0;  // read-only: typing changes nothing
    case WM_COPY: Copy(); return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd_);
      SetCapture(hwnd_);
      MoveCaret(OffsetAtPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)), (wParam & MK_SHIFT) != 0);
      goalColumn_ = layout_.ColumnOf(caret_);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd_) MoveCaret(OffsetAtPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)), true);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd_) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK: {
      const std::u16string_view text = layout_.Text();
      const std::size_t at = OffsetAtPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      const auto word = [&](std::size_t i) {
        return i < text.size() && (IsCharAlphaNumericW(static_cast<wchar_t>(text[i])) || text[i] == u'_');
      };
      std::size_t from = at, to = at;
      while (from > 0 && word(from - 1)) --from;
      while (word(to)) ++to;
      Select(from, to);
      return 0;
    }
    case WM_CONTEXTMENU: {
      HMENU menu = CreatePopupMenu();
      AppendMenuW(menu, MF_STRING | (caret_ == anchor_ ? MF_GRAYED : 0u), kCopyCommand, L"&Copy");
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, kSelectAllCommand, L"Select &All");
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (at.x == -1 && at.y == -1) {  // from the keyboard: at the caret
        at = {kMargin, kMargin};
        ClientToScreen(hwnd_, &at);
      }
      const UINT chosen = static_cast<UINT>(
          TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr));
      DestroyMenu(menu);
      if (chosen == kCopyCommand) Copy();
      if (chosen == kSelectAllCommand) Select(0, layout_.Text().size());
      return 0;
    }
    default: return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void TextPane::SetFont(HFONT font) {
  font_ = font;
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SIZE size{};
  GetTextExtentPoint32W(dc, L"M", 1, &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  charWidth_ = std::max<int>(1, static_cast<int>(size.cx));
  rowHeight_ = std::max<int>(1, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
  Relayout();
}

int TextPane::VisibleRows() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  return std::max(1, static_cast<int>(client.bottom - 2 * kMargin) / rowHeight_);
}

void TextPane::Relayout() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const auto columns = static_cast<std::size_t>(std::max(1, static_cast<int>(client.right - 2 * kMargin) / charWidth_));
  if (columns != layout_.columns()) layout_.SetColumns(columns);
  ScrollTo(static_cast<long long>(top_));
}

void TextPane::ScrollTo(long long row) {
  const long long rows = static_cast<long long>(layout_.RowCount());
  const long long last = std::max<long long>(0, rows - VisibleRows());
  top_ = static_cast<std::size_t>(std::clamp<long long>(row, 0, last));
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = static_cast<int>(std::min<long long>(rows - 1, INT32_MAX));
  info.nPage = static_cast<UINT>(VisibleRows());
  info.nPos = static_cast<int>(top_);
  SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
  InvalidateRect(hwnd_, nullptr, FALSE);
  PlaceCaret();
}

void TextPane::OnScroll(WORD request) {
  const long long page = VisibleRows();
  long long row = static_cast<long long>(top_);
  switch (request) {
    case SB_LINEUP: --row; break;
    case SB_LINEDOWN: ++row; break;
    case SB_PAGEUP: row -= page; break;
    case SB_PAGEDOWN: row += page; break;
    case SB_TOP: row = 0; break;
    case SB_BOTTOM: row = static_cast<long long>(layout_.RowCount()); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(hwnd_, SB_VERT, &info);  // 32 bits, unlike the message's 16
      row = info.nTrackPos;
      break;
    }
    default: return;
  }
  ScrollTo(row);
}

void TextPane::SetText(std::u16string text) {
  layout_.Assign(std::move(text));
  caret_ = anchor_ = goalColumn_ = 0;
  top_ = 0;
  Relayout();
}

void TextPane::Select(std::size_t anchor, std::size_t caret) {
  anchor_ = std::min(anchor, layout_.Text().size());
  MoveCaret(caret, true);
}

void TextPane::MoveCaret(std::size_t offset, bool extend) {
  caret_ = std::min(offset, layout_.Text().size());
  if (!extend) anchor_ = caret_;
  const long long row = static_cast<long long>(layout_.RowOf(caret_));
  if (row < static_cast<long long>(top_)) ScrollTo(row);
  else if (row >= static_cast<long long>(top_) + VisibleRows()) ScrollTo(row - VisibleRows() + 1);
  InvalidateRect(hwnd_, nullptr, FALSE);
  PlaceCaret();
}

void TextPane::PlaceCaret() const {
  if (GetFocus() != hwnd_) return;
  const std::size_t row = layout_.RowOf(caret_);
  const ::webapitest::WrappedText::Row r = layout_.RowAt(row);
  const long long shownRow = static_cast<long long>(row) - static_cast<long long>(top_);
  const int x = kMargin + static_cast<int>(std::min(caret_ - r.offset, r.length)) * charWidth_;
  const int y = shownRow < 0 || shownRow > VisibleRows() ? -rowHeight_ * 2 : kMargin + static_cast<int>(shownRow) * rowHeight_;
  SetCaretPos(x, y);
}

std::size_t TextPane::OffsetAtPoint(int x, int y) const {
  // Above the pane (a drag going up) is the row before the first on screen, so the caret
  // scrolls the text with it.
  const long long row = static_cast<long long>(top_) + (y < kMargin ? -1 : (y - kMargin) / rowHeight_);
  const int column = (std::max(0, x - kMargin) + charWidth_ / 2) / charWidth_;
  return layout_.OffsetAt(static_cast<std::size_t>(std::max<long long>(0, row)), static_cast<std::size_t>(column));
}

void TextPane::OnKeyDown(WPARAM key) {
  const bool extend = Pressed(VK_SHIFT), control = Pressed(VK_CONTROL);
  if (control && key == 'C') return Copy();
  if (control && key == 'A') return Select(0, layout_.Text().size());
  if (control && key == VK_INSERT) return Copy();
  using Motion = ::webapitest::WrappedText::Motion;
  Motion motion;
  switch (key) {
    case VK_LEFT: motion = Motion::Left; break;
    case VK_RIGHT: motion = Motion::Right; break;
    case VK_UP: motion = Motion::Up; break;
    case VK_DOWN: motion = Motion::Down; break;
    case VK_PRIOR: motion = Motion::PageUp; break;
    case VK_NEXT: motion = Motion::PageDown; break;
    case VK_HOME: motion = control ? Motion::TextStart : Motion::RowStart; break;
    case VK_END: motion = control ? Motion::TextEnd : Motion::RowEnd; break;
    default: return;
  }
  MoveCaret(layout_.Move(caret_, motion, goalColumn_, static_cast<std::size_t>(VisibleRows())), extend);
  if (!::webapitest::WrappedText::KeepsColumn(motion)) goalColumn_ = layout_.ColumnOf(caret_);
}

void TextPane::Copy() const {
  const std::u16string_view selected = layout_.Slice(anchor_, caret_);
  if (selected.empty() || !OpenClipboard(hwnd_)) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (selected.size() + 1) * sizeof(wchar_t))) {
    auto* dest = static_cast<wchar_t*>(GlobalLock(memory));
    std::memcpy(dest, selected.data(), selected.size() * sizeof(wchar_t));
    dest[selected.size()] = L'\0';
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

void TextPane::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, font_);
  const std::size_t selFrom = std::min(anchor_, caret_), selTo = std::max(anchor_, caret_);
  const std::size_t rows = layout_.RowCount();
  for (std::size_t i = 0; i <= static_cast<std::size_t>(VisibleRows()) && top_ + i < rows; ++i) {
    const ::webapitest::WrappedText::Row row = layout_.RowAt(top_ + i);
    const int y = kMargin + static_cast<int>(i) * rowHeight_;
    const std::wstring text = Shown(layout_.Text().substr(row.offset, row.length));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    ExtTextOutW(dc, kMargin, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    const std::size_t from = std::clamp(selFrom, row.offset, row.offset + row.length);
    const std::size_t to = std::clamp(selTo, row.offset, row.offset + row.length);
    const bool breakSelected = selFrom <= row.offset + row.length && selTo > row.offset + row.length;
    if (to > from || breakSelected) {
      const int x = kMargin + static_cast<int>(from - row.offset) * charWidth_;
      RECT box{x, y, x + static_cast<int>(to - from + (breakSelected ? 1 : 0)) * charWidth_, y + rowHeight_};
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      ExtTextOutW(dc, x, y, ETO_OPAQUE, &box, text.c_str() + (from - row.offset), static_cast<UINT>(to - from), nullptr);
    }
  }
  SelectObject(dc, oldFont);
  EndPaint(hwnd_, &ps);
}

}  // namespace webapitest::win32
