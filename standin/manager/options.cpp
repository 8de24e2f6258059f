// The manager host's command line.
#include "manager/manager.h"

#include <cstdio>
#include <set>

#include "common/common.h"

namespace manager {
namespace {

// Sets one option from its value; what is wrong with the value otherwise.
std::string Set(Options& options, const std::string& arg, const std::string& value) {
  std::string why;
  long number = 0;
  if (arg == "--listen") {
    const auto listen = standin::ParseHostPort(value, why, 0);
    if (!listen) return "--listen " + value + ": " + why;
    options.host = listen->host;
    options.port = listen->port;
  } else if (arg == "--path") {
    if (value.empty() || value.front() != '/') return "--path " + value + ": a path starts with /";
    options.path = value;
  } else if (arg == "--delay") {
    if (!standin::ReadNumber(value, 9999999, number))
      return "--delay " + value + ": expected milliseconds from 0 to 9999999";
    options.delay = std::chrono::milliseconds(number);
  } else if (arg == "--fail-first") {
    if (!standin::ReadNumber(value, 999999, number))
      return "--fail-first " + value + ": expected a count of connections from 0 to 999999";
    options.failFirst = static_cast<std::size_t>(number);
  } else if (value == "refuse" || value == "http-error" || value == "close-mid-reply") {
    options.fail = value == "refuse" ? FailMode::kRefuse : value == "http-error" ? FailMode::kHttpError
                                                                                  : FailMode::kCloseMidReply;
  } else {
    return "--fail " + value + ": expected refuse, http-error or close-mid-reply";
  }
  return "";
}

}  // namespace

const char* Usage() {
  return "usage: webapi-manager [--listen HOST:PORT] [--path PATH] [--delay MS]\n"
         "                      [--fail refuse|http-error|close-mid-reply [--fail-first N]]\n"
         "                      [--quiet]\n"
         "\n"
         "  --listen HOST:PORT  address to answer on (default 127.0.0.1:3380); port 0 picks a\n"
         "                      free port. The address taken is printed: \"listening on HOST:PORT\"\n"
         "  --path PATH         where request documents are posted (default /webapi)\n"
         "  --delay MS          wait MS milliseconds before every answer\n"
         "  --fail MODE         fail on purpose: refuse (hold the port, refuse connections),\n"
         "                      http-error (answer 500), close-mid-reply (send half, then close)\n"
         "  --fail-first N      fail only the first N connections, then answer (refuse: each is\n"
         "                      accepted and reset at once)\n"
         "  --quiet             no request log on stderr\n";
}

std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error, bool& help) {
  Options options;
  options.log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  help = false;
  error.clear();
  const std::set<std::string> valued = {"--listen", "--path", "--delay", "--fail", "--fail-first"};
  for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
    const std::string& arg = args[i];
    if ((help = arg == "--help" || arg == "-h")) return options;
    if (arg == "--quiet") options.log = nullptr;
    else if (!valued.count(arg)) error = "unknown option \"" + arg + "\"";
    else if (i + 1 >= args.size()) error = arg + " needs a value";
    else error = Set(options, arg, args[++i]);
  }
  if (!error.empty()) return std::nullopt;
  return options;
}

}  // namespace manager
