// The output pane's Qt adapter: keys, mouse and scroll bar onto the pane model; its rows painted.
#include "window/qt/text_pane.h"
#include "window/qt/text_pane_accessible.h"
#include "text/text.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace webapitest {
namespace {

constexpr int kMargin = 2;  // pixels between the frame and the text

int ToInt(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, INT32_MAX)); }

// One pass: every CR that stands before an LF is left out.
QString ToQStringWithLf(std::u16string_view text) {
  QString s(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  s.truncate(static_cast<qsizetype>(CopyWithLfBreaks(text, reinterpret_cast<char16_t*>(s.data()))));
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
}

qreal TextPane::CharWidth() const {
  return std::max<qreal>(1, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M')));
}

int TextPane::RowHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

void TextPane::Relayout() {
  const int columns = static_cast<int>((viewport()->width() - 2 * kMargin) / CharWidth());
  const int rows = (viewport()->height() - 2 * kMargin) / RowHeight();
  model_.Resize(static_cast<std::size_t>(std::max(1, columns)), static_cast<std::size_t>(std::max(1, rows)));
  Show(false);
}

void TextPane::Show(bool caretMoved) {
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, ToInt(model_.MaxTop()));
  bar->setPageStep(ToInt(model_.page()));
  bar->setValue(ToInt(model_.top()));
  viewport()->update();
  if (caretMoved && QAccessible::isActive()) {  // screen readers follow the caret
    QAccessibleTextCursorEvent moved(this, ToInt(model_.caret()));
    QAccessible::updateAccessibility(&moved);
  }
}

void TextPane::scrollContentsBy(int, int) {
  model_.ScrollTo(verticalScrollBar()->value());
  viewport()->update();
}

void TextPane::wheelEvent(QWheelEvent* event) {
  // A touchpad reports pixels; a wheel reports eighths of a degree, 120 to a notch. Parts of
  // a row add up in the model, so no small turn is lost.
  const QPoint pixels = event->pixelDelta(), angle = event->angleDelta();
  const double rows = !pixels.isNull() ? -pixels.y() / static_cast<double>(RowHeight())
                                       : -angle.y() / 120.0 * QApplication::wheelScrollLines();
  if (rows == 0) return QAbstractScrollArea::wheelEvent(event);
  model_.Wheel(rows);
  Show(false);
  event->accept();
}

void TextPane::SetText(std::u16string text) {
  model_.SetText(std::move(text));
  Relayout();
}

void TextPane::Select(std::size_t anchor, std::size_t caret) {
  model_.Select(anchor, caret);
  Show(true);
}

QString TextPane::PlainText() const { return ToQStringWithLf(model_.Text()); }

QString TextPane::SelectedText() const { return ToQStringWithLf(model_.SelectedText()); }

void TextPane::Copy() const {
  if (model_.HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

PaneModel::Point TextPane::PointAt(const QPointF& position) const {
  const double y = position.y() - kMargin;
  return {y < 0 ? -1 : static_cast<long long>(y / RowHeight()), (position.x() - kMargin) / CharWidth()};
}

QRect TextPane::CharacterRect(std::size_t offset) const {
  const PaneModel::Cell cell = model_.CellOf(offset);
  const qreal x = kMargin + static_cast<qreal>(std::min<std::size_t>(cell.column, 1 << 16)) * CharWidth();
  const qreal y = kMargin + static_cast<qreal>(std::clamp<long long>(cell.row, -(1 << 20), 1 << 20)) * RowHeight();
  return QRectF(x, y, static_cast<qreal>(cell.cells) * CharWidth(), RowHeight()).toAlignedRect();
}

std::size_t TextPane::CharacterAt(const QPoint& point) const { return model_.CharAt(PointAt(point)); }

void TextPane::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& pal = palette();
  painter.setFont(font());
  const qreal charWidth = CharWidth();
  const int rowHeight = RowHeight(), ascent = fontMetrics().ascent();
  for (std::size_t i = 0; i < model_.ShownRows(); ++i) {
    const int y = kMargin + static_cast<int>(i) * rowHeight;
    for (const PaneModel::Run& run : model_.RunsOf(model_.top() + i)) {
      const qreal x = kMargin + static_cast<qreal>(run.column) * charWidth;
      if (run.selected)
        painter.fillRect(QRectF(x, y, static_cast<qreal>(run.cells) * charWidth, rowHeight), pal.color(QPalette::Highlight));
      painter.setPen(pal.color(run.selected ? QPalette::HighlightedText : QPalette::Text));
      painter.drawText(QPointF(x, y + ascent), QString::fromUtf16(run.text.data(), static_cast<qsizetype>(run.text.size())));
    }
  }
  const long long caretRow = model_.CaretRow();
  if (hasFocus() && caretRow >= 0 && caretRow <= static_cast<long long>(model_.page())) {
    const qreal x = kMargin + static_cast<qreal>(model_.CaretColumn()) * charWidth;
    painter.fillRect(QRectF(x, kMargin + static_cast<int>(caretRow) * rowHeight, 1, rowHeight), pal.color(QPalette::Text));
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
  if (event->matches(QKeySequence::SelectAll)) return Select(0, Text().size());
  using Motion = PaneModel::Motion;
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
  model_.Press(motion, event->modifiers() & Qt::ShiftModifier);
  Show(true);
}

void TextPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  model_.Click(PointAt(event->position()), event->modifiers() & Qt::ShiftModifier);
  Show(true);
}

void TextPane::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  model_.Drag(PointAt(event->position()));
  Show(true);
}

void TextPane::mouseReleaseEvent(QMouseEvent* event) {
  // What the mouse selected is offered for pasting with the middle button, as X11 does it.
  QClipboard* clipboard = QApplication::clipboard();
  if (event->button() == Qt::LeftButton && model_.HasSelection() && clipboard->supportsSelection())
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TextPane::mouseDoubleClickEvent(QMouseEvent* event) {
  model_.DoubleClick(PointAt(event->position()));
  Show(true);
}

void TextPane::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(tr("&Copy"), this, &TextPane::Copy);
  copy->setEnabled(model_.HasSelection());
  menu.addSeparator();
  menu.addAction(tr("Select &All"), this, [this] { Select(0, Text().size()); });
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
