// Reading the reply file back: only regular files, whole, split by the reply's line rules.
#include "client/reply_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "client/ansi.h"
#include "client/code_page.h"
#include "client/regular_file.h"

namespace webapitest {
namespace {

bool IsAscii(std::string_view bytes) {
  unsigned char any = 0;
  for (unsigned char c : bytes) any |= c;  // one OR over the whole text vectorises well
  return any < 0x80;
}

const unsigned char* FindCr(const unsigned char* p, const unsigned char* end) {
  return static_cast<const unsigned char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
}
const char16_t* FindCr(const char16_t* p, const char16_t* end) {
  const char16_t* cr = std::find(p, end, u'\r');
  return cr == end ? nullptr : cr;
}

// Builds the pane's text piece by piece as the file is read: the line rules of
// JoinReplyLines, NUL shown as U+2400. Pieces are ASCII bytes, each its own character, or text
// already converted from the code page; the code page's CR, LF and NUL are the ASCII ones.
class ReplyLines {
 public:
  explicit ReplyLines(std::size_t expected) {
    // Whether the system can give that much at all is asked first, without using the memory,
    // so a reply too large to hold is turned away before a byte of it is read.
    const std::size_t room = expected + expected / 64 + 2;
    if (room > text_.max_size()) throw std::length_error("reply too large");
    void* probe = std::malloc(room * sizeof(char16_t));
    if (!probe) throw std::bad_alloc();
    std::free(probe);
    text_.reserve(room);
    AdviseHugePages(text_.data(), text_.capacity() * sizeof(char16_t));
  }

  void Add(std::string_view ascii) {
    const auto* p = reinterpret_cast<const unsigned char*>(ascii.data());
    Add(p, p + ascii.size());
  }
  void Add(std::u16string_view text) { Add(text.data(), text.data() + text.size()); }

  std::u16string Finish() {
    if (lineOpen_) text_ += u"\r\n";
    return std::move(text_);
  }

 private:
  template <typename Char>
  void Add(const Char* p, const Char* end) {
    if (p < end && afterCr_ && *p == '\n') ++p;  // the LF of a CR LF split between pieces
    afterCr_ = false;
    while (p < end) {
      const Char* cr = FindCr(p, end);
      const Char* lineEnd = cr ? cr : end;
      const std::size_t at = text_.size();
      const std::size_t n = static_cast<std::size_t>(lineEnd - p);
      text_.resize(at + n + (cr ? 2 : 0));
      char16_t* out = text_.data() + at;
      for (std::size_t i = 0; i < n; ++i) out[i] = p[i] ? static_cast<char16_t>(p[i]) : u'\u2400';
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

  std::u16string text_;
  bool afterCr_ = false;   // the last character seen was a CR
  bool lineOpen_ = false;  // characters have been seen since the last line break
};

// How much to read: the size the file had when it was opened, so a file that grows while it
// is read is not followed. Files of the kernel's say they are empty and are not: those are
// read to their end.
std::size_t ReadLimit(const RegularFile& file) {
  return file.size() > 0 ? file.size() : std::numeric_limits<std::size_t>::max();
}

}  // namespace

bool ReadRegularFile(std::u16string_view path, std::string& out) {
  out.clear();
  RegularFile file(path);
  if (!file.ok()) return false;
  const std::size_t limit = ReadLimit(file);
  out.resize(file.size());
  std::size_t have = 0;
  while (have < limit) {
    if (have == out.size()) out.resize(std::max<std::size_t>(out.size() * 2, 1 << 16));
    std::size_t got = 0;
    if (!file.Read(out.data() + have, std::min(out.size(), limit) - have, got)) {
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
    ReplyLines lines(bytes.size());
    lines.Add(bytes);
    return lines.Finish();
  }
  std::u16string text = FromAnsi(JoinReplyLines(bytes));
  std::replace(text.begin(), text.end(), u'\0', u'\u2400');
  return text;
}

std::u16string LoadReplyText(std::u16string_view path) {
  // Read in pieces straight into the pane's text, so a reply is held once, plus one piece.
  // A reply too large for memory leaves the pane empty, like any other failure to read it.
  try {
    RegularFile file(path);
    if (!file.ok()) return {};
    std::size_t left = ReadLimit(file);
    ReplyLines lines(file.size());
    std::string chunk(std::min<std::size_t>(left, 1 << 20), '\0');
    std::string pending;  // bytes not yet converted: the last piece, less a cut character
    std::u16string converted;
    while (left > 0) {
      std::size_t got = 0;
      if (!file.Read(chunk.data(), std::min(chunk.size(), left), got)) return {};
      if (got == 0) break;
      left -= got;
      const std::string_view piece(chunk.data(), got);
      if (pending.empty() && IsAscii(piece)) {
        lines.Add(piece);
        continue;
      }
      pending.append(piece);
      converted.clear();
      pending.erase(0, code_page::DecodeWhole(pending, false, converted));
      lines.Add(converted);
    }
    if (!pending.empty()) {
      converted.clear();
      code_page::DecodeWhole(pending, true, converted);
      lines.Add(converted);
    }
    return lines.Finish();
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::length_error&) {
    return {};
  }
}

}  // namespace webapitest
