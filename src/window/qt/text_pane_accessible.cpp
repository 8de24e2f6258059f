// The output pane's accessible interface: its text, caret, selection and character places for
// screen readers and magnifiers, and the pane's answers to where its characters are.
#include "window/qt/text_pane_accessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <algorithm>

#include "window/qt/text_pane.h"

namespace webapitest {
namespace {

int ToOffset(std::size_t offset) { return static_cast<int>(std::min<std::size_t>(offset, INT32_MAX)); }

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

  // QAccessibleTextInterface; offsets count the UTF-16 units of the text with LF breaks, as
  // Qt's own boxes hold it.
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
    pane()->Select(Stored(start), Stored(end));
  }
  int cursorPosition() const override { return Offset(pane()->caret()); }
  void setCursorPosition(int position) override {
    pane()->Select(Stored(position), Stored(position));
  }
  QString text(int start, int end) const override {
    const std::u16string_view all = pane()->Text();
    const std::size_t from = Stored(start), to = Stored(end);
    if (to <= from) return {};
    return QString::fromUtf16(all.data() + from, static_cast<qsizetype>(to - from)).replace(QLatin1String("\r\n"), QLatin1String("\n"));
  }
  int characterCount() const override { return Offset(pane()->Text().size()); }
  QRect characterRect(int offset) const override {  // in screen coordinates
    const QRect rect = pane()->CharacterRect(Stored(offset));
    return {pane()->viewport()->mapToGlobal(rect.topLeft()), rect.size()};
  }
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint at = pane()->viewport()->mapFromGlobal(point);
    return pane()->viewport()->rect().contains(at) ? Offset(pane()->CharacterAt(at)) : -1;
  }
  void scrollToSubstring(int start, int) override { setCursorPosition(start); }
  // One run of attributes covers the whole text (the selection's colours are not the text's),
  // written as Qt's own text boxes write them; offset -1 asks for the defaults.
  QString attributes(int offset, int* start, int* end) const override {
    const int count = characterCount();
    if (offset < -1 || offset > count) {
      *start = *end = -1;
      return {};
    }
    *start = 0;
    *end = count;
    const QFont font = pane()->font();
    const QPalette palette = pane()->palette();
    const auto rgb = [](const QColor& c) { return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue()); };
    QString family = font.family();
    family.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char(':'), QLatin1String("\\:"));
    family.replace(QLatin1Char(','), QLatin1String("\\,")).replace(QLatin1Char('='), QLatin1String("\\="));
    family.replace(QLatin1Char(';'), QLatin1String("\\;")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    QString text = QStringLiteral("background-color:%1;color:%2;font-family:\"%3\";")
                       .arg(rgb(palette.color(QPalette::Base)), rgb(palette.color(QPalette::Text)), family);
    if (const int size = static_cast<int>(font.pointSizeF())) text += QStringLiteral("font-size:%1pt;").arg(size);
    text += QStringLiteral("font-style:%1;font-weight:%2;text-align:left;text-position:baseline;")
                .arg(QLatin1String(font.italic() ? "italic" : "normal"))
                .arg(static_cast<int>(font.weight()));
    return text;
  }

  // The pieces a screen reader reads, all from the pane's model: none needs more than the
  // line that holds the offset. Before and after are the pieces next to the one at offset.
  QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
    const auto [from, to] = PieceAt(Stored(offset), type);
    return Answer(from, to, start, end);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
    const std::size_t at = PieceAt(Stored(offset), type).first;
    if (at == 0 || offset > characterCount()) return Answer(1, 0, start, end);
    const auto [from, to] = PieceAt(at - 1, type);
    return Answer(from, to, start, end);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
    const std::size_t at = PieceAt(Stored(offset), type).second;
    if (offset < 0 || offset > characterCount()) return Answer(1, 0, start, end);
    const auto [from, to] = PieceAt(at, type);
    return Answer(from, to, start, end);
  }

 private:
  TextPane* pane() const { return static_cast<TextPane*>(widget()); }

  // [from, to) of the piece at a stored offset.
  std::pair<std::size_t, std::size_t> PieceAt(std::size_t at, QAccessible::TextBoundaryType type) const {
    using Reading = PaneModel::Reading;
    const PaneModel& model = pane()->model();
    switch (type) {
      case QAccessible::CharBoundary: return model.ReadingAt(at, Reading::Character);
      case QAccessible::WordBoundary: return model.ReadingAt(at, Reading::Word);
      case QAccessible::LineBoundary: return model.ReadingAt(at, Reading::Row);
      case QAccessible::ParagraphBoundary: return model.ReadingAt(at, Reading::Line);
      case QAccessible::SentenceBoundary: return SentenceAt(at);
      case QAccessible::NoBoundary: break;
    }
    return {0, model.Text().size()};
  }

  // Sentences as Qt's own box finds them: by Unicode's rules within the line.
  std::pair<std::size_t, std::size_t> SentenceAt(std::size_t offset) const {
    const auto [start, end] = pane()->model().ReadingAt(offset, PaneModel::Reading::Line);
    const QString line = text(Offset(start), Offset(end));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, line);
    const qsizetype within = static_cast<qsizetype>(std::min(offset, end) - start);
    finder.setPosition(within);
    qsizetype previous = within;
    if (!(finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)) previous = finder.toPreviousBoundary();
    const qsizetype next = finder.toNextBoundary();
    return {previous < 0 ? start : start + static_cast<std::size_t>(previous),
            next < 0 ? end : start + static_cast<std::size_t>(next)};
  }

  // The text of [from, to) and its ends; an empty answer ends at -1 when from is past to.
  QString Answer(std::size_t from, std::size_t to, int* start, int* end) const {
    if (from > to) {
      *start = *end = -1;
      return {};
    }
    *start = Offset(from);
    *end = Offset(to);
    return text(*start, *end);
  }
  // A stored offset (CR LF breaks) as screen readers count it, and back; out of the text: its ends.
  int Offset(std::size_t offset) const { return ToOffset(pane()->model().LfOffset(offset)); }
  std::size_t Stored(int offset) const { return pane()->model().FromLfOffset(static_cast<std::size_t>(std::max(offset, 0))); }
};

}  // namespace

