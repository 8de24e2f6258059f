// The fifteen entry points over the library's one session: requests, the outcome kept for the reply
// and fault files, settings, log, dump, and files read and written without blocking on FIFOs.
#include "library/core.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#define WEBAPI_EXPORT extern "C" __attribute__((visibility("default"))) int32_t WEBAPI_CALL

namespace webapi {
namespace {

constexpr std::int32_t kMaxTimeoutSeconds = 86400;
enum LogLevel : std::int32_t { kLogOff = 0, kLogErrors = 1, kLogRequests = 2, kLogDetails = 3, kLogTrace = 4 };

// The library's whole state, used from one thread at a time (see webapi.h).
struct Session {
  bool started = false;
  std::string requestPath = "/webapi";
  std::string dumpPath;  // empty: no dump
  std::string logPath;   // empty: no log
  std::int32_t logLevel = kLogRequests;
  Outcome outcome;        // of the last request: its reply, or its fault
  std::string lastEntry;  // empty: no request has been made
} session;

std::string ErrorText(int error) { return std::strerror(error); }

// The rule the kernel applies with fs.protected_symlinks=1, applied here whatever that setting:
// in a folder that everyone may write and that is sticky (/tmp), a symbolic link is followed only
// when it belongs to the caller or to the folder's owner. Another user's link there is a trap
// laid for whoever writes through it. True (with why) when `name` in `dir` is such a link.
bool PlantedLink(int dir, const std::string& name, const std::string& folder, std::string& why) {
  struct stat link {};
  struct stat folderInfo {};
  if (fstatat(dir, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode) ||
      fstat(dir, &folderInfo) != 0 || !(folderInfo.st_mode & S_ISVTX) || !(folderInfo.st_mode & S_IWOTH) ||
      link.st_uid == geteuid() || link.st_uid == folderInfo.st_uid)
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

// Reads the whole regular file at path, never waiting on a FIFO. A fault (WEBAPI_REQUEST_FILE)
// names the file and why: missing, a folder, not a regular file, unreadable, too large.
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

// Creates or truncates path and writes bytes, or with append adds them at its end, and closes
// it. Only regular files and character devices (/dev/null) are written; a FIFO without a reader
// fails at once. A symbolic link that another user put in a sticky folder everyone may write
// (/tmp) is not followed. On failure why says what happened ("No such file or directory").
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

// A line of the log: "2026-12-08 21:39:26.123 INFO  text".
std::string LogLine(std::int32_t level, const std::string& text) {
  static const char* const kNames[] = {"", "ERROR", "INFO ", "DETAIL", "TRACE"};
  return standin::LocalTimestamp() + " " + kNames[level] + " " + text + "\n";
}

std::string Seconds(std::int32_t timeoutSeconds) { return Count(timeoutSeconds, "second", "seconds"); }
std::string Bytes(std::size_t bytes) { return Count(static_cast<long long>(bytes), "byte", "bytes"); }
// "POST http://127.0.0.1:3380/webapi, timeout 90 seconds"
std::string Attempt(const TransferRequest& r) { return Describe(r) + ", timeout " + Seconds(r.timeoutSeconds); }

// Bytes as a dump shows them: as they are, ended by a line break.
std::string Block(std::string_view bytes) {
  return std::string(bytes) + (bytes.empty() || bytes.back() == '\n' ? "" : "\n");
}

void Log(std::int32_t level, const std::string& line) {
  if (level > session.logLevel || session.logPath.empty()) return;
  std::string why;
  WriteFile(session.logPath, LogLine(level, line), true, why);
}

void Dump(const TransferRequest& request, const TransferResult& result) {
  if (session.dumpPath.empty()) return;
  std::string text = "==== " + standin::LocalTimestamp() + " " + Attempt(request) + "\n";
  if (request.post) text += "---- request, " + Bytes(request.body.size()) + "\n" + Block(request.body);
  if (result.status != 0)
    text += "---- reply: " + result.statusLine + ", " + Bytes(result.body.size()) + "\n" + Block(result.body);
  if (!result.outcome.ok()) {
    text += "---- failed: " + std::to_string(result.outcome.code) + " " + CodeName(result.outcome.code) + "\n";
    for (const auto& line : result.outcome.lines) text += line + "\n";
  }
  std::string why;
  if (!WriteFile(session.dumpPath, text, true, why))
    Log(kLogErrors, "Cannot add to the dump file \"" + session.dumpPath + "\": " + why);
}

// Keeps the outcome as the last reply or fault and logs it.
std::int32_t Record(const char* entry, Outcome outcome, const std::string& where = "") {
  const std::int32_t code = outcome.code;
  const std::string summary = std::string(entry) + (where.empty() ? "" : " (" + where + ")") + ": " +
                              std::to_string(code) + " " + CodeName(code);
  if (outcome.ok()) {
    Log(kLogRequests, summary + ", " + Count(static_cast<long long>(outcome.lines.size()), "line", "lines"));
  } else {
    Log(kLogErrors, summary + ": " + (outcome.lines.empty() ? std::string() : outcome.lines.front()));
    for (std::size_t i = 1; i < outcome.lines.size(); ++i) Log(kLogDetails, "  " + outcome.lines[i]);
    if (!where.empty()) outcome.lines.push_back("While: " + where + ".");
    outcome.lines.push_back(std::string(entry) + " returned " + std::to_string(code) + " (" + CodeName(code) + ").");
  }
  session.outcome = std::move(outcome);
  session.lastEntry = entry;
  return code;
}

// The checks every request shares; a fault when the request cannot go ahead.
Outcome Admit(const char* entry, const char* text, const char* what, std::int32_t timeoutSeconds) {
  if (!session.started) {
    return Outcome::Fault(WEBAPI_NOT_STARTED, {std::string("The library is not started: ") + entry +
                                               " was called before webApiStartup or after webApiCleanup."});
  }
  if (!text)
    return Outcome::Fault(WEBAPI_BAD_ARGUMENT, {std::string(entry) + " was given no " + what + " (a null pointer)."});
  if (timeoutSeconds < 1 || timeoutSeconds > kMaxTimeoutSeconds) {
    return Outcome::Fault(WEBAPI_BAD_ARGUMENT, {"The timeout of " + Seconds(timeoutSeconds) + " is outside 1 to " +
                                                std::to_string(kMaxTimeoutSeconds) + " seconds."});
  }
  return {};
}

TransferResult Exchange(TransferRequest request) {
  if (session.logLevel >= kLogTrace && !session.logPath.empty())
    request.trace = [](std::string_view line) { Log(kLogTrace, std::string(line)); };
  TransferResult result = Transfer(request);
  Dump(request, result);
  if (result.outcome.ok()) {
    Log(kLogDetails, Describe(request) + ": " + result.statusLine + ", " + Bytes(result.body.size()) + " in " +
                         std::to_string(result.milliseconds) + " ms");
  }
  return result;
}

// Posts a document (in the locale's code page) and reads what comes back.
Outcome Post(std::string_view document, std::int32_t timeoutSeconds, bool raw, std::string& where) {
  TransferRequest request;
  request.post = true;
  request.path = session.requestPath;
  request.timeoutSeconds = timeoutSeconds;
  if (raw) {
    Outcome found = FindServer(document, request.host);
    if (!found.ok()) return found;
    request.body = std::string(document);
    request.contentType = "text/xml";
  } else {
    CheckedRequest checked;
    Outcome valid = CheckRequest(document, checked);
    if (!valid.ok()) return valid;
    request.host = checked.server;
    request.body = std::move(checked.utf8);
    request.contentType = "text/xml; charset=UTF-8";
    where = "service " + checked.service + ", entry point " + checked.entrypoint + "; ";
  }
  where += Attempt(request);
  const std::string host = request.host.Authority();
  TransferResult result = Exchange(std::move(request));
  if (!result.outcome.ok()) return std::move(result.outcome);
  return raw ? Outcome{WEBAPI_OK, SplitLines(result.body)} : ReadReply(result.body, host);
}

std::int32_t MemRequest(const char* document, std::int32_t timeoutSeconds, bool raw) {
  const char* entry = raw ? "webApiMemRequestRaw" : "webApiMemRequest";
  std::string where;
  Outcome outcome = Admit(entry, document, "document", timeoutSeconds);
  if (outcome.ok() && !*document)
    outcome = Outcome::Fault(WEBAPI_BAD_ARGUMENT, {std::string(entry) + " was given an empty document."});
  if (outcome.ok()) outcome = Post(document, timeoutSeconds, raw, where);
  return Record(entry, std::move(outcome), where);
}

std::int32_t FileRequest(const char* path, std::int32_t timeoutSeconds, bool raw) {
  const char* entry = raw ? "webApiFileRequestRaw" : "webApiFileRequest";
  std::string document, where;
  Outcome outcome = Admit(entry, path, "request file", timeoutSeconds);
  if (outcome.ok()) outcome = ReadRequestFile(path, document);
  if (outcome.ok()) {
    outcome = Post(document, timeoutSeconds, raw, where);
    where = "request file \"" + std::string(path) + "\"" + (where.empty() ? "" : "; " + where);
  }
  return Record(entry, std::move(outcome), where);
}

std::int32_t WriteLast(const char* path, bool fault) {
  const char* entry = fault ? "webApiWriteLastFault" : "webApiWriteLastReply";
  if (!path || !*path) {
    Log(kLogErrors, std::string(entry) + ": no file named (" + (path ? "empty path" : "null pointer") + ")");
    return WEBAPI_BAD_ARGUMENT;
  }
  // What was asked for, or else a file that says why there is none.
  const Outcome& last = session.outcome;
  const bool made = !session.lastEntry.empty();
  const std::int32_t code = made && last.ok() != fault ? WEBAPI_OK : WEBAPI_NOTHING_TO_WRITE;
  std::vector<std::string> lines;
  if (!made) {
    lines.push_back(std::string("No request has been made yet, so there is no ") + (fault ? "fault" : "reply") + ".");
  } else if (fault && last.ok()) {
    lines.push_back("No fault: the last request (" + session.lastEntry + ") succeeded.");
  } else if (!fault && !last.ok()) {
    lines.push_back("No reply: the last request (" + session.lastEntry + ") failed with code " +
                    std::to_string(last.code) + " (" + CodeName(last.code) + "):");
    lines.insert(lines.end(), last.lines.begin(), last.lines.end());
  }
  const std::string text = JoinLines(code == WEBAPI_OK ? last.lines : lines);
  std::string why;
  if (!WriteFile(path, text, false, why)) {
    Log(kLogErrors, std::string(entry) + ": cannot write \"" + path + "\": " + why);
    return WEBAPI_WRITE_FAILED;
  }
  Log(kLogDetails, std::string(entry) + ": wrote \"" + path + "\" (" + Bytes(text.size()) + ")");
  return code;
}

std::int32_t FileRequestReply(const char* requestPath, const char* replyPath, std::int32_t timeoutSeconds, bool raw) {
  const char* entry = raw ? "webApiFileRequestReplyRaw" : "webApiFileRequestReply";
  if (!replyPath || !*replyPath)
    return Record(entry, Outcome::Fault(WEBAPI_BAD_ARGUMENT, {std::string(entry) + " was given no reply file path."}));
  const std::int32_t code = FileRequest(requestPath, timeoutSeconds, raw);
  const std::int32_t written = WriteLast(replyPath, code != WEBAPI_OK);
  return written == WEBAPI_WRITE_FAILED ? written : code;
}

std::int32_t SetFile(std::string& setting, const char* path, const char* what) {
  if (!session.started) return WEBAPI_NOT_STARTED;
  if (!path) return WEBAPI_BAD_ARGUMENT;
  // A log that will be written gets its first line now, so that a file that takes nothing (a
  // full disk, /dev/full) is reported here and not lost silently later; any other file is
  // opened once, so that a path that cannot be written is reported here.
  const bool firstLine = &setting == &session.logPath && session.logLevel >= kLogRequests && *path;
  std::string why;
  if (*path && !WriteFile(path, firstLine ? LogLine(kLogRequests, std::string("Log file: ") + path) : "", true, why)) {
    Log(kLogErrors, std::string("Cannot use \"") + path + "\" as the " + what + ": " + why);
    return WEBAPI_WRITE_FAILED;
  }
  setting = path;
  if (!firstLine) Log(kLogDetails, std::string(what) + ": " + (*path ? path : "off"));
  return WEBAPI_OK;
}

}  // namespace
}  // namespace webapi

using namespace webapi;

WEBAPI_EXPORT webApiStartup(void) {
  if (session.started) return WEBAPI_OK;
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return WEBAPI_INTERNAL;
  session = Session{};
  session.started = true;
  return WEBAPI_OK;
}

WEBAPI_EXPORT webApiCleanup(void) {
  if (!session.started) return WEBAPI_NOT_STARTED;
  Log(kLogDetails, "webApiCleanup: the library ends.");
  curl_global_cleanup();
  session = Session{};
  return WEBAPI_OK;
}

WEBAPI_EXPORT webApiStatusRequest(const char* host, int32_t timeoutSeconds) {
  const char* entry = "webApiStatusRequest";
  Outcome admitted = Admit(entry, host, "host", timeoutSeconds);
  if (!admitted.ok()) return Record(entry, std::move(admitted));
  std::string why;
  const auto hostPort = standin::ParseHostPort(host, why);
  if (!hostPort) return Record(entry, Outcome::Fault(WEBAPI_BAD_ARGUMENT, {why}));
  TransferRequest request;
  request.host = *hostPort;
  request.path = "/status";
  request.timeoutSeconds = timeoutSeconds;
  const std::string where = Attempt(request);
  TransferResult result = Exchange(std::move(request));
  if (result.outcome.ok()) result.outcome.lines = SplitLines(result.body);
  return Record(entry, std::move(result.outcome), where);
}

WEBAPI_EXPORT webApiMemRequest(const char* document, int32_t seconds) { return MemRequest(document, seconds, false); }
WEBAPI_EXPORT webApiMemRequestRaw(const char* document, int32_t seconds) { return MemRequest(document, seconds, true); }
WEBAPI_EXPORT webApiFileRequest(const char* path, int32_t seconds) { return FileRequest(path, seconds, false); }
WEBAPI_EXPORT webApiFileRequestRaw(const char* path, int32_t seconds) { return FileRequest(path, seconds, true); }
WEBAPI_EXPORT webApiWriteLastReply(const char* path) { return WriteLast(path, false); }
WEBAPI_EXPORT webApiWriteLastFault(const char* path) { return WriteLast(path, true); }

WEBAPI_EXPORT webApiSetRequestPath(const char* path) {
  if (!session.started) return WEBAPI_NOT_STARTED;
  if (!path) return WEBAPI_BAD_ARGUMENT;
  const std::string_view text(path);
  const bool unfit = std::any_of(text.begin(), text.end(), [](char c) { return c <= ' ' || c > '~' || c == '#'; });
  if (!text.empty() && (text.front() != '/' || text.size() > 2048 || unfit)) return WEBAPI_BAD_ARGUMENT;
  session.requestPath = text.empty() ? "/webapi" : path;
  if (!text.empty()) Log(kLogDetails, "Request path: " + session.requestPath);
  return WEBAPI_OK;
}

WEBAPI_EXPORT webApiSetFileDump(const char* path) { return SetFile(session.dumpPath, path, "dump file"); }
WEBAPI_EXPORT webApiSetLogFile(const char* path) { return SetFile(session.logPath, path, "log file"); }

WEBAPI_EXPORT webApiSetLogLevel(int32_t level) {
  if (!session.started) return WEBAPI_NOT_STARTED;
  if (level < kLogOff || level > kLogTrace) return WEBAPI_BAD_ARGUMENT;
  session.logLevel = level;
  return WEBAPI_OK;
}

WEBAPI_EXPORT webApiFileRequestReply(const char* request, const char* reply, int32_t seconds) {
  return FileRequestReply(request, reply, seconds, false);
}
WEBAPI_EXPORT webApiFileRequestReplyRaw(const char* request, const char* reply, int32_t seconds) {
  return FileRequestReply(request, reply, seconds, true);
}
