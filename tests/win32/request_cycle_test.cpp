// The window with its procedures and the scripted library: what a user sees through a request
// cycle (lights read from the screen, during and after the call), the two message boxes, a
// very long reply, start-up, unload, and failures that end the program.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "client/request_template.h"
#include "live_window.h"
#include "text/text.h"

namespace webapitest::testing {
namespace {

using std::chrono::steady_clock;

const COLORREF kDark = GetSysColor(COLOR_BTNFACE);  // a dark light shows the window

COLORREF LightOn(LoadedWindow& live, Control light) {
  return PixelAt(live.hwnd(), CenterOf(TableRect(Lookup(light), live.window().dpi())));
}

struct CycleRow {
  const char* name;
  Control button;
  Control rawBox;  // checked before the click; Control::Window: none
  const char* entry;
  std::int32_t code;
};

void PrintTo(const CycleRow& row, std::ostream* out) { *out << row.name; }

class RequestCycle : public ::testing::TestWithParam<CycleRow> {};

TEST_P(RequestCycle, ShowsTheRunningRequestThenItsOutcome) {
  const CycleRow& row = GetParam();
  LoadedWindow live;
  live.library().Reset();
  live.library().SetResult(row.entry, row.code);
  live.library().SetReply("the reply\r\nits second line");
  live.library().SetFault("the fault");
  if (row.rawBox != Control::Window) live.Click(row.rawBox);

  struct {
    COLORREF active = 0, status = 0;
    std::u16string code, output;
  } during;
  live.library().SetHook([&](const std::string& entry) {
    if (entry != row.entry) return;
    during = {LightOn(live, Control::ActiveShape), LightOn(live, Control::StatusShape),
              TextOf(live[Control::status]), TextOf(live[Control::output])};
  });
  live.Click(row.button);

  EXPECT_EQ(during.active, kGreen);
  EXPECT_EQ(during.status, kDark);
  EXPECT_EQ(during.code, u"0");
  EXPECT_EQ(during.output, u"");

  const bool ok = row.code == 0;
  EXPECT_EQ(LightOn(live, Control::ActiveShape), kDark);
  EXPECT_EQ(LightOn(live, Control::StatusShape), ok ? kGreen : kRed);
  EXPECT_EQ(TextOf(live[Control::status]), win32::Utf16(std::to_wstring(row.code)));
  EXPECT_EQ(live.window().Text(Control::output), ok ? u"the reply\r\nits second line\r\n" : u"the fault\r\n");
  const auto entries = live.library().Entries();
  EXPECT_EQ(entries, (std::vector<std::string>{row.entry, ok ? "webApiWriteLastReply" : "webApiWriteLastFault"}));
}

INSTANTIATE_TEST_SUITE_P(
    Window, RequestCycle,
    ::testing::Values(
        CycleRow{"StatusSucceeds", Control::StatusButton, Control::Window, "webApiStatusRequest", 0},
        CycleRow{"FreeTextFailsWith7", Control::MemRequestButton, Control::Window, "webApiMemRequest", 7},
        CycleRow{"FreeTextRawSucceeds", Control::MemRequestButton, Control::checkMemRaw, "webApiMemRequestRaw", 0},
        CycleRow{"FileFailsWithMinus1", Control::FileRequestButton, Control::Window, "webApiFileRequest", -1},
        CycleRow{"FileRawFailsWith7", Control::FileRequestButton, Control::checkFileRaw, "webApiFileRequestRaw", 7}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Window, StartsWithTheLibrarysCodeBothLightsDarkAndTheTemplate) {
  LoadedWindow live;
  EXPECT_EQ(live.library().Entries(), std::vector<std::string>{"webApiStartup"});
  EXPECT_EQ(TextOf(live[Control::status]), u"0");
  EXPECT_EQ(LightOn(live, Control::ActiveShape), kDark);
  EXPECT_EQ(LightOn(live, Control::StatusShape), kDark);
  EXPECT_EQ(live.window().Text(Control::request), RequestTemplate);
  EXPECT_EQ(GetFocus(), live[Control::host]);
}

TEST(Window, ResetPutsTheTemplateBackAndTheCaretInTheRequestBox) {
  LoadedWindow live;
  live.Enter(Control::request, u"edited");
  live.Click(Control::ResetButton);
  EXPECT_EQ(live.window().Text(Control::request), RequestTemplate);
  EXPECT_EQ(GetFocus(), live[Control::request]);
}

TEST(Window, AnEmptyRequestFileIsRefusedInABoxAndNothingRuns) {
  LoadedWindow live;
  live.library().Reset();
  live.Enter(Control::reqFile, u"");
  BoxAnswerer answerer;
  live.Click(Control::FileRequestButton);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].title, u"File Request Error");
  EXPECT_EQ(answerer.boxes()[0].text, u"Please specify a request filename first.");
  EXPECT_TRUE(answerer.boxes()[0].errorIcon);
  EXPECT_TRUE(live.library().Entries().empty());
  EXPECT_EQ(LightOn(live, Control::ActiveShape), kDark);
}

TEST(Window, AnEmptyReplyFileIsAskedForAfterTheOutcomeIsShown) {
  LoadedWindow live;
  live.library().Reset();
  live.Enter(Control::repFile, u"");
  COLORREF active = 0, status = 0;
  BoxAnswerer answerer([&](const ShownBox&) {
    active = LightOn(live, Control::ActiveShape);
    status = LightOn(live, Control::StatusShape);
  });
  live.Click(Control::MemRequestButton);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].title, u"Write Error");
  EXPECT_EQ(answerer.boxes()[0].text, u"Please specify a reply filename and re-try.");
  EXPECT_TRUE(answerer.boxes()[0].errorIcon);
  EXPECT_EQ(active, kDark);  // while the box was up
  EXPECT_EQ(status, kGreen);
  EXPECT_EQ(live.library().Calls().back(), (LibraryCall{"webApiWriteLastReply", {""}}));
}

