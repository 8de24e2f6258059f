// The output pane's state apart from any window system: the text and its layout, the caret
// and the selection, the word under the mouse and the rows on screen. Each front end maps its
// keys and mouse onto it and paints the rows it says are visible; nothing else.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "window/wrapped_text.h"

namespace webapitest {

class PaneModel {
 public:
  // The caret keys: a character either way, a row up or down (keeping to the column where
  // the moves between rows began), a page of rows, the start or end of a row or of the text.
  enum class Motion { Left, Right, Up, Down, PageUp, PageDown, RowStart, RowEnd, TextStart, TextEnd };

  // A place in the pane: rows counted from the first row on screen (negative: above the
  // pane, where a drag going up takes the text with it; page() and on: below it), columns
  // from the left edge of the text in cells, with the fraction telling which half of a cell.
  struct Point {
    long long row;
    double column;
  };

  // A piece of a row to paint: `text` fills `cells` cells from `column`, in the selection's
  // colours when `selected`. A tab is a run of blanks to its stop, a wide character a run of
  // its own over two cells, a character with combining marks a run of its own with its marks
  // (the font draws them over it); control characters show as blanks. A selected line break
  // is one blank cell after the row's text.
  struct Run {
    std::size_t column;
    std::size_t cells;
    std::u16string text;
    bool selected;
  };

  // Lines separated by CR LF (or LF). The caret goes to the start, nothing is selected and
  // the text's first row is the first on screen.
  void SetText(std::u16string text);
  std::u16string_view Text() const { return layout_.Text(); }
  // Offsets in the text with LF breaks, as screen readers count them, and back (see WrappedText).
  std::size_t LfOffset(std::size_t offset) const { return layout_.LfOffset(offset); }
  std::size_t FromLfOffset(std::size_t lfOffset) const { return layout_.FromLfOffset(lfOffset); }

  // The pane's size in whole cells, each at least 1. The rows on screen are also the page
  // that Page Up and Page Down move by.
  void Resize(std::size_t columns, std::size_t rows);
  std::size_t columns() const { return layout_.columns(); }
  std::size_t page() const { return page_; }

  // The rows the text wraps into, as the layout counts them (see WrappedText): how many, the
  // offset and length of one (rows past the end give the last), and the row that shows the
  // caret at an offset.
  using Row = WrappedText::Row;
  std::size_t RowCount() const { return layout_.RowCount(); }
  Row RowAt(std::size_t row) const { return layout_.RowAt(row); }
  std::size_t RowOf(std::size_t offset) const { return layout_.RowOf(offset); }

  // The first row on screen; scrolling stops where the last row is at the bottom.
  std::size_t top() const { return top_; }
  std::size_t MaxTop() const;
  void ScrollTo(long long row);
  // How many rows from top() to paint: those on screen and one partly shown below them.
  std::size_t ShownRows() const;
  std::vector<Run> RunsOf(std::size_t row) const;  // up to the pane's width
  // Scrolls by a wheel's or a touchpad's turn, in rows (down is positive). Parts of a row
  // add up until they make one.
  void Wheel(double rows);

  // The selection runs from the anchor to the caret (either way round); both are offsets into
  // Text() and never fall inside a CR LF.
  std::size_t caret() const { return caret_; }
  std::size_t anchor() const { return anchor_; }
  bool HasSelection() const { return caret_ != anchor_; }
  std::u16string_view SelectedText() const;  // line breaks as stored (CR LF)
  // Offsets past the end or inside a line break are pulled back to a caret position. The
  // text scrolls so that the caret is on screen.
  void Select(std::size_t anchor, std::size_t caret);
  void SelectAll() { Select(0, Text().size()); }
  // A caret key; with `extend` (Shift) the anchor stays.
  void Press(Motion motion, bool extend);

  // The mouse. A click puts the caret at the nearest place between two characters (with
  // `extend`, Shift, the anchor stays); a drag with the button down moves the caret only.
  std::size_t OffsetAt(Point point) const;
  // Whether a point past the middle of a wrapped row's last character gives the row's end,
  // where the next row starts (the Windows edit control's way), or the place before it.
  void SetPointsPastWraps(bool on) { pastWraps_ = on; }
  void Click(Point point, bool extend);
  void Drag(Point point);
  // A double click selects the word (letters, digits, underscores of any script) under the
  // pointer; on blanks the run of blanks; on any other sign that sign. Beyond the end of a
  // line, on its line break, it selects nothing and puts the caret at the line's end.
  void DoubleClick(Point point);
  // What a double click on the character at offset selects, as [from, to).
  std::pair<std::size_t, std::size_t> WordAt(std::size_t offset) const;
  // What a screen reader reads at offset, as [from, to), the way the platform's text box
  // answers it: the character (with its marks) or nothing at the text's end; the word
  // (letters and signs up to a blank or a punctuation mark, or a run of punctuation; on
  // blanks the word before them, on the line); the row on screen (without the blank where it
  // wraps); the line without its break.
  enum class Reading { Character, Word, Row, Line };
  std::pair<std::size_t, std::size_t> ReadingAt(std::size_t offset, Reading piece) const;
  // The character under a point (see WrappedText::CharAt).
  std::size_t CharAt(Point point) const;

  // Where the character at offset is shown: its row counted from top() (off screen when
  // negative or from page() on), its first column and its cells. A line break and the
  // text's end take one cell.
  struct Cell {
    long long row;
    std::size_t column;
    std::size_t cells;
  };
  Cell CellOf(std::size_t offset) const;
  // Where the caret is drawn: its row as above and its column, at most the pane's width.
  long long CaretRow() const;
  std::size_t CaretColumn() const;

 private:
  std::size_t Destination(Motion motion) const;  // where a caret key takes the caret
  std::size_t RowAtPoint(Point point) const;
  void MoveCaret(std::size_t offset, bool extend);
  void ScrollToCaret();

  WrappedText layout_;
  std::size_t page_ = 1;
  std::size_t top_ = 0;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  bool pastWraps_ = false;
  std::size_t goalColumn_ = 0;  // Up and Down keep to the column where they started
  double wheelRows_ = 0;         // a part of a row that the wheel has turned
};

}  // namespace webapitest
