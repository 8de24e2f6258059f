// The manager host: its services, its command line, and its HTTP side under load.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "manager/manager.h"
#include "support.h"

namespace {

using standin_test::Connection;
using standin_test::Request;
using standin_test::RunningManager;
using standin_test::StatusOf;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct ServiceCase {
  const char* name;
  std::string body;
  int fault;
  std::vector<std::string> mentions;
};
void PrintTo(const ServiceCase& c, std::ostream* os) { *os << c.name; }

class StandinAnswerRequest : public testing::TestWithParam<ServiceCase> {};

TEST_P(StandinAnswerRequest, AnswersEachRequestAsDocumented) {
  const ServiceCase& c = GetParam();
  const manager::Answer answer = manager::AnswerRequest(c.body);
  EXPECT_EQ(answer.fault, c.fault) << answer.document;
  for (const auto& mention : c.mentions) EXPECT_TRUE(Contains(answer.document, mention)) << answer.document;
  EXPECT_EQ(Contains(answer.document, "<fault "), c.fault != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, StandinAnswerRequest,
    testing::Values(
        ServiceCase{"BaseVariable", Request("h:1"), 0,
                    {"<service name='kqhrx' entrypoint='baseVariable' />", "<replydata format='XML'>",
                     "<variable number='5' name='base5' value='25' />"}},
        ServiceCase{"BaseVariableOfEveryData", Request("h:1", "kqhrx", "baseVariable", "<data>0</data><data> 999999 </data>"),
                    0, {"value='0'", "number='999999' name='base999999' value='999998000001'"}},
        ServiceCase{"BaseVariableTooLarge", Request("h:1", "kqhrx", "baseVariable", "<data>1000000</data>"),
                    manager::kFaultBadData, {"from 0 to 999999", "not \"1000000\""}},
        ServiceCase{"BaseVariableNegative", Request("h:1", "kqhrx", "baseVariable", "<data>-1</data>"),
                    manager::kFaultBadData, {}},
        ServiceCase{"BaseVariableWithoutData", Request("h:1", "kqhrx", "baseVariable", ""), manager::kFaultBadData,
                    {"at least one"}},
        ServiceCase{"Echo", Request("h:1", "kqhrx", "echo", "<data>hi <b>there</b></data>"), 0,
                    {"<data>hi <b>there</b>"}},
        ServiceCase{"Lines", Request("h:1", "kqhrx", "lines", "<data>3</data>"), 0,
                    {"<data>line 1 of 3\nline 2 of 3\nline 3 of 3</data>"}},
        ServiceCase{"LinesTooMany", Request("h:1", "kqhrx", "lines", "<data>100001</data>"), manager::kFaultBadData, {}},
        ServiceCase{"UnknownService", Request("h:1", "nope", "baseVariable"), manager::kFaultUnknownService,
                    {"Unknown service \"nope\"", "known services: kqhrx"}},
        ServiceCase{"UnknownEntryPoint", Request("h:1", "kqhrx", "nope"), manager::kFaultUnknownEntry,
                    {"has no entry point \"nope\"", "its entry points: baseVariable, echo, lines"}},
        ServiceCase{"Malformed", "<kqxml>\n <webapirequest>\n</kqxml>", manager::kFaultMalformed,
                    {"not well-formed XML", "line 3, column"}},
        ServiceCase{"NotARequest", "<kqxml><other/></kqxml>", manager::kFaultNotARequest, {"no webapirequest"}},
        ServiceCase{"NoService", "<kqxml><webapirequest><server host='h:1'/></webapirequest></kqxml>",
                    manager::kFaultNotARequest, {"names no service"}}),
    [](const auto& test) { return std::string(test.param.name); });

struct CommandLineCase {
  const char* name;
  std::vector<std::string> args;
  bool valid;
};
void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.name; }

class StandinCommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(StandinCommandLine, AcceptsOnlyWellFormedOptions) {
  std::string error;
  bool help = false;
  const auto options = manager::ParseCommandLine(GetParam().args, error, help);
  EXPECT_EQ(options.has_value(), GetParam().valid) << error;
  EXPECT_EQ(error.empty(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Options, StandinCommandLine,
    testing::Values(CommandLineCase{"None", {}, true},
                    CommandLineCase{"All", {"--listen", "[::1]:0", "--path", "/p", "--delay", "250", "--fail",
                                            "close-mid-reply", "--quiet"}, true},
                    CommandLineCase{"ListenWithoutPort", {"--listen", "127.0.0.1"}, false},
                    CommandLineCase{"ListenBadPort", {"--listen", "127.0.0.1:65536"}, false},
                    CommandLineCase{"ListenNoHost", {"--listen", ":80"}, false},
                    CommandLineCase{"MissingValue", {"--delay"}, false},
                    CommandLineCase{"NegativeDelay", {"--delay", "-1"}, false},
                    CommandLineCase{"UnknownFailMode", {"--fail", "sometimes"}, false},
                    CommandLineCase{"RelativePath", {"--path", "webapi"}, false},
                    CommandLineCase{"UnknownOption", {"--verbose"}, false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(StandinAnswerRequestCharset, SendersUtf8WinsOverTheDeclaration) {
  const std::string body =
      "<?xml version='1.0' encoding='ISO-8859-1'?>" + Request("h:1", "kqhrx", "echo", "<data>\xC3\xA9</data>");
  EXPECT_TRUE(Contains(manager::AnswerRequest(body, true).document, "<data>\xC3\xA9</data>"));
  EXPECT_TRUE(Contains(manager::AnswerRequest(body, false).document, "<data>\xC3\x83\xC2\xA9</data>"));
}

TEST(StandinCommandLineValues, ReadsTheValues) {
  std::string error;
  bool help = false;
  const auto options = manager::ParseCommandLine(
      {"--listen", "[::1]:4000", "--delay", "250", "--fail", "refuse", "--path", "/p"}, error, help);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->host, "::1");
  EXPECT_EQ(options->port, 4000);
  EXPECT_EQ(options->delay.count(), 250);
  EXPECT_EQ(options->fail, manager::FailMode::kRefuse);
  EXPECT_EQ(options->path, "/p");
  EXPECT_TRUE(options->log);
  EXPECT_FALSE(manager::ParseCommandLine({"--quiet"}, error, help)->log);
  EXPECT_TRUE(manager::ParseCommandLine({"--help"}, error, help));
  EXPECT_TRUE(help);
}

TEST(StandinManager, AnswersABurstOfConcurrentRequestsWithoutLosingOne) {
  manager::Options quiet;
  RunningManager host(quiet);
  constexpr int kThreads = 50;
  constexpr int kPerThread = 40;
  std::atomic<int> right{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Connection client(host.Port());
      for (int i = 0; i < kPerThread; ++i) {
        const int number = t * kPerThread + i;
        const std::string answer = client.Ask("POST", "/webapi", Request(host.Address(), "kqhrx", "baseVariable",
                                                                         "<data>" + std::to_string(number) + "</data>"));
        if (StatusOf(answer) == 200 && Contains(answer, "value='" + std::to_string(number * number) + "'")) ++right;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(right.load(), kThreads * kPerThread);
  EXPECT_EQ(host.LogOf(kThreads * kPerThread).size(), static_cast<std::size_t>(kThreads * kPerThread));
}

TEST(StandinManager, TurnsAwayWhatItDoesNotServe) {
  RunningManager host;
  Connection client(host.Port());
  EXPECT_EQ(StatusOf(client.Ask("GET", "/nothing")), 404);
  std::string answer = client.Ask("POST", "/elsewhere", Request(host.Address()));
  EXPECT_EQ(StatusOf(answer), 404);
  EXPECT_TRUE(Contains(answer, "POST /webapi")) << answer;
  answer = client.Ask("DELETE", "/webapi");
  EXPECT_EQ(StatusOf(answer), 405);
  EXPECT_TRUE(Contains(answer, "\r\nAllow: GET, POST\r\n")) << answer;
}

TEST(StandinManager, StatusCountsAnswersAndFaults) {
  RunningManager host;
  Connection client(host.Port());
  ASSERT_EQ(StatusOf(client.Ask("POST", "/webapi", Request(host.Address()))), 200);
  ASSERT_EQ(StatusOf(client.Ask("POST", "/webapi", "<broken")), 200);
  const std::string status = client.Ask("GET", "/status");
  EXPECT_TRUE(Contains(status, "<requests answered='2' faults='1' />")) << status;
  const auto log = host.LogOf(3);
  ASSERT_EQ(log.size(), 3u);
  // One line per request, written once the answer went out: not necessarily in order.
  const auto fault = std::find_if(log.begin(), log.end(), [](const std::string& line) {
    return Contains(line, "POST /webapi -/- 200 ");
  });
  ASSERT_NE(fault, log.end());
  EXPECT_TRUE(Contains(*fault, "(fault 100)")) << *fault;
  EXPECT_TRUE(Contains(*fault, " 127.0.0.1:")) << *fault;
}

TEST(StandinManager, StopEndsADelayedAnswerAtOnce) {
  manager::Options slow;
  slow.delay = std::chrono::milliseconds(60000);
  auto host = std::make_unique<RunningManager>(slow);
  std::thread client([port = host->Port()] {
    Connection c(port);
    c.Ask("GET", "/status");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = std::chrono::steady_clock::now();
  host.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  client.join();
}

TEST(StandinManager, StopBeforeServingIsHarmless) {
  manager::Options options;
  options.host = "127.0.0.1";
  options.port = 0;
  manager::Manager host(options);
  host.Bind();
  host.Stop();
  EXPECT_TRUE(host.Serve());
}

TEST(StandinManager, APortInUseIsReported) {
  RunningManager first;
  manager::Options options;
  options.port = first.Port();
  manager::Manager second(options);
  EXPECT_THROW(second.Bind(), std::runtime_error);
}

// The program itself: prints where it listens, answers, and ends cleanly on SIGTERM.
TEST(StandinManagerProgram, ListensOnAFreePortAndEndsOnSigterm) {
  standin_test::ManagerProcess program(WEBAPI_MANAGER_PATH);  // throws unless it says where it listens
  Connection client(program.port());
  EXPECT_EQ(StatusOf(client.Ask("GET", "/status")), 200);
  EXPECT_TRUE(program.EndsOn(SIGTERM, std::chrono::seconds(10)));
}

}  // namespace
