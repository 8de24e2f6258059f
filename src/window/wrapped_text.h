// The layout of the read-only output pane, apart from any window system: the text cut into
// lines, and lines wrapped into rows of a fixed number of cells (the pane's font has a fixed
// pitch). Holds millions of lines cheaply: one offset per line, and one per row only once a
// line needs more than one row; the rows are worked out again when the width changes.
//
// Cells: a tab reaches the next stop of every 8 cells of its row; any other character takes
// the cells that characters.h gives it (two when East Asian wide, else one; a surrogate pair
// is one character). A combining mark or zero-width format character takes no cell: it
// belongs to the character before it, and the caret never stops between them. Wrapping: a row ends after the last blank (space or tab) that fits it,
// and the blanks at a break stay on the row they end, even past its width; a word longer than
// a row breaks at the row's end, and a character that does not fit moves to the next row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace webapitest {

class WrappedText {
 public:
  static constexpr std::size_t kTabStop = 8;

  struct Row {
    std::size_t offset;  // of the row's first character in Text()
    std::size_t length;  // UTF-16 units shown in the row, line break excluded
  };

  // Lines end at LF; a CR directly before it belongs to the break. Text past 4 Gi characters
  // is not kept.
  void Assign(std::u16string text);
  // The pane's width in cells, at least 1.
  void SetColumns(std::size_t columns);

  std::u16string_view Text() const { return text_; }
  std::size_t columns() const { return columns_; }
  std::size_t RowCount() const;
  Row RowAt(std::size_t row) const;  // rows past the end give the last

  // The row that shows the caret at offset: a caret where a row wraps is at the start of the
  // next row; an offset at the end of a line stays on the line's last row.
  std::size_t RowOf(std::size_t offset) const;
  // The caret's column, in cells, within the row that shows it.
  std::size_t ColumnOf(std::size_t offset) const;
  // The caret place nearest to a column of a row (in cells, a fraction telling where in a
  // cell). On a row that wraps, the place before its last character is as far as it goes,
  // so that the caret stays on the row, unless `pastWrap`: then a column past the middle of
  // that character gives the row's end, where the next row starts.
  std::size_t OffsetAt(std::size_t row, double column, bool pastWrap = false) const;
  // The offset of the character shown in a cell of a row. Past the row's characters: the
  // line break on a line's last row, else the row's last character.
  std::size_t CharAt(std::size_t row, std::size_t cell) const;
  // The cells of the character at offset when it starts at `column` of its row.
  std::size_t CellsAt(std::size_t offset, std::size_t column) const;
  // The UTF-16 units of the character at offset with the marks drawn over it (a surrogate
  // pair is one character).
  std::size_t UnitsAt(std::size_t offset) const;
  // The line that holds offset, its break excluded.
  Row LineAround(std::size_t offset) const;
  // Whether a line break (LF, or CR LF) starts at offset.
  bool AtBreak(std::size_t offset) const;
  // The caret place at or before offset: not past the end, not inside a CR LF, a surrogate
  // pair or a character with its marks.
  std::size_t Clamp(std::size_t offset) const;
  // The furthest caret place shown on a row: its end on a line's last row, else the place
  // before its last character (see OffsetAt).
  std::size_t LastCaret(std::size_t row) const;

  // Caret moves over characters: a line break or a surrogate pair counts as one step.
  std::size_t Previous(std::size_t offset) const;
  std::size_t Next(std::size_t offset) const;
  // Offsets as they count in the text with LF breaks (every CR before an LF left out), as
  // screen readers are given it, and back; both in the time of a search through the lines.
  std::size_t LfOffset(std::size_t offset) const;
  std::size_t FromLfOffset(std::size_t lfOffset) const;
  // The selected text, line breaks as stored (CR LF).
  std::u16string_view Slice(std::size_t from, std::size_t to) const;

 private:
  std::size_t LineOf(std::size_t offset) const;
  std::size_t PointUnits(std::size_t offset) const;  // 2 for a surrogate pair, else 1
  bool Joins(std::size_t offset) const;  // a mark at offset, drawn over the character before it
  std::size_t LineLength(std::size_t line) const;  // without its break
  bool Plain(std::size_t line, bool orBlank) const;  // no tabs, wide characters (or blanks)
  void WrapLine(std::size_t line, std::vector<std::uint32_t>& starts) const;  // adds rows after the first

  std::u16string text_;
  std::size_t columns_ = 80;
  std::vector<std::uint32_t> lineStart_{0};
  std::vector<std::uint32_t> crsBefore_;  // the CRs of CR LF breaks before each line; empty when none
  // The first offset of every row; empty while every line fits one row (then row == line).
  std::vector<std::uint32_t> rowStart_;
};

}  // namespace webapitest
