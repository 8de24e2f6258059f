// The client library's entry points against a manager host on loopback.
#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <thread>

#include "support.h"
#include "webapi.h"

namespace {

using standin_test::MemoryKiB;
using standin_test::ReadAll;
using standin_test::Request;
using standin_test::RunningManager;
using standin_test::ScratchFolder;
using standin_test::With;
using standin_test::WriteAll;

constexpr std::int32_t kTimeout = 90;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every test starts the library and ends it, like the window does.
class StandinLibrary : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(webApiStartup(), WEBAPI_OK); }
  void TearDown() override { webApiCleanup(); }

  std::string Reply() {
    EXPECT_EQ(webApiWriteLastReply(replyPath.c_str()), WEBAPI_OK);
    return ReadAll(replyPath);
  }
  std::string Fault() {
    EXPECT_EQ(webApiWriteLastFault(replyPath.c_str()), WEBAPI_OK);
    return ReadAll(replyPath);
  }

  ScratchFolder folder;
  const std::string replyPath = folder / "reply.txt";
};

TEST_F(StandinLibrary, TemplateRequestGetsTheBaseVariable) {
  RunningManager host;
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(Reply(), "<variable number='5' name='base5' value='25' />\r\n");
  const auto log = host.LogOf(1);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(Contains(log[0], "POST /webapi kqhrx/baseVariable 200"));
}

TEST_F(StandinLibrary, RawKeepsTheWholeReplyDocumentWithCrLf) {
  RunningManager host;
  ASSERT_EQ(webApiMemRequestRaw(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  const std::string reply = Reply();
  EXPECT_EQ(reply.rfind("<kqxml version='1.0'>\r\n <webapireply>\r\n", 0), 0u) << reply;
  EXPECT_TRUE(Contains(reply, "<variable number='5' name='base5' value='25' />\r\n"));
  EXPECT_TRUE(Contains(reply, "</kqxml>\r\n"));
  EXPECT_FALSE(Contains(reply, "\n\n"));
  EXPECT_EQ(reply.find('\n'), reply.find('\r') + 1);
}

TEST_F(StandinLibrary, PlainChecksTheDocumentButRawSendsItAnyway) {
  RunningManager host;
  const std::string broken = "<kqxml>\r\n <webapirequest>\r\n  <server host='" + host.Address() +
                             "' />\r\n  <service name='kqhrx' entrypoint='echo'>\r\n </webapirequest>\r\n</kqxml>";
  EXPECT_EQ(webApiMemRequest(broken.c_str(), kTimeout), WEBAPI_MALFORMED_REQUEST);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "not well-formed XML")) << fault;
  EXPECT_TRUE(Contains(fault, "line 5, column")) << fault;
  EXPECT_TRUE(Contains(fault, "webApiMemRequest returned 3 (malformed request)")) << fault;
  EXPECT_TRUE(host.Log().empty());

  // Raw: the manager gets it and answers with a fault document, which Raw keeps as the reply.
  EXPECT_EQ(webApiMemRequestRaw(broken.c_str(), kTimeout), WEBAPI_OK);
  const std::string reply = Reply();
  EXPECT_TRUE(Contains(reply, "<fault code='100'")) << reply;
  EXPECT_TRUE(Contains(reply, "line 5")) << reply;
  EXPECT_EQ(host.LogOf(1).size(), 1u);
}

TEST_F(StandinLibrary, RawWithoutAServerAddressIsAFault) {
  EXPECT_EQ(webApiMemRequestRaw("<kqxml><webapirequest/></kqxml>", kTimeout), WEBAPI_MALFORMED_REQUEST);
  EXPECT_TRUE(Contains(Fault(), "names no server"));
}

