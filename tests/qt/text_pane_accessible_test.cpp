// What a screen reader reads from the output pane, against Qt's own read-only box given the
// same text, font and width: the pieces at, before and after every offset, and the events
// that keys and the mouse send.
#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "window/qt/text_pane.h"

using webapitest::TextPane;

namespace {

constexpr int kColumns = 20;

struct Text {
  const char* name;
  QString text;
  int top = 0;  // the first row on screen
};

const Text kCorpus[] = {
    {"short lines", QStringLiteral("one\ntwo\n\nfour")},
    {"empty", QString()},
    {"tabs", QStringLiteral("\tstart\tmid\tend\t")},
    {"a long line of words", QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda")},
    {"a word longer than a row", QStringLiteral("ab abcdefghijklmnopqrstuvwxyz cd")},
    {"a row ending at the width", QStringLiteral("abcdefghijklmnopqrst\nabcdefghi klmnopqrs tuv")},
    {"blanks", QStringLiteral("          \n                         x")},
    {"lone LF", QStringLiteral("a\nb\n")},
    {"CR LF", QStringLiteral("ab\r\ncd\r\n")},
    {"more lines than a screen", QStringLiteral("a line of words\n").repeated(30)},
    {"wide characters", QString::fromUtf16(u"\u4E00\u4E01 ab \u3042\u3044\u3046 \u4E00\u4E01\u4E02\u4E03\u4E04\u4E05\u4E06")},
    {"combining accents", QString::fromUtf16(u"cafe\u0301 re\u0301sume\u0301 nai\u0308ve a\u0300\u0301b")},
    {"punctuation", QStringLiteral("foo, bar. (baz) a-b 'q' x=1; y")},
    {"a long text scrolled", QStringLiteral("a line of words\n").repeated(100), 60},
};

// Where Qt's box is not what the pane should answer, with the reason.
struct Difference {
  const char* text;  // a corpus name, or nullptr for all
  QAccessible::TextBoundaryType boundary;
  const char* query;  // nullptr for all
  bool firstPiece;    // only before the text's first piece
  const char* reason;
};
const Difference kKnown[] = {
    {nullptr, QAccessible::CharBoundary, "before", true,
     "before the first character Qt's box answers that character again (its cursor cannot go to -1, it warns and "
     "stays); the pane answers nothing, as there is nothing before"},
    {nullptr, QAccessible::WordBoundary, "before", true, "as for characters: Qt's box repeats the first word"},
    {nullptr, QAccessible::LineBoundary, "before", true, "as for characters: Qt's box repeats the first row"},
    {"wide characters", QAccessible::LineBoundary, nullptr, false,
     "Qt's box measures ideographs in whatever fallback font it finds (here one narrower than two cells) and so "
     "wraps later; the pane gives them two cells as the Windows box with an East Asian font and terminals do"},
    {"combining accents", QAccessible::CharBoundary, nullptr, false,
     "at an offset between a letter and its accent Qt's box answers the accent alone; the pane answers the "
     "whole character, as its caret never stops inside one"},
};

// An answer as ('text', start, end).
QString Ask(QAccessibleTextInterface* t, const char* query, QAccessible::TextBoundaryType boundary, int offset) {
  int start = 0, end = 0;
  QString text = qstrcmp(query, "at") == 0 ? t->textAtOffset(offset, boundary, &start, &end)
                 : qstrcmp(query, "before") == 0 ? t->textBeforeOffset(offset, boundary, &start, &end)
                                                 : t->textAfterOffset(offset, boundary, &start, &end);
  return QStringLiteral("('%1', %2, %3)").arg(text.replace(QLatin1Char('\n'), QLatin1String("\\n"))).arg(start).arg(end);
}

// The events a widget sent: 'c' for the caret moved, 's' for the selection changed.
QString* recorded = nullptr;
QObject* watched = nullptr;
void Record(QAccessibleEvent* event) {
  if (!recorded || event->object() != watched) return;
  if (event->type() == QAccessible::TextCaretMoved) *recorded += QLatin1Char('c');
  if (event->type() == QAccessible::TextSelectionChanged) *recorded += QLatin1Char('s');
}

}  // namespace

class TextPaneAccessibleTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TextPane> pane_;
  std::unique_ptr<QPlainTextEdit> box_;

