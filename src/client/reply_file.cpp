// Reading the reply file back: only regular files, whole, split by the reply's line rules.
#include "client/reply_file.h"

#include <algorithm>
#include <cstring>

#include "client/ansi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace webapitest {

#ifdef _WIN32

bool ReadRegularFile(std::u16string_view path, std::string& out) {
  out.clear();
  if (path.empty()) return false;
  const std::u16string name(path);
  const auto* wide = reinterpret_cast<const wchar_t*>(name.c_str());
  const DWORD attributes = GetFileAttributesW(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  HANDLE file = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileType(file) == FILE_TYPE_DISK;
  LARGE_INTEGER size{};
  if (ok) ok = GetFileSizeEx(file, &size) != 0;
  if (ok) {
    out.reserve(static_cast<std::size_t>(size.QuadPart));
    char chunk[1 << 16];
    DWORD got = 0;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != 0) && got > 0) out.append(chunk, got);
  }
  CloseHandle(file);
  if (!ok) out.clear();
  return ok;
}

#else

bool ReadRegularFile(std::u16string_view path, std::string& out) {
  out.clear();
  if (path.empty()) return false;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; fstat then turns it away.
  const int fd = open(ToAnsi(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    out.resize(static_cast<std::size_t>(info.st_size));
    std::size_t have = 0;
    for (;;) {
      if (have == out.size()) out.resize(std::max<std::size_t>(out.size() * 2, 1 << 16));
      const ssize_t got = read(fd, out.data() + have, out.size() - have);
      if (got > 0) {
        have += static_cast<std::size_t>(got);
      } else {
        ok = got == 0;  // 0 is the end of the file, also of one cut short while being read
        break;
      }
    }
    out.resize(have);
  }
  close(fd);
  if (!ok) out.clear();
  return ok;
}

#endif

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

std::u16string LoadReplyText(std::u16string_view path) {
  std::string bytes;
  if (!ReadRegularFile(path, bytes)) return {};
  std::string joined = JoinReplyLines(bytes);
  bytes = std::string();  // give the memory back before the wide copy is made
  std::u16string text = FromAnsi(joined);
  std::replace(text.begin(), text.end(), u'\0', u'\u2400');
  return text;
}

}  // namespace webapitest
