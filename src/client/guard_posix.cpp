// Catching a crash inside a library call outside Windows: handlers for the signals of a crash,
// on a stack of their own (a stack overflow leaves none), jump back to the guarded call.
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "client/entry_call.h"

namespace webapitest::entry {
namespace {

struct Guard {
  const char* name;
  pid_t thread;
  sigjmp_buf jump;
  int signal = 0;
  void* address = nullptr;
};

// The call under way, or none.
Guard* volatile active = nullptr;

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void OnCrash(int signal, siginfo_t* info, void*) {
  Guard* guard = active;
  if (guard && gettid() == guard->thread) {
    guard->signal = signal;
    guard->address = info->si_addr;
    active = nullptr;
    siglongjmp(guard->jump, 1);
  }
  // Not in a library call: what would have happened without us. A fault strikes again when
  // this returns; a signal that was sent is sent again.
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    if (kSignals[i] == signal) sigaction(signal, &previous[i], nullptr);
  if (info->si_code <= 0) raise(signal);
}

void Install() {
  static const bool installed = [] {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE)) {
      stack_t own{};
      own.ss_size = 64 * 1024;
      own.ss_sp = std::malloc(own.ss_size);  // kept for the program's life
      if (own.ss_sp) sigaltstack(&own, nullptr);
    }
    struct sigaction action {};
    action.sa_sigaction = &OnCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
      sigaction(kSignals[i], &action, &previous[i]);
    return true;
  }();
  (void)installed;
}

// Whether a fault at address lies below the stack of a call that began at `from`, within
// the stack's limit: the call ran out of stack.
bool OnStackBelow(const void* address, const void* from) {
  struct rlimit limit {};
  const auto at = reinterpret_cast<std::uintptr_t>(address), top = reinterpret_cast<std::uintptr_t>(from);
  if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  return at < top && top - at <= limit.rlim_cur + (1u << 20);
}

std::string What(const Guard& guard) {
  char where[64];
  std::snprintf(where, sizeof where, " at address %p", guard.address);
  if (!guard.address) std::snprintf(where, sizeof where, " at address 0x0");
  switch (guard.signal) {
    case SIGSEGV:
      if (OnStackBelow(guard.address, &guard)) return std::string("stack overflow (SIGSEGV)") + where;
      return std::string("segmentation fault (SIGSEGV)") + where;
    case SIGBUS: return std::string("bus error (SIGBUS)") + where;
    case SIGILL: return std::string("illegal instruction (SIGILL)") + where;
    case SIGFPE: return std::string("arithmetic error (SIGFPE)") + where;
    default: return "abort (SIGABRT)";
  }
}

}  // namespace

void RunGuarded(const char* name, void (*call)(void* context), void* context) {
  Install();
  Guard guard;
  guard.name = name;
  guard.thread = gettid();
  if (sigsetjmp(guard.jump, 1) != 0)
    throw LibraryCrash("The client library crashed in " + std::string(name) + ": " +
                       What(guard) + ".");
  active = &guard;
  try {
    call(context);
  } catch (...) {
    active = nullptr;
    throw;
  }
  active = nullptr;
}

}  // namespace webapitest::entry
