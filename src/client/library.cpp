// Loads the client library and binds each entry point by name at its first call.
#include "client/library.h"

#include "text/text.h"
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
