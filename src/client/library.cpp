// Loads the client library and binds each entry point by name at its first call.
#include "client/library.h"

#include "text/text.h"
#include "client/entry_call.h"
#include "client/loader.h"

#include <utility>

namespace webapitest {

ClientLibrary::ClientLibrary(std::u16string file) : file_(std::move(file)) {}

ClientLibrary::~ClientLibrary() {
  if (module_) loader::Close(module_);
}

std::u16string ClientLibrary::BesideProgram() { return loader::ProgramFolder() + std::u16string(loader::LibraryName()); }

std::u16string ClientLibrary::Locate() {
  if (std::u16string chosen = loader::Environment("WEBAPITEST_LIBRARY"); !chosen.empty()) return chosen;
  std::u16string beside = BesideProgram();
  if (loader::Exists(beside)) return beside;
  return std::u16string(loader::LibraryName());
}

void* ClientLibrary::Module() {
  if (module_) return module_;
  std::string why;
  module_ = loader::Open(file_, why);
  if (module_) return module_;
  if (file_ == loader::LibraryName())
    throw BindingError("Cannot find the client library " + ToUtf8(file_) + ": it is not beside this program (" +
                       ToUtf8(BesideProgram()) + "), nor where the system looks for libraries (" + why + ").");
  throw BindingError("Cannot load the client library " + ToUtf8(file_) + ": " + why);
}

template <typename Fn>
Fn* ClientLibrary::Bind(Fn*& slot, const char* name) {
  if (slot) return slot;
  const loader::Function found = loader::Symbol(Module(), name);
  slot = reinterpret_cast<Fn*>(found);
  if (!found)
    throw BindingError("The client library " + ToUtf8(file_) + " has no entry point " + name + ".");
  return slot;
}

template <typename Fn, typename... Args>
std::int32_t ClientLibrary::Call(Fn*& slot, const char* name, Args... args) {
  if (!crash_.empty()) throw LibraryCrash(crash_);  // its state is gone: no call goes in again
  Fn* fn = Bind(slot, name);
  try {
    return entry::Call(name, fn, args...);
  } catch (const LibraryCrash& crash) {
    crash_ = crash.what();
    throw;
  }
}

std::int32_t ClientLibrary::webApiStartup() { return Call(startup_, "webApiStartup"); }

void ClientLibrary::webApiCleanup() {
  if (crash_.empty()) Call(cleanup_, "webApiCleanup");
}

std::int32_t ClientLibrary::webApiStatusRequest(std::u16string_view host, std::int32_t timeout) {
  return Call(statusRequest_, "webApiStatusRequest", ToAnsi(host).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiMemRequest(std::u16string_view document, std::int32_t timeout) {
  return Call(memRequest_, "webApiMemRequest", ToAnsi(document).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiMemRequestRaw(std::u16string_view document, std::int32_t timeout) {
  return Call(memRequestRaw_, "webApiMemRequestRaw", ToAnsi(document).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiFileRequest(std::u16string_view path, std::int32_t timeout) {
  return Call(fileRequest_, "webApiFileRequest", ToAnsi(path).c_str(), timeout);
}

std::int32_t ClientLibrary::webApiFileRequestRaw(std::u16string_view path, std::int32_t timeout) {
  return Call(fileRequestRaw_, "webApiFileRequestRaw", ToAnsi(path).c_str(), timeout);
}

void ClientLibrary::webApiWriteLastReply(std::u16string_view path) {
  Call(writeLastReply_, "webApiWriteLastReply", ToAnsi(path).c_str());
}

void ClientLibrary::webApiWriteLastFault(std::u16string_view path) {
  Call(writeLastFault_, "webApiWriteLastFault", ToAnsi(path).c_str());
}

}  // namespace webapitest
