// The fifteen entry points over the library's one session: requests, their outcome kept for the
// reply and fault files, settings, log and dump.
#include "library/core.h"

#include <curl/curl.h>

#include <algorithm>
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
  std::string block(bytes);
  if (!block.empty() && block.back() != '\n') block += '\n';
  return block;
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
