// Text helpers of the client library: the locale's code page, lines, counts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace webapi {

// Converts text between codesets. A character that cannot be read or has no counterpart
// becomes '?'. An unknown codeset leaves the text unchanged.
std::string Recode(std::string_view text, const std::string& from, const std::string& to);

// Between the locale's code page and UTF-8; no-ops where the locale's is UTF-8 or plain ASCII
// (the "C" locale, whose bytes above 127 are taken as they are).
std::string LocalToUtf8(std::string_view text);
std::string Utf8ToLocal(std::string_view text);

// Splits at CR LF, LF or a lone CR. Empty text has no lines; a final line break does not
// start another line.
std::vector<std::string> SplitLines(std::string_view text);

// At most `shown` lines of text, each indented by two blanks, and "  ..." when there was more:
// how a fault quotes a document or a reply body.
std::vector<std::string> Excerpt(std::string_view text, std::size_t shown);

// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// The text of line number `line` (from 1), without its line break; empty past the end.
std::string_view LineAt(std::string_view text, std::size_t line);

// "1 second", "5 seconds", "1 byte" ...
std::string Count(long long n, const char* singular, const char* plural);

}  // namespace webapi