TEST_F(StandinLibrary, ServerFaultIsReportedWithItsCodeAndMessage) {
  RunningManager host;
  EXPECT_EQ(webApiMemRequest(Request(host.Address(), "kqhrx", "noSuchEntry").c_str(), kTimeout), WEBAPI_SERVER_FAULT);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "Server fault 103 from " + host.Address())) << fault;
  EXPECT_TRUE(Contains(fault, "has no entry point \"noSuchEntry\"")) << fault;
  EXPECT_TRUE(Contains(fault, "baseVariable, echo, lines")) << fault;
}

TEST_F(StandinLibrary, RepliesOfManyLinesArriveWhole) {
  RunningManager host;
  ASSERT_EQ(webApiMemRequest(Request(host.Address(), "kqhrx", "lines", "<data>20000</data>").c_str(), kTimeout),
            WEBAPI_OK);
  const std::string reply = Reply();
  EXPECT_EQ(reply.rfind("line 1 of 20000\r\nline 2 of 20000\r\n", 0), 0u);
  EXPECT_TRUE(Contains(reply, "\r\nline 20000 of 20000\r\n"));
  EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 20000);
}

TEST_F(StandinLibrary, EchoKeepsNonAsciiText) {
  RunningManager host;
  const std::string text = "gr\xC3\xBC\xC3\x9F & <tag> \xE2\x82\xAC";
  ASSERT_EQ(webApiMemRequest(Request(host.Address(), "kqhrx", "echo", "<data>gr\xC3\xBC\xC3\x9F &amp; &lt;tag&gt; "
                                                                      "\xE2\x82\xAC</data>")
                                 .c_str(),
                             kTimeout),
            WEBAPI_OK);
  EXPECT_EQ(Reply(), text + "\r\n");
}

TEST_F(StandinLibrary, StatusRequestAsksTheManager) {
  RunningManager host;
  ASSERT_EQ(webApiStatusRequest(host.Address().c_str(), kTimeout), WEBAPI_OK);
  const std::string reply = Reply();
  EXPECT_TRUE(Contains(reply, "<webapistatus state='ready'>")) << reply;
  EXPECT_TRUE(Contains(reply, "listen='" + host.Address() + "'")) << reply;
  EXPECT_TRUE(Contains(host.LogOf(1).at(0), "GET /status status 200"));
}

TEST_F(StandinLibrary, StatusRequestReachesLocalhostByName) {
  RunningManager host;
  EXPECT_EQ(webApiStatusRequest(("localhost:" + std::to_string(host.Port())).c_str(), kTimeout), WEBAPI_OK);
}

class StandinBadHost : public StandinLibrary, public testing::WithParamInterface<const char*> {};

TEST_P(StandinBadHost, IsABadArgumentThatSaysWhy) {
  EXPECT_EQ(webApiStatusRequest(GetParam(), kTimeout), WEBAPI_BAD_ARGUMENT);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "hostname or IP:portnumber") || Contains(fault, "port")) << fault;
}

INSTANTIATE_TEST_SUITE_P(Hosts, StandinBadHost,
                         testing::Values("", "localhost", "localhost:0", "localhost:70000", "127.0.0.1/evil:80",
                                         "a b:80"));

TEST_F(StandinLibrary, RefusedConnectionNamesTheHost) {
  // A port held by a manager that refuses: nothing can listen there meanwhile.
  RunningManager refusing(With(manager::FailMode::kRefuse));
  EXPECT_EQ(webApiMemRequest(Request(refusing.Address()).c_str(), kTimeout), WEBAPI_CONNECT_FAILED);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "Connection refused: nothing accepts connections at " + refusing.Address())) << fault;
  EXPECT_TRUE(Contains(fault, "POST http://" + refusing.Address() + "/webapi, timeout 90 seconds")) << fault;
  EXPECT_EQ(webApiStatusRequest(refusing.Address().c_str(), kTimeout), WEBAPI_CONNECT_FAILED);
}

TEST_F(StandinLibrary, SlowManagerRunsIntoTheTimeout) {
  manager::Options slow;
  slow.delay = std::chrono::milliseconds(3000);
  RunningManager host(slow);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(webApiMemRequest(Request(host.Address()).c_str(), 1), WEBAPI_TIMEOUT);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(2500));
  EXPECT_GE(took, std::chrono::milliseconds(900));
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, host.Address() + " did not answer completely within 1 second")) << fault;
}

