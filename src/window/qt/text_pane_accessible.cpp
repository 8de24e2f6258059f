// The output pane's accessible interface: its text, caret, selection and character places for
// screen readers and magnifiers, and the pane's answers to where its characters are.
#include "window/qt/text_pane_accessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>

#include <algorithm>

#include "window/qt/text_pane.h"

namespace webapitest {
namespace {

class AccessiblePane : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit AccessiblePane(TextPane* pane) : QAccessibleWidget(pane, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return pane()->PlainText();
    return QAccessibleWidget::text(t);
  }

  // QAccessibleTextInterface; offsets count the text's UTF-16 units.
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || pane()->caret() == pane()->anchor()) return;
    *start = Offset(std::min(pane()->caret(), pane()->anchor()));
    *end = Offset(std::max(pane()->caret(), pane()->anchor()));
  }
  int selectionCount() const override { return pane()->caret() == pane()->anchor() ? 0 : 1; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override { pane()->Select(pane()->caret(), pane()->caret()); }
  void setSelection(int, int start, int end) override {
    pane()->Select(static_cast<std::size_t>(std::max(start, 0)), static_cast<std::size_t>(std::max(end, 0)));
  }
  int cursorPosition() const override { return Offset(pane()->caret()); }
  void setCursorPosition(int position) override {
    const auto at = static_cast<std::size_t>(std::max(position, 0));
    pane()->Select(at, at);
  }
  QString text(int start, int end) const override {
    const std::u16string_view all = pane()->Text();
    const auto from = std::min(static_cast<std::size_t>(std::max(start, 0)), all.size());
    const auto to = std::min(static_cast<std::size_t>(std::max(end, 0)), all.size());
    if (to <= from) return {};
    return QString::fromUtf16(all.data() + from, static_cast<qsizetype>(to - from));
  }
  int characterCount() const override { return Offset(pane()->Text().size()); }
  QRect characterRect(int offset) const override {  // in screen coordinates
    const QRect rect = pane()->CharacterRect(static_cast<std::size_t>(std::max(offset, 0)));
    return {pane()->viewport()->mapToGlobal(rect.topLeft()), rect.size()};
  }
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint at = pane()->viewport()->mapFromGlobal(point);
    return pane()->viewport()->rect().contains(at) ? Offset(pane()->CharacterAt(at)) : -1;
  }
  void scrollToSubstring(int start, int) override { setCursorPosition(start); }
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  TextPane* pane() const { return static_cast<TextPane*>(widget()); }
  static int Offset(std::size_t offset) { return static_cast<int>(std::min<std::size_t>(offset, INT32_MAX)); }
};

}  // namespace

QRect TextPane::CharacterRect(std::size_t offset) const {
  const PaneRect r = geometry_.RectOf(model_.CellOf(offset));
  return QRectF(r.left, r.top, r.width, r.height).toAlignedRect();
}

std::size_t TextPane::CharacterAt(const QPoint& point) const { return model_.CharAt(PointAt(point)); }

QAccessibleInterface* TextPaneAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String("webapitest::TextPane") && object && object->isWidgetType())
    return new AccessiblePane(static_cast<TextPane*>(object));
  return nullptr;
}

}  // namespace webapitest
