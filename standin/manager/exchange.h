// Reading and answering one HTTP request, without sockets: the limits, the refusals and the
// routing of the manager host, shared by its server and by the request-parsing fuzzer.
#pragma once

#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/dynamic_body.hpp>

#include <functional>
#include <string>
#include <string_view>

#include "manager/options.h"
#include "manager/services.h"

namespace manager {

// A body arrives in blocks that are never moved while it grows, so that reading one up to the
// limit takes no more than the limit.
using Request = boost::beast::http::request<boost::beast::http::dynamic_body>;
using RequestParser = boost::beast::http::request_parser<boost::beast::http::dynamic_body>;

// One answer as it goes out. Refusals (400, 403, 411, 413, 415, 431) are never delayed nor
// failed on purpose; the others are.
struct Reply {
  unsigned status = 200;
  std::string body;
  std::string type;          // Content-Type
  std::string what = "-";    // for the log: service/entrypoint, "status" or "-"
  std::string note;          // for the log: fault code, limit hit ...
  bool close = false;        // end the connection after this answer
  bool refusal = false;
  bool allow = false;        // send "Allow: GET, POST"
  bool document = false;     // a request document was answered (counted in the status)
  int fault = 0;             // its fault code, 0 for a reply
};

// Sets the parser's header and body limits.
void Prepare(RequestParser& parser, const Limits& limits);

// The refusal for a request that could not be read: 413 over the body limit (any framing),
// 431 over the header limit, 400 otherwise.
Reply Refusal(const boost::beast::error_code& error, const Limits& limits);

// The answer to a request read whole: 431 for too many header fields, 403 for a request from
// a web page of another origin than loopback, 411 for a POST without a length, 415 for a POST
// whose Content-Type is neither XML nor text; then GET /status, POST <path>, 404 and 405.
Reply Respond(const Request& request, const Options& options, const std::function<StatusInfo()>& status);

// Reads one request from bytes (the whole of what a client sent) and answers it.
Reply RespondToBytes(std::string_view bytes, const Options& options, const std::function<StatusInfo()>& status);

// Text for the request log: control characters, bytes above 126 and '\' as \xNN.
std::string Escaped(std::string_view text);

// The head of an answer (status line and fields) with Content-Length of the whole body.
std::string Head(const Reply& reply, bool keepAlive);

}  // namespace manager
