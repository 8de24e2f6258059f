// Finds the scripted library's control functions in the loaded module.
#include "doubles/double_control.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "text/text.h"
#include "client/library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace webapitest::testing {

std::string OwnFileName(const std::string& suffix) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "outside-a-test";
  for (char& c : name)
    if (c == '/') c = '_';  // parameterised tests: "Suite/Test/0"
  return name + "." + suffix;
}

std::u16string DoublePath(const std::u16string& folder) {
  std::u16string path = ClientLibrary::BesideProgram();
  if (folder.empty()) return path;
  const std::size_t cut = path.find_last_of(u"\\/") + 1;
#ifdef _WIN32
  const char16_t separator = u'\\';
#else
  const char16_t separator = u'/';
#endif
  return path.substr(0, cut) + folder + separator + path.substr(cut);
}

ScriptedLibrary::ScriptedLibrary(const std::u16string& path) {
#ifdef _WIN32
  module_ = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
#else
  module_ = dlopen(ToUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  if (!module_) throw std::runtime_error("cannot load the test double " + ToUtf8(path));
  Reset();
}

ScriptedLibrary::~ScriptedLibrary() {
  Get<void(void (*)(const char*, void*), void*)>("double_SetHook")(nullptr, nullptr);
#ifdef _WIN32
  FreeLibrary(static_cast<HMODULE>(module_));
#else
  dlclose(module_);
#endif
}

template <typename Fn>
Fn* ScriptedLibrary::Get(const char* name) const {
#ifdef _WIN32
  auto* found = reinterpret_cast<Fn*>(reinterpret_cast<void (*)()>(
      GetProcAddress(static_cast<HMODULE>(module_), name)));
#else
  auto* found = reinterpret_cast<Fn*>(dlsym(module_, name));
#endif
  if (!found) throw std::runtime_error(std::string("the test double has no ") + name);
  return found;
}

void ScriptedLibrary::Reset() {
  hook_ = nullptr;
  Get<void()>("double_Reset")();
}

void ScriptedLibrary::SetResult(const std::string& entry, std::int32_t code) {
  Get<void(const char*, std::int32_t)>("double_SetResult")(entry.c_str(), code);
}

void ScriptedLibrary::SetReply(const std::string& bytes) {
  Get<void(const char*, std::size_t)>("double_SetReply")(bytes.data(), bytes.size());
}

void ScriptedLibrary::SetFault(const std::string& bytes) {
  Get<void(const char*, std::size_t)>("double_SetFault")(bytes.data(), bytes.size());
}

void ScriptedLibrary::Trampoline(const char* entry, void* self) {
  auto* library = static_cast<ScriptedLibrary*>(self);
  if (library->hook_) library->hook_(entry);
}

void ScriptedLibrary::SetCrash(const std::string& entry, const std::string& kind) {
  Get<void(const char*, const char*)>("double_SetCrash")(entry.c_str(), kind.c_str());
}

void ScriptedLibrary::SetHook(std::function<void(const std::string&)> hook) {
  hook_ = std::move(hook);
  Get<void(void (*)(const char*, void*), void*)>("double_SetHook")(&Trampoline, this);
}

std::vector<LibraryCall> ScriptedLibrary::Calls() const {
  const auto count = Get<std::size_t()>("double_CallCount")();
  const auto entry = Get<const char*(std::size_t)>("double_CallEntry");
  const auto argCount = Get<std::size_t(std::size_t)>("double_CallArgCount");
  const auto arg = Get<const char*(std::size_t, std::size_t, std::size_t*)>("double_CallArg");
  std::vector<LibraryCall> calls;
  for (std::size_t i = 0; i < count; ++i) {
    LibraryCall call{entry(i), {}};
    for (std::size_t j = 0; j < argCount(i); ++j) {
      std::size_t size = 0;
      const char* data = arg(i, j, &size);
      call.args.emplace_back(data, size);
    }
    calls.push_back(std::move(call));
  }
  return calls;
}

std::vector<std::string> ScriptedLibrary::Entries() const {
  std::vector<std::string> entries;
  for (const LibraryCall& call : Calls()) entries.push_back(call.entry);
  return entries;
}

}  // namespace webapitest::testing
