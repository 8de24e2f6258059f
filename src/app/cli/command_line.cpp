// Parsing webapi-run's command line with CLI11.
#include "app/cli/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>

namespace webapitest::cli {
namespace {

constexpr const char* kDescription =
    "Runs requests through a web-API client library exactly as the test window does: the same "
    "procedures, the same library calls in the same order.";

constexpr const char* kFooter = R"(Output:
  standard output  the reply or fault as the window's output pane shows it
  standard error   per request "<request>: code <code>, <ms> ms"; with --repeat a summary
                   (count, failures, minimum, median, 95th percentile, maximum ms); a
                   progress line while more than one request runs, on a terminal only
  --json           one JSON object per line: kind, argument, raw, code, milliseconds and
                   reply (code 0) or fault; with --repeat also run, then a summary object
Exit status:
  0 every request's code was 0     1 a request's code was not 0
  2 a usage error, or a message the window shows in a box ("File Request Error",
    "Write Error")                 3 the library or one of its entry points cannot be found
The library is --library, else $WEBAPITEST_LIBRARY, else the one beside this program, else
the one the system's loader finds by name, as for the window.)";

}  // namespace

std::optional<Invocation> ParseCommandLine(const std::vector<std::string>& arguments, std::string_view version,
                                           Stream& out, Stream& err, int& status) {
  Invocation invocation;
  CLI::App app(kDescription, "webapi-run");
  app.allow_windows_style_options(false);  // "/path" is a path on every platform
  app.fallthrough();                       // options of the program after the request, too
  app.require_subcommand(1);
  app.footer(kFooter);
  app.set_version_flag("--version", "webapi-run " + std::string(version));

  std::string reply, library;
  CLI::Option* replyOption =
      app.add_option("--reply", reply, "Reply file the library writes and the output is read from "
                                       "(default: a temporary file of this user's, removed afterwards)");
  replyOption->type_name("PATH");
  CLI::Option* libraryOption = app.add_option("--library", library, "The client library to load");
  libraryOption->type_name("PATH");
  app.add_option("--repeat", invocation.repeat, "Run each request N times, then sum up their times")
      ->type_name("N")
      ->check(CLI::Range(1, 1000000));
  app.add_flag("--json", invocation.json, "Write JSON lines on standard output");
  app.add_flag("--quiet", invocation.quiet, "Leave out the reply and fault texts: codes and times only");

  CLI::App* statusCommand = app.add_subcommand("status", "A status request to a manager host");
  statusCommand->add_option("HOST", invocation.arguments, "hostname or IP:portnumber (default: the window's)")
      ->expected(0, 1);

  CLI::App* textCommand = app.add_subcommand("text", "A free-text request: the document from a file or "
                                                     "standard input (-), else the window's template");
  textCommand->add_flag("--raw", invocation.raw, "The Raw variant");
  textCommand->add_option("FILE", invocation.arguments,
                          "The request document, or - for standard input; its lines are sent with CR LF "
                          "between them, as the window's request box holds them")
      ->expected(0, 1);

  CLI::App* fileCommand = app.add_subcommand("file", "File requests: the library reads each request file");
  fileCommand->add_flag("--raw", invocation.raw, "The Raw variant");
  fileCommand->add_option("PATH", invocation.arguments, "Request files, one request each, in order")->required();

  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    std::ostringstream printed, failed;
    status = app.exit(e, printed, failed) == 0 ? kExitSuccess : kExitUsage;
    out.Write(ArgumentText(printed.str()));
    err.Write(ArgumentText(failed.str()));
    return std::nullopt;
  }
  if (replyOption->count() > 0) invocation.reply = reply;
  if (libraryOption->count() > 0) invocation.library = library;
  if (textCommand->parsed()) invocation.kind = RequestKind::Text;
  if (fileCommand->parsed()) invocation.kind = RequestKind::File;
  if (statusCommand->parsed()) invocation.kind = RequestKind::Status;
  return invocation;
}

}  // namespace webapitest::cli