class LongReply : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LongReply, OnOneLineIsShownWholeWrappedAndQuickly) {
  const std::size_t length = GetParam();
  std::string reply(length, ' ');
  for (std::size_t i = 0; i < length; ++i) reply[i] = static_cast<char>('a' + i % 26);
  LoadedWindow live;
  live.library().SetReply(reply);

  const auto start = steady_clock::now();
  SendMessageW(live[Control::MemRequestButton], BM_CLICK, 0, 0);
  UpdateWindow(live.hwnd());
  const double seconds = std::chrono::duration<double>(steady_clock::now() - start).count();
  std::printf("[ measured ] a reply of one %zu-character line: %.3f s\n", length, seconds);
  EXPECT_LT(seconds, length > 100000 ? 5.0 : 1.5);

  // Wrapped into rows of the pane's width, which the EDIT then leaves as they are.
  const HWND output = live[Control::output];
  const auto rows = static_cast<std::size_t>(SendMessageW(output, EM_GETLINECOUNT, 0, 0));
  const auto width = static_cast<std::size_t>(SendMessageW(output, EM_LINELENGTH, 0, 0));
  ASSERT_GT(width, 20u);
  EXPECT_EQ(rows, (length + width - 1) / width + 1);  // and the empty line after the reply's break
  // Copying all of it gives the reply as it was, without the rows' breaks.
  SendMessageW(output, EM_SETSEL, 0, -1);
  SendMessageW(output, WM_COPY, 0, 0);
  const std::u16string copied = ClipboardText();
  EXPECT_EQ(copied.size(), length + 2);
  EXPECT_TRUE(copied == std::u16string(reply.begin(), reply.end()) + u"\r\n");
}

INSTANTIATE_TEST_SUITE_P(Window, LongReply, ::testing::Values(100000u, 1000000u));

class Unload : public ::testing::TestWithParam<bool> {};

TEST_P(Unload, CleansTheLibraryUpOnceAndEndsTheLoop) {
  LoadedWindow live;
  if (GetParam()) live.Click(Control::StatusButton);
  live.Close();
  EXPECT_EQ(live.hwnd(), nullptr);
  EXPECT_EQ(live.pump().quitCode(), 0);
  const auto entries = live.library().Entries();
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "webApiCleanup"), 1);
  EXPECT_EQ(entries.back(), "webApiCleanup");
}

