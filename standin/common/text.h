// Text helpers the stand-in's library and manager share: numbers, positions, log timestamps.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace standin {

// A whole number written with digits only (no sign, no blanks), at most max (below LONG_MAX / 10).
bool ReadNumber(std::string_view digits, long max, long& number);

// Line and column (both from 1) of a byte offset in UTF-8 text; the column counts characters.
struct Position {
  std::size_t line = 1;
  std::size_t column = 1;
};
Position PositionAt(std::string_view utf8, std::size_t offset);

// "line 3, column 7" of a byte offset; "an unknown position" for a negative one.
std::string Where(std::string_view utf8, std::ptrdiff_t offset);

// The local time as the logs write it: "2026-12-08 21:39:26.123".
std::string LocalTimestamp();

}  // namespace standin
