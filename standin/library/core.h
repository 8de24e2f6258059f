// The client library behind its entry points (session.cpp): outcomes, text, documents and
// transfers.
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

// What a request or a step of one ends with: a status code and the lines to show for it, the
// reply when the code is WEBAPI_OK and the fault otherwise, in the locale's code page.
struct Outcome {
  std::int32_t code = WEBAPI_OK;
  std::vector<std::string> lines;

  bool ok() const { return code == WEBAPI_OK; }
  static Outcome Fault(std::int32_t code, std::vector<std::string> lines) { return {code, std::move(lines)}; }
};

// Past these, WEBAPI_REQUEST_FILE or WEBAPI_BAD_REPLY: request files, replies, reply headers (status
// line and fields), and the data kept from a reply once printed (factor times the reply plus extra).
constexpr std::size_t kMaxRequestFileBytes = 64u << 20;
constexpr std::size_t kMaxReplyBytes = 64u << 20;
constexpr std::size_t kMaxReplyHeaderBytes = 64u << 10;
constexpr std::size_t kReplyDataFactor = 4;
constexpr std::size_t kReplyDataExtra = 64u << 10;

// A short name of a status code, for logs and fault texts: "ok", "bad reply" ...
const char* CodeName(std::int32_t code);

// Converts text between codesets. A character that cannot be read or has no counterpart
// becomes '?'; an unknown codeset leaves the text unchanged.
std::string Recode(std::string_view text, const std::string& from, const std::string& to);

// Between the locale's code page and UTF-8; no-ops where the locale's is UTF-8 or plain ASCII
// (the "C" locale, whose bytes above 127 are taken as they are).
std::string LocalToUtf8(std::string_view text);
std::string Utf8ToLocal(std::string_view text);

// Splits at CR LF, LF or a lone CR. Empty text has no lines; a final line break starts none.
std::vector<std::string> SplitLines(std::string_view text);
// At most `shown` lines, each indented by two blanks, then "  ..." when there was more.
std::vector<std::string> Excerpt(std::string_view text, std::size_t shown);
// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
// "1 second", "5 seconds", "1 byte" ...
std::string Count(long long n, const char* singular, const char* plural);

struct CheckedRequest {
  std::string utf8;  // the document as it is sent
  standin::HostPort server;
  std::string service;
  std::string entrypoint;
};

// Checks a request document in the locale's code page: well-formed XML whose webapirequest
// element (the root, or a child of it) holds <server host='name:port'/> and <service name='...'
// entrypoint='...'/>. A fault (WEBAPI_MALFORMED_REQUEST) says what is wrong where.
Outcome CheckRequest(std::string_view document, CheckedRequest& checked);

// Where a Raw request goes: the server element's host, found by parsing the document or, when
// it is not well-formed, by looking for <server ... host='...'> in the text.
Outcome FindServer(std::string_view document, standin::HostPort& server);

// Reads a reply document (UTF-8) from the host `from`: its data as lines in the locale's code
// page; WEBAPI_SERVER_FAULT with the fault's code, message and details; WEBAPI_BAD_REPLY for
// no reply document, one nested deeper than standin::kMaxNesting or data printing too large.
Outcome ReadReply(std::string_view body, const std::string& from);

struct TransferRequest {
  bool post = false;  // POST body, else GET
  standin::HostPort host;
  std::string path;  // "/status", "/webapi"
  std::string body;  // sent as it is
  std::string contentType;
  int timeoutSeconds = 90;  // connecting and the whole transfer
  std::function<void(std::string_view)> trace;  // when set, gets curl's connection steps and headers
};

struct TransferResult {
  Outcome outcome;  // WEBAPI_OK when the host answered HTTP 200; otherwise what went wrong
  long status = 0;  // the HTTP status, 0 when there was none
  std::string statusLine;  // "HTTP/1.1 404 Not Found"
  std::string body;  // as received, also for other statuses
  long long milliseconds = 0;
};

// One HTTP/1.1 exchange through libcurl (after curl_global_init), straight to the host named:
// no redirects, no proxy.
TransferResult Transfer(const TransferRequest& request);
// "POST http://host:port/path"
std::string Describe(const TransferRequest& request);

}  // namespace webapi
