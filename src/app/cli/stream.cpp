// Writing to a terminal, a file or a pipe, and reading the files named on the command line.
#include "app/cli/stream.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "client/regular_file.h"

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
  char buffer[65536];
  std::size_t got = 0;
  if (argument == "-") {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
      if (bytes.size() + got > kMaxArgumentFile) {
        why = "more than " + std::to_string(kMaxArgumentFile >> 20) + " MiB";
        bytes.clear();
        return false;
      }
      bytes.append(buffer, got);
    }
    if (!std::ferror(stdin)) return true;
    why = std::strerror(errno);
    bytes.clear();
    return false;
  }
  // Only a regular file is read: a device, a pipe or a folder is turned away before a byte is
  // read, so nothing blocks or runs on without end.
  const std::u16string path = ArgumentText(argument);
  errno = 0;
  RegularFile file(path);
  if (!file.ok()) {
    std::error_code error;
#ifdef _WIN32
    const std::filesystem::path native(std::wstring(path.begin(), path.end()));
#else
    const std::filesystem::path native(argument);
#endif
    const auto status = std::filesystem::status(native, error);
    why = !error && std::filesystem::exists(status) ? "not a regular file"
          : error                                   ? error.message()
                                                    : std::strerror(errno ? errno : ENOENT);
    return false;
  }
  if (file.size() > kMaxArgumentFile) {
    why = "more than " + std::to_string(kMaxArgumentFile >> 20) + " MiB";
    return false;
  }
  bytes.reserve(file.size());
  while (bytes.size() <= kMaxArgumentFile) {
    if (!file.Read(buffer, sizeof buffer, got)) {
      why = std::strerror(errno);
      bytes.clear();
      return false;
    }
    if (got == 0) return true;
    bytes.append(buffer, got);
  }
  why = "more than " + std::to_string(kMaxArgumentFile >> 20) + " MiB";
  bytes.clear();
  return false;
}

}  // namespace webapitest::cli
