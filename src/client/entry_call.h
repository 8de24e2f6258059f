// One call into the client library, guarded: a crash inside it (a bad memory access, an illegal
// instruction, a division by zero, a stack overflow, an abort) and, on 32-bit Windows, a callee
// that does not keep the stdcall convention end in LibraryCrash naming the entry point, instead
// of ending the program without a word. A crash outside library calls is left to the system.
//
// What differs lives in guard_win32.cpp / guard_posix.cpp (catching the crash) and
// entry_call.cpp / entry_call_x86.cpp (making the call; the 32-bit Windows one through a thunk
// that checks how much of the stack the callee cleaned up).
#pragma once

#include <cstdint>
#include <stdexcept>

#include "client/entry_points.h"

namespace webapitest {

// The library crashed inside a call or broke the calling convention. The message names the
// entry point and what happened; the library's state is gone.
class LibraryCrash : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace entry {

// Calls fn, named name, with the arguments. Throws LibraryCrash.
std::int32_t Call(const char* name, Startup* fn);
std::int32_t Call(const char* name, StatusRequest* fn, const char* text, std::int32_t number);
std::int32_t Call(const char* name, WriteLast* fn, const char* path);

// Runs call(context) so that a crash inside it throws LibraryCrash naming entry. One guarded
// call at a time, on one thread (the window's).
void RunGuarded(const char* name, void (*call)(void* context), void* context);

template <typename Call>
std::int32_t Guarded(const char* name, Call&& call) {
  std::int32_t result = 0;
  auto run = [&] { result = call(); };
  RunGuarded(name, [](void* context) { (*static_cast<decltype(run)*>(context))(); }, &run);
  return result;
}

}  // namespace entry
}  // namespace webapitest
