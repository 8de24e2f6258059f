// The console's text conversions: declared here, supplied by the program (src/app/cli), which
// takes them from the binding, so that the terminal, the files and the library agree on the
// code page. The window's shared code and this front end stay apart from the client.
#pragma once

#include <string>
#include <string_view>

namespace webapitest::console {

// UTF-16 to and from the system's ANSI code page (the locale's codeset outside Windows).
// Characters the code page cannot hold become its default character; invalid bytes U+FFFD.
std::string ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view bytes);

// UTF-16 to and from UTF-8 (exception texts, JSON). Invalid input becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace webapitest::console
