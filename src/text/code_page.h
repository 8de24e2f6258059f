// The code page's conversions in pieces, for text read a piece at a time (the reply file):
// text_win32.cpp or text_posix.cpp, picked by the build, with WholeUtf8 in text.cpp.
#pragma once

#include <string>
#include <string_view>

namespace webapitest::code_page {

inline constexpr char16_t kReplacement = 0xFFFD;

// Characters the code page cannot hold become its default character ("?").
std::string Encode(std::u16string_view text);
// Bytes that are not valid in the code page become U+FFFD.
std::u16string Decode(std::string_view bytes);
// The same for text that comes in pieces: appends what the bytes hold up to the last whole
// character and returns how many bytes that took; the rest (a character cut at the end, a
// few bytes) waits for the next piece. With final, everything is taken.
std::size_t DecodeWhole(std::string_view bytes, bool final, std::u16string& out);

// The longest start of UTF-8 bytes that does not end inside a character (text.cpp).
std::size_t WholeUtf8(std::string_view bytes);

}  // namespace webapitest::code_page
