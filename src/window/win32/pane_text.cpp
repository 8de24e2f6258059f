// Breaking long lines for the output pane, and mapping the shown text back to the original.
#include "window/win32/pane_text.h"

#include <algorithm>

namespace webapitest::win32 {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Where the line that starts at begin is broken, when the paragraph runs on to end, more than
// `columns` characters later. As in the EDIT's word wrap: after the last word that fits, with
// the blanks that follow it left hanging at the line's end; a word wider than the whole line
// is broken after `columns` characters (never between the two halves of a surrogate pair).
// Returns end when only blanks are left over, which hang without a break.
std::size_t BreakPoint(const std::u16string& text, std::size_t begin, std::size_t end,
                       std::size_t columns) {
  const std::size_t limit = begin + columns;
  if (IsBlank(text[limit])) {
    std::size_t cut = limit;
    while (cut < end && IsBlank(text[cut])) ++cut;
    return cut;
  }
  for (std::size_t i = limit; i > begin + 1; --i)
    if (IsBlank(text[i - 1])) return i;
  if (IsLowSurrogate(text[limit])) return limit - 1 > begin ? limit - 1 : limit + 1;
  return limit;
}

}  // namespace

PaneText::PaneText(std::u16string text, std::size_t columns) : original_(std::move(text)) {
  columns = std::max<std::size_t>(columns, 1);
  shown_.reserve(original_.size() + original_.size() / columns * 2 + 2);
  std::size_t begin = 0;  // start of the current paragraph's unbroken rest
  while (begin < original_.size()) {
    // A paragraph ends at a line feed (CR LF, or an LF alone, which the EDIT also breaks at).
    const std::size_t lf = original_.find(u'\n', begin);
    std::size_t end = lf == std::u16string::npos ? original_.size() : lf;
    if (end > begin && original_[end - 1] == u'\r' && lf != std::u16string::npos) --end;
    while (end - begin > columns) {
      const std::size_t cut = BreakPoint(original_, begin, end, columns);
      if (cut >= end) break;
      shown_.append(original_, begin, cut - begin);
      breaks_.push_back(shown_.size());
      shown_.append(u"\r\n");
      begin = cut;
    }
    const std::size_t next = lf == std::u16string::npos ? original_.size() : lf + 1;
    shown_.append(original_, begin, next - begin);
    begin = next;
  }
}

std::size_t PaneText::ToOriginal(std::size_t shown) const {
  shown = std::min(shown, shown_.size());
  // Breaks that start before this position; one that starts right here has not been passed.
  const auto passed = std::lower_bound(breaks_.begin(), breaks_.end(), shown);
  std::size_t inserted = static_cast<std::size_t>(passed - breaks_.begin());
  if (passed != breaks_.begin() && shown < *(passed - 1) + 2) {
    shown = *(passed - 1);  // inside a break: clamp to its start
    --inserted;
  }
  return shown - 2 * inserted;
}

std::u16string PaneText::OriginalOf(std::size_t first, std::size_t last) const {
  const std::size_t from = ToOriginal(first);
  const std::size_t to = ToOriginal(last);
  return to > from ? original_.substr(from, to - from) : std::u16string();
}

}  // namespace webapitest::win32
