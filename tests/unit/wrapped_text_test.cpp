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
  EXPECT_EQ(w.LineCount(), 5u);  // the empty line after the last break is where the caret can go
  EXPECT_EQ(w.RowCount(), 5u);
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

TEST(WrappedText, CaretKeysKeepToTheirColumnAndStopAtTheEnds) {
  using Motion = WrappedText::Motion;
  WrappedText w;
  w.SetColumns(4);
  w.Assign(u"abcdefgh\r\nxy\r\nlonger");  // rows: abcd efgh xy long er
  EXPECT_EQ(w.Move(3, Motion::Down, 3, 1), 7u);    // d -> h
  EXPECT_EQ(w.Move(7, Motion::Down, 3, 1), 12u);   // h -> the end of "xy", the column kept aside
  EXPECT_EQ(w.Move(12, Motion::Down, 3, 1), 17u);  // and back to column 3 in "long"
  EXPECT_EQ(w.Move(1, Motion::Up, 1, 1), 1u);      // the first row: nowhere to go
  EXPECT_EQ(w.Move(1, Motion::PageDown, 1, 10), 19u);
  EXPECT_EQ(w.Move(19, Motion::PageUp, 1, 3), 5u);
  EXPECT_EQ(w.Move(5, Motion::RowStart, 0, 1), 4u);
  EXPECT_EQ(w.Move(5, Motion::RowEnd, 0, 1), 8u);
  EXPECT_EQ(w.Move(5, Motion::TextEnd, 0, 1), w.Text().size());
  EXPECT_EQ(w.Move(5, Motion::TextStart, 0, 1), 0u);
  EXPECT_EQ(w.Move(8, Motion::Right, 0, 1), 10u);  // over the line break
  EXPECT_EQ(w.ColumnOf(17), 3u);
  EXPECT_TRUE(WrappedText::KeepsColumn(Motion::PageUp));
  EXPECT_FALSE(WrappedText::KeepsColumn(Motion::RowEnd));
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
