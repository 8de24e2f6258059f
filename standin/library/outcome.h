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

// A short name of a status code, for logs and fault texts.
const char* CodeName(std::int32_t code);

}  // namespace webapi
