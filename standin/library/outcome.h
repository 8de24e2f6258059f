// What a request or a step of one ends with: a status code and the lines to show for it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "library/webapi.h"

namespace webapi {

struct Outcome {
  std::int32_t code = WEBAPI_OK;
  // The reply when code is WEBAPI_OK, the fault otherwise; text in the locale's code page.
  std::vector<std::string> lines;

  bool ok() const { return code == WEBAPI_OK; }
  static Outcome Fault(std::int32_t code, std::vector<std::string> lines) { return {code, std::move(lines)}; }
};

// A short name of a status code, for logs and fault texts: "ok", "bad reply" ...
inline const char* CodeName(std::int32_t code) {
  static const char* const kNames[] = {"ok", "not started", "bad argument", "malformed request", "request file",
                                       "connection failed", "timeout", "HTTP error status", "bad reply",
                                       "server fault", "write failed", "nothing to write", "internal error"};
  return code >= WEBAPI_OK && code <= WEBAPI_INTERNAL ? kNames[code] : "unknown";
}

}  // namespace webapi
