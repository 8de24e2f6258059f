// Creating the default reply file, and removing it however the program ends.
#include "app/cli/temporary_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "text/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <random>
#else
#include <unistd.h>
#endif

namespace webapitest::cli {
namespace {

#ifdef _WIN32
using NativeChar = wchar_t;
#else
using NativeChar = char;
#endif

// The file's native name, for the signal handler, which may not allocate. One file at a time.
NativeChar pending[4096];

void RemovePending() {
#ifdef _WIN32
  _wremove(pending);
#else
  unlink(pending);
#endif
}

extern "C" void RemoveAndEnd(int signal) {
  RemovePending();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

std::filesystem::path CreateFile() {
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
#ifdef _WIN32
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path = folder / (L"webapi-run-" + std::to_wstring(random()) + L".txt");
    const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      _close(fd);
      return path;
    }
    if (errno != EEXIST) break;
  }
#else
  std::string name = (folder / "webapi-run-XXXXXX").string();
  const int fd = mkstemp(name.data());  // mode 0600
  if (fd >= 0) {
    close(fd);
    return name;
  }
#endif
  throw std::runtime_error("Cannot create a reply file in " + folder.string() + ": " + std::strerror(errno));
}

}  // namespace

TemporaryFile::TemporaryFile() {
  const std::filesystem::path path = CreateFile();
  const auto& native = path.native();
  if (native.size() >= sizeof pending / sizeof pending[0]) {
    std::filesystem::remove(path);
    throw std::runtime_error("The folder for temporary files has too long a name.");
  }
  std::memcpy(pending, native.c_str(), (native.size() + 1) * sizeof(NativeChar));
  std::signal(SIGINT, RemoveAndEnd);
  std::signal(SIGTERM, RemoveAndEnd);
#ifdef _WIN32
  text_ = path.u16string();
#else
  text_ = FromAnsi(native);
#endif
}

TemporaryFile::~TemporaryFile() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  RemovePending();
  pending[0] = 0;
}

}  // namespace webapitest::cli
