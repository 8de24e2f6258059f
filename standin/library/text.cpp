// Code page conversion through iconv, and the line rules of reply and fault files.
#include "library/core.h"

#include <iconv.h>
#include <langinfo.h>

#include <cctype>
#include <cerrno>

namespace webapi {
namespace {

std::string Normalised(std::string_view codeset) {
  std::string name;
  for (const char c : codeset)
    if (std::isalnum(static_cast<unsigned char>(c))) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// True when text in this codeset can be used as UTF-8 unchanged: UTF-8 itself, and plain
// ASCII (the "C" locale), whose bytes above 127 are taken as they are.
bool PassesAsUtf8(std::string_view codeset) {
  const std::string name = Normalised(codeset);
  return name.empty() || name == "UTF8" || name == "ANSIX341968" || name == "ASCII" || name == "USASCII";
}

}  // namespace

std::string Recode(std::string_view text, const std::string& from, const std::string& to) {
  if (text.empty()) return std::string();
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
  const bool fromUtf8 = Normalised(from) == "UTF8";
  std::string out;
  const char* in = text.data();
  std::size_t inLeft = text.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* put = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t done = iconv(cd, const_cast<char**>(&in), &inLeft, &put, &outLeft);
    out.append(buffer, static_cast<std::size_t>(put - buffer));
    if (done != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: a character that cannot be read or written here is skipped whole.
    std::size_t skip = 1;
    while (fromUtf8 && skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    in += skip;
    inLeft -= skip;
    out += '?';
  }
  // Shift sequences of stateful codesets end here.
  char* put = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &put, &outLeft);
  out.append(buffer, static_cast<std::size_t>(put - buffer));
  iconv_close(cd);
  return out;
}

std::string LocalToUtf8(std::string_view text) {
  const std::string codeset = nl_langinfo(CODESET);  // of the current locale (LC_CTYPE)
  return PassesAsUtf8(codeset) ? std::string(text) : Recode(text, codeset, "UTF-8");
}

std::string Utf8ToLocal(std::string_view text) {
  const std::string codeset = nl_langinfo(CODESET);
  return PassesAsUtf8(codeset) ? std::string(text) : Recode(text, "UTF-8", codeset);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::vector<std::string> Excerpt(std::string_view text, std::size_t shown) {
  std::vector<std::string> lines = SplitLines(text);
  const bool cut = lines.size() > shown;
  if (cut) lines.resize(shown);
  for (auto& line : lines) line = "  " + line;
  if (cut) lines.push_back("  ...");
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const auto& line : lines) joined += line + "\r\n";
  return joined;
}

const char* CodeName(std::int32_t code) {
  static const char* const kNames[] = {"ok", "not started", "bad argument", "malformed request", "request file",
                                       "connection failed", "timeout", "HTTP error status", "bad reply",
                                       "server fault", "write failed", "nothing to write", "internal error"};
  return code >= WEBAPI_OK && code <= WEBAPI_INTERNAL ? kNames[code] : "unknown";
}

std::string Count(long long n, const char* singular, const char* plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

}  // namespace webapi
