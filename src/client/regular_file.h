// A regular file opened for reading, closed when it goes out of scope: regular_file_win32.cpp
// or regular_file_posix.cpp, picked by the build. Anything else (a folder, a device, a pipe)
// is turned away before a byte is read, so nothing can block or run on without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace webapitest {

class RegularFile {
 public:
  explicit RegularFile(std::u16string_view path);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  bool ok() const { return ok_; }
  // At opening; the file may change while read. The largest size_t for a file larger than
  // this process can address.
  std::size_t size() const { return size_; }
  // Up to room bytes; 0 at the end of the file; false on a read error.
  bool Read(char* buffer, std::size_t room, std::size_t& got);

 private:
  bool ok_ = false;
  std::size_t size_ = 0;
  std::intptr_t handle_ = -1;  // a HANDLE on Windows, a file descriptor elsewhere
};

// A large buffer about to be filled is better served by huge pages where the system offers
// them: a fraction of the page faults. Only advice; nothing changes where it is not taken.
void AdviseHugePages(void* buffer, std::size_t size);

}  // namespace webapitest
