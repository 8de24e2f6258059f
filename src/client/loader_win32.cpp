// Loading the client library on Windows: LoadLibraryW and GetProcAddress.
#include <windows.h>

#include <vector>

#include "text/text.h"
#include "client/loader.h"

namespace webapitest::loader {
namespace {

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

}  // namespace

std::u16string_view LibraryName() { return u"webapi.dll"; }

void* Open(const std::u16string& file, std::string& why) {
  HMODULE module = LoadLibraryW(Wide(file));
  if (!module) why = ErrorText(GetLastError());
  return module;
}

void Close(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

Function Symbol(void* module, const char* name) {
  // FARPROC is a function pointer already; the detour through Function keeps
  // -Wcast-function-type quiet about a cast between unrelated function types.
  return reinterpret_cast<Function>(GetProcAddress(static_cast<HMODULE>(module), name));
}

std::u16string ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      const std::u16string self(reinterpret_cast<const char16_t*>(buffer.data()), n);
      return self.substr(0, self.find_last_of(u"\\/") + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool Exists(const std::u16string& path) { return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES; }

std::u16string Environment(const char* name) {
  const std::u16string wide = FromUtf8(name);
  const DWORD size = GetEnvironmentVariableW(Wide(wide), nullptr, 0);
  if (size <= 1) return {};
  std::u16string value(size, u'\0');
  const DWORD n = GetEnvironmentVariableW(Wide(wide), reinterpret_cast<wchar_t*>(value.data()), size);
  value.resize(n < size ? n : 0);
  return value;
}

}  // namespace webapitest::loader
