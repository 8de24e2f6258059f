// The test's handle on the scripted library: script its answers, read back the calls it got.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace webapitest::testing {

struct LibraryCall {
  std::string entry;
  std::vector<std::string> args;  // text as the library received it; numbers in decimal
  bool operator==(const LibraryCall& other) const { return entry == other.entry && args == other.args; }
};

// A file name of the running test's own ("Suite.Test.suffix"), so that tests run side by side
// never share a file.
std::string OwnFileName(const std::string& suffix);

// The double's file in the test programs' folder, or in one of its sub-folders
// ("lean": only the entry points the window calls; "no-status": without webApiStatusRequest;
// "cdecl", 32-bit Windows only: webApiMemRequest built with the cdecl convention).
std::u16string DoublePath(const std::u16string& folder = u"");

// Opens the same module that the binding loads (the loader hands out one copy per process),
// so scripting here changes what the binding's calls see.
class ScriptedLibrary {
 public:
  explicit ScriptedLibrary(const std::u16string& path = DoublePath());
  ~ScriptedLibrary();
  ScriptedLibrary(const ScriptedLibrary&) = delete;
  ScriptedLibrary& operator=(const ScriptedLibrary&) = delete;

  void Reset();  // forget the calls and the script
  void SetResult(const std::string& entry, std::int32_t code);
  void SetReply(const std::string& bytes);  // what webApiWriteLastReply writes
  void SetFault(const std::string& bytes);  // what webApiWriteLastFault writes
  // Runs during every call of the library, after the call is recorded.
  void SetHook(std::function<void(const std::string& entry)> hook);
  // Crashes in the entry point, after recording the call: kind "null" (a write through a null
  // pointer), "abort", "illegal" (instruction), "divide" (by zero) or "overflow" (the stack).
  void SetCrash(const std::string& entry, const std::string& kind);
  std::vector<LibraryCall> Calls() const;
  std::vector<std::string> Entries() const;  // just the entry points, in order

 private:
  template <typename Fn>
  Fn* Get(const char* name) const;
  static void Trampoline(const char* entry, void* self);

  void* module_ = nullptr;
  std::function<void(const std::string&)> hook_;
};

}  // namespace webapitest::testing
