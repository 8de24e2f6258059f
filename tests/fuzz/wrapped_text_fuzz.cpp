// Fuzzes the output pane's layout: rows cover the text exactly, in order, wrap only where a
// character no longer fits, and caret places map to the rows and cells that show them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "window/wrapped_text.h"

using webapitest::WrappedText;

namespace {

bool Blank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte is the width; the rest is text over a small alphabet rich in line breaks,
  // blanks, tabs, a wide character and surrogate halves (that pair or stand alone).
  static constexpr char16_t kAlphabet[] = {u'a', u'b', u'\r', u'\n', u' ', u'x', u'\t', 0x4E00, 0xD840, 0xDC00};
  const std::size_t columns = data[0] % 40;
  std::u16string text;
  for (std::size_t i = 1; i < size; ++i) text += kAlphabet[data[i] % 10];
  WrappedText layout;
  layout.SetColumns(columns);
  layout.Assign(text);
  const std::size_t width = layout.columns();
  if (width < 1) std::abort();

  std::size_t expected = 0;  // where the next row must start
  for (std::size_t row = 0; row < layout.RowCount(); ++row) {
    const WrappedText::Row r = layout.RowAt(row);
    if (r.offset < expected || r.offset + r.length > text.size()) std::abort();
    // Between two rows lies nothing (a wrap), or exactly one line break.
    const std::u16string_view gap = std::u16string_view(text).substr(expected, r.offset - expected);
    if (!(gap.empty() || gap == u"\n" || gap == u"\r\n")) std::abort();
    if (row > 0 && gap.empty() && (layout.RowAt(row - 1).length == 0 || Blank(text[r.offset]))) std::abort();
    // The row's cells up to its trailing blanks fit the width, unless that is one character.
    std::size_t cells = 0, shown = 0, characters = 0, shownCharacters = 0;
    for (std::size_t i = r.offset; i < r.offset + r.length; i += layout.UnitsAt(i)) {
      if (text[i] == u'\n') std::abort();
      cells += layout.CellsAt(i, cells);
      ++characters;
      if (!Blank(text[i])) shown = cells, shownCharacters = characters;
    }
    if (shown > width && shownCharacters > 1) std::abort();
    if (layout.RowOf(r.offset) != row && r.length > 0) std::abort();
    expected = r.offset + r.length;
  }
  if (expected != text.size()) std::abort();

  // Caret steps go from end to end and back, and every caret place is found again at its
  // row and column.
  std::size_t at = 0, steps = 0;
  while (steps++ <= text.size()) {
    if (layout.Clamp(at) != at) std::abort();
    if (layout.OffsetAt(layout.RowOf(at), static_cast<double>(layout.ColumnOf(at))) != at) std::abort();
    if (at == text.size()) break;
    const std::size_t next = layout.Next(at);
    if (next <= at || layout.Previous(next) != at) std::abort();
    at = next;
  }
  if (at != text.size()) std::abort();
  return 0;
}