TEST_F(StandinLibrary, ReplyCutOffMidwayIsABadReply) {
  RunningManager host(With(manager::FailMode::kCloseMidReply));
  EXPECT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_BAD_REPLY);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "Reply cut off: " + host.Address() + " closed the connection after")) << fault;
  EXPECT_TRUE(Contains(fault, "bytes it announced")) << fault;
  EXPECT_EQ(webApiMemRequestRaw(Request(host.Address()).c_str(), kTimeout), WEBAPI_BAD_REPLY);
  EXPECT_EQ(webApiStatusRequest(host.Address().c_str(), kTimeout), WEBAPI_BAD_REPLY);
}

TEST_F(StandinLibrary, HttpErrorStatusIsReportedWithTheBody) {
  RunningManager host(With(manager::FailMode::kHttpError));
  EXPECT_EQ(webApiMemRequestRaw(Request(host.Address()).c_str(), kTimeout), WEBAPI_HTTP_STATUS);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "answered POST /webapi with status 500 Internal Server Error")) << fault;
  EXPECT_TRUE(Contains(fault, "fails on purpose")) << fault;
  EXPECT_EQ(webApiStatusRequest(host.Address().c_str(), kTimeout), WEBAPI_HTTP_STATUS);
}

TEST_F(StandinLibrary, RequestPathDecidesWhereDocumentsGo) {
  manager::Options elsewhere;
  elsewhere.path = "/other/api";
  RunningManager host(elsewhere);
  EXPECT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_HTTP_STATUS);
  EXPECT_TRUE(Contains(Fault(), "status 404 Not Found"));
  ASSERT_EQ(webApiSetRequestPath("/other/api"), WEBAPI_OK);
  EXPECT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  ASSERT_EQ(webApiSetRequestPath(""), WEBAPI_OK);  // back to /webapi
  EXPECT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_HTTP_STATUS);
}

TEST_F(StandinLibrary, RequestPathMustBeAPath) {
  for (const char* path : {"webapi", "/a b", "/a#b", "/a\r\nX: y"}) EXPECT_EQ(webApiSetRequestPath(path), WEBAPI_BAD_ARGUMENT) << path;
  EXPECT_EQ(webApiSetRequestPath(nullptr), WEBAPI_BAD_ARGUMENT);
}

TEST_F(StandinLibrary, FileRequestsReadTheDocumentFromAFile) {
  RunningManager host;
  const std::string request = folder / "request.xml";
  WriteAll(request, Request(host.Address()));
  EXPECT_EQ(webApiFileRequest(request.c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(Reply(), "<variable number='5' name='base5' value='25' />\r\n");
  EXPECT_EQ(webApiFileRequestRaw(request.c_str(), kTimeout), WEBAPI_OK);
  EXPECT_TRUE(Contains(Reply(), "<webapireply>"));
}

TEST_F(StandinLibrary, MissingOrUnsuitableRequestFilesAreNamed) {
  const std::string missing = folder / "missing.xml";
  EXPECT_EQ(webApiFileRequest(missing.c_str(), kTimeout), WEBAPI_REQUEST_FILE);
  EXPECT_TRUE(Contains(Fault(), "The request file \"" + missing + "\" does not exist."));
  const std::string folderPath = folder / "";
  EXPECT_EQ(webApiFileRequestRaw(folderPath.c_str(), kTimeout), WEBAPI_REQUEST_FILE);
  EXPECT_TRUE(Contains(Fault(), "is a folder"));
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(webApiFileRequest(fifo.c_str(), kTimeout), WEBAPI_REQUEST_FILE);  // and does not wait for a writer
  EXPECT_TRUE(Contains(Fault(), "not a regular file"));
}

TEST_F(StandinLibrary, MalformedRequestFileFaultNamesTheFileLineAndColumn) {
  const std::string request = folder / "request.xml";
  WriteAll(request, "<kqxml>\n<webapirequest>\n</kqxml>\n");
  EXPECT_EQ(webApiFileRequest(request.c_str(), kTimeout), WEBAPI_MALFORMED_REQUEST);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "at line 3, column")) << fault;
  EXPECT_TRUE(Contains(fault, "request file \"" + request + "\"")) << fault;
}

