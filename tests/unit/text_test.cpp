// Text between the window (UTF-16) and the library (the system's 8-bit code page).
#include <gtest/gtest.h>

#include <clocale>

#include "text/text.h"
#include "client/request_template.h"

namespace webapitest {
namespace {

TEST(Text, TheTemplateIsElevenLinesOf294Characters) {
  EXPECT_EQ(RequestTemplate.size(), 294u);
  EXPECT_EQ(RequestTemplate.back(), u'>');
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < RequestTemplate.size(); ++i) {
    if (RequestTemplate[i] == u'\n') {
      ++breaks;
      EXPECT_EQ(RequestTemplate[i - 1], u'\r');
    }
  }
  EXPECT_EQ(breaks, 10u);
  EXPECT_EQ(RequestTemplate.substr(0, 23), u"<kqxml version='1.0'>\r\n");
  EXPECT_NE(RequestTemplate.find(u"\r\n   <data>5</data>\r\n"), std::u16string_view::npos);
}

TEST(Text, AsciiPassesBothWaysUnchanged) {
  const std::u16string text = u"line one\r\n\tline two <x a='1'/>";
  EXPECT_EQ(ToAnsi(text), "line one\r\n\tline two <x a='1'/>");
  EXPECT_EQ(FromAnsi(ToAnsi(text)), text);
  EXPECT_EQ(FromAnsi(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Text, Utf8ForMessages) {
  const std::u16string text = u"caf\u00e9 \u4e2d \U0001F600";
  EXPECT_EQ(ToUtf8(text), "caf\xc3\xa9 \xe4\xb8\xad \xf0\x9f\x98\x80");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  // Broken input becomes replacement characters and reading goes on.
  EXPECT_EQ(FromUtf8("a\xff" "b\xe4\xb8" "c"), u"a\uFFFDb\uFFFDc");
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xef\xbf\xbdx");
}

#ifdef _WIN32

// Wine's and a Western Windows' code page is 1252.
TEST(Text, CharactersOutsideTheCodePageBecomeItsDefaultCharacter) {
  EXPECT_EQ(ToAnsi(u"caf\u00e9 \u4e2d"), "caf\xe9 ?");
  EXPECT_EQ(FromAnsi("caf\xe9"), u"caf\u00e9");
}

#else

// Runs body with the process locale switched to name, then restores the C locale.
template <typename Body>
void InLocale(const char* name, Body body) {
  if (!std::setlocale(LC_ALL, name)) GTEST_SKIP() << name << " is not installed";
  body();
  std::setlocale(LC_ALL, "C");
}

TEST(Text, CharactersOutsideAsciiBecomeQuestionMarksInTheCLocale) {
  InLocale("C", [] {
    EXPECT_EQ(ToAnsi(u"caf\u00e9 \U0001F600!"), "caf? ?!");
    EXPECT_EQ(FromAnsi("caf\xe9"), u"caf\uFFFD");
  });
}

TEST(Text, Utf8LocalesKeepEveryCharacter) {
  InLocale("C.UTF-8", [] {
    const std::u16string text = u"caf\u00e9 \u4e2d \U0001F600";
    EXPECT_EQ(FromAnsi(ToAnsi(text)), text);
    EXPECT_EQ(FromAnsi("ok\xff"), u"ok\uFFFD");
  });
}

#endif

}  // namespace
}  // namespace webapitest
