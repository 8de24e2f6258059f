// "hostname or IP:port" as the caller and the server element give it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace webapi {

struct HostPort {
  std::string host;  // a name, an IPv4 address, or an IPv6 address without brackets
  int port = 0;
  // "name:port", "[v6]:port": the authority part of a URL.
  std::string Authority() const;
};

// Reads "name:port", "1.2.3.4:port" or "[v6]:port" (port 1..65535); what is in brackets must be
// an IPv6 address. Anything that could
// change the meaning of the URL built from it (spaces, '/', '@', '?', '#', ...) is refused.
// On failure, why says what is wrong, in words for the tester.
std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why);

}  // namespace webapi
