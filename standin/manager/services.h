// What the manager host answers: reply and fault documents for request documents, and its
// status document. No networking here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace manager {

// Fault codes of fault documents.
enum FaultCode : int {
  kFaultMalformed = 100,       // not well-formed XML
  kFaultNotARequest = 101,     // no webapirequest element, or it lacks its service element
  kFaultUnknownService = 102,  // no such service
  kFaultUnknownEntry = 103,    // the service has no such entry point
  kFaultBadData = 104,         // the entry point cannot use the request data
  kFaultTooDeep = 105,         // elements nested deeper than standin::kMaxNesting
};
// No answer is larger than kAnswerFactor times the request plus kAnswerExtra bytes; an entry
// point whose answer would be is refused (fault 104).
constexpr std::size_t kAnswerFactor = 4;
constexpr std::size_t kAnswerExtra = 4u << 20;

struct Answer {
  std::string document;    // the reply or fault document, UTF-8
  std::string service;     // as the request named them ("-" when it did not)
  std::string entrypoint;
  int fault = 0;           // the fault code, 0 for a reply
};

// Answers one request document. Text that is not valid UTF-8 once decoded, or holds characters
// XML does not allow, is refused as not well-formed (fault 100) rather than copied into an
// answer. utf8: the sender declared the body UTF-8 (charset=UTF-8), which
// then wins over an encoding the document's own declaration may name; otherwise the encoding
// is found from a byte order mark or the declaration, UTF-8 when neither says.
Answer AnswerRequest(std::string_view body, bool utf8 = false);

struct StatusInfo {
  std::string listen;       // "host:port"
  long long uptimeSeconds = 0;
  unsigned long long answered = 0;
  unsigned long long faults = 0;
};

std::string StatusDocument(const StatusInfo& info);

}  // namespace manager
