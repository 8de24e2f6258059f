// The output pane's own line breaking: where long lines break, and copying maps back to the
// reply exactly.
#include <gtest/gtest.h>

#include "window/win32/pane_text.h"

namespace webapitest::win32 {
namespace {

struct BreakRow {
  const char* name;
  std::size_t columns;
  std::u16string text;
  std::u16string shown;
};

void PrintTo(const BreakRow& row, std::ostream* out) { *out << row.name; }

class PaneTextBreaks : public ::testing::TestWithParam<BreakRow> {};

TEST_P(PaneTextBreaks, LongLinesWhereTheEditWouldAndCopiesBackWhole) {
  const BreakRow& row = GetParam();
  const PaneText pane(row.text, row.columns);
  EXPECT_EQ(pane.shown(), row.shown);
  EXPECT_EQ(pane.original(), row.text);
  EXPECT_EQ(pane.OriginalOf(0, pane.shown().size()), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Output, PaneTextBreaks,
    ::testing::Values(
        BreakRow{"Empty", 4, u"", u""},
        BreakRow{"FitsExactly", 3, u"abc\r\ndef\r\n", u"abc\r\ndef\r\n"},
        BreakRow{"LongWordBreaksAtTheWidth", 3, u"abcdefgh", u"abc\r\ndef\r\ngh"},
        BreakRow{"AfterTheLastBlankThatFits", 6, u"ab cd ef gh", u"ab cd \r\nef gh"},
        BreakRow{"BlanksAtTheWidthHang", 4, u"abcd  efgh", u"abcd  \r\nefgh"},
        BreakRow{"OnlyBlanksLeftNeedNoBreak", 4, u"abcd   ", u"abcd   "},
        BreakRow{"EachLineOnItsOwn", 3, u"abcd\r\nefgh\r\n", u"abc\r\nd\r\nefg\r\nh\r\n"},
        BreakRow{"ALoneLineFeedEndsALine", 3, u"ab\ncd", u"ab\ncd"},
        BreakRow{"ALoneCarriageReturnDoesNot", 3, u"ab\rcd", u"ab\r\r\ncd"},
        BreakRow{"SurrogatePairStaysWhole", 3, u"ab\U0001F600c", u"ab\r\n\U0001F600c"},
        BreakRow{"OneColumn", 1, u"ab", u"a\r\nb"},
        BreakRow{"NoColumnsCountAsOne", 0, u"ab", u"a\r\nb"}),
    [](const auto& row) { return std::string(row.param.name); });

struct CopyRow {
  const char* name;
  std::size_t first, last;
  std::u16string copied;
};

void PrintTo(const CopyRow& row, std::ostream* out) { *out << row.name; }

class PaneTextCopy : public ::testing::TestWithParam<CopyRow> {};

// "abcdef\r\ngh" at 3 columns is shown as "abc", "def", "gh": the first break is the pane's.
TEST_P(PaneTextCopy, MapsASelectionOfTheShownTextToTheReply) {
  const PaneText pane(u"abcdef\r\ngh", 3);
  ASSERT_EQ(pane.shown(), u"abc\r\ndef\r\ngh");
  EXPECT_EQ(pane.OriginalOf(GetParam().first, GetParam().last), GetParam().copied);
}

INSTANTIATE_TEST_SUITE_P(Output, PaneTextCopy,
                         ::testing::Values(CopyRow{"AcrossThePanesBreak", 1, 7, u"bcde"},
                                           CopyRow{"AcrossTheRepliesBreak", 6, 12, u"ef\r\ngh"},
                                           CopyRow{"FromInsideThePanesBreak", 4, 6, u"d"},
                                           CopyRow{"ToInsideThePanesBreak", 0, 4, u"abc"},
                                           CopyRow{"OnlyThePanesBreak", 3, 5, u""},
                                           CopyRow{"PastTheEnd", 10, 99, u"gh"},
                                           CopyRow{"Backwards", 5, 2, u""}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace webapitest::win32
