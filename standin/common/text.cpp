// Numbers, positions in a document, and the logs' timestamps.
#include "common/text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace standin {

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

std::string LocalTimestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  char withMillis[40];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03d", text, static_cast<int>(millis));
  return withMillis;
}

}  // namespace standin