INSTANTIATE_TEST_SUITE_P(Window, Unload, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "AfterARequest" : "WithoutARequest"; });

// A close that arrives during the library call (here from inside it) waits for the request to
// finish; then the window unloads and closes.
TEST(Window, ACloseDuringARequestWaitsForIt) {
  LoadedWindow live;
  live.library().Reset();
  live.library().SetHook([&](const std::string& entry) {
    if (entry == "webApiStatusRequest") SendMessageW(live.hwnd(), WM_CLOSE, 0, 0);
  });
  live.Click(Control::StatusButton);
  EXPECT_EQ(live.library().Entries(),
            (std::vector<std::string>{"webApiStatusRequest", "webApiWriteLastReply", "webApiCleanup"}));
  EXPECT_EQ(live.hwnd(), nullptr);
  EXPECT_EQ(live.pump().quitCode(), 0);
}

TEST(Window, AMissingEntryPointIsShownAndEndsTheProgramWithCode1) {
  LoadedWindow live(u"no-status");
  BoxAnswerer answerer;
  live.Click(Control::StatusButton);
  live.pump().Settle();
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].title, kWindowTitle);
  EXPECT_NE(answerer.boxes()[0].text.find(u"webApiStatusRequest"), std::u16string::npos);
  EXPECT_TRUE(answerer.boxes()[0].errorIcon);
  EXPECT_EQ(live.hwnd(), nullptr);
  EXPECT_EQ(live.pump().quitCode(), 1);
  const auto entries = live.library().Entries();
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "webApiCleanup"), 1);
}

struct CrashRow {
  const char* kind;
  const char16_t* fault;
};

void PrintTo(const CrashRow& row, std::ostream* out) { *out << row.kind; }

class LibraryCrash : public ::testing::TestWithParam<CrashRow> {};

// The box names the entry point and the fault; nothing more reaches the library.
TEST_P(LibraryCrash, IsNamedAndEndsTheProgramWithCode1) {
  LoadedWindow live;
  live.library().Reset();
  live.library().SetCrash("webApiMemRequest", GetParam().kind);
  BoxAnswerer answerer;
  live.Click(Control::MemRequestButton);
  live.pump().Settle();
  ASSERT_EQ(answerer.boxes().size(), 1u);
  const std::u16string& text = answerer.boxes()[0].text;
  EXPECT_EQ(text.find(std::u16string(u"The client library crashed in webApiMemRequest: ") + GetParam().fault), 0u)
      << ToUtf8(text);
  EXPECT_TRUE(answerer.boxes()[0].errorIcon);
  EXPECT_EQ(live.hwnd(), nullptr);
  EXPECT_EQ(live.pump().quitCode(), 1);
  EXPECT_EQ(live.library().Entries(), std::vector<std::string>{"webApiMemRequest"});
}

INSTANTIATE_TEST_SUITE_P(
    Window, LibraryCrash,
    ::testing::Values(CrashRow{"null", u"access violation writing address 0x0000"},
                      CrashRow{"abort", u"abort (SIGABRT)."},
                      CrashRow{"illegal", u"illegal instruction (exception 0xC000001D)."},
                      CrashRow{"divide", u"integer division by zero (exception 0xC0000094)."},
                      CrashRow{"overflow", u"stack overflow (exception 0xC00000FD)."}),
    [](const auto& row) { return std::string(row.param.kind); });

TEST(Window, ALibraryThatCannotBeLoadedFailsTheLoad) {
  ClientLibrary library(u"C:\\no such folder\\webapi.dll");
  win32::WebApiForm window(GetModuleHandleW(nullptr));
  std::vector<std::u16string> opened;
  FormProcedures procedures(window, library, [&] { return std::make_unique<RecordingShell>(opened); });
  window.SetEvents(&procedures);
  BoxAnswerer answerer;
  EXPECT_FALSE(window.Load());
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_NE(answerer.boxes()[0].text.find(u"no such folder"), std::u16string::npos);
  EXPECT_EQ(window.hwnd(), nullptr);
  EXPECT_EQ(window.exitCode(), 1);
  Pump(window).Settle();
}

}  // namespace
}  // namespace webapitest::testing
