// File access with POSIX calls, so that nothing blocks on special files.
#include "library/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "library/text.h"

namespace webapi {
namespace {

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace

Outcome ReadRequestFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  const std::string name = "The request file \"" + path + "\"";
  if (path.empty()) return Outcome::Fault(WEBAPI_BAD_ARGUMENT, {"No request file was named (the path is empty)."});
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) return Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " does not exist."});
    return Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " cannot be opened: " + ErrorText(error) + "."});
  }
  struct stat info {};
  Outcome outcome;
  if (fstat(fd, &info) != 0) {
    outcome = Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " cannot be examined: " + ErrorText(errno) + "."});
  } else if (S_ISDIR(info.st_mode)) {
    outcome = Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " is a folder, not a file."});
  } else if (!S_ISREG(info.st_mode)) {
    outcome = Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " is not a regular file."});
  } else if (static_cast<unsigned long long>(info.st_size) > kMaxRequestFileBytes) {
    outcome = Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " is larger than " +
                                                   Count(kMaxRequestFileBytes >> 20, "MiB", "MiB") + "."});
  } else {
    char chunk[1 << 16];
    for (;;) {
      const ssize_t got = read(fd, chunk, sizeof chunk);
      if (got > 0) {
        bytes.append(chunk, static_cast<std::size_t>(got));
        if (bytes.size() > kMaxRequestFileBytes) {
          outcome = Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " grew beyond " +
                                                         Count(kMaxRequestFileBytes >> 20, "MiB", "MiB") +
                                                         " while being read."});
          break;
        }
      } else if (got == 0) {
        break;
      } else if (errno != EINTR) {
        outcome = Outcome::Fault(WEBAPI_REQUEST_FILE, {name + " cannot be read: " + ErrorText(errno) + "."});
        break;
      }
    }
  }
  close(fd);
  if (!outcome.ok()) bytes.clear();
  return outcome;
}

bool WriteFile(const std::string& path, std::string_view bytes, bool append, std::string& why) {
  const int flags = O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (append ? O_APPEND : O_TRUNC);
  const int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) {
    why = ErrorText(errno);
    return false;
  }
  struct stat info {};
  bool ok = fstat(fd, &info) == 0;
  if (!ok) why = ErrorText(errno);
  if (ok && !S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode)) {
    ok = false;
    why = "not a regular file";
  }
  if (ok) {
    // Writes to a terminal or device wait as usual.
    const int status = fcntl(fd, F_GETFL);
    if (status >= 0) fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  }
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else {
      ok = false;
      why = put < 0 ? ErrorText(errno) : "nothing could be written";
    }
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    why = ErrorText(errno);
  }
  return ok;
}

}  // namespace webapi
