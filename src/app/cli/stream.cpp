// Writing to a terminal, a file or a pipe, and reading the files named on the command line.
#include "app/cli/stream.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "text/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace webapitest::cli {
namespace {

#ifdef _WIN32
bool IsTerminalFile(std::FILE* file) { return _isatty(_fileno(file)) != 0; }
#else
bool IsTerminalFile(std::FILE* file) { return isatty(fileno(file)) != 0; }
#endif

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

Stream::Stream(std::FILE* file) : file_(file), terminal_(IsTerminalFile(file)) {
#ifdef _WIN32
  // The console shows UTF-16 as it is; the C library converts "\n" to CR LF in either mode.
  if (terminal_) _setmode(_fileno(file_), _O_U16TEXT);
#endif
}

void Stream::Write(std::u16string_view text) {
  ClearProgress();
#ifdef _WIN32
  if (terminal_) {
    const std::wstring wide(text.begin(), text.end());
    std::fputws(wide.c_str(), file_);
    std::fflush(file_);
    return;
  }
#endif
  const std::string bytes = ToAnsi(text);
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  std::fflush(file_);
}

void Stream::WriteAscii(std::string_view text) { Write(std::u16string(text.begin(), text.end())); }

void Stream::Progress(std::u16string_view line) {
  if (!terminal_) return;
  ClearProgress();
  Write(std::u16string(u"\r") + std::u16string(line));
  progressWidth_ = line.size();
}

void Stream::ClearProgress() {
  if (progressWidth_ == 0) return;
  const std::size_t width = progressWidth_;
  progressWidth_ = 0;
  Write(u"\r" + std::u16string(width, u' ') + u"\r");
}

std::u16string ArgumentText(const std::string& argument) {
#ifdef _WIN32
  return FromUtf8(argument);
#else
  return FromAnsi(argument);
#endif
}

bool ReadArgumentFile(const std::string& argument, std::string& bytes, std::string& why) {
  bytes.clear();
  std::unique_ptr<std::FILE, FileCloser> owned;
  std::FILE* file = stdin;
  if (argument != "-") {
#ifdef _WIN32
    const std::u16string name = FromUtf8(argument);
    owned.reset(_wfopen(std::wstring(name.begin(), name.end()).c_str(), L"rb"));
#else
    owned.reset(std::fopen(argument.c_str(), "rb"));
#endif
    if (!owned) {
      why = std::strerror(errno);
      return false;
    }
    file = owned.get();
  }
#ifdef _WIN32
  else {
    _setmode(_fileno(stdin), _O_BINARY);
  }
#endif
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  if (std::ferror(file)) {
    why = std::strerror(errno);
    bytes.clear();
    return false;
  }
  return true;
}

}  // namespace webapitest::cli
