// The binding: what happens when the library or an entry point is missing.
#include <gtest/gtest.h>

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
