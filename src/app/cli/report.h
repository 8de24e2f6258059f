// What webapi-run writes about each request: its line, its JSON object, the summary of repeats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/command_line.h"

namespace webapitest::cli {

// One request of the command line.
struct RequestName {
  RequestKind kind;
  std::optional<std::u16string> argument;  // host, document file or request path; unset: none given
  bool raw;
};

// What the window showed after one run of a request.
struct Outcome {
  std::int32_t code;
  double milliseconds;   // of the library call
  std::u16string output; // the output pane's text, CR LF between lines
};

struct Summary {
  std::size_t count = 0, failures = 0;
  double min = 0, median = 0, p95 = 0, max = 0;  // milliseconds
};

// The request as it would be typed after "webapi-run", e.g. "file --raw a.xml".
std::u16string Label(const RequestName& name);
// "<label>: code <code>, <ms> ms"
std::u16string CodeLine(const RequestName& name, const Outcome& outcome);

// Median of the middle two for an even count; 95th percentile by nearest rank.
Summary Summarize(const std::vector<Outcome>& runs);
std::u16string SummaryLine(const RequestName& name, const Summary& summary);

// One line of JSON each, all but ASCII escaped. run is 0 when the request runs once.
std::string JsonRun(const RequestName& name, const Outcome& outcome, int run, bool withText);
std::string JsonSummary(const RequestName& name, const Summary& summary);

}  // namespace webapitest::cli
