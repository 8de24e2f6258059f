// Fuzzes the text conversions with arbitrary UTF-16 (unpaired surrogates included).
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/text.h"

using namespace webapitest;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the locale, the rest is UTF-16.
  const char* locales[] = {"C", "C.UTF-8"};
  std::setlocale(LC_ALL, locales[data[0] % 2]);
  std::u16string text((size - 1) / 2, u'\0');
  std::memcpy(text.data(), data + 1, text.size() * 2);

  const std::string ansi = ToAnsi(text);
  if (ansi.size() > text.size() * 4) std::abort();
  const std::u16string back = FromAnsi(ansi);
  if (back.size() > ansi.size()) std::abort();
  // Text that the code page holds comes back unchanged.
  bool plain = true;
  for (char16_t c : text) plain = plain && c < 0x80;
  if (plain && back != text) std::abort();

  const std::string utf8 = ToUtf8(text);
  const std::u16string again = FromUtf8(utf8);
  if (again.size() != text.size()) std::abort();  // one unit per unit, surrogates replaced 1:1
  if (ToUtf8(again) != utf8) std::abort();
  FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
