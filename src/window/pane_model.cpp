// The output pane's caret, selection, words and scrolling over its layout.
#include "window/pane_model.h"

#include "window/characters.h"

#include <algorithm>
#include <cmath>

namespace webapitest {
namespace {

// Whether a motion moves between rows, keeping to the goal column rather than setting it anew.
bool KeepsColumn(PaneModel::Motion motion) {
  using Motion = PaneModel::Motion;
  return motion == Motion::Up || motion == Motion::Down || motion == Motion::PageUp || motion == Motion::PageDown;
}

bool IsBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

// What the platform's box takes for white space and for the punctuation between words.
bool IsWhite(char16_t c) {
  return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}
bool IsSeparator(char16_t c) { return c < 0x80 && std::u16string_view(u".,?!@#$:;-<>[](){}=/+%&^*'\"`~|\\").find(c) != std::u16string_view::npos; }

}  // namespace

void PaneModel::SetText(std::u16string text) {
  layout_.Assign(std::move(text));
  caret_ = anchor_ = goalColumn_ = top_ = 0;
  wheelRows_ = 0;
}

void PaneModel::Resize(std::size_t columns, std::size_t rows) {
  columns = std::max<std::size_t>(columns, 1);
  if (columns != layout_.columns()) layout_.SetColumns(columns);
  page_ = std::max<std::size_t>(rows, 1);
  ScrollTo(static_cast<long long>(top_));
}

std::size_t PaneModel::MaxTop() const {
  const std::size_t rows = layout_.RowCount();
  return rows > page_ ? rows - page_ : 0;
}

void PaneModel::ScrollTo(long long row) {
  top_ = static_cast<std::size_t>(std::clamp<long long>(row, 0, static_cast<long long>(MaxTop())));
}

std::size_t PaneModel::ShownRows() const { return std::min(page_ + 1, layout_.RowCount() - top_); }

std::vector<PaneModel::Run> PaneModel::RunsOf(std::size_t row) const {
  const WrappedText::Row r = layout_.RowAt(row);
  const std::u16string_view text = Text();
  const std::size_t end = r.offset + r.length;
  const std::size_t selFrom = std::min(anchor_, caret_), selTo = std::max(anchor_, caret_);
  std::vector<Run> runs;
  bool joinable = false;  // whether the last run takes more characters
  std::size_t column = 0, i = r.offset;
  for (; i < end && column <= layout_.columns(); ) {  // cells past the pane's width are not seen
    const std::size_t units = layout_.UnitsAt(i), cells = layout_.CellsAt(i, column);
    const bool selected = i >= selFrom && i < selTo;
    // Tabs and one-cell characters of the fixed-pitch font's kind share runs; others (wide
    // ones, those a fallback font may draw in another width, and a character with the marks
    // drawn over it) stand at their own cells.
    const bool plain = text[i] == u'\t' || (units == 1 && text[i] < kFirstUncommon);
    if (!(plain && joinable && runs.back().selected == selected)) runs.push_back({column, 0, {}, selected});
    Run& run = runs.back();
    if (text[i] == u'\t') run.text.append(cells, u' ');  // marks over a tab are not drawn
    else if (text[i] < u' ') run.text += u' ';  // a control character shows as a blank
    else run.text.append(text.substr(i, units));
    run.cells += cells;
    joinable = plain;
    column += cells;
    i += units;
  }
  if (i == end && layout_.AtBreak(end) && selFrom <= end && selTo > end) runs.push_back({column, 1, u" ", true});
  return runs;
}

std::u16string_view PaneModel::SelectedText() const { return layout_.Slice(anchor_, caret_); }

void PaneModel::Select(std::size_t anchor, std::size_t caret) {
  anchor_ = layout_.Clamp(anchor);
  MoveCaret(caret, true);
}

void PaneModel::Press(Motion motion, bool extend) {
  const std::size_t goal = goalColumn_;
  MoveCaret(Destination(motion), extend);
  if (KeepsColumn(motion)) goalColumn_ = goal;
}

std::size_t PaneModel::Destination(Motion motion) const {
  const std::size_t row = layout_.RowOf(caret_);
  const auto vertical = [&](bool down, std::size_t rows) {
    const std::size_t target = down ? std::min(row + rows, layout_.RowCount() - 1) : row - std::min(row, rows);
    return layout_.OffsetAt(target, static_cast<double>(goalColumn_));
  };
  switch (motion) {
    case Motion::Left: return layout_.Previous(caret_);
    case Motion::Right: return layout_.Next(caret_);
    case Motion::Up: return vertical(false, 1);
    case Motion::Down: return vertical(true, 1);
    case Motion::PageUp: return vertical(false, page_);
    case Motion::PageDown: return vertical(true, page_);
    case Motion::RowStart: return layout_.RowAt(row).offset;
    case Motion::RowEnd: return layout_.LastCaret(row);
    case Motion::TextStart: return 0;
    case Motion::TextEnd: return Text().size();
  }
  return caret_;
}

std::size_t PaneModel::RowAtPoint(Point point) const {
  const long long row = static_cast<long long>(top_) + point.row;
  return static_cast<std::size_t>(std::clamp<long long>(row, 0, static_cast<long long>(layout_.RowCount()) - 1));
}

std::size_t PaneModel::OffsetAt(Point point) const {
  return layout_.OffsetAt(RowAtPoint(point), std::clamp(point.column, 0.0, 1e15), pastWraps_);
}

void PaneModel::Click(Point point, bool extend) { MoveCaret(OffsetAt(point), extend); }

void PaneModel::Drag(Point point) { MoveCaret(OffsetAt(point), true); }

std::size_t PaneModel::CharAt(Point point) const {
  const double cell = std::max(0.0, std::floor(point.column));
  return layout_.CharAt(RowAtPoint(point), static_cast<std::size_t>(std::min(cell, 1e15)));
}

void PaneModel::DoubleClick(Point point) {
  const auto [from, to] = WordAt(CharAt(point));
  Select(from, to);
}

std::pair<std::size_t, std::size_t> PaneModel::WordAt(std::size_t offset) const {
  const std::u16string_view text = Text();
  offset = layout_.Clamp(offset);
  if (offset >= text.size()) return {offset, offset};
  const char32_t c = CodePointAt(text, offset);
  if (IsBreak(c)) return {offset, offset};
  const WordClass kind = ClassOf(c).word;  // a character's marks go with it
  if (kind == WordClass::Sign) return {offset, offset + layout_.UnitsAt(offset)};
  const auto same = [&](std::size_t at) {
    const char32_t d = CodePointAt(text, at);
    return !IsBreak(d) && ClassOf(d).word == kind;
  };
  std::size_t from = offset, to = offset;
  while (from > 0) {  // back a character: a surrogate pair or a character with its marks at once
    const std::size_t before = layout_.Clamp(from - 1);
    if (!same(before)) break;
    from = before;
  }
  while (to < text.size() && same(to)) to += layout_.UnitsAt(to);
  return {from, to};
}

std::pair<std::size_t, std::size_t> PaneModel::ReadingAt(std::size_t offset, Reading piece) const {
  const std::u16string_view text = Text();
  offset = layout_.Clamp(offset);
  const WrappedText::Row line = layout_.LineAround(offset);
  const std::size_t start = line.offset, end = line.offset + line.length;
  const auto whole = [&](std::size_t at) {  // the end of the character that holds `at`
    const std::size_t from = layout_.Clamp(at);
    return from == at ? at : from + layout_.UnitsAt(from);
  };
  switch (piece) {
    case Reading::Character:
      return {offset, offset >= text.size() ? offset : layout_.Next(offset)};
    case Reading::Line: return {start, end};
    case Reading::Row: {
      const std::size_t row = layout_.RowOf(offset);
      const WrappedText::Row r = layout_.RowAt(row);
      std::size_t to = r.offset + r.length;
      if (to < end && r.length > 0 && IsWhite(text[to - 1])) --to;  // the blank a row wraps at
      return {r.offset, to};
    }
    case Reading::Word: break;
  }
  const auto white = [&](std::size_t at) { return IsWhite(text[at]); };
  const auto separator = [&](std::size_t at) { return IsSeparator(text[at]); };
  std::size_t from = offset;
  if (offset > start && !(offset == end && (white(offset - 1) || separator(offset - 1)))) {
    from = offset < end ? offset + 1 : offset;
    while (from > start && white(from - 1)) --from;
    if (from > start && separator(from - 1)) {
      while (from > start && separator(from - 1)) --from;
    } else {
      while (from > start && !white(from - 1) && !separator(from - 1)) --from;
    }
    from = layout_.Clamp(from);
  }
  std::size_t to = from;
  if (to < end && separator(to)) {
    while (to < end && separator(to)) ++to;
  } else {
    while (to < end && !white(to) && !separator(to)) ++to;
  }
  return {from, whole(to)};
}

PaneModel::Cell PaneModel::CellOf(std::size_t offset) const {
  offset = layout_.Clamp(offset);
  const std::size_t column = layout_.ColumnOf(offset);
  const std::size_t cells = offset < Text().size() && !layout_.AtBreak(offset) ? layout_.CellsAt(offset, column) : 1;
  return {static_cast<long long>(layout_.RowOf(offset)) - static_cast<long long>(top_), column, cells};
}

std::size_t PaneModel::CaretColumn() const { return std::min(layout_.ColumnOf(caret_), layout_.columns()); }

void PaneModel::Wheel(double rows) {
  if ((rows < 0) != (wheelRows_ < 0)) wheelRows_ = 0;  // a turn the other way starts afresh
  wheelRows_ += rows;
  // Sums of steps such as 0.075 land a hair below the row they make (2.9999999999999996).
  if (const double nearest = std::round(wheelRows_); std::abs(wheelRows_ - nearest) < 1e-9) wheelRows_ = nearest;
  const auto whole = static_cast<long long>(wheelRows_);
  wheelRows_ -= static_cast<double>(whole);
  const std::size_t before = top_;
  ScrollTo(static_cast<long long>(top_) + whole);
  if (whole != 0 && top_ == before) wheelRows_ = 0;  // at an end: nothing saved up for later
}

long long PaneModel::CaretRow() const {
  return static_cast<long long>(layout_.RowOf(caret_)) - static_cast<long long>(top_);
}

void PaneModel::MoveCaret(std::size_t offset, bool extend) {
  caret_ = layout_.Clamp(offset);
  if (!extend) anchor_ = caret_;
  goalColumn_ = layout_.ColumnOf(caret_);
  ScrollToCaret();
}

void PaneModel::ScrollToCaret() {
  const std::size_t row = layout_.RowOf(caret_);
  if (row < top_) ScrollTo(static_cast<long long>(row));
  else if (row >= top_ + page_) ScrollTo(static_cast<long long>(row - page_ + 1));
}

}  // namespace webapitest
