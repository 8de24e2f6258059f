// Cutting the output pane's text into lines and rows.
#include "window/wrapped_text.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace webapitest {

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
  SetColumns(columns_);
}

void WrappedText::SetColumns(std::size_t columns) {
  columns_ = std::max<std::size_t>(columns, 1);
  rowBefore_.clear();
  std::size_t rows = 0;
  for (std::size_t line = 0; line < lineStart_.size(); ++line) {
    const std::size_t n = RowsOf(line);
    if (n > 1 && rowBefore_.empty()) {  // the first wrapped line: from here on, count
      rowBefore_.resize(lineStart_.size());
      for (std::size_t i = 0; i < line; ++i) rowBefore_[i] = static_cast<std::uint32_t>(i);
    }
    if (!rowBefore_.empty()) rowBefore_[line] = static_cast<std::uint32_t>(rows);
    rows += n;
  }
  rowCount_ = rows;
}

std::size_t WrappedText::LineLength(std::size_t line) const {
  const std::size_t start = lineStart_[line];
  if (line + 1 == lineStart_.size()) return text_.size() - start;
  std::size_t end = lineStart_[line + 1] - 1;  // the LF
  if (end > start && text_[end - 1] == u'\r') --end;
  return end - start;
}

std::size_t WrappedText::RowsOf(std::size_t line) const {
  const std::size_t length = LineLength(line);
  return length == 0 ? 1 : (length + columns_ - 1) / columns_;
}

std::size_t WrappedText::RowCount() const { return rowCount_; }

std::size_t WrappedText::LineOf(std::size_t offset) const {
  const auto after = std::upper_bound(lineStart_.begin(), lineStart_.end(), offset);
  return static_cast<std::size_t>(after - lineStart_.begin()) - 1;
}

WrappedText::Row WrappedText::RowAt(std::size_t row) const {
  row = std::min(row, rowCount_ - 1);
  std::size_t line = row, first = row;
  if (!rowBefore_.empty()) {
    const auto after = std::upper_bound(rowBefore_.begin(), rowBefore_.end(), row);
    line = static_cast<std::size_t>(after - rowBefore_.begin()) - 1;
    first = rowBefore_[line];
  }
  const std::size_t skip = (row - first) * columns_;
  const std::size_t length = LineLength(line);
  return {lineStart_[line] + skip, std::min(columns_, length - std::min(skip, length))};
}

std::size_t WrappedText::RowOf(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const std::size_t line = LineOf(offset);
  const std::size_t column = std::min(offset - lineStart_[line], LineLength(line));
  const std::size_t within = std::min(column / columns_, RowsOf(line) - 1);
  return (rowBefore_.empty() ? line : rowBefore_[line]) + within;
}

std::size_t WrappedText::OffsetAt(std::size_t row, std::size_t column) const {
  const Row r = RowAt(row);
  return r.offset + std::min(column, r.length);
}

std::size_t WrappedText::CharAt(std::size_t row, std::size_t cell) const {
  const Row r = RowAt(row);
  if (cell < r.length) return r.offset + cell;
  const std::size_t end = r.offset + r.length;
  return end == text_.size() || AtBreak(end) || r.length == 0 ? end : end - 1;
}

bool WrappedText::AtBreak(std::size_t offset) const {
  if (offset >= text_.size()) return false;
  return text_[offset] == u'\n' || (text_[offset] == u'\r' && offset + 1 < text_.size() && text_[offset + 1] == u'\n');
}

std::size_t WrappedText::Clamp(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  if (offset > 0 && offset < text_.size() && text_[offset - 1] == u'\r' && text_[offset] == u'\n') --offset;
  return offset;
}

std::size_t WrappedText::ColumnOf(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  return offset - RowAt(RowOf(offset)).offset;
}

std::size_t WrappedText::Move(std::size_t offset, Motion motion, std::size_t goalColumn, std::size_t page) const {
  const std::size_t row = RowOf(offset);
  const Row here = RowAt(row);
  const auto vertical = [&](bool down, std::size_t rows) {
    const std::size_t target = down ? std::min(row + rows, rowCount_ - 1) : row - std::min(row, rows);
    return OffsetAt(target, goalColumn);
  };
  switch (motion) {
    case Motion::Left: return Previous(offset);
    case Motion::Right: return Next(offset);
    case Motion::Up: return vertical(false, 1);
    case Motion::Down: return vertical(true, 1);
    case Motion::PageUp: return vertical(false, page);
    case Motion::PageDown: return vertical(true, page);
    case Motion::RowStart: return here.offset;
    case Motion::RowEnd: return here.offset + here.length;
    case Motion::TextStart: return 0;
    case Motion::TextEnd: return text_.size();
  }
  return offset;
}

std::size_t WrappedText::Previous(std::size_t offset) const {
  if (offset == 0) return 0;
  offset = std::min(offset, text_.size());
  const std::size_t line = LineOf(offset);
  if (offset == lineStart_[line]) return lineStart_[line - 1] + LineLength(line - 1);
  return offset - 1;
}

std::size_t WrappedText::Next(std::size_t offset) const {
  if (offset >= text_.size()) return text_.size();
  const std::size_t line = LineOf(offset);
  if (offset >= lineStart_[line] + LineLength(line))
    return line + 1 < lineStart_.size() ? lineStart_[line + 1] : text_.size();
  return offset + 1;
}

std::u16string_view WrappedText::Slice(std::size_t from, std::size_t to) const {
  if (from > to) std::swap(from, to);
  from = std::min(from, text_.size());
  to = std::min(to, text_.size());
  return std::u16string_view(text_).substr(from, to - from);
}

}  // namespace webapitest
