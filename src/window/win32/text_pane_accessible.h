// The output pane as screen readers and magnifiers see it: read-only text, named after the
// frame around it, whose value is the pane's text.
#pragma once

#include <windows.h>

namespace webapitest::win32 {

class TextPane;

// The pane's window class. Screen readers and UI Automation choose their edit-control support
// by class name (GetClassName, RealGetWindowClass), so it has the edit control's name. Windows
// find a class by name and instance handle, a local class first: this one belongs to a handle
// of its own, 64 KB into the program's image, where no module starts (and which Wine, comparing
// handles without their low 16 bits, tells from the program's too). The boxes made under the
// program's own handle stay the system's edit controls.
inline constexpr wchar_t kPaneClassName[] = L"Edit";
inline HINSTANCE PaneInstance() {
  return reinterpret_cast<HINSTANCE>(reinterpret_cast<UINT_PTR>(GetModuleHandleW(nullptr)) + 0x10000);
}

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
