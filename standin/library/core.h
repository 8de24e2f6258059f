// The client library behind its entry points: outcomes, text, files, documents, transfers and
// the session that ties them together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/common.h"
#include "library/webapi.h"

namespace webapi {

// What a request or a step of one ends with: a status code and the lines to show for it.
struct Outcome {
  std::int32_t code = WEBAPI_OK;
  // The reply when code is WEBAPI_OK, the fault otherwise; text in the locale's code page.
  std::vector<std::string> lines;

  bool ok() const { return code == WEBAPI_OK; }
  static Outcome Fault(std::int32_t code, std::vector<std::string> lines) { return {code, std::move(lines)}; }
};

// A short name of a status code, for logs and fault texts: "ok", "bad reply" ...
const char* CodeName(std::int32_t code);

// Converts text between codesets. A character that cannot be read or has no counterpart
// becomes '?'. An unknown codeset leaves the text unchanged.
std::string Recode(std::string_view text, const std::string& from, const std::string& to);

// Between the locale's code page and UTF-8; no-ops where the locale's is UTF-8 or plain ASCII
// (the "C" locale, whose bytes above 127 are taken as they are).
std::string LocalToUtf8(std::string_view text);
std::string Utf8ToLocal(std::string_view text);

// Splits at CR LF, LF or a lone CR. Empty text has no lines; a final line break does not
// start another line.
std::vector<std::string> SplitLines(std::string_view text);

// At most `shown` lines of text, each indented by two blanks, and "  ..." when there was more:
// how a fault quotes a document or a reply body.
std::vector<std::string> Excerpt(std::string_view text, std::size_t shown);

// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// "1 second", "5 seconds", "1 byte" ...
std::string Count(long long n, const char* singular, const char* plural);

// Request files larger than this are turned away.
constexpr std::size_t kMaxRequestFileBytes = 64u << 20;

// Reads the whole regular file at path. A fault (WEBAPI_REQUEST_FILE) names the file and why:
// missing, a folder, not a regular file, unreadable, too large. A FIFO is never waited on.
Outcome ReadRequestFile(const std::string& path, std::string& bytes);

// Creates or truncates path and writes bytes (append = false), or adds them at its end
// (append = true). Only regular files and character devices (/dev/null) are written; a FIFO
// without a reader fails at once instead of blocking. A symbolic link that another user put in
// a sticky folder everyone may write (/tmp) is not followed. The file is closed on return.
// On failure, why says what happened (e.g. "No such file or directory").
bool WriteFile(const std::string& path, std::string_view bytes, bool append, std::string& why);

// The reply data kept from a reply document is at most this many times the document's size plus
// kReplyDataExtra bytes; data that would print larger is refused (WEBAPI_BAD_REPLY).
constexpr std::size_t kReplyDataFactor = 4;
constexpr std::size_t kReplyDataExtra = 64u << 10;

struct CheckedRequest {
  std::string utf8;  // the document as it is sent
  standin::HostPort server;
  std::string service;
  std::string entrypoint;
};

// Checks a request document given in the locale's code page: well-formed XML whose
// webapirequest element (the root, or a child of the root) holds a server element with a
// host attribute "name:port" and a service element with name and entrypoint attributes.
// A fault (WEBAPI_MALFORMED_REQUEST) says what is wrong where, by line and column.
Outcome CheckRequest(std::string_view document, CheckedRequest& checked);

// The host a Raw request goes to: the server element's host attribute, found by parsing the
// document or, when it is not well-formed, by looking for <server ... host='...'> in the text.
Outcome FindServer(std::string_view document, standin::HostPort& server);

// Reads a reply document (UTF-8) from `from` (a host, for messages): on success its data as
// lines in the locale's code page; WEBAPI_SERVER_FAULT with the fault's code, message and
// details; WEBAPI_BAD_REPLY when it is no reply document at all, is nested deeper than
// standin::kMaxNesting elements, or its data would print too large.
Outcome ReadReply(std::string_view body, const std::string& from);

// Replies larger than this are cut off, and replies whose header (status line and fields) is
// larger than kMaxReplyHeaderBytes refused, as a bad reply.
constexpr std::size_t kMaxReplyBytes = 64u << 20;
constexpr std::size_t kMaxReplyHeaderBytes = 64u << 10;

struct TransferRequest {
  bool post = false;  // POST body, else GET
  standin::HostPort host;
  std::string path;         // "/status", "/webapi"
  std::string body;         // sent as it is
  std::string contentType;  // of the body
  int timeoutSeconds = 90;  // connecting and the whole transfer
  // Receives curl's trace (connection steps and headers) when set.
  std::function<void(std::string_view)> trace;
};

struct TransferResult {
  // WEBAPI_OK when the host answered HTTP 200; otherwise what went wrong, in words.
  Outcome outcome;
  long status = 0;         // the HTTP status, 0 when there was none
  std::string statusLine;  // e.g. "HTTP/1.1 404 Not Found"
  std::string body;        // the reply's body as received (also for other statuses)
  long long milliseconds = 0;
};

// One HTTP/1.1 exchange through libcurl (after curl_global_init). Never follows redirects and
// never uses a proxy: the request goes straight to the host named.
TransferResult Transfer(const TransferRequest& request);

// "POST http://host:port/path"
std::string Describe(const TransferRequest& request);

constexpr std::int32_t kMaxTimeoutSeconds = 86400;
enum LogLevel : std::int32_t { kLogOff = 0, kLogErrors = 1, kLogRequests = 2, kLogDetails = 3, kLogTrace = 4 };

// The library's whole state and what each entry point does with it. One instance lives in the
// library (see exports.cpp); tests may make their own.
class Session {
 public:
  std::int32_t Startup();
  std::int32_t Cleanup();

  std::int32_t StatusRequest(const char* host, std::int32_t timeoutSeconds);
  std::int32_t MemRequest(const char* document, std::int32_t timeoutSeconds, bool raw);
  std::int32_t FileRequest(const char* path, std::int32_t timeoutSeconds, bool raw);
  std::int32_t FileRequestReply(const char* requestPath, const char* replyPath, std::int32_t timeoutSeconds, bool raw);
  std::int32_t WriteLast(const char* path, bool fault);

  std::int32_t SetRequestPath(const char* path);
  std::int32_t SetFileDump(const char* path);
  std::int32_t SetLogFile(const char* path);
  std::int32_t SetLogLevel(std::int32_t level);

 private:
  enum class Last { Nothing, Reply, Fault };

  // Checks shared by every request; a fault outcome when the request cannot go ahead.
  Outcome Admit(const char* entry, const char* text, const char* what, std::int32_t timeoutSeconds) const;
  // Posts a document (in the locale's code page) and reads what comes back.
  Outcome Post(std::string_view document, std::int32_t timeoutSeconds, bool raw, std::string& where);
  TransferResult Exchange(TransferRequest request);
  // Keeps the outcome of a request as the last reply or fault and logs it.
  std::int32_t Record(const char* entry, Outcome outcome, const std::string& where = "");
  void Log(std::int32_t level, const std::string& line) const;
  void Dump(const TransferRequest& request, const TransferResult& result) const;
  std::int32_t SetFile(std::string& setting, const char* path, const char* what);

  bool started_ = false;
  std::string requestPath_ = "/webapi";
  std::string dumpPath_;  // empty: no dump
  std::string logPath_;   // empty: no log
  std::int32_t logLevel_ = kLogRequests;
  Last last_ = Last::Nothing;
  Outcome outcome_;
  std::string lastEntry_;
};

}  // namespace webapi
