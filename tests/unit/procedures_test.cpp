// The window procedures, driven through a recording form and the scripted library loaded by
// the real binding.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "text/text.h"
#include "client/request_template.h"
#include "commands/procedures.h"
#include "doubles/double_control.h"
#include "doubles/recording_form.h"

namespace webapitest {
namespace {

using testing::LibraryCall;
using ::testing::ElementsAre;

class Procedures : public ::testing::Test {
 protected:
  Procedures()
      : library(testing::DoublePath()),
        procedures(form, library, [this] { return std::make_unique<testing::RecordingShell>(opened); }) {
    form.Type(Control::repFile, replyPath);
  }
  ~Procedures() override { std::remove(ReplyPathBytes().c_str()); }

  std::string ReplyPathBytes() const { return std::string(replyPath.begin(), replyPath.end()); }

  // Starts the window and forgets what start-up did, so a test sees only its own command.
  void Load() {
    procedures.Form_Load();
    script.Reset();
    form.log.clear();
  }

  std::u16string replyPath = FromUtf8(testing::OwnFileName("reply.txt"));
  testing::ScriptedLibrary script;
  testing::RecordingForm form;
  ClientLibrary library;
  std::vector<std::u16string> opened;
  FormProcedures procedures;
};

TEST_F(Procedures, StartupShowsTheCodeFillsTheTemplateAndLeavesBothLightsDark) {
  for (const std::int32_t code : {0, 7}) {
    script.Reset();
    script.SetResult("webApiStartup", code);
    procedures.Form_Load();
    EXPECT_EQ(form.texts[Control::status], code == 0 ? u"0" : u"7");
    EXPECT_TRUE(form.lights[Control::StatusShape].Dark());
    EXPECT_TRUE(form.lights[Control::ActiveShape].Dark());
    EXPECT_EQ(form.texts[Control::request], RequestTemplate);
    EXPECT_EQ(form.texts[Control::output], u"");
    EXPECT_THAT(script.Entries(), ElementsAre("webApiStartup"));
  }
}

TEST_F(Procedures, CleanupRunsExactlyOnceEvenWithoutARequest) {
  Load();
  bool cancel = false;
  procedures.Form_Unload(cancel);
  procedures.Form_Unload(cancel);
  EXPECT_FALSE(cancel);
  EXPECT_THAT(script.Entries(), ElementsAre("webApiCleanup"));
}

TEST_F(Procedures, UnloadAfterAFailedStartHasNothingToCleanUp) {
  ClientLibrary missing(u"no/such/folder/libwebapi.so");
  FormProcedures broken(form, missing, [] { return nullptr; });
  EXPECT_THROW(broken.Form_Load(), BindingError);
  bool cancel = false;
  EXPECT_NO_THROW(broken.Form_Unload(cancel));
}

// One row per outcome: the code the library returns, what the user sees afterwards.
struct CycleCase {
  std::int32_t code;
  std::u16string shown;
  Rgb light;
  const char* write;
  std::string written;
};

class RequestCycle : public Procedures, public ::testing::WithParamInterface<CycleCase> {};

TEST_P(RequestCycle, StatusRequestShowsCodeLightAndReply) {
  const CycleCase& c = GetParam();
  Load();
  script.SetResult("webApiStatusRequest", c.code);
  script.SetReply("reply one\r\nreply two");
  script.SetFault("fault one\r\n");
  form.Type(Control::host, u"example.test:3380");
  form.texts[Control::output] = u"left over";

  // While the library works, the window shows a running request.
  bool checked = false;
  script.SetHook([&](const std::string& entry) {
    if (entry != "webApiStatusRequest") return;
    checked = true;
    EXPECT_TRUE(form.lights[Control::ActiveShape].Lit(kGreen));
    EXPECT_TRUE(form.lights[Control::StatusShape].Dark());
    EXPECT_EQ(form.texts[Control::status], u"0");
    EXPECT_EQ(form.texts[Control::output], u"");
  });
  procedures.StatusButton_Click();
  EXPECT_TRUE(checked);

  EXPECT_EQ(script.Calls(),
            (std::vector<LibraryCall>{{"webApiStatusRequest", {"example.test:3380", "90"}},
                                      {c.write, {ReplyPathBytes()}}}));
  EXPECT_TRUE(form.lights[Control::ActiveShape].Dark());
  EXPECT_TRUE(form.lights[Control::StatusShape].Lit(c.light));
  EXPECT_EQ(form.texts[Control::status], c.shown);
  EXPECT_EQ(form.texts[Control::output], std::u16string(c.written.begin(), c.written.end()));
  EXPECT_TRUE(form.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RequestCycle,
    ::testing::Values(CycleCase{0, u"0", kGreen, "webApiWriteLastReply", "reply one\r\nreply two\r\n"},
                      CycleCase{7, u"7", kRed, "webApiWriteLastFault", "fault one\r\n"},
                      CycleCase{-42, u"-42", kRed, "webApiWriteLastFault", "fault one\r\n"},
                      CycleCase{INT32_MIN, u"-2147483648", kRed, "webApiWriteLastFault", "fault one\r\n"},
                      CycleCase{INT32_MAX, u"2147483647", kRed, "webApiWriteLastFault", "fault one\r\n"}),
    [](const ::testing::TestParamInfo<CycleCase>& row) {
      const std::int64_t code = row.param.code;
      return (code < 0 ? "Minus" : "Code") + std::to_string(code < 0 ? -code : code);
    });

TEST_F(Procedures, LightsChangeColourThenFillThenRepaint) {
  Load();
  script.SetResult("webApiStatusRequest", 3);
  procedures.StatusButton_Click();
  EXPECT_THAT(form.log, ElementsAre("SetText output ",
                                    "SetFillColor ActiveShape 65280", "SetFillStyle ActiveShape solid",
                                    "Repaint ActiveShape",
                                    "SetText status 0", "SetFillStyle StatusShape transparent",
                                    "Repaint StatusShape",
                                    "SetFillColor StatusShape 255", "SetFillStyle StatusShape solid",
                                    "Repaint StatusShape", "SetText status 3",
                                    "SetText output ", "SetText output fault line\r\n",
                                    "SetFillStyle ActiveShape transparent", "Repaint ActiveShape"));
}

struct RawCase {
  int memRaw, fileRaw;
  const char* memEntry;
  const char* fileEntry;
};

class RawChoice : public Procedures, public ::testing::WithParamInterface<RawCase> {};

TEST_P(RawChoice, PicksTheEntryPointByTheCheckBox) {
  const RawCase& c = GetParam();
  Load();
  form.Check(Control::checkMemRaw, c.memRaw);
  form.Check(Control::checkFileRaw, c.fileRaw);
  form.Type(Control::request, u"<a>\r\n b\r\n</a>");
  form.Type(Control::reqFile, u"some request.xml");
  procedures.MemRequestButton_Click();
  procedures.FileRequestButton_Click();
  const auto calls = script.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0], (LibraryCall{c.memEntry, {"<a>\r\n b\r\n</a>", "90"}}));
  EXPECT_EQ(calls[2], (LibraryCall{c.fileEntry, {"some request.xml", "90"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, RawChoice,
    ::testing::Values(RawCase{0, 0, "webApiMemRequest", "webApiFileRequest"},
                      RawCase{1, 1, "webApiMemRequestRaw", "webApiFileRequestRaw"},
                      RawCase{1, 0, "webApiMemRequestRaw", "webApiFileRequest"},
                      // Only the value 1 counts as checked.
                      RawCase{2, 2, "webApiMemRequest", "webApiFileRequest"}),
    [](const ::testing::TestParamInfo<RawCase>& row) {
      return "Mem" + std::to_string(row.param.memRaw) + "File" + std::to_string(row.param.fileRaw);
    });

TEST_F(Procedures, EmptyRequestPathIsRefusedAndChangesNothing) {
  Load();
  form.Type(Control::reqFile, u"");
  form.texts[Control::output] = u"earlier reply";
  form.texts[Control::status] = u"5";
  const auto lightsBefore = form.lights;
  procedures.FileRequestButton_Click();
  ASSERT_EQ(form.boxes.size(), 1u);
  EXPECT_EQ(form.boxes[0].title, u"File Request Error");
  EXPECT_EQ(form.boxes[0].text, u"Please specify a request filename first.");
  EXPECT_TRUE(script.Calls().empty());
  EXPECT_EQ(form.texts[Control::output], u"earlier reply");
  EXPECT_EQ(form.texts[Control::status], u"5");
  EXPECT_EQ(form.lights[Control::StatusShape].paintedFill, lightsBefore.at(Control::StatusShape).paintedFill);
  EXPECT_THAT(form.log, ElementsAre("ShowCritical File Request Error"));
}

TEST_F(Procedures, ABlankRequestPathIsAPath) {
  Load();
  form.Type(Control::reqFile, u" ");
  procedures.FileRequestButton_Click();
  EXPECT_EQ(script.Calls().at(0), (LibraryCall{"webApiFileRequest", {" ", "90"}}));
  EXPECT_TRUE(form.boxes.empty());
}

TEST_F(Procedures, EmptyReplyPathStillWritesThenAsksForAReplyFile) {
  Load();
  form.Type(Control::repFile, u"");
  procedures.MemRequestButton_Click();
  EXPECT_EQ(script.Calls().at(1), (LibraryCall{"webApiWriteLastReply", {""}}));
  EXPECT_TRUE(form.lights[Control::StatusShape].Lit(kGreen));
  EXPECT_TRUE(form.lights[Control::ActiveShape].Dark());
  EXPECT_EQ(form.texts[Control::status], u"0");
  EXPECT_EQ(form.texts[Control::output], u"");
  ASSERT_EQ(form.boxes.size(), 1u);
  EXPECT_EQ(form.boxes[0].title, u"Write Error");
  EXPECT_EQ(form.boxes[0].text, u"Please specify a reply filename and re-try.");
  // The box comes last, after the active light went out.
  EXPECT_EQ(form.log.back(), "ShowCritical Write Error");
  EXPECT_EQ(form.log[form.log.size() - 2], "Repaint ActiveShape");
}

TEST_F(Procedures, ClearOutputResetsStatusButLeavesTheActiveLight) {
  Load();
  script.SetResult("webApiStatusRequest", 9);
  procedures.StatusButton_Click();
  form.lights[Control::ActiveShape] = {kGreen, Fill::Solid, kGreen, Fill::Solid};
  script.Reset();
  procedures.ClearButton_Click();
  EXPECT_EQ(form.texts[Control::output], u"");
  EXPECT_EQ(form.texts[Control::status], u"0");
  EXPECT_TRUE(form.lights[Control::StatusShape].Dark());
  EXPECT_TRUE(form.lights[Control::ActiveShape].Lit(kGreen));
  EXPECT_TRUE(script.Calls().empty());
}

TEST_F(Procedures, ResetRestoresTheTemplateAndFocusesTheRequestBox) {
  Load();
  form.Type(Control::request, u"edited");
  form.focus = Control::host;
  procedures.ResetButton_Click();
  EXPECT_EQ(form.texts[Control::request], RequestTemplate);
  EXPECT_EQ(form.focus, Control::request);
}

TEST_F(Procedures, OpenCommandsTakeThePathAtTheMomentOfTheClick) {
  Load();
  form.Type(Control::reqFile, u"first.xml");
  procedures.FileRequestButton_Click();
  form.Type(Control::reqFile, u"second request.xml");
  form.Type(Control::repFile, u"");
  procedures.RequestUrl_Click();
  procedures.ReplyUrl_Click();
  EXPECT_THAT(opened, ElementsAre(u"second request.xml", u""));
}

TEST_F(Procedures, ReloadReadsTheReplyFileWithoutTouchingStatusOrLights) {
  Load();
  {
    std::ofstream(ReplyPathBytes(), std::ios::binary) << "a\rb\r\nc";
  }
  form.texts[Control::status] = u"12";
  procedures.RefreshButton_Click();
  EXPECT_EQ(form.texts[Control::output], u"a\r\nb\r\nc\r\n");
  EXPECT_EQ(form.texts[Control::status], u"12");
  std::remove(ReplyPathBytes().c_str());
  procedures.RefreshButton_Click();
  EXPECT_EQ(form.texts[Control::output], u"");
  EXPECT_TRUE(form.boxes.empty());
}

TEST_F(Procedures, RequestTextOutsideTheCodePageStillReachesTheLibrary) {
  Load();
  form.Type(Control::request, u"<d>\u00e9\u4e2d\U0001F600</d>");
  procedures.MemRequestButton_Click();
  const std::string sent = script.Calls().at(0).args.at(0);
  EXPECT_EQ(sent.substr(0, 3), "<d>");
  EXPECT_EQ(sent.substr(sent.size() - 4), "</d>");
}

TEST(Binding, ALibraryWithoutTheUncalledEntryPointsDrivesEveryCommand) {
  testing::ScriptedLibrary script(testing::DoublePath(u"lean"));
  ClientLibrary library(testing::DoublePath(u"lean"));
  testing::RecordingForm form;
  std::vector<std::u16string> opened;
  FormProcedures procedures(form, library, [&] { return std::make_unique<testing::RecordingShell>(opened); });
  form.Type(Control::repFile, u"");
  procedures.Form_Load();
  procedures.StatusButton_Click();
  procedures.MemRequestButton_Click();
  procedures.FileRequestButton_Click();
  form.Check(Control::checkMemRaw, 1);
  form.Check(Control::checkFileRaw, 1);
  procedures.MemRequestButton_Click();
  procedures.FileRequestButton_Click();
  bool cancel = false;
  procedures.Form_Unload(cancel);
  EXPECT_EQ(script.Calls().size(), 12u);
}

}  // namespace
}  // namespace webapitest
