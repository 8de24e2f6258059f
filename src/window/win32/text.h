// Small bridges between the core's UTF-16 strings and the W functions, and error texts.
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

// UTF-8 (the text of exceptions and messages) to and from the W functions' text. Invalid
// input becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8(std::wstring_view text);

// The system's text for an error code, followed by the code: "Access is denied. (error 5)".
std::string ErrorText(DWORD code);
// The same for an HRESULT, in hexadecimal: "Class not registered (HRESULT 0x80040154)".
std::string HresultText(HRESULT result);

// The whole text of a window (a control's text), however long.
std::u16string WindowText(HWND window);

}  // namespace webapitest::win32
