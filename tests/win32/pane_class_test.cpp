// The output pane's window class as assistive tools see it: the edit control's name, while the
// window's other text boxes stay the system's own edit controls.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>

#include "live_window.h"

namespace webapitest::testing {
namespace {

std::wstring ClassName(HWND hwnd) {
  wchar_t name[256] = {};
  return std::wstring(name, static_cast<std::size_t>(GetClassNameW(hwnd, name, 256)));
}
std::wstring RealClass(HWND hwnd) {
  wchar_t name[256] = {};
  return std::wstring(name, RealGetWindowClassW(hwnd, name, 256));
}

// A system EDIT made here, under a handle no class of the program's belongs to.
struct SystemEdit {
  HWND hwnd = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                              GetModuleHandleW(L"user32.dll"), nullptr);
  ~SystemEdit() { DestroyWindow(hwnd); }
};

TEST(OutputPaneClass, ReadersSeeTheEditControlsClassAndTheOtherBoxesAreTheSystems) {
  LiveWindow live;
  const SystemEdit edit;
  ASSERT_NE(edit.hwnd, nullptr);
  const auto systemProc = GetClassLongPtrW(edit.hwnd, GCLP_WNDPROC);
  const HWND pane = live[Control::output];

  // What NVDA, JAWS and UI Automation's proxies look at: the names, as a system EDIT's.
  EXPECT_EQ(ClassName(pane), ClassName(edit.hwnd));
  EXPECT_EQ(RealClass(pane), RealClass(edit.hwnd));
  IAccessible* object = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(pane, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&object)), S_OK);
  VARIANT self{}, role{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  EXPECT_EQ(object->get_accRole(self, &role), S_OK);
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
  object->Release();

  // The pane's class is its own, found under its instance handle; the program's handle finds
  // the system's.
  const auto paneInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(pane, GWLP_HINSTANCE));
  WNDCLASSEXW found{};
  found.cbSize = sizeof found;
  ASSERT_TRUE(GetClassInfoExW(paneInstance, L"Edit", &found));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(found.lpfnWndProc), static_cast<LONG_PTR>(GetClassLongPtrW(pane, GCLP_WNDPROC)));
  EXPECT_NE(GetClassLongPtrW(pane, GCLP_WNDPROC), systemProc);
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Edit", &found));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(found.lpfnWndProc), static_cast<LONG_PTR>(systemProc));

  for (const ControlItem& item : kControls) {
    if (item.kind != Kind::TextBox || item.id == Control::output) continue;
    const HWND box = live[item.id];
    EXPECT_EQ(GetClassLongPtrW(box, GCLP_WNDPROC), systemProc) << item.name;
    EXPECT_EQ(GetClassLongPtrW(box, GCW_ATOM), GetClassLongPtrW(edit.hwnd, GCW_ATOM)) << item.name;
  }
}

}  // namespace
}  // namespace webapitest::testing
