// Checking host text before it becomes part of a URL.
#include "library/host.h"

#include <arpa/inet.h>

#include <cctype>

namespace webapi {
namespace {

bool NameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool V6Character(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

}  // namespace

std::string HostPort::Authority() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why) {
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
      why = "The host \"" + std::string(text) + "\" opens an IPv6 address with '[' but never closes it.";
      return std::nullopt;
    }
    const std::string_view address = text.substr(1, close - 1);
    for (const char c : address) {
      if (!V6Character(c)) {
        why = "The host \"" + std::string(text) + "\" holds a character that is not part of an IPv6 address.";
        return std::nullopt;
      }
    }
    if (address.empty()) {
      why = "The host \"" + std::string(text) + "\" has an empty IPv6 address.";
      return std::nullopt;
    }
    // Brackets hold an IPv6 address and nothing else: "[cafe]" is no name to look up.
    unsigned char bytes[16];
    if (inet_pton(AF_INET6, std::string(address).c_str(), bytes) != 1) {
      why = "The host \"" + std::string(text) + "\" holds \"" + std::string(address) +
            "\" in brackets, which is not an IPv6 address.";
      return std::nullopt;
    }
    result.host = std::string(address);
    rest = text.substr(close + 1);
  } else {
    const std::size_t colon = text.rfind(':');
    const std::string_view name = text.substr(0, colon);
    if (name.empty()) {
      why = "The host \"" + std::string(text) + "\" has no host name before the port" + expected + ".";
      return std::nullopt;
    }
    for (const char c : name) {
      if (!NameCharacter(c)) {
        why = "The host \"" + std::string(text) + "\" holds a character that cannot be part of a host name" +
              expected + ".";
        return std::nullopt;
      }
    }
    result.host = std::string(name);
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
  }
  if (rest.size() < 2 || rest.front() != ':') {
    why = "The host \"" + std::string(text) + "\" has no port number" + expected + ".";
    return std::nullopt;
  }
  long port = 0;
  for (const char c : rest.substr(1)) {
    if (!std::isdigit(static_cast<unsigned char>(c)) || port > 65535) {
      port = -1;
      break;
    }
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) {
    why = "The port of \"" + std::string(text) + "\" is not a number from 1 to 65535.";
    return std::nullopt;
  }
  result.port = static_cast<int>(port);
  return result;
}

}  // namespace webapi
