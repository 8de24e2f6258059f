// Hosts and ports, numbers, positions in a document, and the logs' timestamps.
#include "common/common.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

namespace standin {

std::string HostPort::Authority() const {
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why, int lowestPort) {
  const std::string quoted = "The host \"" + std::string(text) + "\"";
  const std::string expected = " (expected \"hostname or IP:portnumber\", e.g. localhost:3380)";
  const auto fail = [&why](std::string what) {
    why = std::move(what);
    return std::nullopt;
  };
  if (text.empty()) return fail("The host is empty" + expected + ".");
  HostPort result;
  std::string_view rest;
  if (text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return fail(quoted + " opens an IPv6 address with '[' but never closes it.");
    result.host = std::string(text.substr(1, close - 1));
    if (result.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos)
      return fail(quoted + " holds a character that is not part of an IPv6 address.");
    if (result.host.empty()) return fail(quoted + " has an empty IPv6 address.");
    // Brackets hold an IPv6 address and nothing else: "[cafe]" is no name to look up.
    unsigned char bytes[16];
    if (inet_pton(AF_INET6, result.host.c_str(), bytes) != 1)
      return fail(quoted + " holds \"" + result.host + "\" in brackets, which is not an IPv6 address.");
    rest = text.substr(close + 1);
  } else {
    const std::size_t colon = text.rfind(':');
    result.host = std::string(text.substr(0, colon));
    if (result.host.empty()) return fail(quoted + " has no host name before the port" + expected + ".");
    if (result.host.find(':') != std::string::npos) {
      return fail(quoted +
                  " holds an IPv6 address without brackets (expected \"[IPv6]:portnumber\", e.g. [::1]:3380).");
    }
    if (!std::all_of(result.host.begin(), result.host.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_'; }))
      return fail(quoted + " holds a character that cannot be part of a host name" + expected + ".");
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
  }
  if (rest.size() < 2 || rest.front() != ':') return fail(quoted + " has no port number" + expected + ".");
  long port = 0;
  if (!ReadNumber(rest.substr(1), 65535, port) || port < lowestPort) {
    return fail("The port of \"" + std::string(text) + "\" is not a number from " + std::to_string(lowestPort) +
                " to 65535.");
  }
  result.port = static_cast<int>(port);
  return result;
}

bool ReadNumber(std::string_view digits, long max, long& number) {
  if (digits.empty()) return false;
  number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9' || number > max) return false;
    number = number * 10 + (c - '0');
  }
  return number <= max;
}

Position PositionAt(std::string_view utf8, std::size_t offset) {
  offset = std::min(offset, utf8.size());
  Position at;
  for (std::size_t i = 0; i < offset; ++i) {
    const char c = utf8[i];
    if (c == '\n' || (c == '\r' && !(i + 1 < utf8.size() && utf8[i + 1] == '\n'))) {
      ++at.line;
      at.column = 1;
    } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++at.column;
    }
  }
  return at;
}

std::string Where(std::string_view utf8, std::ptrdiff_t offset) {
  if (offset < 0) return "an unknown position";
  const Position at = PositionAt(utf8, static_cast<std::size_t>(offset));
  return "line " + std::to_string(at.line) + ", column " + std::to_string(at.column);
}

std::string Where(std::string_view utf8, const pugi::xml_node& node) {
  std::ptrdiff_t offset = node.offset_debug();
  if (offset > 0 && node.type() == pugi::node_element) --offset;
  return Where(utf8, offset);
}

std::string LocalTimestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(millis));
  return text;
}

}  // namespace standin
