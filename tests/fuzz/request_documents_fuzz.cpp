// Fuzzes the stand-in library's handling of request and reply documents.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <string>

#include "library/core.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool utf8 = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  (void)utf8;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  webapi::CheckedRequest checked;
  webapi::CheckRequest(text, checked);
  standin::HostPort server;
  webapi::FindServer(text, server);
  webapi::ReadReply(text, "fuzz.test:1");
  return 0;
}
