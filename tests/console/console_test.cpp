// webapi-run as its users run it: against the stand-in manager host on loopback, and against
// the scripted library to see which entry points it calls, in which order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <sstream>

#include "text/text.h"
#include "commands/procedures.h"
#include "console/twin_process.h"
#include "doubles/double_control.h"
#include "doubles/recording_form.h"
#include "standin/support.h"

namespace webapitest {
namespace {

using standin_test::ReadAll;
using standin_test::Request;
using standin_test::RunningManager;
using standin_test::ScratchFolder;
using standin_test::WriteAll;
using testing::Finished;
using testing::Launch;
using testing::LibraryCall;

const std::string kReplyLine = "<variable number='5' name='base5' value='25' />\n";
const std::string kTime = "[0-9]+\\.[0-9]{2} ms";

struct Summary {
  std::size_t count, failures;
  double min, median, p95, max;
};

// The folder's own path, without a separator at its end.
std::string Dir(const ScratchFolder& folder) { return std::filesystem::path(folder / "").parent_path().string(); }

Finished Twin(std::vector<std::string> arguments, std::string input = "",
              std::map<std::string, std::string> environment = {}, bool terminal = false, int signal = 0) {
  Launch launch;
  launch.signal = signal;
  launch.arguments = std::move(arguments);
  launch.input = std::move(input);
  launch.environment = std::move(environment);
  launch.terminal = terminal;
  return testing::RunProgram(WEBAPI_RUN, launch);
}

// Replaces every "{name}" in text by its value.
std::string Fill(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [name, value] : values)
    for (std::size_t at; (at = text.find("{" + name + "}")) != std::string::npos;)
      text.replace(at, name.size() + 2, value);
  return text;
}

// The scripted library's log of calls from another process (see webapi_double.cpp).
std::vector<LibraryCall> LoggedCalls(const std::string& path) {
  std::vector<LibraryCall> calls;
  std::istringstream lines(ReadAll(path));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields{""};
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\t') {
        fields.emplace_back();
      } else if (line[i] == '\\' && i + 1 < line.size()) {
        const char c = line[++i];
        fields.back() += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
      } else {
        fields.back() += line[i];
      }
    }
    calls.push_back({fields[0], std::vector<std::string>(fields.begin() + 1, fields.end())});
  }
  return calls;
}

manager::Options Failing(manager::FailMode fail, std::size_t first, int delayMs) {
  manager::Options options = standin_test::With(fail);
  options.failFirst = first;
  options.delay = std::chrono::milliseconds(delayMs);
  return options;
}

class TwinStandin : public ::testing::Test {
 protected:
  TwinStandin() {
    WriteAll(folder / "good.xml", Request(manager.Address()));
    WriteAll(folder / "unknown.xml", Request(manager.Address(), "kqhrx", "nope"));
    WriteAll(folder / "golden.txt", kReplyLine);
    WriteAll(folder / "stale.txt", "<variable number='5' name='base5' value='24' />\r\n");
    mkfifo((folder / "fifo").c_str(), 0600);
  }
  std::map<std::string, std::string> Values() const {
    return {{"host", manager.Address()}, {"slow", slow.Address()}, {"flaky", flaky.Address()}, {"folder", Dir(folder)}};
  }
  Finished Run(std::vector<std::string> arguments, const std::string& input = "", int signal = 0) {
    for (std::string& argument : arguments) argument = Fill(argument, Values());
    arguments.insert(arguments.begin(), {"--library", WEBAPI_STANDIN});
    return Twin(arguments, input, {}, false, signal);
  }
  ScratchFolder folder;
  RunningManager manager;
  RunningManager slow{Failing(manager::FailMode::kNone, 0, 3000)};   // answers after 3 s
  RunningManager flaky{Failing(manager::FailMode::kRefuse, 2, 0)};   // resets its first two connections
};

