// The binding: what happens when the library or an entry point is missing, or when the library
// crashes or breaks the calling convention.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>

#include "text/text.h"
#include "client/library.h"
#include "doubles/double_control.h"

namespace webapitest {
namespace {

std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const BindingError& e) {
    return e.what();
  }
  return "no failure";
}

TEST(Binding, AMissingLibraryIsNamedAtTheFirstCall) {
  ClientLibrary library(u"missing-folder/libwebapi.so");  // constructing loads nothing
  const std::string message = FailureOf([&] { library.webApiStartup(); });
  EXPECT_NE(message.find("missing-folder/libwebapi.so"), std::string::npos) << message;
}

TEST(Binding, AMissingEntryPointIsNamedWhenItIsFirstCalled) {
  testing::ScriptedLibrary script(testing::DoublePath(u"no-status"));
  ClientLibrary library(testing::DoublePath(u"no-status"));
  EXPECT_EQ(library.webApiStartup(), 0);
  EXPECT_EQ(library.webApiMemRequest(u"<a/>", 90), 0);
  const std::string message = FailureOf([&] { library.webApiStatusRequest(u"h:1", 90); });
  EXPECT_NE(message.find("webApiStatusRequest"), std::string::npos) << message;
  EXPECT_EQ(script.Entries(), (std::vector<std::string>{"webApiStartup", "webApiMemRequest"}));
}

TEST(Binding, ArgumentsArriveAsNulTerminatedText) {
  testing::ScriptedLibrary script;
  ClientLibrary library(testing::DoublePath());
  script.SetResult("webApiFileRequestRaw", -5);
  EXPECT_EQ(library.webApiFileRequestRaw(u"a b;$(c).xml", 90), -5);
  library.webApiWriteLastFault(u"");
  library.webApiCleanup();
  EXPECT_EQ(script.Calls(), (std::vector<testing::LibraryCall>{{"webApiFileRequestRaw", {"a b;$(c).xml", "90"}},
                                                              {"webApiWriteLastFault", {""}},
                                                              {"webApiCleanup", {}}}));
}

// After a crash the library's state is gone: cleaning up does nothing, any other call fails
// again with the same words, and none reaches the library.
TEST(Binding, NothingReachesALibraryAfterItCrashed) {
  testing::ScriptedLibrary script;
  ClientLibrary library(testing::DoublePath());
  script.SetCrash("webApiFileRequest", "null");
  std::string first;
  try {
    library.webApiFileRequest(u"a.xml", 90);
  } catch (const LibraryCrash& crash) {
    first = crash.what();
  }
  EXPECT_EQ(first.rfind("The client library crashed in webApiFileRequest: ", 0), 0u) << first;
  library.webApiCleanup();
  EXPECT_THROW(library.webApiStartup(), LibraryCrash);
  EXPECT_EQ(script.Entries(), std::vector<std::string>{"webApiFileRequest"});
}

#ifndef _WIN32
// A crash of the program's own, outside a library call, ends it as it would have without the
// binding's handlers.
TEST(BindingDeathTest, ACrashOutsideLibraryCallsIsTheSystemsAsBefore) {
  testing::ScriptedLibrary script;
  ClientLibrary library(testing::DoublePath());
  library.webApiStartup();  // the handlers are in place from the first call
  EXPECT_EXIT(std::abort(), ::testing::KilledBySignal(SIGABRT), "");
}
#endif

#if defined(_WIN32) && !defined(_WIN64)
std::int32_t __stdcall Stdcall(const char* text, std::int32_t number) { return text[0] + number; }
std::int32_t __cdecl Cdecl(const char* text, std::int32_t number) { return text[0] + number; }
std::int32_t __cdecl CdeclPath(const char* path) { return path[0]; }

// Every entry point is __stdcall on 32-bit Windows; a callee that leaves its arguments on
// the stack is caught at its first call, and the stack is as before.
TEST(Binding, ACalleeThatBreaksTheStdcallConventionIsNamed) {
  EXPECT_EQ(entry::Call("webApiMemRequest", &Stdcall, "A", 90), 'A' + 90);
  const auto failure = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const LibraryCrash& crash) {
      return std::string(crash.what());
    }
    return std::string("no failure");
  };
  EXPECT_EQ(failure([] { entry::Call("webApiMemRequest", reinterpret_cast<entry::MemRequest*>(&Cdecl), "A", 90); }),
            "The client library's entry point webApiMemRequest does not use the stdcall calling convention (it "
            "removed 0 of 8 bytes of arguments).");
  EXPECT_EQ(failure([] { entry::Call("webApiWriteLastReply", reinterpret_cast<entry::WriteLast*>(&CdeclPath), "r"); }),
            "The client library's entry point webApiWriteLastReply does not use the stdcall calling convention (it "
            "removed 0 of 4 bytes of arguments).");
  ClientLibrary library(testing::DoublePath(u"cdecl"));
  EXPECT_EQ(library.webApiStartup(), 0);
  EXPECT_THROW(library.webApiMemRequest(u"<a/>", 90), LibraryCrash);
}
#endif

TEST(Binding, TheLibraryIsLookedForBesideTheProgram) {
  const std::u16string path = ClientLibrary::BesideProgram();
#ifdef _WIN32
  EXPECT_EQ(path.substr(path.size() - 11), u"\\webapi.dll");
#else
  EXPECT_EQ(path.substr(path.size() - 13), u"/libwebapi.so");
#endif
  EXPECT_EQ(path, testing::DoublePath());
}

}  // namespace
}  // namespace webapitest
