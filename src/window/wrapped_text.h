// The layout of the read-only output pane, apart from any window system: the text cut into
// lines, and lines wrapped into rows of a fixed number of columns (the pane's font has a fixed
// pitch). Holds millions of lines cheaply: one offset per line, rows computed on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace webapitest {

class WrappedText {
 public:
  struct Row {
    std::size_t offset;  // of the row's first character in Text()
    std::size_t length;  // characters shown in the row, line break excluded
  };

  // Lines end at LF; a CR directly before it belongs to the break. Text past 4 Gi characters
  // is not kept.
  void Assign(std::u16string text);
  // The pane's width in characters, at least 1.
  void SetColumns(std::size_t columns);

  std::u16string_view Text() const { return text_; }
  std::size_t columns() const { return columns_; }
  std::size_t RowCount() const;
  Row RowAt(std::size_t row) const;

  // The row that shows the caret at offset; an offset at the end of a line stays on the
  // line's last row.
  std::size_t RowOf(std::size_t offset) const;
  // The caret offset nearest to a column of a row (clamped to the row's text).
  std::size_t OffsetAt(std::size_t row, std::size_t column) const;

  // The offset of the character shown in a cell of a row. Past the row's characters: the
  // line break on a line's last row, else the row's last character.
  std::size_t CharAt(std::size_t row, std::size_t cell) const;
  // Whether a line break (LF, or CR LF) starts at offset.
  bool AtBreak(std::size_t offset) const;
  // The caret position at or before offset: not past the end, not between CR and LF.
  std::size_t Clamp(std::size_t offset) const;

  // The caret's column within the row that shows it.
  std::size_t ColumnOf(std::size_t offset) const;

  // Where a caret key takes the caret from offset. Rows up and down keep to goalColumn (the
  // column where the vertical moves began); a page is `page` rows.
  enum class Motion { Left, Right, Up, Down, PageUp, PageDown, RowStart, RowEnd, TextStart, TextEnd };
  std::size_t Move(std::size_t offset, Motion motion, std::size_t goalColumn, std::size_t page) const;
  // Whether a motion keeps the goal column (moves between rows) rather than setting it anew.
  static bool KeepsColumn(Motion motion) {
    return motion == Motion::Up || motion == Motion::Down || motion == Motion::PageUp || motion == Motion::PageDown;
  }

  // Caret moves over characters: a line break counts as one step.
  std::size_t Previous(std::size_t offset) const;
  std::size_t Next(std::size_t offset) const;
  // The selected text, line breaks as stored (CR LF).
  std::u16string_view Slice(std::size_t from, std::size_t to) const;

 private:
  std::size_t LineOf(std::size_t offset) const;
  std::size_t LineLength(std::size_t line) const;  // without its break
  std::size_t RowsOf(std::size_t line) const;

  std::u16string text_;
  std::size_t columns_ = 80;
  std::vector<std::uint32_t> lineStart_{0};
  // Rows before each line; empty while no line is wider than the pane (then row == line).
  std::vector<std::uint32_t> rowBefore_;
  std::size_t rowCount_ = 1;
};

}  // namespace webapitest