// One row per way of ending: the command line, standard input, and what comes out.
struct OutcomeCase {
  const char* name;
  std::vector<std::string> arguments;  // {host}: the manager's address; {folder}/: the scratch folder
  std::string input;
  int status;
  std::string out;  // a POSIX extended regular expression over the whole of standard output
  std::string err;  // the same over standard error
  int signal = 0;     // sent 700 ms after the start
  double maxSeconds = 0;  // when set, the run ends within this
};

void PrintTo(const OutcomeCase& row, std::ostream* os) { *os << row.name; }

class TwinOutcome : public TwinStandin, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(TwinOutcome, ShowWhatTheWindowShowsAndEndWithTheirStatus) {
  const OutcomeCase& c = GetParam();
  const auto start = std::chrono::steady_clock::now();
  const std::string echo = "<r xmlns='urn:x'><a n='1'>one</a></r>";
  const Finished run = Run(c.arguments,
                           Fill(c.input, {{"request", Request(manager.Address())},
                                          {"echo", Request(manager.Address(), "kqhrx", "echo", echo)}}),
                           c.signal);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::map<std::string, std::string> values = Values();
  values.insert({{"time", kTime}, {"version", WEBAPITEST_VERSION}});
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_TRUE(c.maxSeconds == 0 || took.count() < c.maxSeconds) << took.count() << " s";
  EXPECT_THAT(run.out, ::testing::MatchesRegex(Fill(c.out, values)));
  EXPECT_THAT(run.err, ::testing::MatchesRegex(Fill(c.err, values)));
}

