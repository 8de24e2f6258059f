// The manager host's command line.
#include "manager/manager.h"

#include <cstdio>

#include "common/common.h"

namespace manager {

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
  for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
      return options;
    }
    if (arg == "--quiet") {
      options.log = nullptr;
      continue;
    }
    if (arg != "--listen" && arg != "--path" && arg != "--delay" && arg != "--fail" && arg != "--fail-first") {
      error = "unknown option \"" + arg + "\"";
      break;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      break;
    }
    const std::string& value = args[++i];
    std::string why;
    long delay = 0;
    if (arg == "--listen") {
      if (const auto listen = standin::ParseHostPort(value, why, 0)) {
        options.host = listen->host;
        options.port = listen->port;
      } else {
        error = "--listen " + value + ": " + why;
      }
    } else if (arg == "--path") {
      if (value.empty() || value.front() != '/') error = "--path " + value + ": a path starts with /";
      else options.path = value;
    } else if (arg == "--delay") {
      if (standin::ReadNumber(value, 9999999, delay)) options.delay = std::chrono::milliseconds(delay);
      else error = "--delay " + value + ": expected milliseconds from 0 to 9999999";
    } else if (arg == "--fail-first") {
      long first = 0;
      if (standin::ReadNumber(value, 999999, first)) options.failFirst = static_cast<std::size_t>(first);
      else error = "--fail-first " + value + ": expected a count of connections from 0 to 999999";
    } else if (value == "refuse") {
      options.fail = FailMode::kRefuse;
    } else if (value == "http-error") {
      options.fail = FailMode::kHttpError;
    } else if (value == "close-mid-reply") {
      options.fail = FailMode::kCloseMidReply;
    } else {
      error = "--fail " + value + ": expected refuse, http-error or close-mid-reply";
    }
  }
  if (!error.empty()) return std::nullopt;
  return options;
}

}  // namespace manager