TEST_F(StandinLibrary, WritingNeedsAUsablePath) {
  RunningManager host;
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(webApiWriteLastReply(""), WEBAPI_BAD_ARGUMENT);
  EXPECT_EQ(webApiWriteLastFault(""), WEBAPI_BAD_ARGUMENT);
  EXPECT_EQ(webApiWriteLastReply(nullptr), WEBAPI_BAD_ARGUMENT);
  const std::string inMissingFolder = folder / "no-such-folder/reply.txt";
  EXPECT_EQ(webApiWriteLastReply(inMissingFolder.c_str()), WEBAPI_WRITE_FAILED);
  EXPECT_EQ(webApiWriteLastFault(inMissingFolder.c_str()), WEBAPI_WRITE_FAILED);
  const std::string folderPath = folder / "";
  EXPECT_EQ(webApiWriteLastReply(folderPath.c_str()), WEBAPI_WRITE_FAILED);
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(webApiWriteLastReply(fifo.c_str()), WEBAPI_WRITE_FAILED);  // no reader: fails, never blocks
  // A failed write keeps the reply for the next try.
  EXPECT_EQ(Reply(), "<variable number='5' name='base5' value='25' />\r\n");
}

TEST_F(StandinLibrary, WritingOverwritesTheWholeFile) {
  WriteAll(replyPath, std::string(5000, 'x'));
  RunningManager host;
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(Reply(), "<variable number='5' name='base5' value='25' />\r\n");
}

TEST_F(StandinLibrary, NothingToWriteIsSaidInTheFile) {
  EXPECT_EQ(webApiWriteLastReply(replyPath.c_str()), WEBAPI_NOTHING_TO_WRITE);
  EXPECT_EQ(ReadAll(replyPath), "No request has been made yet, so there is no reply.\r\n");
  EXPECT_EQ(webApiWriteLastFault(replyPath.c_str()), WEBAPI_NOTHING_TO_WRITE);
  EXPECT_EQ(ReadAll(replyPath), "No request has been made yet, so there is no fault.\r\n");

  RunningManager host;
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(webApiWriteLastFault(replyPath.c_str()), WEBAPI_NOTHING_TO_WRITE);
  EXPECT_EQ(ReadAll(replyPath), "No fault: the last request (webApiMemRequest) succeeded.\r\n");

  ASSERT_EQ(webApiMemRequest("<x", kTimeout), WEBAPI_MALFORMED_REQUEST);
  EXPECT_EQ(webApiWriteLastReply(replyPath.c_str()), WEBAPI_NOTHING_TO_WRITE);
  const std::string text = ReadAll(replyPath);
  EXPECT_EQ(text.rfind("No reply: the last request (webApiMemRequest) failed with code 3 (malformed request):\r\n", 0),
            0u)
      << text;
  EXPECT_TRUE(Contains(text, "not well-formed XML"));
}

using Call = std::function<std::int32_t()>;
struct EntryCase {
  const char* name;
  Call call;
};
void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }

const EntryCase kRequests[] = {
    {"StatusRequest", [] { return webApiStatusRequest("127.0.0.1:9", kTimeout); }},
    {"MemRequest", [] { return webApiMemRequest("<x/>", kTimeout); }},
    {"MemRequestRaw", [] { return webApiMemRequestRaw("<x/>", kTimeout); }},
    {"FileRequest", [] { return webApiFileRequest("/nonexistent.xml", kTimeout); }},
    {"FileRequestRaw", [] { return webApiFileRequestRaw("/nonexistent.xml", kTimeout); }},
    {"SetRequestPath", [] { return webApiSetRequestPath("/x"); }},
    {"SetFileDump", [] { return webApiSetFileDump(""); }},
    {"SetLogFile", [] { return webApiSetLogFile(""); }},
    {"SetLogLevel", [] { return webApiSetLogLevel(1); }},
};

