// Reading the reply file back: only regular files, in pieces, split by the reply's line rules.
#include "client/reply_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "text/text.h"
#include "text/code_page.h"
#include "client/regular_file.h"

namespace webapitest {
namespace {

const unsigned char* FindCr(const unsigned char* p, const unsigned char* end) {
  return static_cast<const unsigned char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
}
const char16_t* FindCr(const char16_t* p, const char16_t* end) {
  const char16_t* cr = std::find(p, end, u'\r');
  return cr == end ? nullptr : cr;
}

// How much to read: the size the file had when it was opened, so a file that grows while it
// is read is not followed. Files of the kernel's say they are empty and are not: those are
// read to their end.
std::size_t ReadLimit(const RegularFile& file) {
  return file.size() > 0 ? file.size() : std::numeric_limits<std::size_t>::max();
}

}  // namespace

ReplyReader::ReplyReader(std::size_t expected) {
  // Whether the system can give that much at all is asked first, without using the memory,
  // so a reply too large to hold is turned away before a byte of it is read.
  if (expected >= text_.max_size()) throw std::length_error("reply too large");
  const std::size_t room = expected + expected / 64 + 2;  // no wrap: max_size() < SIZE_MAX / 2
  if (room > text_.max_size()) throw std::length_error("reply too large");
  void* probe = std::malloc(room * sizeof(char16_t));
  if (!probe) throw std::bad_alloc();
  std::free(probe);
  text_.reserve(room);
  AdviseHugePages(text_.data(), text_.capacity() * sizeof(char16_t));
}

void ReplyReader::Add(std::string_view bytes) {
  if (pending_.empty() && IsAscii(bytes)) {  // each byte its own character
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    return AddLines(p, p + bytes.size());
  }
  pending_.append(bytes);
  converted_.clear();
  pending_.erase(0, code_page::DecodeWhole(pending_, false, converted_));
  AddLines(converted_.data(), converted_.data() + converted_.size());
}

std::u16string ReplyReader::Finish() {
  if (!pending_.empty()) {
    converted_.clear();
    code_page::DecodeWhole(pending_, true, converted_);
    AddLines(converted_.data(), converted_.data() + converted_.size());
    pending_.clear();
  }
  if (lineOpen_) text_ += u"\r\n";
  lineOpen_ = false;
  return std::move(text_);
}

// Pieces are ASCII bytes or text already converted from the code page; the code page's CR, LF
// and NUL are the ASCII ones.
template <typename Char>
void ReplyReader::AddLines(const Char* p, const Char* end) {
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

std::u16string LoadReplyText(std::u16string_view path) {
  // Read in pieces straight into the pane's text, so a reply is held once, plus one piece.
  // A reply too large for memory leaves the pane empty, like any other failure to read it.
  try {
    RegularFile file(path);
    if (!file.ok()) return {};
    std::size_t left = ReadLimit(file);
    ReplyReader reply(file.size());
    std::string chunk(std::min<std::size_t>(left, 1 << 20), '\0');
    while (left > 0) {
      std::size_t got = 0;
      if (!file.Read(chunk.data(), std::min(chunk.size(), left), got)) return {};
      if (got == 0) break;
      left -= got;
      reply.Add(std::string_view(chunk.data(), got));
    }
    return reply.Finish();
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::length_error&) {
    return {};
  }
}

}  // namespace webapitest
