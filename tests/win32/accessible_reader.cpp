// A screen reader's first questions, from a process of its own: the accessible object of the
// window whose handle is the argument, then its role, state, name and value. Prints
// "hr role state", then the name and the value on a line each, CR LF and tab as \r \n \t.
#include <windows.h>
#include <oleacc.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2 || FAILED(CoInitialize(nullptr))) return 2;
  const auto hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(argv[1], nullptr, 0)));
  IAccessible* object = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&object));
  VARIANT self{}, role{}, state{};
  self.vt = VT_I4;  // CHILDID_SELF
  BSTR texts[2] = {};
  if (object) {
    object->get_accRole(self, &role);
    object->get_accState(self, &state);
    object->get_accName(self, &texts[0]);
    object->get_accValue(self, &texts[1]);
  }
  std::string out = std::to_string(static_cast<unsigned long>(hr)) + " " + std::to_string(role.lVal) + " " +
                    std::to_string(state.lVal);
  for (BSTR text : texts) {
    out += '\n';
    for (UINT i = 0; i < SysStringLen(text); ++i) {  // the tests' texts are ASCII
      const char c = static_cast<char>(text[i]);
      out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
    }
    SysFreeString(text);
  }
  DWORD written = 0;  // straight to the handle: no CR put before LF
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  if (object) object->Release();
  return object ? 0 : 1;
}