  // Both 20 cells wide in the same fixed-pitch font, tabs every 8 cells, shown.
  void Load(const Text& c) {
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const qreal cell = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
    pane_ = std::make_unique<TextPane>();
    pane_->setFont(font);
    pane_->resize(qCeil(cell * kColumns) + 4 + pane_->verticalScrollBar()->sizeHint().width() + 2 * pane_->frameWidth(),
                  QFontMetrics(font).lineSpacing() * 5 + 4 + 2 * pane_->frameWidth());
    pane_->SetText(c.text.toStdU16String());
    box_ = std::make_unique<QPlainTextEdit>();
    box_->setReadOnly(true);
    box_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);  // a caret, as the pane
    box_->setFont(font);
    box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box_->setTabStopDistance(cell * 8);
    box_->document()->setDocumentMargin(0);
    box_->setPlainText(c.text);
    box_->show();
    pane_->show();
    QApplication::processEvents();
    box_->resize(box_->width() - box_->viewport()->width() + qCeil(cell * kColumns + cell / 2), pane_->height());
    QApplication::processEvents();
    pane_->verticalScrollBar()->setValue(c.top);
    box_->verticalScrollBar()->setValue(c.top);
    QCOMPARE(pane_->model().columns(), std::size_t{kColumns});
  }

  static QAccessibleTextInterface* TextOf(QWidget* w) { return QAccessible::queryAccessibleInterface(w)->textInterface(); }

 private slots:
  void initTestCase() {
    QAccessible::installUpdateHandler(Record);
    // On the accessibility bus (tests/qt/on-accessibility-bus) Qt sends events once its bridge is up.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
  }

  void piecesAtBeforeAndAfterEveryOffsetAreTheBoxs() {
    const std::pair<QAccessible::TextBoundaryType, const char*> boundaries[] = {
        {QAccessible::CharBoundary, "char"}, {QAccessible::WordBoundary, "word"}, {QAccessible::LineBoundary, "line"}};
    int asked = 0, agreed = 0;
    QStringList wrong;
    for (const Text& c : kCorpus) {
      Load(c);
      QAccessibleTextInterface *pane = TextOf(pane_.get()), *box = TextOf(box_.get());
      QCOMPARE(pane->characterCount(), box->characterCount());
      for (const auto& [boundary, boundaryName] : boundaries)
        for (const char* query : {"at", "before", "after"})
          for (int offset = 0; offset <= box->characterCount(); ++offset, ++asked) {
            const QString mine = Ask(pane, query, boundary, offset), theirs = Ask(box, query, boundary, offset);
            if (mine == theirs && ++agreed) continue;
            const bool known = std::any_of(std::begin(kKnown), std::end(kKnown), [&](const Difference& d) {
              return (!d.text || qstrcmp(d.text, c.name) == 0) && d.boundary == boundary &&
                     (!d.query || qstrcmp(d.query, query) == 0) &&
                     (!d.firstPiece || (mine.endsWith(QLatin1String(", -1, -1)")) && theirs.contains(QLatin1String(", 0, "))));
            });
            if (!known)
              wrong << QStringLiteral("%1: %2 %3 %4: pane %5, box %6")
                           .arg(QLatin1String(c.name), QLatin1String(query), QLatin1String(boundaryName))
                           .arg(offset)
                           .arg(mine, theirs);
          }
    }
    qInfo("%d of %d answers agree with Qt's box", agreed, asked);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 40).join(QLatin1Char('\n'))));
  }

  void keysAndTheMouseSendTheBoxsEvents() {
    struct Step {
      const char* name;
      Qt::Key key;  // or Qt::Key_unknown for a click, twice for a double click
      Qt::KeyboardModifiers modifiers;
      bool caretAsTheBox = true;  // false: Qt's box moves its caret to the end without saying so
    };
    const Step steps[] = {{"right", Qt::Key_Right, {}}, {"shift+right", Qt::Key_Right, Qt::ShiftModifier},
        {"shift+end", Qt::Key_End, Qt::ShiftModifier}, {"shift+left", Qt::Key_Left, Qt::ShiftModifier},
        {"home", Qt::Key_Home, {}}, {"home again", Qt::Key_Home, {}}, {"down", Qt::Key_Down, {}},
        {"ctrl+a", Qt::Key_A, Qt::ControlModifier, false}, {"a click", Qt::Key_unknown, {}},
        {"a double click", Qt::Key_unknown, Qt::ShiftModifier}};
    Load({"words", QStringLiteral("alpha beta gamma delta epsilon\nzeta eta")});
    QString all;
    for (const Step& s : steps) {
      QString events[2];
      QAbstractScrollArea* widgets[2] = {pane_.get(), box_.get()};
      for (int i = 0; i < 2; ++i) {
        widgets[i]->setFocus();
        recorded = &events[i], watched = widgets[i];
        if (s.key != Qt::Key_unknown) QTest::keyClick(widgets[i], s.key, s.modifiers);
        else if (s.modifiers) QTest::mouseDClick(widgets[i]->viewport(), Qt::LeftButton, {}, {30, 5});
        else QTest::mouseClick(widgets[i]->viewport(), Qt::LeftButton, {}, {30, 5});
        recorded = nullptr;
      }
      all += events[1];
      QVERIFY2(events[0].contains(QLatin1Char('s')) == events[1].contains(QLatin1Char('s')), s.name);
      QVERIFY2(!s.caretAsTheBox || events[0].contains(QLatin1Char('c')) == events[1].contains(QLatin1Char('c')), s.name);
      QCOMPARE(TextOf(pane_.get())->cursorPosition(), TextOf(box_.get())->cursorPosition());
    }
    QVERIFY(all.contains(QLatin1Char('s')) && all.contains(QLatin1Char('c')));
  }
};

QTEST_MAIN(TextPaneAccessibleTest)
#include "text_pane_accessible_test.moc"
