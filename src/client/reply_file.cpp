// Reading the reply file back: only regular files, whole, split by the reply's line rules.
#include "client/reply_file.h"

#include <algorithm>
#include <cstring>

#include "client/ansi.h"
#include "client/regular_file.h"

namespace webapitest {
namespace {

bool IsAscii(std::string_view bytes) {
  unsigned char any = 0;
  for (unsigned char c : bytes) any |= c;  // one OR over the whole text vectorises well
  return any < 0x80;
}

// Builds the pane's text from ASCII bytes as they arrive: the line rules of JoinReplyLines
// and the conversion in one pass, every byte its own character, NUL shown as U+2400.
class AsciiLines {
 public:
  explicit AsciiLines(std::size_t expected) {
    text_.reserve(expected + expected / 64 + 2);
    AdviseHugePages(text_.data(), text_.capacity() * sizeof(char16_t));
  }

  void Add(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    if (p < end && afterCr_ && *p == '\n') ++p;  // the LF of a CR LF split between reads
    afterCr_ = false;
    while (p < end) {
      const auto* cr = static_cast<const unsigned char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
      const auto* lineEnd = cr ? cr : end;
      const std::size_t at = text_.size();
      const std::size_t n = static_cast<std::size_t>(lineEnd - p);
      text_.resize(at + n + (cr ? 2 : 0));
      char16_t* out = text_.data() + at;
      for (std::size_t i = 0; i < n; ++i) out[i] = p[i] ? char16_t{p[i]} : u'\u2400';
      lineOpen_ = lineOpen_ || n > 0;
      if (!cr) break;
      out[n] = u'\r';
      out[n + 1] = u'\n';
      lineOpen_ = false;
      p = cr + 1;
      if (p == end) afterCr_ = true;
      else if (*p == '\n') ++p;
    }
  }

  std::u16string Finish() {
    if (lineOpen_) text_ += u"\r\n";
    return std::move(text_);
  }

 private:
  std::u16string text_;
  bool afterCr_ = false;   // the last byte seen was a CR
  bool lineOpen_ = false;  // bytes have been seen since the last line break
};

}  // namespace

bool ReadRegularFile(std::u16string_view path, std::string& out) {
  out.clear();
  RegularFile file(path);
  if (!file.ok()) return false;
  out.resize(file.size());
  std::size_t have = 0;
  for (;;) {
    if (have == out.size()) out.resize(std::max<std::size_t>(out.size() * 2, 1 << 16));
    std::size_t got = 0;
    if (!file.Read(out.data() + have, out.size() - have, got)) {
      out.clear();
      return false;
    }
    if (got == 0) break;
    have += got;
  }
  out.resize(have);
  return true;
}

std::string JoinReplyLines(std::string_view bytes) {
  std::string joined;
  if (bytes.empty()) return joined;
  joined.reserve(bytes.size() + bytes.size() / 16 + 2);
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  while (p < end) {
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
    const char* lineEnd = cr ? cr : end;
    joined.append(p, lineEnd);
    joined.append("\r\n", 2);
    if (!cr) break;
    p = cr + 1;
    if (p < end && *p == '\n') ++p;
  }
  return joined;
}

std::u16string ReplyText(std::string_view bytes) {
  if (IsAscii(bytes)) {
    AsciiLines lines(bytes.size());
    lines.Add(bytes);
    return lines.Finish();
  }
  std::u16string text = FromAnsi(JoinReplyLines(bytes));
  std::replace(text.begin(), text.end(), u'\0', u'\u2400');
  return text;
}

std::u16string LoadReplyText(std::u16string_view path) {
  // Read in pieces straight into the pane's text, so a large reply is held once, not three
  // times; text that is not ASCII starts again the long way, through the code page.
  RegularFile file(path);
  if (!file.ok()) return {};
  AsciiLines lines(file.size());
  std::string chunk(1 << 20, '\0');
  for (;;) {
    std::size_t got = 0;
    if (!file.Read(chunk.data(), chunk.size(), got)) return {};
    if (got == 0) return lines.Finish();
    const std::string_view piece(chunk.data(), got);
    if (!IsAscii(piece)) break;
    lines.Add(piece);
  }
  std::string bytes;
  if (!ReadRegularFile(path, bytes)) return {};
  return ReplyText(bytes);
}

}  // namespace webapitest
