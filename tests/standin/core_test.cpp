// The library's parts behind the entry points: lines, positions, code pages, hosts, documents.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/common.h"
#include "library/core.h"
#include "support.h"

namespace {

using webapi::CheckedRequest;
using standin::HostPort;
using webapi::Outcome;
using Lines = std::vector<std::string>;

std::string Joined(const Lines& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

struct SplitCase {
  const char* name;
  std::string text;
  Lines lines;
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class StandinSplitLines : public testing::TestWithParam<SplitCase> {};

TEST_P(StandinSplitLines, SplitsAtEveryKindOfLineBreak) { EXPECT_EQ(webapi::SplitLines(GetParam().text), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    Texts, StandinSplitLines,
    testing::Values(SplitCase{"Empty", "", {}}, SplitCase{"OneLineNoBreak", "a", {"a"}},
                    SplitCase{"FinalBreakAddsNoLine", "a\r\n", {"a"}},
                    SplitCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                    SplitCase{"EmptyLinesKept", "\r\n\r\nx\n\n", {"", "", "x", ""}},
                    SplitCase{"CrCrLfIsTwoBreaks", "a\r\r\nb", {"a", "", "b"}},
                    SplitCase{"NulStays", std::string("a\0b", 3), {std::string("a\0b", 3)}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(StandinPositionAt, CountsLinesAndCharactersNotBytes) {
  const std::string text = "ab\r\nc\xC3\xA9" "d\nx\ry";
  EXPECT_EQ(standin::PositionAt(text, 0).line, 1u);
  EXPECT_EQ(standin::PositionAt(text, 4).line, 2u);
  EXPECT_EQ(standin::PositionAt(text, 4).column, 1u);
  // After "c" and the two bytes of é: column 3.
  EXPECT_EQ(standin::PositionAt(text, 7).column, 3u);
  EXPECT_EQ(standin::PositionAt(text, 11).line, 4u);  // a lone CR breaks a line too
  EXPECT_EQ(standin::PositionAt(text, 999).line, 4u);  // past the end: the end
}

TEST(StandinRecode, ConvertsBetweenLatin1AndUtf8) {
  EXPECT_EQ(webapi::Recode("gr\xFC\xDF", "ISO-8859-1", "UTF-8"), "gr\xC3\xBC\xC3\x9F");
  EXPECT_EQ(webapi::Recode("gr\xC3\xBC\xC3\x9F", "UTF-8", "ISO-8859-1"), "gr\xFC\xDF");
}

TEST(StandinRecode, WhatCannotBeConvertedBecomesAQuestionMark) {
  // The euro sign has no Latin-1 counterpart; a broken sequence cannot be read at all.
  EXPECT_EQ(webapi::Recode("a\xE2\x82\xAC" "b", "UTF-8", "ISO-8859-1"), "a?b");
  EXPECT_EQ(webapi::Recode("a\xC3" "b\xFF", "UTF-8", "ISO-8859-1"), "a?b?");
  // Long text crosses the converter's buffer boundary intact.
  const std::string longText(10000, '\xE9');
  EXPECT_EQ(webapi::Recode(longText, "ISO-8859-1", "UTF-8").size(), 20000u);
}

TEST(StandinRecode, UnknownCodesetLeavesTextAlone) { EXPECT_EQ(webapi::Recode("abc", "NO-SUCH-SET", "UTF-8"), "abc"); }

struct HostCase {
  const char* name;
  const char* text;
  bool valid;
  const char* host;
  int port;
};
void PrintTo(const HostCase& c, std::ostream* os) { *os << c.name; }

class StandinParseHostPort : public testing::TestWithParam<HostCase> {};

TEST_P(StandinParseHostPort, AcceptsOnlyHostColonPort) {
  const HostCase& c = GetParam();
  std::string why;
  const auto parsed = standin::ParseHostPort(c.text, why);
  ASSERT_EQ(parsed.has_value(), c.valid) << why;
  if (c.valid) {
    EXPECT_EQ(parsed->host, c.host);
    EXPECT_EQ(parsed->port, c.port);
    EXPECT_TRUE(why.empty());
  } else {
    EXPECT_FALSE(why.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, StandinParseHostPort,
    testing::Values(HostCase{"Name", "localhost:3380", true, "localhost", 3380},
                    HostCase{"Ipv4", "127.0.0.1:1", true, "127.0.0.1", 1},
                    HostCase{"Ipv6", "[::1]:65535", true, "::1", 65535},
                    HostCase{"Empty", "", false, "", 0}, HostCase{"NoPort", "localhost", false, "", 0},
                    HostCase{"EmptyPort", "localhost:", false, "", 0}, HostCase{"PortZero", "localhost:0", false, "", 0},
                    HostCase{"PortTooLarge", "localhost:65536", false, "", 0},
                    HostCase{"PortHuge", "localhost:99999999999999999999", false, "", 0},
                    HostCase{"PortNotNumber", "localhost:80a", false, "", 0},
                    HostCase{"NoName", ":3380", false, "", 0},
                    HostCase{"UrlInjection", "evil.example/x?:80", false, "", 0},
                    HostCase{"UserInfo", "user@127.0.0.1:80", false, "", 0},
                    HostCase{"Space", "local host:80", false, "", 0},
                    HostCase{"BareIpv6", "::1:3380", false, "", 0},
                    HostCase{"UnclosedIpv6", "[::1:3380", false, "", 0},
                    HostCase{"Ipv6WithName", "[abc.example]:80", false, "", 0},
                    HostCase{"HexWordInBrackets", "[cafe]:80", false, "", 0},
                    HostCase{"MappedIpv4", "[::ffff:127.0.0.1]:80", true, "::ffff:127.0.0.1", 80}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(StandinCheckRequest, AcceptsTheWindowsTemplate) {
  CheckedRequest checked;
  const Outcome outcome = webapi::CheckRequest(standin_test::Request("127.0.0.1:3380"), checked);
  ASSERT_TRUE(outcome.ok()) << Joined(outcome.lines);
  EXPECT_EQ(checked.server.Authority(), "127.0.0.1:3380");
  EXPECT_EQ(checked.service, "kqhrx");
  EXPECT_EQ(checked.entrypoint, "baseVariable");
}

struct MalformedCase {
  const char* name;
  std::string document;
  std::vector<std::string> mentions;  // what the first fault line must say
};
void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }

class StandinCheckRequestFault : public testing::TestWithParam<MalformedCase> {};

TEST_P(StandinCheckRequestFault, SaysWhatIsWrongAndWhere) {
  CheckedRequest checked;
  const Outcome outcome = webapi::CheckRequest(GetParam().document, checked);
  ASSERT_EQ(outcome.code, WEBAPI_MALFORMED_REQUEST);
  ASSERT_FALSE(outcome.lines.empty());
  for (const auto& mention : GetParam().mentions)
    EXPECT_NE(outcome.lines.front().find(mention), std::string::npos) << outcome.lines.front() << "\nlacks: " << mention;
}

INSTANTIATE_TEST_SUITE_P(
    Documents, StandinCheckRequestFault,
    testing::Values(
        MalformedCase{"Empty", "", {"not well-formed", "line 1, column 1"}},
        MalformedCase{"MismatchedEndTag",
                      "<kqxml>\r\n <webapirequest>\r\n  <server host='a:1'>\r\n </webapirequest>\r\n</kqxml>",
                      {"not well-formed", "line 4"}},
        MalformedCase{"BadAttribute", "<kqxml>\n <webapirequest x=1/>\n</kqxml>", {"line 2, column 19"}},
        MalformedCase{"NoRequestElement", "<kqxml>\n <other/>\n</kqxml>", {"no webapirequest", "<kqxml>", "line 1, column 1"}},
        MalformedCase{"NoServer", "<kqxml>\n <webapirequest>\n  <service name='a' entrypoint='b'/>\n </webapirequest>\n</kqxml>",
                      {"no server element", "line 2, column 2"}},
        MalformedCase{"EmptyServerHost",
                      "<kqxml><webapirequest><server host=''/><service name='a' entrypoint='b'/></webapirequest></kqxml>",
                      {"no host attribute", "column 23"}},
        MalformedCase{"UnusableServerHost",
                      "<kqxml><webapirequest><server host='a b:1'/><service name='a' entrypoint='b'/></webapirequest></kqxml>",
                      {"unusable host"}},
        MalformedCase{"NoService", "<kqxml><webapirequest><server host='a:1'/></webapirequest></kqxml>",
                      {"no service element"}},
        MalformedCase{"NoEntryPoint",
                      "<kqxml><webapirequest><server host='a:1'/><service name='a'/></webapirequest></kqxml>",
                      {"entrypoint attribute"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(StandinCheckRequest, ShowsTheFaultyLineWithACaret) {
  CheckedRequest checked;
  const Outcome outcome = webapi::CheckRequest("<kqxml>\n  <webapirequest <\n</kqxml>", checked);
  ASSERT_EQ(outcome.lines.size(), 3u);
  EXPECT_EQ(outcome.lines[1], "    <webapirequest <");
  EXPECT_EQ(outcome.lines[2], "  " + std::string(outcome.lines[1].find('<', 5) - 2, ' ') + "^");
}

TEST(StandinCheckRequest, AcceptsWebapirequestAsTheRoot) {
  CheckedRequest checked;
  EXPECT_TRUE(webapi::CheckRequest("<webapirequest><server host='h:1'/><service name='a' entrypoint='b'/></webapirequest>",
                                   checked)
                  .ok());
}

TEST(StandinFindServer, FindsTheHostInWellFormedAndBrokenDocuments) {
  HostPort server;
  ASSERT_TRUE(webapi::FindServer(standin_test::Request("127.0.0.1:4000"), server).ok());
  EXPECT_EQ(server.port, 4000);
  // Not well-formed, yet the server element is intact.
  ASSERT_TRUE(webapi::FindServer("<kqxml><webapirequest><server\r\n host = \"h:4001\"/><oops></kqxml>", server).ok());
  EXPECT_EQ(server.Authority(), "h:4001");
  // <serverx host=...> and xhost= are not it.
  EXPECT_EQ(webapi::FindServer("<serverx host='h:1'/><server xhost='h:2'", server).code, WEBAPI_MALFORMED_REQUEST);
}

TEST(StandinFindServer, RefusesMissingAndUnusableHosts) {
  HostPort server;
  EXPECT_EQ(webapi::FindServer("", server).code, WEBAPI_MALFORMED_REQUEST);
  EXPECT_EQ(webapi::FindServer("<kqxml/>", server).code, WEBAPI_MALFORMED_REQUEST);
  EXPECT_EQ(webapi::FindServer("<server host='h/x:1'/>", server).code, WEBAPI_MALFORMED_REQUEST);
}

std::string Nested(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<e>";
  text += "x";
  for (std::size_t i = 0; i < depth; ++i) text += "</e>";
  return text;
}
std::string InData(const std::string& data) {
  return "<webapireply><replydata><data>" + data + "</data></replydata></webapireply>";
}

// Data kept from a reply is bounded by the reply's size, however its elements are nested.
TEST(StandinReadReply, DataIsKeptWithinAMultipleOfTheReply) {
  std::string wide;
  for (int i = 0; i < 20000; ++i) wide += "<f/>";
  const std::string body = InData(Nested(200).replace(200 * 3, 1, wide));
  const Outcome outcome = webapi::ReadReply(body, "h:1");
  ASSERT_EQ(outcome.code, WEBAPI_OK) << Joined(outcome.lines).substr(0, 500);
  std::size_t kept = 0;
  for (const auto& line : outcome.lines) kept += line.size() + 2;
  EXPECT_LE(kept, 4 * body.size() + (64u << 10));
  EXPECT_NE(Joined(outcome.lines).find("<f/><f/>"), std::string::npos);
}

struct ReplyCase {
  const char* name;
  std::string body;
  std::int32_t code;
  Lines lines;  // the whole outcome for code 0, the leading lines otherwise
};
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class StandinReadReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(StandinReadReply, TakesTheDataOrTellsTheFault) {
  const ReplyCase& c = GetParam();
  const Outcome outcome = webapi::ReadReply(c.body, "h:1");
  ASSERT_EQ(outcome.code, c.code) << Joined(outcome.lines);
  if (c.code == WEBAPI_OK) {
    EXPECT_EQ(outcome.lines, c.lines);
  } else {
    ASSERT_GE(outcome.lines.size(), c.lines.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i)
      EXPECT_NE(outcome.lines[i].find(c.lines[i]), std::string::npos) << outcome.lines[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StandinReadReply,
    testing::Values(
        ReplyCase{"TextData",
                  "<kqxml><webapireply><replydata><data>\n  one\n  two\n</data></replydata></webapireply></kqxml>",
                  WEBAPI_OK, {"  one", "  two"}},
        ReplyCase{"MarkupData",
                  "<kqxml><webapireply><replydata><data>\n <v n='1'/>\n <v n='2'><w/></v></data></replydata>"
                  "</webapireply></kqxml>",
                  WEBAPI_OK, {"<v n='1' />", "<v n='2'>", " <w />", "</v>"}},
        ReplyCase{"SeveralData", "<webapireply><replydata><data>a</data><data>b</data></replydata></webapireply>",
                  WEBAPI_OK, {"a", "b"}},
        ReplyCase{"NoDataElement", "<webapireply><replydata>plain</replydata></webapireply>", WEBAPI_OK, {"plain"}},
        ReplyCase{"EmptyData", "<webapireply><replydata><data/></replydata></webapireply>", WEBAPI_OK, {}},
        ReplyCase{"Fault",
                  "<kqxml><webapireply><service name='s' entrypoint='e'/><fault code='103' message='No such thing.'>"
                  "<detail>try this</detail></fault></webapireply></kqxml>",
                  WEBAPI_SERVER_FAULT, {"Server fault 103 from h:1 (service s, entry point e)", "No such thing.", "try this"}},
        ReplyCase{"Empty", "", WEBAPI_BAD_REPLY, {"empty"}},
        ReplyCase{"NotXml", "Hello\nthere", WEBAPI_BAD_REPLY, {"not well-formed XML", "The reply begins:", "  Hello"}},
        ReplyCase{"NotAReply", "<kqxml><webapirequest/></kqxml>", WEBAPI_BAD_REPLY, {"not a reply document"}},
        ReplyCase{"NeitherDataNorFault", "<kqxml><webapireply/></kqxml>", WEBAPI_BAD_REPLY, {"neither replydata nor a fault"}},
        ReplyCase{"TooDeep", InData(Nested(254)), WEBAPI_BAD_REPLY, {"nested deeper than 256 levels"}}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
