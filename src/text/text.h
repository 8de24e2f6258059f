// Text conversions shared by every layer: UTF-16 (the window's text) to and from the system's
// ANSI code page (the library's and the reply file's) and UTF-8 (messages), line breaks, and
// the system's words for an error code. On Windows the code page is the active one (CP_ACP),
// elsewhere the codeset of the locale set by setlocale(LC_ALL, "").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace webapitest {

// Characters the code page cannot hold become its default character ("?").
std::string ToAnsi(std::u16string_view text);
// Bytes that are not valid in the code page become U+FFFD. NUL bytes convert like any other.
std::u16string FromAnsi(std::string_view bytes);

// UTF-16 to and from UTF-8, for messages (exception texts are UTF-8). Unpaired surrogates
// and invalid bytes become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Whether every byte is below 0x80, so that each byte is its own character in any code page.
bool IsAscii(std::string_view bytes);

// Every CR LF as one LF; a CR or an LF on its own stays. CopyWithLfBreaks writes to out, which
// has room for text.size() units, and returns how many it wrote.
std::size_t CopyWithLfBreaks(std::u16string_view text, char16_t* out);
std::u16string WithLfBreaks(std::u16string_view text);
// Every LF that has no CR before it gains one.
std::u16string WithCrLfBreaks(std::u16string_view text);

// The system's words for an error code, followed by the code: "Access is denied. (error 5)";
// "Unknown error (error N)" when the system has none. Windows' codes from GetLastError, errno
// values elsewhere.
std::string ErrorText(std::uint32_t code);
// Only the words, without the code; empty when the system has none.
std::string SystemMessage(std::uint32_t code);

}  // namespace webapitest
