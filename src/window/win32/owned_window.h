// The window procedure of a window class whose windows each belong to a C++ object.
#pragma once

#include <windows.h>

namespace webapitest::win32 {

// The object handed to CreateWindowExW comes back at WM_NCCREATE (Attached), is kept in the
// window's GWLP_USERDATA and handles every message after that (HandleMessage); at
// WM_NCDESTROY it hears that its window is gone (Detached), after which it gets no message.
// Owner befriends this function to keep the three private.
template <typename Owner>
LRESULT CALLBACK OwnedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    owner->Attached(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  }
  if (!owner) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    owner->Detached();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return owner->HandleMessage(message, wParam, lParam);
}

}  // namespace webapitest::win32
