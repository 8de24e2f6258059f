// The output pane's layout: lines, rows and caret steps.
#include <gtest/gtest.h>

#include "window/wrapped_text.h"

namespace webapitest {
namespace {

std::u16string RowText(const WrappedText& w, std::size_t row) {
  const WrappedText::Row r = w.RowAt(row);
  return std::u16string(w.Text().substr(r.offset, r.length));
}

TEST(WrappedText, ShortLinesAreOneRowEach) {
  WrappedText w;
  w.SetColumns(10);
  w.Assign(u"one\r\ntwo\r\n\r\nfour\r\n");
  EXPECT_EQ(w.RowCount(), 5u);  // the empty line after the last break is where the caret can go
  EXPECT_EQ(RowText(w, 0), u"one");
  EXPECT_EQ(RowText(w, 2), u"");
  EXPECT_EQ(RowText(w, 3), u"four");
  EXPECT_EQ(RowText(w, 4), u"");
}

TEST(WrappedText, LongLinesWrapAtTheColumnCount) {
  WrappedText w;
  w.SetColumns(4);
  w.Assign(u"abcdefghij\r\nxy\nabcd");
  EXPECT_EQ(w.RowCount(), 3u + 1u + 1u);
  EXPECT_EQ(RowText(w, 0), u"abcd");
  EXPECT_EQ(RowText(w, 1), u"efgh");
  EXPECT_EQ(RowText(w, 2), u"ij");
  EXPECT_EQ(RowText(w, 3), u"xy");  // a lone LF breaks the line too
  EXPECT_EQ(RowText(w, 4), u"abcd");
  EXPECT_EQ(RowText(w, 99), u"abcd");  // rows past the end clamp to the last
}

TEST(WrappedText, ColumnsCanChangeAfterTheText) {
  WrappedText w;
  w.Assign(std::u16string(100, u'x'));
  EXPECT_EQ(w.RowCount(), 2u);  // 80 columns until told otherwise
  w.SetColumns(10);
  EXPECT_EQ(w.RowCount(), 10u);
  w.SetColumns(0);
  EXPECT_EQ(w.columns(), 1u);
  EXPECT_EQ(w.RowCount(), 100u);
}

TEST(WrappedText, CaretOffsetsMapToRowsAndBack) {
  WrappedText w;
  w.SetColumns(4);
  w.Assign(u"abcdefgh\r\nxy");
  EXPECT_EQ(w.RowOf(0), 0u);
  EXPECT_EQ(w.RowOf(4), 1u);  // a wrapped row starts with the character after the cut
  EXPECT_EQ(w.RowOf(8), 1u);  // the end of a line stays on its last row
  EXPECT_EQ(w.RowOf(10), 2u);
  EXPECT_EQ(w.RowOf(500), 2u);
  EXPECT_EQ(w.OffsetAt(1, 2), 6u);
  EXPECT_EQ(w.OffsetAt(2, 9), 12u);  // past a row's end: its end
}

TEST(WrappedText, CaretStepsTreatALineBreakAsOneCharacter) {
  WrappedText w;
  w.Assign(u"ab\r\ncd");
  EXPECT_EQ(w.Next(1), 2u);
  EXPECT_EQ(w.Next(2), 4u);  // over CR LF
  EXPECT_EQ(w.Previous(4), 2u);
  EXPECT_EQ(w.Previous(0), 0u);
  EXPECT_EQ(w.Next(6), 6u);
  EXPECT_EQ(w.Slice(5, 1), u"b\r\nc");
}

TEST(WrappedText, EmptyTextHasOneEmptyRow) {
  WrappedText w;
  w.Assign(u"");
  EXPECT_EQ(w.RowCount(), 1u);
  EXPECT_EQ(RowText(w, 0), u"");
  EXPECT_EQ(w.RowOf(0), 0u);
  EXPECT_EQ(w.Next(0), 0u);
}

TEST(WrappedText, ManyLinesAndOneHugeLineAreCheapToLayOut) {
  WrappedText w;
  w.SetColumns(69);
  std::u16string many;
  for (int i = 0; i < 200000; ++i) many += u"\r\n";
  w.Assign(many);
  EXPECT_EQ(w.RowCount(), 200001u);
  w.Assign(std::u16string(16u << 20, u'y'));
  EXPECT_EQ(w.RowCount(), ((16u << 20) + 68) / 69);
  EXPECT_EQ(w.RowAt(w.RowCount() - 1).length, (16u << 20) % 69);
}

}  // namespace
}  // namespace webapitest
