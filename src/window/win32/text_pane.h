// The output pane on Windows: a read-only view of a reply of any size. Lines wrap at the
// pane's width in its fixed-pitch font, after the last blank that fits; tabs reach stops of 8
// cells, wide characters take two. Only the rows on screen are painted, so tens of megabytes,
// one huge line or millions of lines show at once. The caret moves with the keys,
// text is selected with the mouse or Shift and copied with Ctrl+C or the context menu. What
// the caret, selection and scrolling do is the shared pane model's; this window maps its
// messages onto it and paints. Screen readers and magnifiers find it as read-only text with a
// system caret, told of its caret's moves and of new text.
#pragma once

#include <windows.h>

#include <string_view>

#include "window/pane_geometry.h"
#include "window/pane_model.h"
#include "window/win32/text_pane_accessible.h"

namespace webapitest::win32 {

class TextPane {
 public:
  // Creates the pane as a child of parent; it is destroyed with it. Readers call it by name.
  static TextPane* Create(HWND parent, int id, const RECT& bounds, std::u16string name,
                          DWORD exStyle = WS_EX_CLIENTEDGE);

  HWND hwnd() const { return hwnd_; }
  const std::u16string& name() const { return name_; }
  // Lines separated by CR LF (or LF). The caret goes to the start, nothing selected.
  void SetText(std::u16string text);
  std::u16string_view Text() const { return model_.Text(); }
  std::size_t caret() const { return model_.caret(); }
  std::size_t anchor() const { return model_.anchor(); }
  void Select(std::size_t anchor, std::size_t caret);
  void Copy() const;

 private:
  template <typename Owner>
  friend LRESULT CALLBACK OwnedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Attached(HWND hwnd) { hwnd_ = hwnd; }
  void Detached() { delete this; }  // the pane lives as long as its window
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnEditMessage(UINT message, WPARAM wParam, LPARAM lParam);  // text, selection, rows
  void OnPaint();
  void OnKeyDown(WPARAM key);
  void OnContextMenu(LPARAM lParam);
  void Complete(::webapitest::PaneCommand done);  // a key's or menu item's copy, or its change shown
  void OnScroll(WORD request);
  void SetFont(HFONT font);
  void Relayout();
  void Reformat();  // the text into the formatting rectangle, rows wrapped to its width
  RECT FormatRect() const;
  LPARAM Confined(LPARAM point) const;  // a click's point, held inside the formatting rectangle
  void ScrollTo(long long row);
  void Show();  // brings the scroll bar, the screen and the system caret up to the model
  void MakeCaret();   // the system caret, a row high, while the pane has the focus
  void PlaceCaret();  // the system caret at the model's, and readers told when it moved
  ::webapitest::PaneModel::Point PointAt(LPARAM lParam) const;
  static POINT CornerOf(const ::webapitest::PaneRect& rect);  // held to the 16 bits messages carry

  HWND hwnd_ = nullptr;
  std::u16string name_;
  HFONT font_ = nullptr;
  int fontMargin_ = 0;  // the margin EC_USEFONTINFO asks for
  RECT margins_{};      // left and right only
  POINT caretAt_{};
  SCROLLINFO shownBar_{};  // what the scroll bar shows: set again only when it changes
  ::webapitest::PaneModel model_;
  ::webapitest::PaneGeometry geometry_;
  TextPaneAccessible accessible_{*this};
};

}  // namespace webapitest::win32
