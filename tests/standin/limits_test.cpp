// The manager host against hostile clients: over-limit requests, trickling clients, huge and
// deeply nested documents, cross-site requests, forged log lines, stopping under siege.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "manager/manager.h"
#include "respond_to_bytes.h"
#include "support.h"

namespace {

using standin_test::Connection;
using standin_test::ManagerProcess;
using standin_test::MemoryKiB;
using standin_test::Request;
using standin_test::RunningManager;
using standin_test::StatusOf;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Repeat(const std::string& part, std::size_t times) {
  std::string text;
  text.reserve(part.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += part;
  return text;
}

std::string Post(const std::string& fields, const std::string& body) {
  return "POST /webapi HTTP/1.1\r\nHost: 127.0.0.1\r\n" + fields +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct RefusalCase {
  const char* name;
  std::string bytes;
  unsigned status;
  const char* says;
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class StandinManagerRequests : public testing::TestWithParam<RefusalCase> {};

TEST_P(StandinManagerRequests, AreAnsweredOrRefusedWithTheirStatus) {
  const RefusalCase& c = GetParam();
  const manager::Reply reply =
      manager::RespondToBytes(c.bytes, manager::Options{}, [] { return manager::StatusInfo{}; });
  EXPECT_EQ(reply.status, c.status) << reply.body;
  EXPECT_TRUE(Contains(reply.body, c.says)) << reply.body;
}

const std::string kDocument = Request("127.0.0.1:3380");

INSTANTIATE_TEST_SUITE_P(
    Cases, StandinManagerRequests,
    testing::Values(
        RefusalCase{"Plain", Post("Content-Type: text/xml\r\n", kDocument), 200, "value='25'"},
        RefusalCase{"LoopbackPage", Post("Origin: http://127.0.0.1:8080\r\n", kDocument), 200, "value='25'"},
        RefusalCase{"LoopbackPageWithoutPort", Post("Origin: https://LOCALHOST\r\n", kDocument), 200, "value='25'"},
        RefusalCase{"Ipv6LoopbackPage", Post("Origin: http://[::1]:3000\r\n", kDocument), 200, "value='25'"},
        RefusalCase{"PageOnAnotherIpv6Host", Post("Origin: http://[::2]\r\n", kDocument), 403, "[::2]"},
        RefusalCase{"CrossSitePost", Post("Origin: http://evil.example\r\nContent-Type: text/plain\r\n", kDocument),
                    403, "http://evil.example"},
        RefusalCase{"LookalikeOrigin", Post("Origin: http://127.0.0.1.evil.example\r\n", kDocument), 403, "loopback"},
        RefusalCase{"FormPost", Post("Content-Type: application/x-www-form-urlencoded\r\n", kDocument), 415,
                    "not application/x-www-form-urlencoded"},
        RefusalCase{"NoLength", "POST /webapi HTTP/1.1\r\nHost: h\r\n\r\n" + kDocument, 411, "Content-Length"},
        RefusalCase{"AnnouncedTooLarge", "POST /webapi HTTP/1.1\r\nContent-Length: 16777217\r\n\r\n", 413, "16 MiB"},
        RefusalCase{"ChunkedTooLarge",
                    "POST /webapi HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
                        Repeat("100000\r\n" + std::string(0x100000, 'x') + "\r\n", 17) + "0\r\n\r\n",
                    413, "16 MiB"},
        RefusalCase{"HundredThousandHeaders", "GET /status HTTP/1.1\r\n" + Repeat("X-A: b\r\n", 100000) + "\r\n", 431,
                    "64 KiB"},
        RefusalCase{"TooManyFields", "GET /status HTTP/1.1\r\n" + Repeat("X-A: b\r\n", 101) + "\r\n", 431,
                    "100 header fields"},
        RefusalCase{"NotHttp", "\x16\x03\x01 hello\r\n\r\n", 400, "that can be read"}),
    [](const auto& test) { return std::string(test.param.name); });

struct DocumentCase {
  const char* name;
  std::string body;
  int fault;
  const char* says;
};
void PrintTo(const DocumentCase& c, std::ostream* os) { *os << c.name; }

class StandinManagerDocuments : public testing::TestWithParam<DocumentCase> {};

// Nothing the manager answers is larger than a small multiple of the request, and nothing it
// answers holds text a strict XML reader would refuse.
TEST_P(StandinManagerDocuments, AnswerGrowsWithTheRequestOnly) {
  const DocumentCase& c = GetParam();
  const manager::Answer answer = manager::AnswerRequest(c.body, true);
  EXPECT_EQ(answer.fault, c.fault) << answer.document.substr(0, 2000);
  EXPECT_TRUE(Contains(answer.document, c.says)) << answer.document.substr(0, 2000);
  EXPECT_LE(answer.document.size(), 4 * c.body.size() + 1024);
}

std::string Nested(std::size_t depth, const std::string& inside = "x") {
  return Repeat("<e>", depth) + inside + Repeat("</e>", depth);
}
std::string Echo(const std::string& data) { return Request("h:1", "kqhrx", "echo", data); }

INSTANTIATE_TEST_SUITE_P(
    Cases, StandinManagerDocuments,
    testing::Values(
        DocumentCase{"Deep", Echo(Nested(100000)), manager::kFaultTooDeep, "deeper than 256 levels"},
        DocumentCase{"DeepestRead", Echo(Nested(250)), 0, "<e><e>x</e></e>"},
        DocumentCase{"WideAtDepth", Echo(Nested(250, Repeat("<f/>", 20000))), 0, "<f/><f/>"},
        DocumentCase{"InvalidUtf8", Echo("<data>\xC3\x28 \xFF</data>"), manager::kFaultMalformed, "not valid UTF-8"},
        DocumentCase{"ForbiddenCharacter", Echo("<data>&#1;</data>"), manager::kFaultMalformed, "not valid UTF-8"},
        DocumentCase{"EncodedSurrogate", Echo("<data>\xED\xA0\x80</data>"), manager::kFaultMalformed,
                     "not valid UTF-8"}),
    [](const auto& test) { return std::string(test.param.name); });

struct HostileCase {
  const char* name;
  std::string head;    // sent first
  std::string filler;  // then repeated up to `total` bytes, until the manager answers
  std::size_t total;
  int status;
  long mostKiB;        // growth of the manager's peak memory over its memory at rest
};
void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class StandinManagerMemory : public testing::TestWithParam<HostileCase> {};

TEST_P(StandinManagerMemory, StaysBoundedAgainstHugeRequests) {
  const HostileCase& c = GetParam();
  ManagerProcess host(WEBAPI_MANAGER_PATH);
  {
    Connection warmup(host.port());  // the first answer sets up what every answer needs
    warmup.Send(Post("", kDocument));
    warmup.ReadToEnd(1);
  }
  const long rest = MemoryKiB(host.pid(), "VmRSS");
  Connection client(host.port(), 20);
  ASSERT_TRUE(client.connected());
  const std::string answer = client.SendStreaming(c.head, c.filler, c.total);
  EXPECT_EQ(StatusOf(answer), c.status) << answer.substr(0, 300);
  const long grown = MemoryKiB(host.pid(), "VmHWM") - rest;
  EXPECT_LT(grown, c.mostKiB) << "KiB at rest: " << rest;
}

const std::size_t k200MB = 200u << 20;
INSTANTIATE_TEST_SUITE_P(
    Cases, StandinManagerMemory,
    testing::Values(
        HostileCase{"DeepEcho", Post("Connection: close\r\n", Echo(Nested(100000))), "", 0, 200, 64 << 10},
        HostileCase{"ChunkedBody", "POST /webapi HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
                    "10000\r\n" + std::string(0x10000, '<') + "\r\n", k200MB, 413, 32 << 10},
        HostileCase{"UnsizedBody", "POST /webapi HTTP/1.1\r\nConnection: close\r\n\r\n", std::string(1 << 16, '<'),
                    k200MB, 411, 32 << 10},
        HostileCase{"EndlessHeaders", "GET /status HTTP/1.1\r\n", Repeat("X-A: b\r\n", 1000), 100000 * 8, 431,
                    32 << 10}),
    [](const auto& test) { return std::string(test.param.name); });

// 200 clients that send a byte a second hold no worker: everyone else is answered at once, and
// a trickler is cut off at the request deadline.
TEST(StandinManagerSiege, TricklingClientsStarveNoOne) {
  manager::Options options;
  options.limits.requestDeadline = std::chrono::milliseconds(2500);
  RunningManager host(options);
  std::vector<std::unique_ptr<Connection>> tricklers;
  for (int i = 0; i < 200; ++i) tricklers.push_back(std::make_unique<Connection>(host.Port()));
  const std::string slowRequest = Post("", kDocument);
  Connection client(host.Port(), 5);
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t second = 0; second < 4; ++second) {
    for (auto& trickler : tricklers) trickler->Send(slowRequest.substr(second, 1));
    for (int i = 0; i < 5; ++i) {
      const auto asked = std::chrono::steady_clock::now();
      EXPECT_EQ(StatusOf(client.Ask("POST", "/webapi", kDocument)), 200);
      EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    }
    std::this_thread::sleep_until(start + std::chrono::seconds(second + 1));
  }
  int cutOff = 0;
  for (auto& trickler : tricklers) cutOff += trickler->Readable(1000) && trickler->ReadToEnd().empty();
  EXPECT_EQ(cutOff, 200);
}

TEST(StandinManagerSiege, SigtermEndsItWithinTwoSecondsWhileClientsTrickle) {
  ManagerProcess host(WEBAPI_MANAGER_PATH);
  std::vector<std::unique_ptr<Connection>> tricklers;
  for (int i = 0; i < 50; ++i) {
    tricklers.push_back(std::make_unique<Connection>(host.port()));
    tricklers.back()->Send("POST /webapi HTTP/1.1\r\nContent-Length: 100\r\n\r\n<");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(host.EndsOn(SIGTERM, std::chrono::seconds(2)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(StandinManagerLog, ControlCharactersCannotForgeLines) {
  RunningManager host;
  Connection client(host.Port());
  client.Send(Post("", Request("h:1", "a&#10;2026-01-01 forged", "b&#9;c")));
  client.Readable(5000);
  const auto log = host.LogOf(1);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].find_first_of("\r\n\t"), std::string::npos) << log[0];
  EXPECT_TRUE(Contains(log[0], "a\\x0A2026-01-01 forged/b\\x09c")) << log[0];
}

}  // namespace
