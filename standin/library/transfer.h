// One HTTP/1.1 exchange with a host, through libcurl.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "common/host.h"
#include "library/outcome.h"

namespace webapi {

// Replies larger than this are cut off and reported as a bad reply.
constexpr std::size_t kMaxReplyBytes = 64u << 20;
// Replies whose header (status line and fields) is larger than this are refused as a bad reply.
constexpr std::size_t kMaxReplyHeaderBytes = 64u << 10;

struct TransferRequest {
  bool post = false;          // POST body, else GET
  standin::HostPort host;
  std::string path;           // "/status", "/webapi"
  std::string body;           // sent as it is
  std::string contentType;    // of the body
  int timeoutSeconds = 90;    // connecting and the whole transfer
  // Receives curl's trace (connection steps and headers) when set.
  std::function<void(std::string_view)> trace;
};

struct TransferResult {
  // WEBAPI_OK when the host answered HTTP 200; otherwise what went wrong, in words.
  Outcome outcome;
  long status = 0;          // the HTTP status, 0 when there was none
  std::string statusLine;   // e.g. "HTTP/1.1 404 Not Found"
  std::string body;         // the reply's body as received (also for other statuses)
  long long milliseconds = 0;
};

// Needs curl_global_init. Never follows redirects and never uses a proxy: the request goes
// straight to the host named.
TransferResult Transfer(const TransferRequest& request);

// "POST http://host:port/path"
std::string Describe(const TransferRequest& request);

}  // namespace webapi
