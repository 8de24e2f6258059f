// Checking host text before it becomes part of a URL or an address to listen on.
#include "common/host.h"

#include <arpa/inet.h>

#include <cctype>

#include "common/text.h"

namespace standin {

std::string HostPort::Authority() const {
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why, int lowestPort) {
  const std::string quoted = "The host \"" + std::string(text) + "\"";
  const std::string expected = " (expected \"hostname or IP:portnumber\", e.g. localhost:3380)";
  if (text.empty()) {
    why = "The host is empty" + expected + ".";
    return std::nullopt;
  }
  HostPort result;
  std::string_view rest;
  if (text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) {
      why = quoted + " opens an IPv6 address with '[' but never closes it.";
      return std::nullopt;
    }
    result.host = std::string(text.substr(1, close - 1));
    for (const char c : result.host) {
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') {
        why = quoted + " holds a character that is not part of an IPv6 address.";
        return std::nullopt;
      }
    }
    if (result.host.empty()) {
      why = quoted + " has an empty IPv6 address.";
      return std::nullopt;
    }
    // Brackets hold an IPv6 address and nothing else: "[cafe]" is no name to look up.
    unsigned char bytes[16];
    if (inet_pton(AF_INET6, result.host.c_str(), bytes) != 1) {
      why = quoted + " holds \"" + result.host + "\" in brackets, which is not an IPv6 address.";
      return std::nullopt;
    }
    rest = text.substr(close + 1);
  } else {
    const std::size_t colon = text.rfind(':');
    result.host = std::string(text.substr(0, colon));
    if (result.host.empty()) {
      why = quoted + " has no host name before the port" + expected + ".";
      return std::nullopt;
    }
    if (result.host.find(':') != std::string::npos) {
      why = quoted + " holds an IPv6 address without brackets (expected \"[IPv6]:portnumber\", e.g. [::1]:3380).";
      return std::nullopt;
    }
    for (const char c : result.host) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') {
        why = quoted + " holds a character that cannot be part of a host name" + expected + ".";
        return std::nullopt;
      }
    }
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
  }
  if (rest.size() < 2 || rest.front() != ':') {
    why = quoted + " has no port number" + expected + ".";
    return std::nullopt;
  }
  long port = 0;
  if (!ReadNumber(rest.substr(1), 65535, port) || port < lowestPort) {
    why = "The port of \"" + std::string(text) + "\" is not a number from " + std::to_string(lowestPort) +
          " to 65535.";
    return std::nullopt;
  }
  result.port = static_cast<int>(port);
  return result;
}

}  // namespace standin
