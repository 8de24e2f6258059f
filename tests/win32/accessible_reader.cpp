// A screen reader's first questions, asked from a process of its own as readers ask them: the
// accessible object of the window whose handle is the argument (decimal, or hexadecimal after
// 0x), then its role, state, name and value. Prints "hr role state", then the name and the
// value on a line each, with CR, LF and tab written \r, \n and \t. Exit status 0 when the
// object came.
#include <windows.h>
#include <oleacc.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Line(BSTR text) {
  std::string out;
  for (UINT i = 0; text && i < SysStringLen(text); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r') out += "\\r";
    else if (c == L'\n') out += "\\n";
    else if (c == L'\t') out += "\\t";
    else if (c < 0x80) out += static_cast<char>(c);
    else out += '?';  // the tests' texts are ASCII
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF alone
  const HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(argv[1], nullptr, 0)));
  if (FAILED(CoInitialize(nullptr))) return 2;
  IAccessible* object = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&object));
  VARIANT self{}, role{}, state{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr, value = nullptr;
  if (object) {
    object->get_accRole(self, &role);
    object->get_accState(self, &state);
    object->get_accName(self, &name);
    object->get_accValue(self, &value);
  }
  std::printf("%08lx %ld %ld\n%s\n%s\n", static_cast<unsigned long>(hr), role.vt == VT_I4 ? role.lVal : -1L,
              state.vt == VT_I4 ? state.lVal : -1L, Line(name).c_str(), Line(value).c_str());
  SysFreeString(name);
  SysFreeString(value);
  if (object) object->Release();
  CoUninitialize();
  return object ? 0 : 1;
}
