// File access with POSIX calls, so that nothing blocks on special files.
#include "library/core.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace webapi {
namespace {

std::string ErrorText(int error) { return std::strerror(error); }

// The rule the kernel applies with fs.protected_symlinks=1, applied here whatever that setting:
// in a folder that everyone may write and that is sticky (/tmp), a symbolic link is followed only
// when it belongs to the caller or to the folder's owner. Another user's link there is a trap
// laid for whoever writes through it. True (with why) when `name` in `dir` is such a link.
bool PlantedLink(int dir, const std::string& name, const std::string& folder, std::string& why) {
  struct stat link {};
  struct stat folderInfo {};
  if (fstatat(dir, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode) ||
      fstat(dir, &folderInfo) != 0)
    return false;
  if (!(folderInfo.st_mode & S_ISVTX) || !(folderInfo.st_mode & S_IWOTH) || link.st_uid == geteuid() ||
      link.st_uid == folderInfo.st_uid)
    return false;
  why = "\"" + name + "\" is a symbolic link that another user (uid " + std::to_string(link.st_uid) +
        ") put in the shared folder \"" + folder + "\"; such a link is not followed";
  return true;
}

// Opens name in dir as openat does, but follows a symbolic link only when it is no such trap:
// -1 with why set for one. A link gives ELOOP, or ENOTDIR where a folder is wanted, or EACCES
// where the kernel's fs.protected_regular turns the creating open away first.
int OpenUnder(int dir, const std::string& name, int flags, const std::string& folder, std::string& why) {
  const int fd = openat(dir, name.c_str(), flags | O_NOFOLLOW, 0666);
  if (fd >= 0 || (errno != ELOOP && errno != ENOTDIR && errno != EACCES)) return fd;
  return PlantedLink(dir, name, folder, why) ? -1 : openat(dir, name.c_str(), flags, 0666);
}

// Opens a folder one part at a time, so that every link on the way is checked. Returns -1 with
// why set.
int OpenFolder(const std::string& folder, std::string& why) {
  int dir = open(folder.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  std::string walked = folder.front() == '/' ? "/" : "";
  for (std::size_t start = 0; dir >= 0 && start < folder.size();) {
    std::size_t end = folder.find('/', start);
    if (end == std::string::npos) end = folder.size();
    const std::string part = folder.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    const int next = OpenUnder(dir, part, O_PATH | O_DIRECTORY | O_CLOEXEC, walked.empty() ? "." : walked, why);
    const int error = errno;
    close(dir);
    dir = next;
    errno = error;
    walked += (walked.empty() || walked.back() == '/' ? "" : "/") + part;
  }
  if (dir < 0 && why.empty()) why = ErrorText(errno);
  return dir;
}

// Opens path for writing under the rule above, for the folders on the way and the file itself.
// Returns -1 with why set.
int OpenForWriting(const std::string& path, int flags, std::string& why) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) {  // "folder/": let open say what is wrong
    const int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) why = ErrorText(errno);
    return fd;
  }
  const int dir = OpenFolder(folder, why);
  if (dir < 0) return -1;
  const int fd = OpenUnder(dir, name, flags, folder, why);
  if (fd < 0 && why.empty()) why = ErrorText(errno);
  close(dir);
  return fd;
}

}  // namespace

Outcome ReadRequestFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return Outcome::Fault(WEBAPI_BAD_ARGUMENT, {"No request file was named (the path is empty)."});
  const std::string name = "The request file \"" + path + "\"";
  const auto fault = [&name, &bytes](const std::string& what) {
    bytes.clear();
    return Outcome::Fault(WEBAPI_REQUEST_FILE, {name + what});
  };
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    return fault(error == ENOENT ? " does not exist." : " cannot be opened: " + ErrorText(error) + ".");
  }
  const struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat info {};
  if (fstat(fd, &info) != 0) return fault(" cannot be examined: " + ErrorText(errno) + ".");
  if (S_ISDIR(info.st_mode)) return fault(" is a folder, not a file.");
  if (!S_ISREG(info.st_mode)) return fault(" is not a regular file.");
  const std::string most = Count(kMaxRequestFileBytes >> 20, "MiB", "MiB");
  if (static_cast<unsigned long long>(info.st_size) > kMaxRequestFileBytes)
    return fault(" is larger than " + most + ".");
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0) return {};
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fault(" cannot be read: " + ErrorText(errno) + ".");
    bytes.append(chunk, static_cast<std::size_t>(got));
    if (bytes.size() > kMaxRequestFileBytes) return fault(" grew beyond " + most + " while being read.");
  }
}

bool WriteFile(const std::string& path, std::string_view bytes, bool append, std::string& why) {
  const int flags = O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (append ? O_APPEND : O_TRUNC);
  const int fd = OpenForWriting(path, flags, why);
  if (fd < 0) return false;
  const auto fail = [&why, fd](std::string what) {
    why = std::move(what);
    close(fd);
    return false;
  };
  struct stat info {};
  if (fstat(fd, &info) != 0) return fail(ErrorText(errno));
  if (!S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode)) return fail("not a regular file");
  // Writes to a terminal or device wait as usual.
  const int status = fcntl(fd, F_GETFL);
  if (status >= 0) fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return fail(put < 0 ? ErrorText(errno) : "nothing could be written");
    done += static_cast<std::size_t>(put);
  }
  if (close(fd) == 0) return true;
  why = ErrorText(errno);
  return false;
}

}  // namespace webapi
