// HRESULT texts from the system's message table, and reading a window's text.
#include "window/win32/text.h"

#include <cstdio>
#include <vector>

#include "text/text.h"

namespace webapitest::win32 {

std::string HresultText(HRESULT result) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result));
  std::string message = SystemMessage(static_cast<std::uint32_t>(result));
  return (message.empty() ? "Unknown error" : message) + " (HRESULT " + hex + ")";
}
std::u16string WindowText(HWND window) {
  // The length is an upper bound; GetWindowTextW says how much it really copied.
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int copied = GetWindowTextW(window, buffer.data(), length + 1);
  return Utf16(std::wstring_view(buffer.data(), static_cast<std::size_t>(copied < 0 ? 0 : copied)));
}

}  // namespace webapitest::win32
