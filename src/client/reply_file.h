// Reading the reply file that the library wrote.
#pragma once

#include <string>
#include <string_view>

namespace webapitest {

// Reads the whole regular file at path as bytes. Returns false, with out empty, when the path
// is empty, missing or unreadable, or names anything but a regular file (a folder, a device,
// a pipe), which is never opened for reading, so nothing can block or run on without end.
bool ReadRegularFile(std::u16string_view path, std::string& out);

// Splits bytes into lines and joins them again, each followed by CR LF. A line ends at a CR,
// which is dropped together with an LF directly after it, or at the end of the text; an LF
// anywhere else stays part of the line. Empty text gives empty text.
std::string JoinReplyLines(std::string_view bytes);

// Reply bytes as the output pane shows them: JoinReplyLines, converted from the ANSI code
// page, with every NUL shown as U+2400 so that nothing after it is cut off.
std::u16string ReplyText(std::string_view bytes);

// The reply file as the output pane shows it: JoinReplyLines, converted from the ANSI code
// page, with every NUL shown as U+2400 so that nothing after it is cut off. Empty when the
// file cannot be read.
std::u16string LoadReplyText(std::u16string_view path);

}  // namespace webapitest
