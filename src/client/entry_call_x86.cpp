// Calls into the library on 32-bit Windows, where every entry point must be __stdcall: the
// callee removes its own arguments from the stack. A callee built with another convention
// (cdecl leaves them, which is the commonest fault of a freshly built library) would leave the
// stack pointer off by their size; the thunk below sees by how much, puts the stack back and
// the call ends in LibraryCrash instead of a corrupted program.
#include <cstdint>
#include <string>

#include "client/entry_call.h"

// int32 webapitest_stdcall(fn, words, count, removed): pushes count 32-bit words (the last
// first, as a call does), calls fn, notes in *removed how many bytes of them fn took off the
// stack and then restores the stack pointer from before the words, whatever fn did. Only ESI,
// EDI, EBX and EBP are relied on across the call: every convention keeps those.
asm(R"(
    .text
    .globl _webapitest_stdcall
_webapitest_stdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl %esp, %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ebx
1:  testl %ebx, %ebx
    jz 2f
    decl %ebx
    pushl (%esi,%ebx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %edx
    movl %edi, %esp
    subl %edi, %edx
    movl 16(%ebp), %ecx
    leal (%edx,%ecx,4), %edx
    movl 20(%ebp), %ecx
    movl %edx, (%ecx)
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

extern "C" std::int32_t webapitest_stdcall(const void* fn, const std::uint32_t* words, std::uint32_t count,
                                           std::uint32_t* removed);

namespace webapitest::entry {
namespace {

template <std::uint32_t Count>
std::int32_t Checked(const char* name, const void* fn, const std::uint32_t (&words)[Count]) {
  std::uint32_t removed = 0;
  const std::int32_t result = Guarded(name, [&] { return webapitest_stdcall(fn, words, Count, &removed); });
  if (removed != 4 * Count)
    throw LibraryCrash("The client library's entry point " + std::string(name) +
                       " does not use the stdcall calling convention (it removed " + std::to_string(removed) +
                       " of " + std::to_string(4 * Count) + " bytes of arguments).");
  return result;
}

std::uint32_t Word(const char* text) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(text)); }
std::uint32_t Word(std::int32_t number) { return static_cast<std::uint32_t>(number); }

}  // namespace

std::int32_t Call(const char* name, Startup* fn) {
  return Guarded(name, [&] { return fn(); });  // no arguments: every convention agrees
}

std::int32_t Call(const char* name, StatusRequest* fn, const char* text, std::int32_t number) {
  return Checked(name, reinterpret_cast<const void*>(fn), {Word(text), Word(number)});
}

std::int32_t Call(const char* name, WriteLast* fn, const char* path) {
  return Checked(name, reinterpret_cast<const void*>(fn), {Word(path)});
}

}  // namespace webapitest::entry
