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

namespace webapitest {
namespace {

int ToInt(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, INT32_MAX)); }

// The keys the pane answers, by Qt's names; F16 is the Copy key of some X keyboards.
constexpr PaneKeyName kKeys[] = {
    {Qt::Key_Left, PaneKey::Left}, {Qt::Key_Right, PaneKey::Right}, {Qt::Key_Up, PaneKey::Up},
    {Qt::Key_Down, PaneKey::Down}, {Qt::Key_PageUp, PaneKey::PageUp}, {Qt::Key_PageDown, PaneKey::PageDown},
    {Qt::Key_Home, PaneKey::Home}, {Qt::Key_End, PaneKey::End}, {Qt::Key_A, PaneKey::A}, {Qt::Key_C, PaneKey::C},
    {Qt::Key_Insert, PaneKey::Insert}, {Qt::Key_Copy, PaneKey::Copy}, {Qt::Key_F16, PaneKey::Copy}};

// One pass: every CR that stands before an LF is left out.
QString ToQStringWithLf(std::u16string_view text) {
  QString s(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  s.truncate(static_cast<qsizetype>(CopyWithLfBreaks(text, reinterpret_cast<char16_t*>(s.data()))));
  return s;
}

}  // namespace

TextPane::TextPane(QWidget* parent) : QAbstractScrollArea(parent) {
  [[maybe_unused]] static const bool accessible = (QAccessible::installFactory(&TextPaneAccessible), true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  verticalScrollBar()->setSingleStep(1);
  Relayout();
}

void TextPane::Relayout() {
  geometry_.SetCell(QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M')), fontMetrics().lineSpacing());
  model_.Resize(geometry_.Columns(viewport()->width()), geometry_.Rows(viewport()->height()));
  Show();
}

void TextPane::Show() {
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, ToInt(model_.MaxTop()));
  bar->setPageStep(ToInt(model_.page()));
  bar->setValue(ToInt(model_.top()));
  viewport()->update();
  TellScreenReaders();
}

void TextPane::scrollContentsBy(int, int) {
  model_.ScrollTo(verticalScrollBar()->value());
  viewport()->update();
}

void TextPane::wheelEvent(QWheelEvent* event) {
  // A touchpad reports pixels; a wheel reports eighths of a degree, 120 to a notch.
  const QPoint pixels = event->pixelDelta(), angle = event->angleDelta();
  const int lines = QApplication::wheelScrollLines();
  const WheelTurn turn = pixels.isNull() ? WheelTurn::Notches(angle.y(), lines) : WheelTurn::Pixels(pixels.y());
  const double rows = geometry_.RowsOf(turn, model_.page());
  if (rows == 0) return QAbstractScrollArea::wheelEvent(event);
  model_.Wheel(rows);
  Show();
  event->accept();
}

void TextPane::SetText(std::u16string text) {
  model_.SetText(std::move(text));
  Relayout();
}

void TextPane::Select(std::size_t anchor, std::size_t caret) {
  model_.Select(anchor, caret);
  Show();
}

QString TextPane::PlainText() const { return ToQStringWithLf(model_.Text()); }

QString TextPane::SelectedText() const { return ToQStringWithLf(model_.SelectedText()); }

void TextPane::Copy() const {
  if (model_.HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

PaneModel::Point TextPane::PointAt(const QPointF& position) const {
  return geometry_.PointAt(position.x(), position.y());
}

void TextPane::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& pal = palette();
  painter.setFont(font());
  const int ascent = fontMetrics().ascent();
  geometry_.PaintRows(model_, [&](const PaneModel::Run& run, const PaneRect& r) {
    if (run.selected) painter.fillRect(QRectF(r.left, r.top, r.width, r.height), pal.color(QPalette::Highlight));
    painter.setPen(pal.color(run.selected ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(QPointF(r.left, r.top + ascent),
                     QString::fromUtf16(run.text.data(), static_cast<qsizetype>(run.text.size())));
  });
  const long long caretRow = model_.CaretRow();
  if (hasFocus() && caretRow >= 0 && caretRow <= static_cast<long long>(model_.page())) {
    const PaneRect r = geometry_.RectOf({caretRow, model_.CaretColumn(), 1});
    painter.fillRect(QRectF(r.left, r.top, 1, r.height), pal.color(QPalette::Text));
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
  const PaneCommand done = PressKey(model_, KeyNamed(event->key(), kKeys), event->modifiers() & Qt::ControlModifier,
                                    event->modifiers() & Qt::ShiftModifier);
  if (done == PaneCommand::None) return QAbstractScrollArea::keyPressEvent(event);
  Complete(done);
}

void TextPane::Complete(PaneCommand done) {
  if (done == PaneCommand::Copy) Copy();
  else if (done != PaneCommand::None) Show();
}

void TextPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  model_.Click(PointAt(event->position()), event->modifiers() & Qt::ShiftModifier);
  Show();
}

void TextPane::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  model_.Drag(PointAt(event->position()));
  Show();
}

void TextPane::mouseReleaseEvent(QMouseEvent* event) {
  // What the mouse selected is offered for pasting with the middle button, as X11 does it.
  QClipboard* clipboard = QApplication::clipboard();
  if (event->button() == Qt::LeftButton && model_.HasSelection() && clipboard->supportsSelection())
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TextPane::mouseDoubleClickEvent(QMouseEvent* event) {
  model_.DoubleClick(PointAt(event->position()));
  Show();
}

void TextPane::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  for (const PaneMenuItem& item : ContextMenu(model_)) {
    const QString label = QString::fromUtf16(item.label);
    QAction* action = item.command == PaneCommand::None ? menu.addSeparator() : menu.addAction(label);
    action->setEnabled(item.enabled);
    action->setData(static_cast<int>(item.command));
  }
  if (const QAction* chosen = menu.exec(event->globalPos()))
    Complete(ChooseMenuItem(model_, static_cast<PaneCommand>(chosen->data().toInt())));
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
