// Fuzzes the output pane's layout: rows cover the text exactly, in order, and caret offsets
// map to the rows that show them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "window/wrapped_text.h"

using webapitest::WrappedText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte is the width; the rest is text over a small alphabet rich in line breaks.
  const std::size_t columns = data[0] % 40;
  std::u16string text;
  for (std::size_t i = 1; i < size; ++i) text += u"ab\r\n xy"[data[i] % 7];
  WrappedText layout;
  layout.SetColumns(columns);
  layout.Assign(text);
  const std::size_t width = layout.columns();
  if (width < 1) std::abort();

  std::size_t expected = 0;  // where the next row must start
  for (std::size_t row = 0; row < layout.RowCount(); ++row) {
    const WrappedText::Row r = layout.RowAt(row);
    if (r.length > width || r.offset < expected || r.offset + r.length > text.size()) std::abort();
    // Between two rows lies nothing, or exactly one line break.
    const std::u16string_view gap = std::u16string_view(text).substr(expected, r.offset - expected);
    if (!(gap.empty() || gap == u"\n" || gap == u"\r\n")) std::abort();
    if (row > 0 && gap.empty() && layout.RowAt(row - 1).length != width) std::abort();
    for (std::size_t i = 0; i < r.length; ++i)
      if (text[r.offset + i] == u'\n') std::abort();
    if (layout.RowOf(r.offset) != row && r.length > 0) std::abort();
    expected = r.offset + r.length;
  }
  if (text.size() - expected > 0 && text.substr(expected) != u"\r" && text.substr(expected) != u"")
    std::abort();  // only a lone CR at the very end can be left outside the rows

  // Caret steps reach the end and come back to the start.
  std::size_t at = 0, steps = 0;
  while (at < text.size() && steps++ <= text.size()) {
    const std::size_t next = layout.Next(at);
    if (next <= at) std::abort();
    if (layout.Previous(next) > at) std::abort();
    at = next;
  }
  return 0;
}
