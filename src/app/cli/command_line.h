// The command line of webapi-run: which requests to run and how to report them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/stream.h"

namespace webapitest::cli {

// The exit statuses.
inline constexpr int kExitSuccess = 0;   // every request's code was 0
inline constexpr int kExitFailed = 1;    // a request's code was not 0, or an unexpected failure
inline constexpr int kExitUsage = 2;     // a usage error, or a message box of the window
inline constexpr int kExitNotFound = 3;  // the library or one of its entry points is missing

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
};

// Parses the arguments after the program's name. On --help or --version prints what was
// asked on standard output; on a usage error says why on standard error, with a hint. Then
// returns nothing and sets status (kExitSuccess or kExitUsage).
std::optional<Invocation> ParseCommandLine(const std::vector<std::string>& arguments, std::string_view version,
                                           Stream& out, Stream& err, int& status);

}  // namespace webapitest::cli
