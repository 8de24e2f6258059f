// The system's ANSI code page on Windows: the active code page (CP_ACP).
#include <windows.h>

#include "client/code_page.h"

namespace webapitest::code_page {

std::string Encode(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::u16string Decode(std::string_view bytes) {
  const int length = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

}  // namespace webapitest::code_page
