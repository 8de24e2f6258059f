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
};

QString Lines(int count) {
  QString text;
  for (int i = 0; i < count; ++i) text += QStringLiteral("line %1 of words\n").arg(i);
  return text;
}

const Text kCorpus[] = {
    {"short lines", QStringLiteral("one\ntwo\n\nfour")},
    {"empty", QString()},
    {"tabs", QStringLiteral("\tstart\tmid\tend\t")},
    {"a long line of words", QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda")},
    {"a word longer than a row", QStringLiteral("ab abcdefghijklmnopqrstuvwxyz cd")},
    {"a row ending at the width", QStringLiteral("abcdefghijklmnopqrst\nabcdefghi klmnopqrs tuv")},
    {"blanks", QStringLiteral("          \n                         x")},
    {"lone LF", QStringLiteral("a\nb\n")},
    {"more lines than a screen", Lines(30)},
    {"wide characters", QString::fromUtf16(u"\u4E00\u4E01 ab \u3042\u3044\u3046 \u4E00\u4E01\u4E02\u4E03\u4E04\u4E05\u4E06")},
    {"combining accents", QString::fromUtf16(u"cafe\u0301 re\u0301sume\u0301 nai\u0308ve a\u0300\u0301b")},
    {"punctuation", QStringLiteral("foo, bar. (baz) a-b 'q' x=1; y")},
    {"a long text scrolled", Lines(100)},
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

struct Answer {
  QString text;
  int start, end;
  bool operator==(const Answer& o) const { return text == o.text && start == o.start && end == o.end; }
};

Answer Ask(QAccessibleTextInterface* t, const char* query, QAccessible::TextBoundaryType boundary, int offset) {
  Answer a{{}, 0, 0};
  if (qstrcmp(query, "at") == 0) a.text = t->textAtOffset(offset, boundary, &a.start, &a.end);
  else if (qstrcmp(query, "before") == 0) a.text = t->textBeforeOffset(offset, boundary, &a.start, &a.end);
  else a.text = t->textAfterOffset(offset, boundary, &a.start, &a.end);
  return a;
}

QString Show(const Answer& a) {
  return QStringLiteral("('%1', %2, %3)").arg(QString(a.text).replace(QLatin1Char('\n'), QLatin1String("\\n"))).arg(a.start).arg(a.end);
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

  // Both 20 cells wide in the same fixed-pitch font, tabs every 8 cells, shown and focused.
  void Load(const QString& text) {
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const qreal cell = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
    pane_ = std::make_unique<TextPane>();
    pane_->setFont(font);
    pane_->resize(qCeil(cell * kColumns) + 4 + pane_->verticalScrollBar()->sizeHint().width() + 2 * pane_->frameWidth(),
                  QFontMetrics(font).lineSpacing() * 5 + 4 + 2 * pane_->frameWidth());
    pane_->SetText(text.toStdU16String());
    box_ = std::make_unique<QPlainTextEdit>();
    box_->setReadOnly(true);
    box_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    box_->setFont(font);
    box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box_->setTabStopDistance(cell * 8);
    box_->document()->setDocumentMargin(0);
    box_->setPlainText(text);
    box_->show();
    box_->resize(400, pane_->height());
    QApplication::processEvents();
    box_->resize(box_->width() - box_->viewport()->width() + qCeil(cell * kColumns + cell / 2), pane_->height());
    pane_->show();
    QApplication::processEvents();
    QCOMPARE(pane_->model().columns(), std::size_t{kColumns});
  }

  static QAccessibleTextInterface* TextOf(QWidget* w) { return QAccessible::queryAccessibleInterface(w)->textInterface(); }

 private slots:
  void initTestCase() {
    QAccessible::installUpdateHandler(Record);
    // Run on the accessibility bus (tests/qt/on-accessibility-bus): Qt sends events only
    // once its bridge is connected.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
  }

  void piecesAtBeforeAndAfterEveryOffsetAreTheBoxs() {
    const std::pair<QAccessible::TextBoundaryType, const char*> boundaries[] = {
        {QAccessible::CharBoundary, "char"}, {QAccessible::WordBoundary, "word"}, {QAccessible::LineBoundary, "line"}};
    int asked = 0, agreed = 0;
    QStringList wrong;
    for (const Text& c : kCorpus) {
      Load(c.text);
      QAccessibleTextInterface* pane = TextOf(pane_.get());
      QAccessibleTextInterface* box = TextOf(box_.get());
      QCOMPARE(pane->characterCount(), box->characterCount());
      for (const auto& [boundary, boundaryName] : boundaries)
        for (const char* query : {"at", "before", "after"})
          for (int offset = 0; offset <= c.text.size(); ++offset) {
            const Answer mine = Ask(pane, query, boundary, offset), theirs = Ask(box, query, boundary, offset);
            ++asked;
            if (mine == theirs) {
              ++agreed;
              continue;
            }
            const bool known = std::any_of(std::begin(kKnown), std::end(kKnown), [&](const Difference& d) {
              return (!d.text || qstrcmp(d.text, c.name) == 0) && d.boundary == boundary && (!d.query || qstrcmp(d.query, query) == 0) &&
                     (!d.firstPiece || (mine.start == -1 && theirs.start == 0));
            });
            if (!known)
              wrong << QStringLiteral("%1: %2 %3 %4: pane %5, box %6")
                           .arg(QLatin1String(c.name), QLatin1String(query), QLatin1String(boundaryName))
                           .arg(offset)
                           .arg(Show(mine), Show(theirs));
          }
    }
    qInfo("%d of %d answers agree with Qt's box", agreed, asked);
    if (!wrong.isEmpty()) qWarning("%s", qPrintable(wrong.mid(0, 60).join(QLatin1Char('\n'))));
    QCOMPARE(wrong.size(), 0);
  }

  void keysAndTheMouseSendTheBoxsEvents() {
    struct Step {
      const char* name;
      std::function<void(QWidget*)> act;
      bool caretAsTheBox = true;  // false: Qt's box moves its caret to the end without saying so
    };
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
      return [k, m](QWidget* w) { QTest::keyClick(w, k, m); };
    };
    const auto click = [](QPoint at, bool twice) {
      return [at, twice](QWidget* w) {
        QWidget* v = static_cast<QAbstractScrollArea*>(w)->viewport();
        if (twice) QTest::mouseDClick(v, Qt::LeftButton, {}, at);
        else QTest::mouseClick(v, Qt::LeftButton, {}, at);
      };
    };
    const Step steps[] = {
        {"right", key(Qt::Key_Right)},
        {"shift+right", key(Qt::Key_Right, Qt::ShiftModifier)},
        {"shift+end", key(Qt::Key_End, Qt::ShiftModifier)},
        {"shift+left", key(Qt::Key_Left, Qt::ShiftModifier)},
        {"home", key(Qt::Key_Home)},
        {"home again", key(Qt::Key_Home)},
        {"down", key(Qt::Key_Down)},
        {"ctrl+a", key(Qt::Key_A, Qt::ControlModifier), false},
        {"a click", click({30, 5}, false)},
        {"a double click", click({30, 5}, true)},
    };
    Load(QStringLiteral("alpha beta gamma delta epsilon\nzeta eta"));
    QString all;
    for (const Step& s : steps) {
      QString events[2];
      QWidget* widgets[2] = {pane_.get(), box_.get()};
      for (int i = 0; i < 2; ++i) {
        widgets[i]->setFocus();
        recorded = &events[i];
        watched = widgets[i];
        s.act(widgets[i]);
        recorded = nullptr;
      }
      qInfo("%s: pane %s, box %s", s.name, qPrintable(events[0]), qPrintable(events[1]));
      all += events[1];
      QCOMPARE(events[0].contains(QLatin1Char('s')), events[1].contains(QLatin1Char('s')));
      if (s.caretAsTheBox) QCOMPARE(events[0].contains(QLatin1Char('c')), events[1].contains(QLatin1Char('c')));
      QCOMPARE(TextOf(pane_.get())->cursorPosition(), TextOf(box_.get())->cursorPosition());
    }
    QVERIFY(all.contains(QLatin1Char('s')) && all.contains(QLatin1Char('c')));
  }
};

QTEST_MAIN(TextPaneAccessibleTest)
#include "text_pane_accessible_test.moc"
