// The messages of a standard edit control that the output pane answers, for the window, tools
// and tests: its text, font, selection, rows (as a wrapping edit control counts lines), where
// characters are and scrolling; and the commands: its context menu, copying to the clipboard.
#include "window/win32/text_pane.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

namespace webapitest::win32 {
namespace {

// Two 16-bit halves as the box answers them: a LONG, widened with its sign.
LRESULT Halves(WORD low, WORD high) { return static_cast<LONG>(MAKELONG(low, high)); }

}  // namespace

LRESULT TextPane::OnEditMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      SetFont(reinterpret_cast<HFONT>(wParam));
      if (LOWORD(lParam)) InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    case WM_GETDLGCODE: {  // as the window's multi-line boxes: Tab and Escape go to the window
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      const bool leaves = key && key->message == WM_KEYDOWN && (key->wParam == VK_TAB || key->wParam == VK_ESCAPE);
      return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL | (leaves ? 0 : DLGC_WANTALLKEYS);
    }
    case EM_GETRECT:
      if (lParam) *reinterpret_cast<RECT*>(lParam) = FormatRect();
      return 0;
    case EM_GETMARGINS: return Halves(static_cast<WORD>(margins_.left), static_cast<WORD>(margins_.right));
    case EM_SETMARGINS: {  // EC_USEFONTINFO: the narrow margins the font's metrics give
      const auto margin = [this](WORD value) { return value == EC_USEFONTINFO ? fontMargin_ : static_cast<int>(value); };
      if (wParam & EC_LEFTMARGIN) margins_.left = margin(LOWORD(lParam));
      if (wParam & EC_RIGHTMARGIN) margins_.right = margin(HIWORD(lParam));
      Relayout();
      return 0;
    }
    case WM_VSCROLL: OnScroll(LOWORD(wParam)); return 0;
    case WM_COPY: Copy(); return 0;
    case WM_SETTEXT:
      SetText(lParam ? std::u16string(reinterpret_cast<const char16_t*>(lParam)) : std::u16string());
      return TRUE;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(Text().size());
    case WM_GETTEXT: {
      if (wParam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(Text().size(), wParam - 1);
      std::memcpy(reinterpret_cast<wchar_t*>(lParam), Text().data(), n * sizeof(wchar_t));
      reinterpret_cast<wchar_t*>(lParam)[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case EM_GETSEL: {
      const auto from = static_cast<DWORD>(std::min(anchor(), caret()));
      const auto to = static_cast<DWORD>(std::max(anchor(), caret()));
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = from;
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = to;
      return to > 0xFFFF ? -1 : Halves(static_cast<WORD>(from), static_cast<WORD>(to));  // too far for 16 bits
    }
    case EM_SETSEL: {
      if (static_cast<int>(wParam) == -1) {  // drops the selection, the caret staying
        Select(caret(), caret());
        return 0;
      }
      const auto at = [this](WPARAM value) {  // -1: the end
        const int signedValue = static_cast<int>(value);
        return signedValue < 0 ? Text().size() : static_cast<std::size_t>(signedValue);
      };
      Select(at(wParam), at(static_cast<WPARAM>(lParam)));
      return 0;
    }
    case EM_GETLINECOUNT: return static_cast<LRESULT>(model_.RowCount());
    case EM_LINELENGTH: {
      const auto at = static_cast<long long>(static_cast<int>(wParam));
      if (at < 0) {  // the characters left unselected on the rows of the selection, anchor first
        const PaneModel::Row first = model_.RowAt(model_.RowOf(anchor())), last = model_.RowAt(model_.RowOf(caret()));
        const auto unselected = static_cast<long long>(anchor() - first.offset) +
                                static_cast<long long>(last.offset + last.length) - static_cast<long long>(caret());
        return static_cast<LRESULT>(unselected);
      }
      return static_cast<LRESULT>(model_.RowAt(model_.RowOf(static_cast<std::size_t>(at))).length);
    }
    case EM_GETLINE: {  // a row's text into the buffer, whose first WORD says its size
      if (!lParam || wParam >= model_.RowCount()) return 0;
      auto* buffer = reinterpret_cast<wchar_t*>(lParam);
      const std::size_t size = *reinterpret_cast<const WORD*>(buffer);
      const PaneModel::Row row = model_.RowAt(wParam);
      const std::size_t n = std::min(row.length, size);
      std::memcpy(buffer, Text().data() + row.offset, n * sizeof(wchar_t));
      if (n < size) buffer[n] = L'\0';  // where there is room, as the box does; not counted
      return static_cast<LRESULT>(n);
    }
    case EM_LINEFROMCHAR: {  // -1: the row where the selection starts, or the caret's
      const int at = static_cast<int>(wParam);
      return static_cast<LRESULT>(model_.RowOf(at < 0 ? std::min(anchor(), caret()) : static_cast<std::size_t>(at)));
    }
    case EM_LINEINDEX: {  // -1: the caret's row
      const int row = static_cast<int>(wParam);
      const std::size_t r = row < 0 ? model_.RowOf(caret()) : static_cast<std::size_t>(row);
      return r < model_.RowCount() ? static_cast<LRESULT>(model_.RowAt(r).offset) : -1;
    }
    case EM_POSFROMCHAR: {  // client coordinates of a character's top left corner
      if (wParam >= Text().size()) return -1;
      const POINT at = CornerOf(geometry_.RectOf(model_.CellOf(wParam)));
      return Halves(static_cast<WORD>(at.x), static_cast<WORD>(at.y));
    }
    case EM_CHARFROMPOS: {  // the nearest place between characters, and its row, 16 bits each
      RECT client{};
      GetClientRect(hwnd_, &client);
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (!PtInRect(&client, point)) return -1;  // outside the pane: both halves 0xFFFF
      const std::size_t at = model_.OffsetAt(PointAt(lParam));
      return Halves(static_cast<WORD>(at), static_cast<WORD>(model_.RowOf(at)));
    }
    case EM_GETFIRSTVISIBLELINE:
    case EM_GETTHUMB: return static_cast<LRESULT>(model_.top());  // the scroll bar's position too
    case EM_SCROLL: {  // a row or a page either way; the rows it went, and TRUE
      const auto page = static_cast<long long>(model_.page()), before = static_cast<long long>(model_.top());
      const long long steps[] = {-1, 1, -page, page};  // SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN
      if (wParam > SB_PAGEDOWN) return FALSE;
      ScrollTo(before + steps[wParam]);
      const long long went = static_cast<long long>(model_.top()) - before;
      return went ? Halves(static_cast<WORD>(went), TRUE) : FALSE;
    }
    case EM_LINESCROLL: ScrollTo(static_cast<long long>(model_.top()) + static_cast<int>(lParam)); return TRUE;
    case EM_SCROLLCARET: Select(anchor(), caret()); return TRUE;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(0xFFFFFFFFu);  // no limit but memory
    case EM_SETLIMITTEXT: return 0;
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
  geometry_.SetCell(size.cx, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
  fontMargin_ = static_cast<int>(metrics.tmAveCharWidth / 2);  // a new font brings its own margins
  margins_ = {fontMargin_, 0, fontMargin_, 0};
  MakeCaret();  // as high as the new rows
  Relayout();
}

void TextPane::OnScroll(WORD request) {
  const auto page = static_cast<long long>(model_.page());
  long long row = static_cast<long long>(model_.top());
  switch (request) {
    case SB_LINEUP: --row; break;
    case SB_LINEDOWN: ++row; break;
    case SB_PAGEUP: row -= page; break;
    case SB_PAGEDOWN: row += page; break;
    case SB_TOP: row = 0; break;
    case SB_BOTTOM: row = static_cast<long long>(model_.MaxTop()); break;
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

void TextPane::Complete(PaneCommand done) {
  if (done == PaneCommand::Copy) Copy();
  else if (done != PaneCommand::None) Show();
}

void TextPane::OnContextMenu(LPARAM lParam) {
  HMENU menu = CreatePopupMenu();
  for (const PaneMenuItem& item : ContextMenu(model_)) {
    const UINT kind = item.command == PaneCommand::None ? MF_SEPARATOR : MF_STRING | (item.enabled ? 0u : MF_GRAYED);
    AppendMenuW(menu, kind, static_cast<UINT_PTR>(item.command), reinterpret_cast<const wchar_t*>(item.label));
  }
  POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (at.x == -1 && at.y == -1) {  // from the keyboard: at the pane's corner
    at = {geometry_.insets().left, geometry_.insets().top};
    ClientToScreen(hwnd_, &at);
  }
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  DestroyMenu(menu);
  Complete(ChooseMenuItem(model_, static_cast<PaneCommand>(chosen)));
}

// The box's formatting rectangle: the client area a pixel in from its sunken edge, less the
// margins at either side, as many whole rows high as fit (one at least).
RECT TextPane::FormatRect() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const LONG edge = (GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ? 1 : 0;
  const LONG row = geometry_.rowHeight(), rows = std::max<LONG>(1, (client.bottom - 2 * edge) / row);
  return {edge + margins_.left, edge, std::max<LONG>(edge + margins_.left, client.right - edge - margins_.right),
          edge + rows * row};
}

LPARAM TextPane::Confined(LPARAM point) const {
  const RECT format = FormatRect();
  const auto held = [](int v, LONG from, LONG to) { return static_cast<WORD>(std::clamp<LONG>(v, from, std::max(from, to - 1))); };
  return MAKELPARAM(held(GET_X_LPARAM(point), format.left, format.right), held(GET_Y_LPARAM(point), format.top, format.bottom));
}

void TextPane::Reformat() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const RECT format = FormatRect();
  geometry_.SetInsets({format.left, format.top, client.right - format.right, client.bottom - format.bottom});
  // A row's text stays clear of the rectangle's right edge, as the box wraps it.
  model_.Resize(geometry_.Columns(client.right - 1), geometry_.Rows(client.bottom));
}

POINT TextPane::CornerOf(const PaneRect& r) {
  const auto held = [](double v) { return static_cast<int>(std::clamp(v, -32768.0, 32767.0)); };
  return {held(r.left), held(r.top)};
}

void TextPane::Copy() const {
  const std::u16string_view selected = model_.SelectedText();
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

}  // namespace webapitest::win32