QRect TextPane::CharacterRect(std::size_t offset) const {
  const PaneRect r = geometry_.RectOf(model_.CellOf(offset));
  return QRectF(r.left, r.top, r.width, r.height).toAlignedRect();
}

std::size_t TextPane::CharacterAt(const QPoint& point) const { return model_.CharAt(PointAt(point)); }

void TextPane::TellScreenReaders() {
  const std::size_t caret = model_.caret(), anchor = model_.anchor();
  if (caret == toldCaret_ && anchor == toldAnchor_) return;
  const bool moved = caret != toldCaret_;
  const bool selectionChanged = std::minmax(caret, anchor) != std::minmax(toldCaret_, toldAnchor_) &&
                                (caret != anchor || toldCaret_ != toldAnchor_);
  toldCaret_ = caret;
  toldAnchor_ = anchor;
  if (!QAccessible::isActive()) return;
  if (selectionChanged) {  // every change of the selection, by keys, mouse or a program
    const auto [from, to] = std::minmax(caret, anchor);
    const int start = ToOffset(model_.LfOffset(from)), end = ToOffset(model_.LfOffset(to));
    QAccessibleTextSelectionEvent selected(this, from == to ? -1 : start, from == to ? -1 : end);
    selected.setCursorPosition(ToOffset(model_.LfOffset(caret)));
    QAccessible::updateAccessibility(&selected);
  }
  if (moved) {  // screen readers follow the caret
    QAccessibleTextCursorEvent cursor(this, ToOffset(model_.LfOffset(caret)));
    QAccessible::updateAccessibility(&cursor);
  }
}

QAccessibleInterface* TextPaneAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String("webapitest::TextPane") && object && object->isWidgetType())
    return new AccessiblePane(static_cast<TextPane*>(object));
  return nullptr;
}

}  // namespace webapitest
