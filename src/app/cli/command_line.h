// The command line of webapi-run: which requests to run, what their replies must show, and how
// to report them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/cli/stream.h"

namespace webapitest::cli {

// The exit statuses, from the least to the most severe; a run ends with the most severe.
inline constexpr int kExitSuccess = 0;      // every code was the expected one, every check held
inline constexpr int kExitCheckFailed = 4;  // every code was as expected, but a check failed
inline constexpr int kExitFailed = 1;       // a code was not the expected one, or an unexpected failure
inline constexpr int kExitTimedOut = 5;     // a library call outlasted --timeout
inline constexpr int kExitUsage = 2;        // a usage error, or a message box of the window
inline constexpr int kExitNotFound = 3;     // the library or one of its entry points is missing
inline constexpr int kExitCrashed = 6;      // the library crashed or broke the calling convention
inline constexpr int kExitInterrupted = 130;  // SIGINT or Ctrl+C
inline constexpr int kExitTerminated = 143;   // SIGTERM or Ctrl+Break

enum class RequestKind { Status, Text, File };

// The command line as given. Text is still in the argument encoding (see ArgumentText).
struct Invocation {
  RequestKind kind = RequestKind::Status;
  // status: the host, if given; text: the file or "-", if given; file: one or more paths.
  std::vector<std::string> arguments;
  bool raw = false;
  std::optional<std::string> reply;    // unset: a temporary file
  std::optional<std::string> library;  // unset: found as the window finds it
  int repeat = 1;
  bool json = false;
  bool quiet = false;

  // Checks, applied to every run of every request.
  std::vector<int> expectCodes;  // the code must be one of these; empty: 0
  std::vector<std::string> expectContains, expectXPath, expectReply;
  std::vector<std::pair<std::string, std::string>> namespaces;  // --ns PREFIX=URI
  bool updateGolden = false;

  // Deadlines and flow.
  int timeoutSeconds = 0;  // 0: none
  bool bail = false;
  int retries = 0, retryDelayMs = 0, delayMs = 0;

  // Reports.
  std::optional<std::string> junit, tap;
};

// Parses the arguments after the program's name. On --help or --version prints what was
// asked on standard output; on a usage error says why on standard error, with a hint. Then
// returns nothing and sets status (kExitSuccess or kExitUsage).
std::optional<Invocation> ParseCommandLine(const std::vector<std::string>& arguments, std::string_view version,
                                           Stream& out, Stream& err, int& status);

}  // namespace webapitest::cli
