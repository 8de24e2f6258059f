// Conversion between UTF-16 and the system's 8-bit code page, and UTF-8 for messages.
#include "client/ansi.h"

#include <climits>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#include <cerrno>
#include <cctype>
#endif

namespace webapitest {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsAscii(std::string_view bytes) {
  for (unsigned char c : bytes)
    if (c >= 0x80) return false;
  return true;
}

std::u16string WidenAscii(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return out;
}

// Appends one code point as UTF-8.
void PutUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The code point at text[i], advancing i; an unpaired surrogate gives U+FFFD.
std::uint32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
  const char16_t c = text[i++];
  if (c < 0xD800 || c > 0xDFFF) return c;
  if (c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    const char16_t low = text[i++];
    return 0x10000u + ((static_cast<std::uint32_t>(c) - 0xD800u) << 10) + (low - 0xDC00u);
  }
  return kReplacement;
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) PutUtf8(out, NextCodePoint(text, i));
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t cp = 0, min = 0;
    if (c >= 0xC2 && c <= 0xDF) length = 2, cp = c & 0x1Fu, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) length = 3, cp = c & 0x0Fu, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) length = 4, cp = c & 0x07u, min = 0x10000;
    std::size_t k = 1;
    for (; length && k < length && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k)
      cp = (cp << 6) | (p[i + k] & 0x3Fu);
    if (!length || k < length || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += kReplacement;
      i += length ? k : 1;  // a broken sequence is replaced once, then reading goes on after it
      continue;
    }
    i += length;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

#ifdef _WIN32

std::string ToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::u16string FromAnsi(std::string_view bytes) {
  if (IsAscii(bytes)) return WidenAscii(bytes);
  const int length = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

#else

namespace {

bool LocaleIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  if (!codeset) return false;
  std::string name;
  for (const char* c = codeset; *c; ++c)
    if (*c != '-' && *c != '_') name += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  return name == "utf8";
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr const char* kUtf16 = "UTF-16BE";
#else
constexpr const char* kUtf16 = "UTF-16LE";
#endif

// One iconv conversion, closed when it goes out of scope.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts as much as it can; returns false at a sequence it cannot convert or that is cut
  // off, or when the output is full (errno tells which).
  bool Step(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
    char* source = const_cast<char*>(in);  // iconv's signature; the input is not written
    const std::size_t r = iconv(cd_, &source, &inLeft, &out, &outLeft);
    in = source;
    return r != static_cast<std::size_t>(-1);
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  if (LocaleIsUtf8()) return ToUtf8(text);
  Converter converter(nl_langinfo(CODESET), kUtf16);
  std::string out;
  if (!converter.ok()) {  // an unknown codeset: keep what ASCII can hold
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
  }
  out.resize(text.size() * 4 + 16);
  const char* in = reinterpret_cast<const char*>(text.data());
  std::size_t inLeft = text.size() * sizeof(char16_t);
  char* dest = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (converter.Step(in, inLeft, dest, outLeft)) continue;
    if (errno == E2BIG || outLeft < 1) break;  // cannot happen with the room reserved above
    // A character the code page cannot hold: its default character, then on past it.
    const auto* unit = reinterpret_cast<const char16_t*>(in);
    const bool pair = *unit >= 0xD800 && *unit <= 0xDBFF && inLeft >= 4 &&
                      unit[1] >= 0xDC00 && unit[1] <= 0xDFFF;
    const std::size_t skip = pair ? 4 : 2;
    in += skip;
    inLeft -= skip;
    *dest++ = '?';
    --outLeft;
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::u16string FromAnsi(std::string_view bytes) {
  if (IsAscii(bytes)) return WidenAscii(bytes);
  if (LocaleIsUtf8()) return FromUtf8(bytes);
  Converter converter(kUtf16, nl_langinfo(CODESET));
  std::u16string out;
  if (!converter.ok()) {
    for (unsigned char c : bytes) out += c < 0x80 ? static_cast<char16_t>(c) : kReplacement;
    return out;
  }
  out.resize(bytes.size() * 2 + 8);
  const char* in = bytes.data();
  std::size_t inLeft = bytes.size();
  char* dest = reinterpret_cast<char*>(out.data());
  std::size_t outLeft = out.size() * sizeof(char16_t);
  while (inLeft > 0) {
    if (converter.Step(in, inLeft, dest, outLeft)) continue;
    if (errno == E2BIG || outLeft < sizeof(char16_t)) break;  // cannot happen, as above
    ++in;
    --inLeft;
    const char16_t replacement = kReplacement;
    std::memcpy(dest, &replacement, sizeof replacement);
    dest += sizeof replacement;
    outLeft -= sizeof replacement;
  }
  out.resize(out.size() - outLeft / sizeof(char16_t));
  return out;
}

#endif

}  // namespace webapitest
