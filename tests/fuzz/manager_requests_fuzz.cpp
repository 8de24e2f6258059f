// Fuzzes the manager host's reading of HTTP requests: whatever bytes a client sends, the answer
// is a status the manager gives and an answer bounded by what was sent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "manager/manager.h"
#include "../standin/respond_to_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  manager::Options options;
  options.limits.bodyBytes = 1u << 16;  // small limits, so that the fuzzer reaches them
  options.limits.headerBytes = 1u << 12;
  options.limits.headerFields = 8;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const manager::Reply reply =
      manager::RespondToBytes(bytes, options, [] { return manager::StatusInfo{"127.0.0.1:3380", 1, 2, 3}; });
  switch (reply.status) {
    case 200: case 400: case 403: case 404: case 405: case 411: case 413: case 415: case 431: break;
    default: std::abort();
  }
  if (reply.body.size() > 4 * size + (4u << 20)) std::abort();
  return 0;
}
