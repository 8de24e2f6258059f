// Request files in, reply/fault files out, log and dump files appended to.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "library/outcome.h"

namespace webapi {

// Request files larger than this are turned away.
constexpr std::size_t kMaxRequestFileBytes = 64u << 20;

// Reads the whole regular file at path. A fault (WEBAPI_REQUEST_FILE) names the file and why:
// missing, a folder, not a regular file, unreadable, too large. Nothing blocks: a FIFO is
// never waited on.
Outcome ReadRequestFile(const std::string& path, std::string& bytes);

// Creates or truncates path and writes bytes (append = false), or adds them at its end
// (append = true). Only regular files and character devices (/dev/null) are written; a FIFO
// without a reader fails at once instead of blocking. A symbolic link that another user put in
// a sticky folder everyone may write (/tmp) is not followed. The file is closed on return.
// On failure, why says what happened (e.g. "No such file or directory").
bool WriteFile(const std::string& path, std::string_view bytes, bool append, std::string& why);

}  // namespace webapi
