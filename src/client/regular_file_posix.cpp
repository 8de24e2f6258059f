// Reading a regular file elsewhere.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/text.h"
#include "client/regular_file.h"

namespace webapitest {

RegularFile::RegularFile(std::u16string_view path) {
  if (path.empty()) return;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; fstat then turns it away.
  const int fd = open(ToAnsi(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  handle_ = fd;
  if (fd < 0) return;
  struct stat info {};
  ok_ = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  size_ = ok_ ? static_cast<std::size_t>(info.st_size) : 0;
}

RegularFile::~RegularFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool RegularFile::Read(char* buffer, std::size_t room, std::size_t& got) {
  const ssize_t n = read(static_cast<int>(handle_), buffer, room);
  got = n > 0 ? static_cast<std::size_t>(n) : 0;
  return n >= 0;  // 0 is the end of the file, also of one cut short while being read
}

void AdviseHugePages([[maybe_unused]] void* buffer, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (size < 4 * kHuge) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(buffer) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(buffer) + size) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace webapitest
