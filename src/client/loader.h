// The platform's half of the binding in library.h: loader_win32.cpp or loader_posix.cpp,
// picked by the build.
#pragma once

#include <string>
#include <string_view>

namespace webapitest::loader {

using Function = void (*)();

// The library's plain file name: "webapi.dll" on Windows, "libwebapi.so" elsewhere.
std::u16string_view LibraryName();

// Opens the library: a path, or a plain name that the system's loader looks for in its own
// places. nullptr, with the system's reason in why, when it cannot.
void* Open(const std::u16string& file, std::string& why);
void Close(void* module);
// The entry point of that name, or nullptr.
Function Symbol(void* module, const char* name);

// The folder of the running program, ending in its separator; empty when it cannot be found.
std::u16string ProgramFolder();
// Whether something exists at path.
bool Exists(const std::u16string& path);
// An environment variable's text; empty when it is not set.
std::u16string Environment(const char* name);

}  // namespace webapitest::loader
