// The event boundary both windows share: failures, closes during a procedure, unload once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "window/form_host.h"

namespace webapitest {
namespace {

using ::testing::ElementsAre;

// Events whose load, unload and status click do what the test says, and a log of all that
// happened, the host's hooks included.
class Scripted : public FormEvents {
 public:
  std::function<void()> load, unload, click;
  std::vector<std::string> log;

  void Form_Load() override { Run("load", load); }
  void Form_Unload(bool&) override { Run("unload", unload); }
  void StatusButton_Click() override { Run("click", click); }
  void FileRequestButton_Click() override {}
  void RequestUrl_Click() override {}
  void MemRequestButton_Click() override {}
  void ResetButton_Click() override {}
  void RefreshButton_Click() override {}
  void ReplyUrl_Click() override {}
  void ClearButton_Click() override {}

 private:
  void Run(const std::string& name, const std::function<void()>& step) {
    log.push_back(name);
    if (step) step();
    log.push_back("end " + name);
  }
};

class Host : public ::testing::Test {
 protected:
  Host() { host.SetEvents(&events); }
  // What the window does when the host asks it to close: it asks Closing() and closes.
  void CloseNow() {
    events.log.push_back("closeNow");
    if (host.Closing()) events.log.push_back("closed");
  }
  static void Throw() { throw std::runtime_error("no entry point"); }

  Scripted events;
  FormHost host{{[this](const std::string& message) { events.log.push_back("box " + message); },
                 [this] { CloseNow(); }}};
};

TEST_F(Host, AFailedLoadIsShownOnceUnloadsAndEndsWithCode1) {
  events.load = Throw;
  events.unload = Throw;  // cleaning up after the failure fails too: not shown again
  EXPECT_FALSE(host.Load());
  EXPECT_THAT(events.log, ElementsAre("load", "box no entry point", "unload"));
  EXPECT_EQ(host.exitCode(), 1);
  EXPECT_TRUE(host.Closing());  // unloaded already: nothing runs a second time
  EXPECT_EQ(events.log.size(), 3u);
}

TEST_F(Host, ACloseDuringLoadEndsWithoutShowingTheWindow) {
  events.load = [this] { EXPECT_FALSE(host.Closing()); };
  EXPECT_FALSE(host.Load());
  EXPECT_THAT(events.log, ElementsAre("load", "end load", "unload", "end unload"));
  EXPECT_EQ(host.exitCode(), 0);
}

TEST_F(Host, AFailureInAClickIsShownThenTheWindowClosesAfterTheClick) {
  ASSERT_TRUE(host.Load());
  events.log.clear();
  events.click = Throw;
  host.Click(Control::StatusButton);
  EXPECT_THAT(events.log, ElementsAre("click", "box no entry point", "closeNow", "unload", "end unload", "closed"));
  EXPECT_EQ(host.exitCode(), 1);
}

TEST_F(Host, ACloseDuringAClickWaitsForItAndUnloadsOnce) {
  ASSERT_TRUE(host.Load());
  events.log.clear();
  events.click = [this] {
    EXPECT_FALSE(host.Closing());
    EXPECT_FALSE(host.Closing());
    host.Click(Control::StatusButton);  // a click inside a click (a message box's loop) runs nothing
  };
  host.Click(Control::StatusButton);
  EXPECT_TRUE(host.Closing());
  host.Click(Control::StatusButton);  // after unload, nothing runs
  EXPECT_THAT(events.log, ElementsAre("click", "end click", "closeNow", "unload", "end unload", "closed"));
  EXPECT_EQ(host.exitCode(), 0);
}

TEST_F(Host, ARefusedCloseUnloadsAgainNextTime) {
  struct Refusing : Scripted {
    int refusals = 1;
    void Form_Unload(bool& cancel) override {
      log.push_back("unload");
      cancel = refusals-- > 0;
    }
  } refusing;
  host.SetEvents(&refusing);
  ASSERT_TRUE(host.Load());
  EXPECT_FALSE(host.Closing());
  EXPECT_TRUE(host.Closing());
  EXPECT_TRUE(host.Closing());
  EXPECT_THAT(refusing.log, ElementsAre("load", "end load", "unload", "unload"));
}

}  // namespace
}  // namespace webapitest
