// Loading the client library elsewhere: dlopen and dlsym.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "text/text.h"
#include "client/loader.h"

namespace webapitest::loader {

std::u16string_view LibraryName() { return u"libwebapi.so"; }

void* Open(const std::u16string& file, std::string& why) {
  void* module = dlopen(ToAnsi(file).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* error = dlerror();
    why = error ? error : "unknown error";
  }
  return module;
}

void Close(void* module) { dlclose(module); }

Function Symbol(void* module, const char* name) { return reinterpret_cast<Function>(dlsym(module, name)); }

std::u16string ProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  const std::string self(buffer.data(), static_cast<std::size_t>(n));
  return FromAnsi(self.substr(0, self.rfind('/') + 1));
}

bool Exists(const std::u16string& path) {
  struct stat info {};
  return stat(ToAnsi(path).c_str(), &info) == 0;
}

std::u16string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? FromAnsi(value) : std::u16string();
}

}  // namespace webapitest::loader