class StandinNotStarted : public testing::TestWithParam<EntryCase> {};

TEST_P(StandinNotStarted, BeforeStartupAndAfterCleanupSaysNotStarted) {
  EXPECT_EQ(GetParam().call(), WEBAPI_NOT_STARTED);
  ASSERT_EQ(webApiStartup(), WEBAPI_OK);
  ASSERT_EQ(webApiCleanup(), WEBAPI_OK);
  EXPECT_EQ(GetParam().call(), WEBAPI_NOT_STARTED);
}

INSTANTIATE_TEST_SUITE_P(EntryPoints, StandinNotStarted, testing::ValuesIn(kRequests),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(StandinLifecycle, NotStartedFaultCanBeWrittenAndSaysWhatToDo) {
  ScratchFolder folder;
  EXPECT_EQ(webApiMemRequest("<x/>", kTimeout), WEBAPI_NOT_STARTED);
  const std::string path = folder / "fault.txt";
  EXPECT_EQ(webApiWriteLastFault(path.c_str()), WEBAPI_OK);
  EXPECT_TRUE(Contains(ReadAll(path), "The library is not started: webApiMemRequest was called before webApiStartup"));
}

TEST(StandinLifecycle, RepeatedStartupIsHarmlessAndOneCleanupEndsIt) {
  EXPECT_EQ(webApiCleanup(), WEBAPI_NOT_STARTED);
  EXPECT_EQ(webApiStartup(), WEBAPI_OK);
  EXPECT_EQ(webApiSetRequestPath("/kept"), WEBAPI_OK);
  EXPECT_EQ(webApiStartup(), WEBAPI_OK);
  RunningManager host;
  manager::Options kept;
  kept.path = "/kept";
  RunningManager keptHost(kept);
  EXPECT_EQ(webApiMemRequest(Request(keptHost.Address()).c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(webApiCleanup(), WEBAPI_OK);
  EXPECT_EQ(webApiCleanup(), WEBAPI_NOT_STARTED);
  // Started again: fresh settings, nothing left of the last request.
  EXPECT_EQ(webApiStartup(), WEBAPI_OK);
  EXPECT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(webApiCleanup(), WEBAPI_OK);
}

TEST(StandinLifecycle, CleanupForgetsTheLastReply) {
  ScratchFolder folder;
  RunningManager host;
  ASSERT_EQ(webApiStartup(), WEBAPI_OK);
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  ASSERT_EQ(webApiCleanup(), WEBAPI_OK);
  EXPECT_EQ(webApiWriteLastReply((folder / "r.txt").c_str()), WEBAPI_NOTHING_TO_WRITE);
}

class StandinBadArgument : public StandinLibrary, public testing::WithParamInterface<EntryCase> {};

TEST_P(StandinBadArgument, IsRefusedWithoutARequest) {
  EXPECT_EQ(GetParam().call(), WEBAPI_BAD_ARGUMENT);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, "returned 2 (bad argument)")) << fault;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, StandinBadArgument,
    testing::Values(EntryCase{"NullHost", [] { return webApiStatusRequest(nullptr, kTimeout); }},
                    EntryCase{"NullDocument", [] { return webApiMemRequest(nullptr, kTimeout); }},
                    EntryCase{"NullRawDocument", [] { return webApiMemRequestRaw(nullptr, kTimeout); }},
                    EntryCase{"EmptyDocument", [] { return webApiMemRequest("", kTimeout); }},
                    EntryCase{"EmptyRawDocument", [] { return webApiMemRequestRaw("", kTimeout); }},
                    EntryCase{"NullRequestFile", [] { return webApiFileRequest(nullptr, kTimeout); }},
                    EntryCase{"EmptyRequestFile", [] { return webApiFileRequestRaw("", kTimeout); }},
                    EntryCase{"ZeroTimeout", [] { return webApiStatusRequest("localhost:3380", 0); }},
                    EntryCase{"NegativeTimeout", [] { return webApiMemRequest("<x/>", -5); }},
                    EntryCase{"TimeoutOverADay", [] { return webApiMemRequestRaw("<x/>", 86401); }},
                    EntryCase{"NullReplyPath", [] { return webApiFileRequestReply("/x.xml", nullptr, kTimeout); }},
                    EntryCase{"EmptyReplyPath", [] { return webApiFileRequestReplyRaw("/x.xml", "", kTimeout); }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(StandinLibrary, FileRequestReplyWritesTheReplyOrTheFault) {
  RunningManager host;
  const std::string request = folder / "request.xml";
  WriteAll(request, Request(host.Address()));
  EXPECT_EQ(webApiFileRequestReply(request.c_str(), replyPath.c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(ReadAll(replyPath), "<variable number='5' name='base5' value='25' />\r\n");
  EXPECT_EQ(webApiFileRequestReplyRaw(request.c_str(), replyPath.c_str(), kTimeout), WEBAPI_OK);
  EXPECT_TRUE(Contains(ReadAll(replyPath), "<webapireply>"));

  const std::string missing = folder / "missing.xml";
  EXPECT_EQ(webApiFileRequestReply(missing.c_str(), replyPath.c_str(), kTimeout), WEBAPI_REQUEST_FILE);
  EXPECT_TRUE(Contains(ReadAll(replyPath), "does not exist"));

  const std::string unwritable = folder / "no-such-folder/reply.txt";
  EXPECT_EQ(webApiFileRequestReply(request.c_str(), unwritable.c_str(), kTimeout), WEBAPI_WRITE_FAILED);
  // The request itself went through and its reply is still there to write.
  EXPECT_EQ(Reply(), "<variable number='5' name='base5' value='25' />\r\n");
}

TEST_F(StandinLibrary, FileDumpHoldsEachExchange) {
  RunningManager host;
  const std::string dump = folder / "dump.txt";
  ASSERT_EQ(webApiSetFileDump(dump.c_str()), WEBAPI_OK);
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  ASSERT_EQ(webApiStatusRequest(host.Address().c_str(), kTimeout), WEBAPI_OK);
  const std::string text = ReadAll(dump);
  EXPECT_TRUE(Contains(text, "POST http://" + host.Address() + "/webapi, timeout 90 seconds\n")) << text;
  EXPECT_TRUE(Contains(text, "<data>5</data>")) << text;
  EXPECT_TRUE(Contains(text, "---- reply: HTTP/1.1 200 OK")) << text;
  EXPECT_TRUE(Contains(text, "value='25'")) << text;
  EXPECT_TRUE(Contains(text, "GET http://" + host.Address() + "/status")) << text;

  ASSERT_EQ(webApiSetFileDump(""), WEBAPI_OK);
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  EXPECT_EQ(ReadAll(dump), text);
  EXPECT_EQ(webApiSetFileDump((folder / "no-such-folder/dump.txt").c_str()), WEBAPI_WRITE_FAILED);
}

TEST_F(StandinLibrary, LogFollowsTheLevel) {
  RunningManager host;
  const std::string log = folder / "webapi.log";
  ASSERT_EQ(webApiSetLogFile(log.c_str()), WEBAPI_OK);
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  ASSERT_EQ(webApiMemRequest("<x", kTimeout), WEBAPI_MALFORMED_REQUEST);
  std::string text = ReadAll(log);
  EXPECT_TRUE(Contains(text, "INFO  webApiMemRequest (service kqhrx, entry point baseVariable; POST http://")) << text;
  EXPECT_TRUE(Contains(text, "ERROR webApiMemRequest: 3 malformed request: The request document is not well-formed"))
      << text;

  ASSERT_EQ(webApiSetLogLevel(0), WEBAPI_OK);
  ASSERT_EQ(webApiMemRequest("<x", kTimeout), WEBAPI_MALFORMED_REQUEST);
  EXPECT_EQ(ReadAll(log), text);

  ASSERT_EQ(webApiSetLogLevel(4), WEBAPI_OK);
  ASSERT_EQ(webApiStatusRequest(host.Address().c_str(), kTimeout), WEBAPI_OK);
  text = ReadAll(log);
  EXPECT_TRUE(Contains(text, "TRACE > GET /status HTTP/1.1")) << text;

  EXPECT_EQ(webApiSetLogLevel(5), WEBAPI_BAD_ARGUMENT);
  EXPECT_EQ(webApiSetLogLevel(-1), WEBAPI_BAD_ARGUMENT);
  EXPECT_EQ(webApiSetLogFile((folder / "no-such-folder/x.log").c_str()), WEBAPI_WRITE_FAILED);
  EXPECT_EQ(webApiSetLogFile("/dev/full"), WEBAPI_WRITE_FAILED);
}

// A server on a free loopback port that answers every request with the same bytes, then closes.
class CannedServer {
 public:
  explicit CannedServer(std::string answer) : answer_(std::move(answer)), fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      pollfd waiting{fd_, POLLIN, 0};
      while (poll(&waiting, 1, 10000) == 1) {
        const int client = accept(fd_, nullptr, nullptr);
        if (client < 0) break;
        std::string request;
        char chunk[4096];
        pollfd reading{client, POLLIN, 0};
        while (request.find("\r\n\r\n") == std::string::npos && poll(&reading, 1, 5000) == 1) {
          const ssize_t got = recv(client, chunk, sizeof chunk, 0);
          if (got <= 0) break;
          request.append(chunk, static_cast<std::size_t>(got));
        }
        send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
        shutdown(client, SHUT_WR);
        while (poll(&reading, 1, 1000) == 1 && recv(client, chunk, sizeof chunk, 0) > 0) {
        }
        close(client);
      }
    });
  }
  ~CannedServer() {
    shutdown(fd_, SHUT_RDWR);
    thread_.join();
    close(fd_);
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  std::string answer_;
  int fd_;
  int port_ = 0;
  std::thread thread_;
};

std::string Ok(const std::string& body, const std::string& fields = "") {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n" + fields + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}
std::string Repeat(const std::string& part, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += part;
  return text;
}

struct HostileReply {
  const char* name;
  std::string answer;
  std::int32_t code;
  const char* says;
};
void PrintTo(const HostileReply& c, std::ostream* os) { *os << c.name; }

class StandinHostileServer : public StandinLibrary, public testing::WithParamInterface<HostileReply> {};

// Whatever a server answers, the library keeps no more than a bounded multiple of it.
TEST_P(StandinHostileServer, ReplyIsRefusedWithBoundedMemory) {
  const HostileReply& c = GetParam();
  CannedServer server(c.answer);
  const long rest = MemoryKiB(0, "VmRSS");
  EXPECT_EQ(webApiMemRequest(Request(server.Address()).c_str(), kTimeout), c.code);
  EXPECT_LT(MemoryKiB(0, "VmHWM") - rest, 64 << 10);
  const std::string fault = Fault();
  EXPECT_TRUE(Contains(fault, c.says)) << fault.substr(0, 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StandinHostileServer,
    testing::Values(
        HostileReply{"DeeplyNested",
                     Ok("<webapireply><replydata><data>" + Repeat("<e>", 100000) + Repeat("</e>", 100000) +
                        "</data></replydata></webapireply>"),
                     WEBAPI_BAD_REPLY, "nested deeper than 256 levels"},
        HostileReply{"MegabyteHeader", Ok("<x/>", "X-Big: " + std::string(1 << 20, 'a') + "\r\n"), WEBAPI_BAD_REPLY,
                     "has a header larger than 64 KiB"},
        HostileReply{"HundredThousandHeaders", Ok("<x/>", Repeat("X-A: b\r\n", 100000)), WEBAPI_BAD_REPLY,
                     "has a header larger than 64 KiB"}),
    [](const auto& test) { return std::string(test.param.name); });

// In a sticky folder everyone may write (like /tmp), a link another user put there is not
// followed, whatever the kernel's fs.protected_symlinks; the reply stays for another try.
TEST_F(StandinLibrary, ReplyIsNotWrittenThroughALinkAnotherUserPlanted) {
  if (geteuid() != 0) GTEST_SKIP() << "planting a link as another user needs root, to become nobody for the plant";
  const passwd* nobody = getpwnam("nobody");
  if (!nobody) GTEST_SKIP() << "this machine has no user nobody to plant the link";
  RunningManager host;
  ASSERT_EQ(webApiMemRequest(Request(host.Address()).c_str(), kTimeout), WEBAPI_OK);
  const std::string shared = folder / "shared";
  ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(chmod((folder / "").c_str(), 0755), 0);
  const std::string victim = folder / "victim.txt";
  WriteAll(victim, "precious\n");
  const std::string planted = shared + "/reply.txt";
  const std::string victims = folder / "victims";  // a folder, reached through a planted link
  const std::string plantedFolder = shared + "/folder";
  ASSERT_EQ(mkdir(victims.c_str(), 0755), 0);
  // The child of a process with threads may only make calls that take no lock: it allocates
  // nothing, or it could wait forever for a lock another thread held at the fork.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool planted_ok = setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0 &&
                            symlink(victim.c_str(), planted.c_str()) == 0 &&
                            symlink(victims.c_str(), plantedFolder.c_str()) == 0;
    _exit(planted_ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "nobody could not plant the link";
  const std::string log = folder / "webapi.log";
  ASSERT_EQ(webApiSetLogFile(log.c_str()), WEBAPI_OK);

  EXPECT_EQ(webApiWriteLastReply(planted.c_str()), WEBAPI_WRITE_FAILED);
  EXPECT_EQ(ReadAll(victim), "precious\n");
  EXPECT_TRUE(Contains(ReadAll(log), "symbolic link that another user (uid " + std::to_string(nobody->pw_uid) + ")"))
      << ReadAll(log);
  EXPECT_EQ(webApiWriteLastFault((plantedFolder + "/reply.txt").c_str()), WEBAPI_WRITE_FAILED);
  EXPECT_FALSE(std::filesystem::exists(victims + "/reply.txt"));
  EXPECT_TRUE(Contains(Reply(), "value='25'"));

  const std::string own = shared + "/own.txt";  // the caller's own link is followed
  ASSERT_EQ(symlink((folder / "mine.txt").c_str(), own.c_str()), 0);
  EXPECT_EQ(webApiWriteLastReply(own.c_str()), WEBAPI_OK);
  EXPECT_EQ(ReadAll(folder / "mine.txt"), ReadAll(replyPath));
}

TEST(StandinExports, TheWindowFindsEveryEntryPointByName) {
  void* library = dlopen(WEBAPI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const char* name :
       {"webApiStartup", "webApiCleanup", "webApiStatusRequest", "webApiMemRequest", "webApiMemRequestRaw",
        "webApiFileRequest", "webApiFileRequestRaw", "webApiWriteLastReply", "webApiWriteLastFault",
        "webApiSetRequestPath", "webApiSetFileDump", "webApiSetLogFile", "webApiSetLogLevel",
        "webApiFileRequestReply", "webApiFileRequestReplyRaw"})
    EXPECT_NE(dlsym(library, name), nullptr) << name;
  EXPECT_EQ(dlsym(library, "_ZN6webapi10SplitLinesESt17basic_string_viewIcSt11char_traitsIcEE"), nullptr);
  dlclose(library);
}

}  // namespace
