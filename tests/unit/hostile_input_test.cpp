// Input a user or a library can throw at the window: nothing may hang, crash or get lost.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "commands/procedures.h"
#include "doubles/double_control.h"
#include "doubles/recording_form.h"

namespace webapitest {
namespace {

class HostileInput : public ::testing::Test {
 protected:
  HostileInput() : library(testing::DoublePath()), procedures(form, library, [this] {
    return std::make_unique<testing::RecordingShell>(opened);
  }) {
    procedures.Form_Load();
    script.Reset();
  }

  testing::ScriptedLibrary script;
  testing::RecordingForm form;
  ClientLibrary library;
  std::vector<std::u16string> opened;
  FormProcedures procedures;
};

TEST_F(HostileInput, ATenMegabyteRequestArrivesWhole) {
  std::u16string document(10u << 20, u'a');
  document += u"\r\n<end/>";
  form.Type(Control::request, document);
  procedures.MemRequestButton_Click();
  const std::string sent = script.Calls().at(0).args.at(0);
  EXPECT_EQ(sent.size(), document.size());
  EXPECT_EQ(sent.substr(sent.size() - 8), "\r\n<end/>");
}

TEST_F(HostileInput, LongPathsWithShellCharactersPassUnchanged) {
  const std::u16string odd = u"a b 'c' \"d\"; $(touch pwned) `e` | f & g > h";
  std::u16string longPath(4000, u'p');
  form.Type(Control::reqFile, odd);
  form.Type(Control::repFile, longPath);
  procedures.FileRequestButton_Click();
  const auto calls = script.Calls();
  EXPECT_EQ(calls.at(0).args.at(0), "a b 'c' \"d\"; $(touch pwned) `e` | f & g > h");
  EXPECT_EQ(calls.at(1).args.at(0), std::string(4000, 'p'));
  // The reply path is too long to open: the pane stays empty and nothing is shown.
  EXPECT_EQ(form.texts[Control::output], u"");
  EXPECT_TRUE(form.boxes.empty());
  procedures.RequestUrl_Click();
  procedures.ReplyUrl_Click();
  EXPECT_EQ(opened, (std::vector<std::u16string>{odd, longPath}));
}

TEST_F(HostileInput, RepliesWithOddBytesAreShownWhole) {
  const std::string path = "hostile_input_reply.txt";
  form.Type(Control::repFile, std::u16string(path.begin(), path.end()));
  struct Case {
    std::string reply;
    std::u16string shown;
  };
  const std::vector<Case> cases = {
      {std::string("a\0b\0\0c", 6), u"a\u2400b\u2400\u2400c\r\n"},
      {"cr\ronly\r", u"cr\r\nonly\r\n"},
      {"lf\nonly\n", u"lf\nonly\n\r\n"},
      {"mixed\r\n\n\r\r\nend", u"mixed\r\n\n\r\n\r\nend\r\n"},
      {std::string(20000, '\r'), [] {
         std::u16string s;
         for (int i = 0; i < 20000; ++i) s += u"\r\n";
         return s;
       }()},
  };
  for (const Case& c : cases) {
    script.SetReply(c.reply);
    procedures.StatusButton_Click();
    EXPECT_EQ(form.texts[Control::output], c.shown) << ::testing::PrintToString(c.reply.substr(0, 20));
  }
  std::remove(path.c_str());
}

TEST_F(HostileInput, HugeRepliesArriveWhole) {
  const std::string path = "hostile_input_huge.txt";
  form.Type(Control::repFile, std::u16string(path.begin(), path.end()));
  struct Case {
    std::string reply;
    std::size_t shownSize;
  };
  const std::vector<Case> cases = {{std::string(50u << 20, 'w'), (50u << 20) + 2},
                                   {std::string(10000000, '\r'), 20000000}};
  for (const Case& c : cases) {
    script.SetReply(c.reply);
    procedures.StatusButton_Click();
    EXPECT_EQ(form.texts[Control::output].size(), c.shownSize);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace webapitest
