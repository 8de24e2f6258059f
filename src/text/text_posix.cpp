// The platform's half of the text module outside Windows: the code page is the codeset of the
// locale set by setlocale(LC_ALL, ""), converted with iconv (UTF-8 locales take the direct
// way); error texts are strerror's.
#include <iconv.h>
#include <langinfo.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "text/code_page.h"
#include "text/text.h"

namespace webapitest::code_page {

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

std::string Encode(std::u16string_view text) {
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

std::size_t DecodeWhole(std::string_view bytes, bool final, std::u16string& out) {
  if (LocaleIsUtf8()) {
    const std::size_t whole = final ? bytes.size() : WholeUtf8(bytes);
    out += FromUtf8(bytes.substr(0, whole));
    return whole;
  }
  Converter converter(kUtf16, nl_langinfo(CODESET));
  if (!converter.ok()) {
    for (unsigned char c : bytes) out += c < 0x80 ? static_cast<char16_t>(c) : kReplacement;
    return bytes.size();
  }
  const std::size_t at = out.size();
  out.resize(at + bytes.size() * 2 + 8);
  const char* in = bytes.data();
  std::size_t inLeft = bytes.size();
  char* dest = reinterpret_cast<char*>(out.data() + at);
  std::size_t outLeft = (out.size() - at) * sizeof(char16_t);
  while (inLeft > 0) {
    if (converter.Step(in, inLeft, dest, outLeft)) continue;
    if (errno == E2BIG || outLeft < sizeof(char16_t)) break;  // cannot happen, as above
    if (errno == EINVAL && !final) break;  // a character cut at the end waits for the rest
    ++in;
    --inLeft;
    const char16_t replacement = kReplacement;
    std::memcpy(dest, &replacement, sizeof replacement);
    dest += sizeof replacement;
    outLeft -= sizeof replacement;
  }
  out.resize(out.size() - outLeft / sizeof(char16_t));
  return bytes.size() - inLeft;
}

std::u16string Decode(std::string_view bytes) {
  std::u16string out;
  DecodeWhole(bytes, true, out);
  return out;
}

}  // namespace webapitest::code_page

namespace webapitest {

std::string SystemMessage(std::uint32_t code) {
  char buffer[256] = {};
  // The GNU strerror_r returns its text, which need not be in the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  return text ? text : "";
}

}  // namespace webapitest
