// Catching a crash inside a library call on Windows: a vectored exception handler sees the
// exception first and resumes the thread where the guarded call began; an abort reaches the
// C runtime's SIGABRT handler, which does the same.
#include <windows.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <malloc.h>
#include <string>

#include "client/entry_call.h"

namespace webapitest::entry {
namespace {

constexpr DWORD kAbort = 0;  // not an exception: the library called abort

struct Guard {
  const char* name;
  DWORD thread;
  void* jump[5];  // for __builtin_setjmp
  DWORD code = kAbort;
  ULONG_PTR access = 0, address = 0;  // of an access violation: 0 read, 1 write, 8 execute
};

// The call under way, or none.
Guard* volatile active = nullptr;

bool IsCrash(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
      return true;
    default:
      return false;
  }
}

// Where the thread resumes after a crash, on a stack of its own: below the guarded call the
// stack is the library's, and after a stack overflow there is no room left on it anyway.
alignas(16) unsigned char landingStack[16 * 1024];
[[noreturn]] void Land() { __builtin_longjmp(active->jump, 1); }

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  Guard* guard = active;
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  if (!guard || guard->thread != GetCurrentThreadId() || !IsCrash(record.ExceptionCode))
    return EXCEPTION_CONTINUE_SEARCH;
  guard->code = record.ExceptionCode;
  if (record.NumberParameters >= 2) {
    guard->access = record.ExceptionInformation[0];
    guard->address = record.ExceptionInformation[1];
  }
  CONTEXT& context = *exception->ContextRecord;
  const auto top = reinterpret_cast<std::uintptr_t>(landingStack + sizeof landingStack);
#ifdef _WIN64
  context.Rsp = top - 8;  // as if Land had been called
  context.Rip = reinterpret_cast<DWORD64>(&Land);
#else
  context.Esp = static_cast<DWORD>(top - 4);
  context.Eip = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(&Land));
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

void __cdecl OnAbort(int);

// SIGABRT is the C runtime's: the handler goes to each runtime loaded, the program's and the
// one the library brought (a library built with another compiler has another runtime).
void CatchAborts() {
  using Handler = void(__cdecl*)(int);
  using Signal = Handler(__cdecl*)(int, Handler);
  for (const wchar_t* runtime : {L"msvcrt.dll", L"ucrtbase.dll"}) {
    HMODULE module = GetModuleHandleW(runtime);
    if (!module) continue;
    if (auto* signal = reinterpret_cast<Signal>(reinterpret_cast<void (*)()>(GetProcAddress(module, "signal"))))
      signal(SIGABRT, &OnAbort);
  }
  std::signal(SIGABRT, &OnAbort);
}

void __cdecl OnAbort(int) {
  Guard* guard = active;
  if (guard && guard->thread == GetCurrentThreadId()) {
    CatchAborts();  // a runtime takes its handler back each time it calls it
    __builtin_longjmp(guard->jump, 1);
  }
  std::signal(SIGABRT, SIG_DFL);  // not in a library call: as without us
  std::raise(SIGABRT);
}

// 32-bit Windows chains the frames of structured exception handling through the stack, from
// the thread's information block: those the library put there die with its frames, so after
// a crash the chain goes back to where it was. 64-bit Windows keeps no such chain.
#ifdef _WIN64
const void* ExceptionHandlers() { return nullptr; }
void RestoreExceptionHandlers(const void*) {}
#else
const void* ExceptionHandlers() {
  const void* first;
  asm volatile("movl %%fs:0, %0" : "=r"(first));
  return first;
}
void RestoreExceptionHandlers(const void* first) { asm volatile("movl %0, %%fs:0" : : "r"(first) : "memory"); }
#endif

std::string Hex(std::uintmax_t value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%0*jX", digits, value);
  return text;
}

std::string What(const Guard& guard) {
  const std::string code = " (exception " + Hex(guard.code, 8) + ")";
  switch (guard.code) {
    case kAbort: return "abort (SIGABRT)";
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR: {
      const char* how = guard.access == 1 ? "writing" : guard.access == 8 ? "executing" : "reading";
      const char* what = guard.code == EXCEPTION_ACCESS_VIOLATION ? "access violation " : "page error ";
      return what + std::string(how) + " address " + Hex(guard.address, 2 * sizeof(void*)) + code;
    }
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction" + code;
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction" + code;
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero" + code;
    case EXCEPTION_INT_OVERFLOW: return "integer overflow" + code;
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow" + code;
    default: return "processor exception" + code;
  }
}

}  // namespace

void RunGuarded(const char* name, void (*call)(void* context), void* context) {
  static const PVOID handler = AddVectoredExceptionHandler(1, &OnException);
  (void)handler;
  CatchAborts();  // the library's runtime may have come with it since the last call
  Guard guard;
  guard.name = name;
  guard.thread = GetCurrentThreadId();
  const void* const handlers = ExceptionHandlers();
  // After a crash the thread comes back below with the callee-saved registers as the library
  // left them. Naming them all clobbered here makes this function save them on entry, so that
  // its callers get theirs back when the crash is thrown on.
#ifdef _WIN64
  asm volatile("" : : : "rbx", "rsi", "rdi", "r12", "r13", "r14", "r15", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10",
               "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "memory");
#else
  asm volatile("" : : : "ebx", "esi", "edi", "memory");
#endif
  if (__builtin_setjmp(guard.jump) != 0) {
    active = nullptr;
    RestoreExceptionHandlers(handlers);
    if (guard.code == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
    throw LibraryCrash("The client library crashed in " + std::string(name) + ": " + What(guard) + ".");
  }
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
