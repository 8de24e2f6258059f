// The manager host's settings: what its command line sets, and the limits every client meets.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace manager {

enum class FailMode {
  kNone,
  kRefuse,         // holds the port without listening: every connection is refused
  kHttpError,      // answers everything with 500 Internal Server Error
  kCloseMidReply,  // announces the whole answer, sends half of it and closes the connection
};

// What one client may ask of the manager. Past a limit the client is refused or cut off, so
// that no client holds more than a bounded share of memory or of the manager's time.
struct Limits {
  std::size_t bodyBytes = 16u << 20;    // any framing; over it: 413
  std::size_t headerBytes = 64u << 10;  // request line and header fields together; over it: 431
  std::size_t headerFields = 100;       // over it: 431
  // From a request's first byte until it has been read whole; then the connection is closed.
  std::chrono::milliseconds requestDeadline{10000};
  // Waiting for a request's first byte, and for an answer to be taken by the client.
  std::chrono::milliseconds idleTimeout{5000};
  std::chrono::milliseconds writeDeadline{10000};
  std::size_t connections = 512;        // more are closed as soon as they are accepted
};

struct Options {
  std::string host = "127.0.0.1";
  int port = 3380;                  // 0: any free port
  std::string path = "/webapi";     // where request documents are posted
  std::chrono::milliseconds delay{0};
  FailMode fail = FailMode::kNone;
  // The failure touches only the first failFirst connections; 0: every one. A refusal of the
  // first connections accepts each and resets it at once: refused ones could not be counted.
  std::size_t failFirst = 0;
  Limits limits;
  // Receives one line per request; none when empty.
  std::function<void(const std::string&)> log;
};

// Bound without listening, so that every connection is refused.
inline bool HoldsPort(const Options& options) { return options.fail == FailMode::kRefuse && options.failFirst == 0; }

// Reads the command line (without the program name): the request log goes to stderr unless
// --quiet. On error returns nullopt and says why; help is set for --help.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error, bool& help);
const char* Usage();

}  // namespace manager
