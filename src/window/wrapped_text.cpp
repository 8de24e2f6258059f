// Cutting the output pane's text into lines and rows of cells.
#include "window/wrapped_text.h"

#include "window/characters.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace webapitest {
namespace {

// Whether any of four UTF-16 units packed in a word is a tab, at least U+0300 (kFirstUncommon),
// or (with orBlank) a space; looked at all four at once, since plain replies are megabytes of this.
bool AnySpecial(std::uint64_t units, bool orBlank) {
  constexpr std::uint64_t kOnes = 0x0001000100010001u, kTops = 0x8000800080008000u;
  const auto anyZero = [](std::uint64_t x) { return ((x - kOnes) & ~x & kTops) != 0; };
  const std::uint64_t highBytes = (units >> 8) & 0x00FF00FF00FF00FFu;
  static_assert(kFirstUncommon == 0x0300);
  if (((highBytes + 0x007D007D007D007Du) & 0x0180018001800180u) != 0) return true;  // a high byte >= 0x03
  return anyZero(units ^ (kOnes * u'\t')) || (orBlank && anyZero(units ^ (kOnes * u' ')));
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void WrappedText::Assign(std::u16string text) {
  constexpr std::size_t kMax = std::numeric_limits<std::uint32_t>::max();
  text_ = std::move(text);
  if (text_.size() > kMax) text_.resize(kMax);
  lineStart_.assign(1, 0);
  const char16_t* begin = text_.data();
  const char16_t* end = begin + text_.size();
  for (const char16_t* p = begin; (p = std::find(p, end, u'\n')) != end;) {
    ++p;
    lineStart_.push_back(static_cast<std::uint32_t>(p - begin));
  }
  crsBefore_.assign(1, 0);
  for (std::size_t line = 1; line < lineStart_.size(); ++line) {
    const std::uint32_t start = lineStart_[line];
    crsBefore_.push_back(crsBefore_.back() + (start >= 2 && text_[start - 2] == u'\r' ? 1 : 0));
  }
  if (crsBefore_.back() == 0) crsBefore_.clear();
  SetColumns(columns_);
}

void WrappedText::SetColumns(std::size_t columns) {
  columns_ = std::max<std::size_t>(columns, 1);
  rowStart_.clear();
  bool counting = false;  // from the first line that wraps on, every row's start is kept
  std::vector<std::uint32_t> starts;
  for (std::size_t line = 0; line < lineStart_.size(); ++line) {
    starts.clear();
    const std::size_t length = LineLength(line);
    if (length <= columns_ ? !Plain(line, false) : !Plain(line, true)) {
      WrapLine(line, starts);
    } else if (length > columns_) {  // one cell a character and no blanks: a row every width
      for (std::size_t at = columns_; at < length; at += columns_)
        starts.push_back(static_cast<std::uint32_t>(lineStart_[line] + at));
    }
    if (!starts.empty() && !counting) {
      counting = true;
      rowStart_.reserve(lineStart_.size() + starts.size());
      rowStart_.assign(lineStart_.begin(), lineStart_.begin() + static_cast<std::ptrdiff_t>(line));
    }
    if (!counting) continue;
    rowStart_.push_back(lineStart_[line]);
    rowStart_.insert(rowStart_.end(), starts.begin(), starts.end());
  }
}

std::size_t WrappedText::LineLength(std::size_t line) const {
  const std::size_t start = lineStart_[line];
  if (line + 1 == lineStart_.size()) return text_.size() - start;
  std::size_t end = lineStart_[line + 1] - 1;  // the LF
  if (end > start && text_[end - 1] == u'\r') --end;
  return end - start;
}

bool WrappedText::Plain(std::size_t line, bool orBlank) const {
  const char16_t* p = text_.data() + lineStart_[line];
  const char16_t* end = p + LineLength(line);
  for (; end - p >= 4; p += 4) {
    std::uint64_t units;
    std::memcpy(&units, p, sizeof units);
    if (AnySpecial(units, orBlank)) return false;
  }
  for (; p != end; ++p)
    if (*p == u'\t' || *p >= kFirstUncommon || (orBlank && *p == u' ')) return false;
  return true;
}

void WrappedText::WrapLine(std::size_t line, std::vector<std::uint32_t>& starts) const {
  const char16_t* t = text_.data();
  const std::size_t end = lineStart_[line] + LineLength(line);
  std::size_t rowStart = lineStart_[line], column = 0;
  std::size_t breakAt = rowStart, breakColumn = 0;  // just after the row's last blank
  for (std::size_t i = rowStart; i < end;) {
    const char16_t c = t[i];
    if (c > u' ' && c < kFirstUncommon && column < columns_) {  // most characters: one cell that fits
      ++column;
      ++i;
      continue;
    }
    if (c == u' ' || c == u'\t') {  // blanks never wrap: they stay on the row they end
      column = c == u' ' ? column + 1 : (column / kTabStop + 1) * kTabStop;
      breakAt = ++i;
      breakColumn = column;
      continue;
    }
    if (Joins(i)) {  // a mark goes with its character, and a row never starts at one
      if (breakAt == i) breakAt += PointUnits(i);
      i += PointUnits(i);
      continue;
    }
    const std::size_t units = c >= kFirstUncommon ? UnitsAt(i) : 1;
    const std::size_t cells = c >= kFirstUncommon ? CellsAt(i, column) : 1;
    if (column + cells > columns_ && column > 0) {
      if (breakAt > rowStart) {  // the word moves to a row of its own
        rowStart = breakAt;
        column -= breakColumn;
        starts.push_back(static_cast<std::uint32_t>(rowStart));
      }
      if (column + cells > columns_ && column > 0) {  // and it is longer than a row
        rowStart = i;
        column = 0;
        starts.push_back(static_cast<std::uint32_t>(rowStart));
      }
      breakAt = rowStart;
    }
    column += cells;
    i += units;
  }
}

std::size_t WrappedText::RowCount() const { return rowStart_.empty() ? lineStart_.size() : rowStart_.size(); }

std::size_t WrappedText::LineOf(std::size_t offset) const {
  const auto after = std::upper_bound(lineStart_.begin(), lineStart_.end(), offset);
  return static_cast<std::size_t>(after - lineStart_.begin()) - 1;
}

WrappedText::Row WrappedText::RowAt(std::size_t row) const {
  row = std::min(row, RowCount() - 1);
  if (rowStart_.empty()) return {lineStart_[row], LineLength(row)};
  const std::size_t start = rowStart_[row];
  const std::size_t line = LineOf(start);
  std::size_t end = lineStart_[line] + LineLength(line);
  if (row + 1 < rowStart_.size() && rowStart_[row + 1] < end) end = rowStart_[row + 1];
  return {start, end - start};
}

std::size_t WrappedText::RowOf(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  if (rowStart_.empty()) return LineOf(offset);
  const auto after = std::upper_bound(rowStart_.begin(), rowStart_.end(), offset);
  return static_cast<std::size_t>(after - rowStart_.begin()) - 1;
}

std::size_t WrappedText::PointUnits(std::size_t offset) const {
  return offset + 1 < text_.size() && IsHigh(text_[offset]) && IsLow(text_[offset + 1]) ? 2 : 1;
}

bool WrappedText::Joins(std::size_t offset) const {
  if (offset == 0 || offset >= text_.size() || text_[offset] < kFirstUncommon || text_[offset - 1] == u'\n') return false;
  return !IsLow(text_[offset]) && WidthOf(CodePointAt(text_, offset)) == 0;
}

std::size_t WrappedText::UnitsAt(std::size_t offset) const {
  if (offset >= text_.size()) return 1;
  std::size_t end = offset + PointUnits(offset);
  while (Joins(end)) end += PointUnits(end);
  return end - offset;
}

std::size_t WrappedText::CellsAt(std::size_t offset, std::size_t column) const {
  if (offset >= text_.size()) return 1;
  const char16_t c = text_[offset];
  if (c == u'\t') return kTabStop - column % kTabStop;
  if (c < kFirstUncommon) return 1;
  return std::max<std::size_t>(WidthOf(CodePointAt(text_, offset)), 1);  // a mark that starts a line: one cell
}

std::size_t WrappedText::ColumnOf(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const Row r = RowAt(RowOf(offset));
  const std::size_t to = std::min(offset, r.offset + r.length);
  std::size_t column = 0;
  for (std::size_t i = r.offset; i < to; i += UnitsAt(i)) column += CellsAt(i, column);
  return column;
}

std::size_t WrappedText::LastCaret(std::size_t row) const {
  const Row r = RowAt(row);
  const std::size_t end = r.offset + r.length;
  if (end == text_.size() || AtBreak(end) || r.length == 0) return end;
  return std::max(r.offset, Previous(end));
}

std::size_t WrappedText::OffsetAt(std::size_t row, double column, bool pastWrap) const {
  const Row r = RowAt(row);
  const std::size_t last = pastWrap ? r.offset + r.length : LastCaret(row);
  std::size_t at = 0;  // the cell where the character at i starts
  for (std::size_t i = r.offset; i < r.offset + r.length;) {
    const std::size_t units = UnitsAt(i), next = at + CellsAt(i, at);
    const double from = static_cast<double>(at), to = static_cast<double>(next);
    if (column < to) return std::min(column - from < to - column ? i : i + units, last);  // halfway: after
    at = next;
    i += units;
  }
  return last;
}

std::size_t WrappedText::CharAt(std::size_t row, std::size_t cell) const {
  const Row r = RowAt(row);
  std::size_t at = 0;
  for (std::size_t i = r.offset; i < r.offset + r.length; i += UnitsAt(i)) {
    at += CellsAt(i, at);
    if (cell < at) return i;
  }
  const std::size_t end = r.offset + r.length;
  return end == text_.size() || AtBreak(end) || r.length == 0 ? end : Previous(end);
}

WrappedText::Row WrappedText::LineAround(std::size_t offset) const {
  const std::size_t line = LineOf(std::min(offset, text_.size()));
  return {lineStart_[line], LineLength(line)};
}

bool WrappedText::AtBreak(std::size_t offset) const {
  if (offset >= text_.size()) return false;
  return text_[offset] == u'\n' || (text_[offset] == u'\r' && offset + 1 < text_.size() && text_[offset + 1] == u'\n');
}

std::size_t WrappedText::Clamp(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  if (offset > 0 && offset < text_.size() && text_[offset - 1] == u'\r' && text_[offset] == u'\n') return offset - 1;
  for (;;) {  // back out of a surrogate pair, then out of the marks after a character
    if (offset > 0 && offset < text_.size() && IsHigh(text_[offset - 1]) && IsLow(text_[offset])) --offset;
    if (!Joins(offset)) return offset;
    --offset;
  }
}

std::size_t WrappedText::Previous(std::size_t offset) const {
  if (offset == 0) return 0;
  offset = std::min(offset, text_.size());
  const std::size_t line = LineOf(offset);
  if (offset == lineStart_[line]) return lineStart_[line - 1] + LineLength(line - 1);
  return Clamp(offset - 1);
}

std::size_t WrappedText::Next(std::size_t offset) const {
  if (offset >= text_.size()) return text_.size();
  const std::size_t line = LineOf(offset);
  if (offset >= lineStart_[line] + LineLength(line))
    return line + 1 < lineStart_.size() ? lineStart_[line + 1] : text_.size();
  return offset + UnitsAt(offset);
}

std::size_t WrappedText::LfOffset(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  return crsBefore_.empty() ? offset : offset - crsBefore_[LineOf(offset)];
}

std::size_t WrappedText::FromLfOffset(std::size_t lfOffset) const {
  if (crsBefore_.empty()) return std::min(lfOffset, text_.size());
  std::size_t low = 0, high = lineStart_.size();  // the last line that starts at or before lfOffset
  while (high - low > 1) {
    const std::size_t middle = (low + high) / 2;
    (lineStart_[middle] - crsBefore_[middle] <= lfOffset ? low : high) = middle;
  }
  return std::min(lfOffset + crsBefore_[low], text_.size());
}

std::u16string_view WrappedText::Slice(std::size_t from, std::size_t to) const {
  if (from > to) std::swap(from, to);
  from = std::min(from, text_.size());
  to = std::min(to, text_.size());
  return std::u16string_view(text_).substr(from, to - from);
}

}  // namespace webapitest
