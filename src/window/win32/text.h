// Small bridges between the core's UTF-16 strings and the W functions, and HRESULT texts.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace webapitest::win32 {

// wchar_t is 16 bits on Windows: the core's char16_t text passes through unchanged.
inline std::wstring Wide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}
inline std::u16string Utf16(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

// The system's text for an HRESULT, followed by it in hexadecimal: "Class not registered
// (HRESULT 0x80040154)". For a system error code, ErrorText of text/text.h.
std::string HresultText(HRESULT result);

// The whole text of a window (a control's text), however long.
std::u16string WindowText(HWND window);

}  // namespace webapitest::win32
