// Standard output and standard error as the command-line twin writes to them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace webapitest::cli {

// One of the standard streams. Text is UTF-16 with "\n" between lines; it reaches a terminal
// as its characters and a file or pipe in the system's ANSI code page (the encoding of the
// reply file), with the platform's line breaks.
class Stream {
 public:
  explicit Stream(std::FILE* file);
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  bool IsTerminal() const { return terminal_; }
  void Write(std::u16string_view text);
  // Text that is plain ASCII, such as JSON with every other character escaped.
  void WriteAscii(std::string_view text);

  // A line that the next one overwrites, for a terminal; Write clears it first.
  void Progress(std::u16string_view line);
  void ClearProgress();

 private:
  std::FILE* file_;
  bool terminal_;
  std::size_t progressWidth_ = 0;
};

// A command-line argument as text: arguments are UTF-8 on Windows (the program converts its
// UTF-16 command line) and in the locale's encoding elsewhere.
std::u16string ArgumentText(const std::string& argument);

// The most that ReadArgumentFile reads.
inline constexpr std::size_t kMaxArgumentFile = std::size_t{256} << 20;

// Reads a whole file named by a command-line argument, or standard input for "-". Only a
// regular file is read: a folder, a device or a pipe is refused at once. Returns false and
// sets why when it cannot be read or holds more than kMaxArgumentFile bytes.
bool ReadArgumentFile(const std::string& argument, std::string& bytes, std::string& why);

}  // namespace webapitest::cli
