// Host and port as testers and documents name them: "name:port", "1.2.3.4:port", "[v6]:port".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace standin {

struct HostPort {
  std::string host;  // a name, an IPv4 address, or an IPv6 address without brackets
  int port = 0;
  // "name:port", "[v6]:port": the authority part of a URL.
  std::string Authority() const;
};

// Reads "name:port", "1.2.3.4:port" or "[v6]:port" with a port from lowestPort to 65535; what is
// in brackets must be an IPv6 address. Anything that could change the meaning of a URL built
// from it (spaces, '/', '@', '?', '#', ...) is refused. On failure, why says what is wrong, in
// words for the tester.
std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why, int lowestPort = 1);

}  // namespace standin
