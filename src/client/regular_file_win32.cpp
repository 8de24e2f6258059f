// Reading a regular file on Windows.
#include <windows.h>

#include <algorithm>
#include <limits>
#include <string>

#include "client/regular_file.h"

namespace webapitest {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

RegularFile::RegularFile(std::u16string_view path) {
  handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  if (path.empty()) return;
  const std::u16string name(path);
  const auto* wide = reinterpret_cast<const wchar_t*>(name.c_str());
  const DWORD attributes = GetFileAttributesW(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  HANDLE handle = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  if (handle == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  ok_ = GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &size) != 0;
  // A file larger than this process can address says so (the largest size_t) instead of the
  // low bits of its size, which would have it read cut short without a word.
  constexpr auto kLargest = static_cast<ULONGLONG>(std::numeric_limits<std::size_t>::max());
  size_ = ok_ ? static_cast<std::size_t>(std::min(static_cast<ULONGLONG>(size.QuadPart), kLargest)) : 0;
}

RegularFile::~RegularFile() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

bool RegularFile::Read(char* buffer, std::size_t room, std::size_t& got) {
  DWORD n = 0;
  const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(room, 1u << 30));
  const bool read = ReadFile(AsHandle(handle_), buffer, ask, &n, nullptr) != 0;
  got = n;
  return read;
}

void AdviseHugePages(void*, std::size_t) {}

}  // namespace webapitest
