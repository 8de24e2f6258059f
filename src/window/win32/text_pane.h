// The output pane on Windows: a read-only view of a reply of any size. Lines wrap at the
// pane's width in its fixed-pitch font; only the rows on screen are painted, so tens of
// megabytes, one huge line or millions of lines show at once. The caret moves with the keys,
// text is selected with the mouse or Shift and copied with Ctrl+C or the context menu.
#pragma once

#include <windows.h>

#include <string_view>

#include "window/wrapped_text.h"

namespace webapitest::win32 {

class TextPane {
 public:
  // Creates the pane as a child of parent; it is destroyed with it.
  static TextPane* Create(HWND parent, int id, const RECT& bounds, DWORD exStyle = WS_EX_CLIENTEDGE);

  HWND hwnd() const { return hwnd_; }
  // Lines separated by CR LF (or LF). The caret goes to the start, nothing selected.
  void SetText(std::u16string text);
  std::u16string_view Text() const { return layout_.Text(); }
  const ::webapitest::WrappedText& layout() const { return layout_; }
  std::size_t caret() const { return caret_; }
  std::size_t anchor() const { return anchor_; }
  void Select(std::size_t anchor, std::size_t caret);
  void Copy() const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnKeyDown(WPARAM key);
  void OnScroll(WORD request);
  void SetFont(HFONT font);
  void Relayout();
  int VisibleRows() const;
  void ScrollTo(long long row);
  void MoveCaret(std::size_t offset, bool extend);
  void PlaceCaret() const;
  std::size_t OffsetAtPoint(int x, int y) const;

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  int charWidth_ = 8;
  int rowHeight_ = 16;
  ::webapitest::WrappedText layout_;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  std::size_t goalColumn_ = 0;
  std::size_t top_ = 0;  // the first row on screen
};

}  // namespace webapitest::win32
