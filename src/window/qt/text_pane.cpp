// The output pane's painting, scrolling, caret, selection and copying.
#include "window/qt/text_pane.h"
#include "window/qt/text_pane_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace webapitest {
namespace {

constexpr int kMargin = 2;  // pixels between the frame and the text

QString ToQString(std::u16string_view text) {
  QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  for (QChar& c : s)
    if (c.unicode() < 0x20) c = QChar(u' ');  // a tab or control character takes one cell
  return s;
}

}  // namespace

TextPane::TextPane(QWidget* parent) : QAbstractScrollArea(parent) {
  static const bool accessible = [] {
    QAccessible::installFactory(&TextPaneAccessible);
    return true;
  }();
  (void)accessible;
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  verticalScrollBar()->setSingleStep(1);
  layout_.Assign(u"");
}

int TextPane::CharWidth() const { return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M'))); }

int TextPane::RowHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

int TextPane::VisibleRows() const { return std::max(1, (viewport()->height() - 2 * kMargin) / RowHeight()); }

void TextPane::Relayout() {
  const auto columns = static_cast<std::size_t>(std::max(1, (viewport()->width() - 2 * kMargin) / CharWidth()));
  if (columns != layout_.columns()) layout_.SetColumns(columns);
  const auto rows = static_cast<long long>(layout_.RowCount());
  const int last = static_cast<int>(std::clamp<long long>(rows - VisibleRows(), 0, INT32_MAX));
  verticalScrollBar()->setRange(0, last);
  verticalScrollBar()->setPageStep(VisibleRows());
  viewport()->update();
}

void TextPane::SetText(std::u16string text) {
  layout_.Assign(std::move(text));
  caret_ = anchor_ = goalColumn_ = 0;
  Relayout();
  verticalScrollBar()->setValue(0);
  viewport()->update();
}

void TextPane::Select(std::size_t anchor, std::size_t caret) {
  const std::size_t end = layout_.Text().size();
  anchor_ = std::min(anchor, end);
  caret_ = std::min(caret, end);
  ScrollToCaret();
  viewport()->update();
  Announce();
}

namespace {

// One pass: every CR that stands before an LF is left out.
QString WithLfBreaks(std::u16string_view text) {
  QString s(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* out = s.data();
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') continue;
    *out++ = QChar(text[i]);
  }
  s.truncate(out - s.data());
  return s;
}

}  // namespace

QString TextPane::PlainText() const { return WithLfBreaks(layout_.Text()); }

QString TextPane::SelectedText() const { return WithLfBreaks(layout_.Slice(anchor_, caret_)); }

void TextPane::Copy() const {
  if (caret_ != anchor_) QApplication::clipboard()->setText(SelectedText());
}

void TextPane::Announce() {
  if (!QAccessible::isActive()) return;
  QAccessibleTextCursorEvent moved(this, static_cast<int>(std::min<std::size_t>(caret_, INT32_MAX)));
  QAccessible::updateAccessibility(&moved);
}

void TextPane::ScrollToCaret() {
  const auto row = static_cast<long long>(layout_.RowOf(caret_));
  const long long top = verticalScrollBar()->value();
  if (row < top) verticalScrollBar()->setValue(static_cast<int>(row));
  else if (row >= top + VisibleRows()) verticalScrollBar()->setValue(static_cast<int>(row - VisibleRows() + 1));
}

void TextPane::MoveCaret(std::size_t offset, bool extend) {
  caret_ = offset;
  if (!extend) anchor_ = offset;
  ScrollToCaret();
  viewport()->update();
  Announce();
}

std::size_t TextPane::OffsetAtPoint(const QPoint& point) const {
  // Above the pane (a drag going up) is the row before the first on screen, so the caret
  // scrolls the text with it.
  const int y = point.y() - kMargin;
  const long long row = verticalScrollBar()->value() + (y < 0 ? -1 : y / RowHeight());
  const int column = (std::max(0, point.x() - kMargin) + CharWidth() / 2) / CharWidth();
  return layout_.OffsetAt(static_cast<std::size_t>(std::max<long long>(0, row)), static_cast<std::size_t>(column));
}

void TextPane::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& pal = palette();
  painter.setFont(font());
  const int charWidth = CharWidth(), rowHeight = RowHeight(), ascent = fontMetrics().ascent();
  const std::size_t selFrom = std::min(anchor_, caret_), selTo = std::max(anchor_, caret_);
  const auto first = static_cast<std::size_t>(verticalScrollBar()->value());
  const std::size_t rows = layout_.RowCount();
  for (std::size_t i = 0; i <= static_cast<std::size_t>(VisibleRows()) && first + i < rows; ++i) {
    const WrappedText::Row row = layout_.RowAt(first + i);
    const int y = kMargin + static_cast<int>(i) * rowHeight;
    const QString text = ToQString(layout_.Text().substr(row.offset, row.length));
    painter.setPen(pal.color(QPalette::Text));
    painter.drawText(kMargin, y + ascent, text);
    // The selected part of the row, painted over in the highlight colours.
    const std::size_t from = std::clamp(selFrom, row.offset, row.offset + row.length);
    const std::size_t to = std::clamp(selTo, row.offset, row.offset + row.length);
    const bool breakSelected = selFrom <= row.offset + row.length && selTo > row.offset + row.length;
    if (to > from || breakSelected) {
      const int x = kMargin + static_cast<int>(from - row.offset) * charWidth;
      const int width = static_cast<int>(to - from + (breakSelected ? 1 : 0)) * charWidth;
      painter.fillRect(x, y, width, rowHeight, pal.color(QPalette::Highlight));
      painter.setPen(pal.color(QPalette::HighlightedText));
      painter.drawText(x, y + ascent, text.mid(static_cast<qsizetype>(from - row.offset),
                                               static_cast<qsizetype>(to - from)));
    }
  }
  if (hasFocus()) {
    const std::size_t caretRow = layout_.RowOf(caret_);
    if (caretRow >= first && caretRow <= first + static_cast<std::size_t>(VisibleRows())) {
      const WrappedText::Row row = layout_.RowAt(caretRow);
      const int x = kMargin + static_cast<int>(std::min(caret_ - row.offset, row.length)) * charWidth;
      const int y = kMargin + static_cast<int>(caretRow - first) * rowHeight;
      painter.fillRect(x, y, 1, rowHeight, pal.color(QPalette::Text));
    }
  }
}

