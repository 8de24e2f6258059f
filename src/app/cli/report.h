// What webapi-run writes about each request: its line, its JSON object, the summary of repeats,
// and the reports for CI (JUnit XML, TAP), built from the records of every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/checks.h"
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

// One run of a request, all its attempts.
struct RunRecord {
  enum class End {
    Done,         // the last attempt's call returned
    TimedOut,     // a call outlasted --timeout
    Interrupted,  // a second signal ended the run during a call
    Message,      // the window showed a message box instead
    Failure,      // an unexpected failure ended the run
  };
  int run = 0;  // 1, 2, ... with --repeat; 0 without
  int attempts = 0;
  End end = End::Done;
  std::optional<Outcome> outcome;   // the last attempt's, when one returned
  double milliseconds = 0;          // every attempt's library call together
  std::u16string problem;           // what was said for TimedOut, Interrupted, Message, Failure
  std::vector<CheckResult> checks;  // the code's first

  // Ended with error: a code that was not the expected one, or no code at all.
  bool Error() const;
  // Every code as expected, but a check failed.
  bool CheckFailed() const;
};

struct RequestRecord {
  RequestName name;
  std::vector<RunRecord> runs;
};

struct Summary {
  std::size_t count = 0, failures = 0, checkFailures = 0, timeouts = 0;
  double min = 0, median = 0, p95 = 0, max = 0;  // milliseconds, of the runs that returned
};

// The request as it would be typed after "webapi-run", e.g. "file --raw a.xml".
std::u16string Label(const RequestName& name);
// The name of a report's test case: the argument as given, else the kind.
std::u16string CaseName(const RequestName& name);
// "<label>: code <code>, <ms> ms"
std::u16string CodeLine(const RequestName& name, const Outcome& outcome);

// Median of the middle two for an even count; 95th percentile by nearest rank.
Summary Summarize(const std::vector<RunRecord>& runs);
std::u16string SummaryLine(const RequestName& name, const Summary& summary);

// One line of JSON each, all but ASCII escaped. run is 0 when the request runs once.
std::string JsonRun(const RequestName& name, const RunRecord& run, bool withText);
std::string JsonSummary(const RequestName& name, const Summary& summary);
// The last line: the whole run's totals and its exit status.
std::string JsonTotals(const Summary& summary, int status);

// A JUnit XML document (UTF-8): one test suite per kind of request, one test case per request;
// one that did not run is skipped, with why the run stopped before it.
std::string JUnitReport(const std::vector<RequestRecord>& requests, std::u16string_view stopped);
// TAP version 13: one test point per request; one that did not run, as the run stopped before
// it, is "not ok" with why the run stopped.
std::string TapReport(const std::vector<RequestRecord>& requests, std::u16string_view stopped);

}  // namespace webapitest::cli
