// The platform's half of the text module on Windows: the active code page (CP_ACP), and error
// texts from the system's message table.
#include <windows.h>

#include <algorithm>

#include "text/code_page.h"
#include "text/text.h"

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

namespace {

// The longest start of bytes that ends on a whole character of the active code page.
std::size_t WholeCharacters(std::string_view bytes) {
  if (GetACP() == CP_UTF8) return WholeUtf8(bytes);
  CPINFO info{};
  if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize <= 1) return bytes.size();
  std::size_t i = 0;
  while (i < bytes.size()) {
    const bool lead = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(bytes[i])) != 0;
    if (lead && i + 1 == bytes.size()) break;  // its second byte is still to come
    i += lead ? 2 : 1;
  }
  return std::min(i, bytes.size());
}

}  // namespace

std::size_t DecodeWhole(std::string_view bytes, bool final, std::u16string& out) {
  const std::size_t whole = final ? bytes.size() : WholeCharacters(bytes);
  out += Decode(bytes.substr(0, whole));
  return whole;
}

}  // namespace webapitest::code_page

namespace webapitest {

std::string SystemMessage(std::uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message(reinterpret_cast<const char16_t*>(text), text ? n : 0);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' || message.back() == u' '))
    message.pop_back();
  return ToUtf8(message);
}

}  // namespace webapitest
