// Calls into the library where the compiler's own call is all it takes: every target but
// 32-bit Windows, whose callers cannot tell a callee's calling convention.
#include "client/entry_call.h"

namespace webapitest::entry {

std::int32_t Call(const char* name, Startup* fn) {
  return Guarded(name, [&] { return fn(); });
}

std::int32_t Call(const char* name, StatusRequest* fn, const char* text, std::int32_t number) {
  return Guarded(name, [&] { return fn(text, number); });
}

std::int32_t Call(const char* name, WriteLast* fn, const char* path) {
  return Guarded(name, [&] { return fn(path); });
}

}  // namespace webapitest::entry
