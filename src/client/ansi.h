// Text conversion between the window's UTF-16 and the system's ANSI code page: on Windows the
// active code page (CP_ACP), elsewhere the codeset of the locale set by setlocale(LC_ALL, "").
#pragma once

#include <string>
#include <string_view>

namespace webapitest {

// Characters the code page cannot hold become its default character ("?").
std::string ToAnsi(std::u16string_view text);
// Bytes that are not valid in the code page become U+FFFD. NUL bytes convert like any other.
std::u16string FromAnsi(std::string_view bytes);

}  // namespace webapitest

namespace webapitest {

// UTF-16 to and from UTF-8, for messages (exception texts are UTF-8). Unpaired surrogates
// and invalid bytes become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace webapitest
