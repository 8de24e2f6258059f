// Loads the client library and binds each entry point by name at its first call.
#include "client/library.h"

#include "client/ansi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <utility>
#include <vector>

namespace webapitest {
namespace {

#ifdef _WIN32
constexpr std::u16string_view kLibraryName = u"webapi.dll";
const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::string LastErrorText() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message(reinterpret_cast<const char16_t*>(text), n);
  LocalFree(text);
  while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' || message.back() == u' '))
    message.pop_back();
  return ToUtf8(message) + " (error " + std::to_string(code) + ")";
}
#else
constexpr std::u16string_view kLibraryName = u"libwebapi.so";
#endif

}  // namespace

ClientLibrary::ClientLibrary(std::u16string file) : file_(std::move(file)) {}

ClientLibrary::~ClientLibrary() {
  if (!module_) return;
#ifdef _WIN32
  FreeLibrary(static_cast<HMODULE>(module_));
#else
  dlclose(module_);
#endif
}

std::u16string ClientLibrary::BesideProgram() {
#ifdef _WIN32
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) throw BindingError("Cannot find the folder of this program: " + LastErrorText());
    if (n < buffer.size()) {
      std::u16string self(reinterpret_cast<const char16_t*>(buffer.data()), n);
      return self.substr(0, self.find_last_of(u"\\/") + 1) + std::u16string(kLibraryName);
    }
    buffer.resize(buffer.size() * 2);
  }
#else
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
    return std::u16string(kLibraryName);  // let the loader's own search find it
  std::string self(buffer.data(), static_cast<size_t>(n));
  return FromAnsi(self.substr(0, self.rfind('/') + 1)) + std::u16string(kLibraryName);
#endif
}

void* ClientLibrary::Module() {
  if (module_) return module_;
#ifdef _WIN32
  module_ = LoadLibraryW(Wide(file_));
  if (!module_)
    throw BindingError("Cannot load the client library " + ToUtf8(file_) + ": " + LastErrorText());
#else
  module_ = dlopen(ToAnsi(file_).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module_) {
    const char* why = dlerror();
    throw BindingError("Cannot load the client library " + ToUtf8(file_) + ": " +
                       (why ? why : "unknown error"));
  }
#endif
  return module_;
}

template <typename Fn>
Fn* ClientLibrary::Bind(Fn*& slot, const char* name) {
  if (slot) return slot;
  void* module = Module();
#ifdef _WIN32
  FARPROC found = GetProcAddress(static_cast<HMODULE>(module), name);
  // FARPROC is a function pointer already; the detour through void (*)() keeps
  // -Wcast-function-type quiet about a cast between unrelated function types.
  slot = reinterpret_cast<Fn*>(reinterpret_cast<void (*)()>(found));
#else
  void* found = dlsym(module, name);
  slot = reinterpret_cast<Fn*>(found);
#endif
  if (!found)
    throw BindingError("The client library " + ToUtf8(file_) + " has no entry point " + name + ".");
  return slot;
}

std::int32_t ClientLibrary::webApiStartup() { return Bind(startup_, "webApiStartup")(); }

void ClientLibrary::webApiCleanup() { Bind(cleanup_, "webApiCleanup")(); }

std::int32_t ClientLibrary::webApiStatusRequest(std::u16string_view host, std::int32_t timeout) {
  auto* call = Bind(statusRequest_, "webApiStatusRequest");
  return call(ToAnsi(host).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiMemRequest(std::u16string_view document, std::int32_t timeout) {
  auto* call = Bind(memRequest_, "webApiMemRequest");
  return call(ToAnsi(document).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiMemRequestRaw(std::u16string_view document, std::int32_t timeout) {
  auto* call = Bind(memRequestRaw_, "webApiMemRequestRaw");
  return call(ToAnsi(document).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiFileRequest(std::u16string_view path, std::int32_t timeout) {
  auto* call = Bind(fileRequest_, "webApiFileRequest");
  return call(ToAnsi(path).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiFileRequestRaw(std::u16string_view path, std::int32_t timeout) {
  auto* call = Bind(fileRequestRaw_, "webApiFileRequestRaw");
  return call(ToAnsi(path).c_str(), timeout);
}

void ClientLibrary::webApiWriteLastReply(std::u16string_view path) {
  Bind(writeLastReply_, "webApiWriteLastReply")(ToAnsi(path).c_str());
}

void ClientLibrary::webApiWriteLastFault(std::u16string_view path) {
  Bind(writeLastFault_, "webApiWriteLastFault")(ToAnsi(path).c_str());
}

}  // namespace webapitest
