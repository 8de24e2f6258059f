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

// Opens path for writing, but follows a symbolic link as its last part only where the kernel's
// fs.protected_symlinks rule would: in a folder that everyone may write and that is sticky
// (/tmp), only a link that belongs to the caller or to the folder's owner. Another user's link
// there is a trap laid for whoever writes the file, and is refused whatever the kernel's setting.
// Returns -1 with why set.
int OpenForWriting(const std::string& path, int flags, std::string& why) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const int dir = name.empty() ? -1 : open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    const int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) why = ErrorText(errno);
    return fd;
  }
  int fd = openat(dir, name.c_str(), flags | O_NOFOLLOW, 0666);
  // A link gives ELOOP, or EACCES where the kernel's fs.protected_regular turns the creating
  // open away first.
  const int error = errno;
  struct stat link {};
  if (fd < 0 && (error == ELOOP || error == EACCES) &&
      fstatat(dir, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode)) {
    struct stat folderInfo {};
    if (fstat(dir, &folderInfo) == 0 && (folderInfo.st_mode & S_ISVTX) && (folderInfo.st_mode & S_IWOTH) &&
        link.st_uid != geteuid() && link.st_uid != folderInfo.st_uid) {
      why = "it is a symbolic link that another user (uid " + std::to_string(link.st_uid) +
            ") put in the shared folder \"" + folder + "\"; such a link is not followed";
      close(dir);
      errno = EACCES;
      return -1;
    }
    fd = openat(dir, name.c_str(), flags, 0666);
  } else {
    errno = error;
  }
  if (fd < 0) why = ErrorText(errno);
  close(dir);
  return fd;
}

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
  const int fd = OpenForWriting(path, flags, why);
  if (fd < 0) return false;
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