const std::string kFault = "[^\n]*does not exist[^\n]*\n(.*\n)?webApiFileRequest returned 4 [^\n]*\n";
const std::string kGood = "file .*good.xml: code 0, {time}\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, TwinOutcome,
    ::testing::Values(
        OutcomeCase{"StatusRequest", {"status", "{host}"}, "", 0,
                    "<kqxml version='1.0'>\n <webapistatus state='ready'>\n(.*\n)+</kqxml>\n",
                    "status {host}: code 0, {time}\n"},
        OutcomeCase{"TextFromStandardInput", {"text", "-"}, "{request}", 0, kReplyLine, "text -: code 0, {time}\n"},
        OutcomeCase{"ThreeFilesTheSecondFailing",
                    {"file", "{folder}/good.xml", "{folder}/missing.xml", "{folder}/good.xml"}, "", 1,
                    kReplyLine + kFault + kReplyLine,
                    "file .*good.xml: code 0, {time}\nfile .*missing.xml: code 4, {time}\n"
                    "file .*good.xml: code 0, {time}\n"},
        OutcomeCase{"ServerFaultQuiet", {"--quiet", "file", "{folder}/unknown.xml"}, "", 1, "",
                    "file .*unknown.xml: code 9, {time}\n"},
        OutcomeCase{"EmptyRequestPath", {"file", ""}, "", 2, "",
                    "File Request Error: Please specify a request filename first.\n"},
        OutcomeCase{"EmptyReplyPath", {"--reply", "", "status", "{host}"}, "", 2, "",
                    "status {host}: code 0, {time}\nWrite Error: Please specify a reply filename and re-try.\n"},
        OutcomeCase{"UnknownRequest", {"fetch"}, "", 2, "", "A subcommand is required\nRun with --help for more information.\n"},
        OutcomeCase{"RepeatZero", {"--repeat", "0", "status"}, "", 2, "", "--repeat: [^\n]*\n(.*\n)*"},
        OutcomeCase{"TwoDocuments", {"text", "a.xml", "b.xml"}, "", 2, "", "FILE: [^\n]*\n(.*\n)*"},
        OutcomeCase{"UnreadableDocument", {"text", "{folder}/none.xml"}, "", 2, "",
                    "webapi-run: cannot read .*none.xml: No such file or directory\n"},
        OutcomeCase{"DocumentFromADevice", {"text", "/dev/zero"}, "", 2, "",
                    "webapi-run: cannot read /dev/zero: not a regular file\n"},
        OutcomeCase{"DocumentFromAFifo", {"text", "{folder}/fifo"}, "", 2, "",
                    "webapi-run: cannot read {folder}/fifo: not a regular file\n"},
        OutcomeCase{"DocumentFromAFolder", {"text", "{folder}"}, "", 2, "",
                    "webapi-run: cannot read {folder}: not a regular file\n"},
        OutcomeCase{"BadXPath", {"--expect-xpath", "//a[", "status"}, "", 2, "", "webapi-run: --expect-xpath //a\\[: [^\n]+\n"},
        OutcomeCase{"UnboundPrefix", {"--expect-xpath", "//z:a", "status"}, "", 2, "",
                    "webapi-run: --expect-xpath //z:a: [^\n]+\n"},
        OutcomeCase{"NamespaceWithoutUri", {"--ns", "x", "status"}, "", 2, "", "--ns x: expected PREFIX=URI[^\n]*\n.*\n"},
        OutcomeCase{"UpdateWithoutGolden", {"--update-golden", "status"}, "", 2, "",
                    "--update-golden requires --expect-reply\n.*\n"},
        OutcomeCase{"ExpectedCodeOtherThanZero", {"--quiet", "--expect-code", "9", "file", "{folder}/unknown.xml"}, "", 0,
                    "", "file .*unknown.xml: code 9, {time}\n"},
        OutcomeCase{"CodeNotAnExpectedOne", {"--quiet", "--expect-code", "9", "--expect-code", "4", "file", "{folder}/good.xml"},
                    "", 1, "", kGood + "file .*good.xml: code: expected 9 or 4, got 0\n"},
        OutcomeCase{"ContainsHoldsAndFails", {"--quiet", "--expect-contains", "value='25'", "--expect-contains", "zzz", "text", "-"},
                    "{request}", 4, "",
                    "text -: code 0, {time}\ntext -: contains: expected \"zzz\", got \"<variable number='5' "
                    "name='base5' value='25' />\\\\n\"\n"},
        OutcomeCase{"NoChecksAfterAnUnexpectedCode", {"--quiet", "--expect-contains", "zzz", "--expect-xpath", "/r", "file", "{folder}/unknown.xml"},
                    "", 1, "", "file .*unknown.xml: code 9, {time}\n"},
        OutcomeCase{"XPathWithNamespaces",
                    {"--quiet", "--ns", "x=urn:x", "--expect-xpath", "//x:a/@n=1", "--expect-xpath", "//a", "--expect-xpath",
                     "//x:a=two", "text", "-"},
                    "{echo}", 4, "",
                    "text -: code 0, {time}\ntext -: xpath //a: expected true, got false\n"
                    "text -: xpath //x:a=two: expected \"two\", got \"one\"\n"},
        OutcomeCase{"XPathWithoutNamespaces", {"--quiet", "--expect-xpath", "/variable/@value=25", "text", "-"}, "{request}", 0,
                    "", "text -: code 0, {time}\n"},
        OutcomeCase{"XPathOverAReplyThatIsNoXml", {"--quiet", "--expect-code", "9", "--expect-xpath", "/", "file", "{folder}/unknown.xml"},
                    "", 4, "", "file .*unknown.xml: code 9, {time}\nfile .*unknown.xml: xpath /: expected an XML reply, got line 1: [^\n]+\n"},
        OutcomeCase{"GoldenReplyHolds", {"--quiet", "--expect-reply", "{folder}/golden.txt", "file", "{folder}/good.xml"}, "", 0, "",
                    kGood},
        OutcomeCase{"GoldenReplyDiffers", {"--quiet", "--expect-reply", "{folder}/stale.txt", "file", "{folder}/good.xml"}, "", 4,
                    "",
                    kGood + "file .*good.xml: reply {folder}/stale.txt: expected line 1 \"<variable number='5' name='base5' "
                    "value='24' />\", got \"<variable number='5' name='base5' value='25' />\"\n--- {folder}/stale.txt\n"
                    "\\+\\+\\+ file .*good.xml\n@@ -1,1 \\+1,1 @@\n-[^\n]*'24' />\n\\+[^\n]*'25' />\n"},
        OutcomeCase{"TimeoutEndsTheRunSoonAfterTheDeadline", {"--timeout", "1", "status", "{slow}"}, "", 5, "",
                    "status {slow}: timed out after 1 s\n", 0, 2.0},
        OutcomeCase{"BailStopsAtTheFirstFailure",
                    {"--quiet", "--bail", "file", "{folder}/good.xml", "{folder}/missing.xml", "{folder}/good.xml"}, "", 1, "",
                    kGood + "file .*missing.xml: code 4, {time}\n"},
        OutcomeCase{"RetryCountsAttempts", {"--quiet", "--retry", "3", "--json", "status", "{flaky}"}, "", 0,
                    "[^\n]*\"code\":0,[^\n]*\"attempts\":3,[^\n]*\n[^\n]*\"exit_status\":0}\n", ""},
        OutcomeCase{"NoRetryOfAFailedCheck", {"--quiet", "--retry", "3", "--expect-contains", "zzz", "--json", "status", "{host}"},
                    "", 4, "[^\n]*\"attempts\":1,[^\n]*\n[^\n]*\"exit_status\":4}\n", "status {host}: contains: [^\n]*\n"},
        OutcomeCase{"InterruptStopsAfterTheCall", {"--quiet", "--repeat", "3", "status", "{slow}"}, "", 130, "",
                    "status {slow}: code 0, {time}\nstatus {slow}: 1 runs, [^\n]*\n"
                    "webapi-run: interrupted \\(SIGINT\\): the run stopped after the current request\n", SIGINT},
        OutcomeCase{"TerminateStopsAfterTheCall", {"--quiet", "status", "{slow}"}, "", 143, "",
                    "status {slow}: code 0, {time}\nwebapi-run: interrupted \\(SIGTERM\\)[^\n]*\n", SIGTERM},
        OutcomeCase{"Version", {"--version"}, "", 0, "webapi-run {version}\n", ""},
        OutcomeCase{"Help", {"--help"}, "", 0, "[^\n]*\nUsage: webapi-run (.*\n)+", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(TwinStandin, AMissingLibraryOrEntryPointEndsWithTheWindowsMessage) {
  const std::string noStatus = ToUtf8(testing::DoublePath(u"no-status"));
  const struct {
    std::string library, message;
  } rows[] = {{folder / "libwebapi.so", "Cannot load the client library " + (folder / "libwebapi.so") + ": "},
              {noStatus, "The client library " + noStatus + " has no entry point webApiStatusRequest."}};
  for (const auto& row : rows) {
    const Finished run = Twin({"--library", row.library, "status", manager.Address()});
    EXPECT_EQ(run.status, 3) << row.library;
    EXPECT_EQ(run.err.rfind("webapi-run: " + row.message, 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "said once: " << run.err;
  }
}

TEST_F(TwinStandin, UpdateGoldenWritesWhatThenCompares) {
  const std::string golden = folder / "new.txt";
  const Finished first = Run({"--update-golden", "--expect-reply", golden, "file", "{folder}/good.xml"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(ReadAll(golden), first.out);
  EXPECT_EQ(Run({"--expect-reply", golden, "file", "{folder}/good.xml"}).status, 0);
}

TEST_F(TwinStandin, RepeatRunsEachRequestAndSumsUpItsTimes) {
  const Finished run = Run({"--repeat", "20", "--quiet", "status", "{host}"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(manager.LogOf(20).size(), 20u);
  std::vector<double> times;
  Summary summary{};
  std::istringstream lines(run.err);
  for (std::string line; std::getline(lines, line);) {
    double ms = 0;
    if (std::sscanf(line.c_str(), "status %*s code 0, %lf ms", &ms) == 1) times.push_back(ms);
    std::sscanf(line.c_str(), "status %*s %zu runs, %zu failed; min %lf ms, median %lf ms, p95 %lf ms, max %lf ms",
                &summary.count, &summary.failures, &summary.min, &summary.median, &summary.p95, &summary.max);
  }
  ASSERT_EQ(times.size(), 20u) << run.err;
  EXPECT_EQ(summary.count, 20u) << run.err;
  EXPECT_EQ(summary.failures, 0u);
  std::sort(times.begin(), times.end());
  EXPECT_DOUBLE_EQ(summary.min, times.front());
  EXPECT_NEAR(summary.median, (times[9] + times[10]) / 2, 0.006);  // each time is rounded to 0.01
  EXPECT_DOUBLE_EQ(summary.p95, times[18]);
  EXPECT_DOUBLE_EQ(summary.max, times.back());
}

TEST_F(TwinStandin, JsonLinesReadBack) {
  const Finished run = Run({"--json", "--repeat", "2", "file", "--raw", "{folder}/good.xml", "{folder}/missing.xml"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  std::vector<nlohmann::json> objects;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objects.size(), 7u) << run.out;
  for (const std::size_t i : {0u, 1u, 3u, 4u}) {
    const nlohmann::json& o = objects[i];
    const bool good = i < 3;
    EXPECT_EQ(o["kind"], "file");
    EXPECT_EQ(o["argument"], folder / (good ? "good.xml" : "missing.xml"));
    EXPECT_EQ(o["raw"], true);
    EXPECT_EQ(o["run"], i % 3 + 1);
    EXPECT_EQ(o["code"], good ? 0 : 4);
    EXPECT_EQ(o["attempts"], 1);
    EXPECT_EQ(o["checks"][0]["ok"], good);
    EXPECT_GT(o["milliseconds"].get<double>(), 0.0);
    if (good) EXPECT_THAT(o["reply"].get<std::string>(), ::testing::HasSubstr("<webapireply>\r\n"));
    else EXPECT_THAT(o["fault"].get<std::string>(), ::testing::HasSubstr("does not exist"));
  }
  for (const std::size_t i : {2u, 5u}) {
    const nlohmann::json& s = objects[i]["summary"];
    EXPECT_EQ(s["count"], 2);
    EXPECT_EQ(s["failures"], i == 2 ? 0 : 2);
    EXPECT_LE(s["min"].get<double>(), s["max"].get<double>());
  }
  const nlohmann::json& totals = objects[6];
  EXPECT_EQ(totals["count"], 4);
  EXPECT_EQ(totals["failures"], 2);
  EXPECT_EQ(totals["exit_status"], 1);
}

// One row per request kind: the same request made by the window's procedures (behind the
// recording form) and by webapi-run must reach the scripted library as the same calls.
struct OrderCase {
  const char* name;
  std::vector<std::string> arguments;  // {request}: a request file
  Control button, box, raw;            // box: the text typed (reqFile), or None
};

void PrintTo(const OrderCase& row, std::ostream* os) { *os << row.name; }

class TwinCallOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(TwinCallOrder, IsTheWindows) {
  const OrderCase& c = GetParam();
  ScratchFolder folder;
  const std::string reply = folder / "reply.txt", request = folder / "request.xml", log = folder / "calls.log";
  std::vector<LibraryCall> window;
  {
    testing::ScriptedLibrary script;
    ClientLibrary library(testing::DoublePath());
    testing::RecordingForm form;
    FormProcedures procedures(form, library, [] { return nullptr; });
    form.Type(Control::repFile, FromUtf8(reply));
    if (c.box != Control::Window) form.Type(c.box, FromUtf8(request));
    if (c.raw != Control::Window) form.Check(c.raw, 1);
    procedures.Form_Load();
    RaiseClick(procedures, c.button);
    bool cancel = false;
    procedures.Form_Unload(cancel);
    window = script.Calls();
  }
  std::vector<std::string> arguments{"--library", ToUtf8(testing::DoublePath()), "--reply", reply};
  for (const std::string& argument : c.arguments) arguments.push_back(Fill(argument, {{"request", request}}));
  const Finished run = Twin(arguments, "", {{"WEBAPI_DOUBLE_LOG", log}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "reply line\n");
  EXPECT_EQ(LoggedCalls(log), window);
  ASSERT_EQ(window.size(), 4u);
  EXPECT_EQ(window[1].entry, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TwinCallOrder,
    ::testing::Values(
        OrderCase{"webApiStatusRequest", {"status"}, Control::StatusButton, Control::Window, Control::Window},
        OrderCase{"webApiMemRequest", {"text"}, Control::MemRequestButton, Control::Window, Control::Window},
        OrderCase{"webApiMemRequestRaw", {"text", "--raw"}, Control::MemRequestButton, Control::Window,
                  Control::checkMemRaw},
        OrderCase{"webApiFileRequest", {"file", "{request}"}, Control::FileRequestButton, Control::reqFile,
                  Control::Window},
        OrderCase{"webApiFileRequestRaw", {"file", "--raw", "{request}"}, Control::FileRequestButton,
                  Control::reqFile, Control::checkFileRaw}),
    [](const auto& row) { return std::string(row.param.name); });

// A crash in the library: the same words as the window's box, the JUnit report completed,
// nothing more called in the library, and a status of its own.
TEST(TwinCrash, IsNamedAndEndsWithStatus6) {
  ScratchFolder folder;
  const std::string log = folder / "calls.log", junit = folder / "junit.xml";
  for (const auto& [kind, fault] : {std::pair{"null", "segmentation fault (SIGSEGV) at address 0x0."},
                                    std::pair{"abort", "abort (SIGABRT)."}}) {
    std::remove(log.c_str());
    const Finished run = Twin({"--library", ToUtf8(testing::DoublePath()), "--junit", junit, "text"}, "",
                              {{"WEBAPI_DOUBLE_LOG", log},
                               {"WEBAPI_DOUBLE_CRASH", std::string("webApiMemRequest:") + kind},
                               // what the crashed library's frames held is left behind by design
                               {"LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS}});
    EXPECT_EQ(run.status, 6) << run.err;
    EXPECT_NE(run.err.find(std::string("webapi-run: The client library crashed in webApiMemRequest: ") + fault),
              std::string::npos) << run.err;
    const std::vector<LibraryCall> calls = LoggedCalls(log);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.back().entry, "webApiMemRequest");
    std::ifstream report(junit);
    const std::string xml((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
    EXPECT_NE(xml.find("crashed in webApiMemRequest"), std::string::npos) << xml;
  }
}

TEST(TwinReplyFile, IsTemporaryAndRemovedAfterwards) {
  ScratchFolder temporary, logs;
  const std::string log = logs / "calls.log";
  const Finished run = Twin({"--library", ToUtf8(testing::DoublePath()), "text"}, "",
                            {{"WEBAPI_DOUBLE_LOG", log}, {"TMPDIR", Dir(temporary)}});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<LibraryCall> calls = LoggedCalls(log);
  ASSERT_EQ(calls.size(), 4u);
  ASSERT_EQ(calls[2].entry, "webApiWriteLastReply");
  EXPECT_EQ(std::filesystem::path(calls[2].args[0]).parent_path(), Dir(temporary));
  EXPECT_EQ(run.out, "reply line\n");
  EXPECT_TRUE(std::filesystem::is_empty(Dir(temporary)));
}

TEST(TwinProgress, ShowsOnlyOnATerminal) {
  for (const bool terminal : {true, false}) {
    const Finished run =
        Twin({"--library", ToUtf8(testing::DoublePath()), "--repeat", "3", "--quiet", "status"}, "", {}, terminal);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.find("[2/3] status localhost:3380") != std::string::npos, terminal) << run.err;
  }
}

}  // namespace
}  // namespace webapitest
