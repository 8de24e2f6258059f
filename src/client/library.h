// The binding to the client library: each entry point found by name at its first call.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "client/entry_call.h"
#include "client/entry_points.h"

namespace webapitest {

// The library or one of its entry points cannot be found. The message names which.
class BindingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ClientLibrary {
 public:
  // The file is opened at the first call of any entry point, not here, so that a library
  // that lacks entry points the window never calls still works.
  explicit ClientLibrary(std::u16string file);
  ~ClientLibrary();
  ClientLibrary(const ClientLibrary&) = delete;
  ClientLibrary& operator=(const ClientLibrary&) = delete;

  // "webapi.dll" on Windows, "libwebapi.so" elsewhere, in the folder of the running program.
  static std::u16string BesideProgram();
  // The library the programs bind: the file that WEBAPITEST_LIBRARY names (for tests), else
  // the one beside the program, else the plain name, which the system's loader looks for in
  // its own places (the system folders and PATH on Windows, the loader's path elsewhere).
  static std::u16string Locate();

  // Text is converted to the system's ANSI code page at each call. All throw BindingError
  // when the library or the entry point is missing, and LibraryCrash (entry_call.h) when the
  // library crashes inside the call or breaks the calling convention; after that no call
  // reaches the library again (webApiCleanup does nothing, the others throw it again).
  std::int32_t webApiStartup();
  void webApiCleanup();
  std::int32_t webApiStatusRequest(std::u16string_view host, std::int32_t timeout);
  std::int32_t webApiMemRequest(std::u16string_view document, std::int32_t timeout);
  std::int32_t webApiMemRequestRaw(std::u16string_view document, std::int32_t timeout);
  std::int32_t webApiFileRequest(std::u16string_view path, std::int32_t timeout);
  std::int32_t webApiFileRequestRaw(std::u16string_view path, std::int32_t timeout);
  void webApiWriteLastReply(std::u16string_view path);
  void webApiWriteLastFault(std::u16string_view path);

 private:
  // Fills slot from the library at its first use and returns it.
  template <typename Fn>
  Fn* Bind(Fn*& slot, const char* name);
  void* Module();
  // Binds the entry point and makes the guarded call.
  template <typename Fn, typename... Args>
  std::int32_t Call(Fn*& slot, const char* name, Args... args);

  std::u16string file_;
  std::string crash_;  // how the library crashed, once it has
  void* module_ = nullptr;
  entry::Startup* startup_ = nullptr;
  entry::Cleanup* cleanup_ = nullptr;
  entry::StatusRequest* statusRequest_ = nullptr;
  entry::MemRequest* memRequest_ = nullptr;
  entry::MemRequest* memRequestRaw_ = nullptr;
  entry::FileRequest* fileRequest_ = nullptr;
  entry::FileRequest* fileRequestRaw_ = nullptr;
  entry::WriteLast* writeLastReply_ = nullptr;
  entry::WriteLast* writeLastFault_ = nullptr;
};

}  // namespace webapitest
