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

constexpr const char* kFooter = R"(Checks (each may be given more than once; each applies to every run of every request):
  --expect-code N         the code must be N (default 0); given more than once, one of them.
                          Only when the code is as expected do the other checks run
  --expect-contains TEXT  the output (reply or fault, as the window's pane shows it) holds TEXT
  --expect-xpath EXPR     XPath 1.0 over the output as an XML document: holds when boolean(EXPR)
                          is true, for a node set when it is not empty
  --expect-xpath EXPR=VALUE
                          holds when string(EXPR) is exactly VALUE. The split is at the first "="
                          outside brackets, parentheses and quotes that is no part of "!=", "<="
                          or ">="; VALUE is the plain text after it. Write (EXPR) for an
                          expression that is itself a comparison
  --ns PREFIX=URI         binds PREFIX for the XPath checks
  --expect-reply FILE     the output equals FILE's text (LF or CR LF alike); a unified diff on
                          standard error when not. --update-golden writes FILE instead
A check that fails prints "<request>: <check>: expected <...>, got <...>" on standard error.
Output:
  standard output  the reply or fault as the window's output pane shows it
  standard error   per request "<request>: code <code>, <ms> ms"; with --repeat a summary
                   (count, failures, minimum, median, 95th percentile, maximum ms); a
                   progress line while more than one request runs, on a terminal only
  --json           one JSON object per line: kind, argument, raw, code, milliseconds, attempts,
                   checks and reply (code 0) or fault; with --repeat also run, then a summary
                   object; at the end one object with the run's totals and exit status
  --junit, --tap   reports for CI, written whole (through a temporary file beside each), also
                   when the run fails, times out or is interrupted
Exit status:
  0 every code as expected, every check held   1 a code was not the expected one
  2 a usage error, or a message the window shows in a box ("File Request Error", "Write Error")
  3 the library or one of its entry points cannot be found
  4 every code was as expected, but a check failed
  5 a library call outlasted --timeout (the run ends there; the call cannot be cancelled)
  6 the library crashed or broke the calling convention
  130 interrupted (SIGINT, Ctrl+C), 143 terminated (SIGTERM, Ctrl+Break): the run stops once
      the current library call returns; a second signal ends it at once
The library is --library, else $WEBAPITEST_LIBRARY, else the one beside this program, else
the one the system's loader finds by name, as for the window.)";

// A list option that takes one value at each occurrence, so that it never takes the request.
template <typename T>
CLI::Option* AddList(CLI::App& app, const char* name, std::vector<T>& values, const char* what, const char* type) {
  return app.add_option(name, values, what)->type_name(type)->allow_extra_args(false)->take_all();
}

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

  AddList(app, "--expect-code", invocation.expectCodes, "The code every request must end with (default 0)", "N");
  AddList(app, "--expect-contains", invocation.expectContains, "Text the output must contain", "TEXT");
  AddList(app, "--expect-xpath", invocation.expectXPath, "An XPath check on the reply: EXPR or EXPR=VALUE", "EXPR");
  std::vector<std::string> namespaces;
  AddList(app, "--ns", namespaces, "A namespace prefix for the XPath checks", "PREFIX=URI");
  CLI::Option* golden = AddList(app, "--expect-reply", invocation.expectReply, "A file the output must equal", "FILE");
  app.add_flag("--update-golden", invocation.updateGolden, "Write the output to the --expect-reply files instead")
      ->needs(golden);
  app.add_option("--timeout", invocation.timeoutSeconds, "End the run (exit status 5) when one library call takes longer")
      ->type_name("SECONDS")
      ->check(CLI::Range(1, 86400));
  app.add_flag("--bail", invocation.bail, "Stop at the first request that fails (exit status 1, 4 or 5)");
  app.add_option("--retry", invocation.retries, "Repeat a run whose code was not the expected one up to N more times (never for a failed check)")
      ->type_name("N")
      ->check(CLI::Range(0, 100));
  app.add_option("--retry-delay", invocation.retryDelayMs, "Wait this long before each retry")
      ->type_name("MS")
      ->check(CLI::Range(0, 3600000));
  app.add_option("--delay", invocation.delayMs, "Wait this long between two runs of requests")->type_name("MS")->check(CLI::Range(0, 3600000));
  std::string junit, tap;
  CLI::Option* junitOption = app.add_option("--junit", junit, "Write a JUnit XML report")->type_name("FILE");
  CLI::Option* tapOption = app.add_option("--tap", tap, "Write a TAP version 13 report")->type_name("FILE");

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
  for (const std::string& binding : namespaces) {
    const std::size_t equals = binding.find('=');
    const std::string prefix = binding.substr(0, std::min(equals, binding.size()));
    if (equals == std::string::npos || prefix.empty() || equals + 1 == binding.size() ||
        prefix.find_first_of(": \t") != std::string::npos) {
      err.Write(u"--ns " + ArgumentText(binding) + u": expected PREFIX=URI, a prefix without \":\" and a URI\n"
                u"Run with --help for more information.\n");
      status = kExitUsage;
      return std::nullopt;
    }
    invocation.namespaces.emplace_back(prefix, binding.substr(equals + 1));
  }
  if (junitOption->count() > 0) invocation.junit = junit;
  if (tapOption->count() > 0) invocation.tap = tap;
  if (replyOption->count() > 0) invocation.reply = reply;
  if (libraryOption->count() > 0) invocation.library = library;
  if (textCommand->parsed()) invocation.kind = RequestKind::Text;
  if (fileCommand->parsed()) invocation.kind = RequestKind::File;
  if (statusCommand->parsed()) invocation.kind = RequestKind::Status;
  return invocation;
}

}  // namespace webapitest::cli
