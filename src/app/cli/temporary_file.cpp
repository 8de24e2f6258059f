// Creating the default reply file and removing it; replacing a report whole.
#include "app/cli/temporary_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "app/cli/stream.h"
#include "text/text.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <random>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace webapitest::cli {
namespace {

#ifdef _WIN32
// Creates a new file of a random name that starts with stem; returns its name, or empty.
std::wstring CreateNew(const std::wstring& stem, const wchar_t* extension, int& fd) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring path = stem + std::to_wstring(random()) + extension;
    fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) return path;
    if (errno != EEXIST) break;
  }
  return {};
}
#endif

}  // namespace

TemporaryFile::TemporaryFile() {
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
#ifdef _WIN32
  int fd = -1;
  native_ = CreateNew((folder / L"webapi-run-").wstring(), L".txt", fd);
  if (native_.empty())
    throw std::runtime_error("Cannot create a reply file in " + folder.string() + ": " + std::strerror(errno));
  _close(fd);
  text_.assign(native_.begin(), native_.end());
#else
  native_ = (folder / "webapi-run-XXXXXX").string();
  const int fd = mkstemp(native_.data());  // mode 0600
  if (fd < 0) throw std::runtime_error("Cannot create a reply file in " + folder.string() + ": " + std::strerror(errno));
  close(fd);
  text_ = FromAnsi(native_);
#endif
}

TemporaryFile::~TemporaryFile() { Remove(); }

void TemporaryFile::Remove() {
#ifdef _WIN32
  _wremove(native_.c_str());
#else
  unlink(native_.c_str());
#endif
}

bool WriteWhole(const std::string& path, std::string_view bytes, std::string& why) {
#ifdef _WIN32
  const std::u16string text = ArgumentText(path);
  const std::wstring target(text.begin(), text.end());
  int fd = -1;
  const std::wstring temporary = CreateNew(target + L".", L".tmp", fd);
  if (temporary.empty()) {
    why = std::strerror(errno);
    return false;
  }
  bool ok = _write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) == static_cast<int>(bytes.size());
  ok = _commit(fd) == 0 && ok;
  ok = _close(fd) == 0 && ok;
  if (!ok) why = std::strerror(errno);
  if (ok && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    why = ErrorText(GetLastError());
  }
  if (!ok) _wremove(temporary.c_str());
  return ok;
#else
  // A new name beside path; the mode is the one the user's umask gives any new file.
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
    fd = open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  bool ok = true;
  std::size_t written = 0;
  while (ok && written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) written += static_cast<std::size_t>(n);
  }
  ok = fsync(fd) == 0 && ok;
  if (!ok) why = std::strerror(errno);
  if (close(fd) != 0 && ok) ok = false, why = std::strerror(errno);
  if (ok && rename(temporary.c_str(), path.c_str()) != 0) ok = false, why = std::strerror(errno);
  if (!ok) unlink(temporary.c_str());
  return ok;
#endif
}

}  // namespace webapitest::cli
