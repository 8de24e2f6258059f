// Reading the reply file that the library wrote, as the output pane shows it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace webapitest {

// The pane's text, built from the reply's bytes as they are read: a line ends at a CR, which is
// dropped together with an LF directly after it, or at the end of the text, and every line is
// followed by CR LF (an LF anywhere else stays part of its line; no bytes give no text). The
// bytes are converted from the ANSI code page, a character cut between two pieces waiting for
// the rest, and every NUL shows as U+2400 so that nothing after it is cut off.
class ReplyReader {
 public:
  // Takes room for about `expected` bytes at once; throws std::bad_alloc or std::length_error,
  // before a byte is read, when the system cannot give that much.
  explicit ReplyReader(std::size_t expected);

  void Add(std::string_view bytes);
  std::u16string Finish();  // once, after the last piece

 private:
  template <typename Char>
  void AddLines(const Char* p, const Char* end);

  std::u16string text_;
  std::string pending_;  // bytes not yet converted: the last piece, less a cut character
  std::u16string converted_;
  bool afterCr_ = false;   // the last character seen was a CR
  bool lineOpen_ = false;  // characters have been seen since the last line break
};

// The reply file read with ReplyReader. Empty when the path is empty, missing or unreadable,
// names anything but a regular file (a folder, a device, a pipe: never read, so nothing can
// block or run on without end), or holds more than this process can hold.
std::u16string LoadReplyText(std::u16string_view path);

}  // namespace webapitest