void TextPane::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Relayout();
}

void TextPane::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) Relayout();
}

void TextPane::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return Copy();
  if (event->matches(QKeySequence::SelectAll)) return Select(0, layout_.Text().size());
  using Motion = WrappedText::Motion;
  const bool control = event->modifiers() & Qt::ControlModifier;
  Motion motion;
  switch (event->key()) {
    case Qt::Key_Left: motion = Motion::Left; break;
    case Qt::Key_Right: motion = Motion::Right; break;
    case Qt::Key_Up: motion = Motion::Up; break;
    case Qt::Key_Down: motion = Motion::Down; break;
    case Qt::Key_PageUp: motion = Motion::PageUp; break;
    case Qt::Key_PageDown: motion = Motion::PageDown; break;
    case Qt::Key_Home: motion = control ? Motion::TextStart : Motion::RowStart; break;
    case Qt::Key_End: motion = control ? Motion::TextEnd : Motion::RowEnd; break;
    default: return QAbstractScrollArea::keyPressEvent(event);  // read-only: typing changes nothing
  }
  const auto page = static_cast<std::size_t>(VisibleRows());
  MoveCaret(layout_.Move(caret_, motion, goalColumn_, page), event->modifiers() & Qt::ShiftModifier);
  if (!WrappedText::KeepsColumn(motion)) goalColumn_ = layout_.ColumnOf(caret_);
}

void TextPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  MoveCaret(OffsetAtPoint(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
  goalColumn_ = layout_.ColumnOf(caret_);
}

void TextPane::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) MoveCaret(OffsetAtPoint(event->position().toPoint()), true);
}

void TextPane::mouseReleaseEvent(QMouseEvent* event) {
  // What the mouse selected is offered for pasting with the middle button, as X11 does it.
  QClipboard* clipboard = QApplication::clipboard();
  if (event->button() == Qt::LeftButton && caret_ != anchor_ && clipboard->supportsSelection())
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TextPane::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double click selects the word (letters, digits, underscores) under the pointer.
  const std::u16string_view text = layout_.Text();
  const std::size_t at = OffsetAtPoint(event->position().toPoint());
  const auto word = [&](std::size_t i) { return i < text.size() && (QChar(text[i]).isLetterOrNumber() || text[i] == u'_'); };
  std::size_t from = at, to = at;
  while (from > 0 && word(from - 1)) --from;
  while (word(to)) ++to;
  Select(from, to);
}

void TextPane::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(tr("&Copy"), this, &TextPane::Copy);
  copy->setEnabled(caret_ != anchor_);
  menu.addSeparator();
  menu.addAction(tr("Select &All"), this, [this] { Select(0, layout_.Text().size()); });
  menu.exec(event->globalPos());
}

void TextPane::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void TextPane::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

}  // namespace webapitest
