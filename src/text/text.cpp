// Conversion between UTF-16 and the system's 8-bit code page, UTF-8 for messages, line breaks.
#include "text/text.h"

#include "text/code_page.h"

namespace webapitest {
namespace {

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
  return code_page::kReplacement;
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
      out += code_page::kReplacement;
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

bool IsAscii(std::string_view bytes) {
  unsigned char any = 0;
  for (unsigned char c : bytes) any |= c;  // one OR over the whole text vectorises well
  return any < 0x80;
}

std::size_t CopyWithLfBreaks(std::u16string_view text, char16_t* out) {
  char16_t* to = out;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') continue;
    *to++ = text[i];
  }
  return static_cast<std::size_t>(to - out);
}

std::u16string WithLfBreaks(std::u16string_view text) {
  std::u16string out(text.size(), u'\0');
  out.resize(CopyWithLfBreaks(text, out.data()));
  return out;
}

std::u16string WithCrLfBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out += u'\r';
    out += text[i];
  }
  return out;
}

std::string ErrorText(std::uint32_t code) {
  const std::string message = SystemMessage(code);
  return (message.empty() ? "Unknown error" : message) + " (error " + std::to_string(code) + ")";
}

std::string ToAnsi(std::u16string_view text) { return code_page::Encode(text); }

std::size_t code_page::WholeUtf8(std::string_view bytes) {
  const std::size_t n = bytes.size();
  for (std::size_t back = 1; back <= 4 && back <= n; ++back) {
    const auto c = static_cast<unsigned char>(bytes[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // inside a character: look further back for its start
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > back ? n - back : n;
  }
  return n;
}

std::u16string FromAnsi(std::string_view bytes) {
  if (IsAscii(bytes)) return WidenAscii(bytes);
  return code_page::Decode(bytes);
}

}  // namespace webapitest
