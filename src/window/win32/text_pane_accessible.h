// The output pane as screen readers and magnifiers see it: read-only text, named after the
// frame around it, whose value is the pane's text.
#pragma once

#include <windows.h>

namespace webapitest::win32 {

class TextPane;

// The pane's window class, named as the edit control's (text_pane_accessible.cpp says why),
// registered once for windows whose messages go to proc; false where that failed.
bool RegisterPaneClass(WNDPROC proc);
// A window of that class for owner, which proc gets at WM_NCCREATE as lpCreateParams.
HWND CreatePaneWindow(DWORD exStyle, DWORD style, const RECT& bounds, HWND parent, int id, void* owner);

// The pane's accessible object, handed out at WM_GETOBJECT for its client area. Readers
// count their own references, so the object may outlive the pane: from the pane's end on it
// answers every question with RPC_E_DISCONNECTED, as the system's objects of a closed window do.
class TextPaneAccessible {
 public:
  explicit TextPaneAccessible(const TextPane& pane) : pane_(pane) {}
  ~TextPaneAccessible();
  TextPaneAccessible(const TextPaneAccessible&) = delete;
  TextPaneAccessible& operator=(const TextPaneAccessible&) = delete;

  // The reply to WM_GETOBJECT with OBJID_CLIENT: the object marshalled by LresultFromObject,
  // or the failure's HRESULT.
  LRESULT Answer(WPARAM wParam);

 private:
  class Object;
  const TextPane& pane_;
  Object* object_ = nullptr;  // made at the first request; one reference held here
};

}  // namespace webapitest::win32
