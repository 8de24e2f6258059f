// Request documents going out and reply documents coming back.
#pragma once

#include <string>
#include <string_view>

#include "common/host.h"
#include "library/outcome.h"

namespace webapi {

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
// A fault (WEBAPI_MALFORMED_REQUEST or WEBAPI_BAD_ARGUMENT) when there is none or it is unusable.
Outcome FindServer(std::string_view document, standin::HostPort& server);

// Reads a reply document (UTF-8) from `from` (a host, for messages): on success its data as
// lines in the locale's code page; WEBAPI_SERVER_FAULT with the fault's code, message and
// details; WEBAPI_BAD_REPLY when it is no reply document at all, is nested deeper than
// standin::kMaxNesting elements, or its data would print too large (see the limits above).
Outcome ReadReply(std::string_view body, const std::string& from);

}  // namespace webapi
