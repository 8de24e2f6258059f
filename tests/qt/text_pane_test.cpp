// The output pane as a user works it: wrapping, caret keys, mouse selection, copying.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTest>
#include <QtMath>
#include <QWheelEvent>

#include "window/qt/text_pane.h"

using webapitest::TextPane;

class TextPaneTest : public QObject {
  Q_OBJECT

 private:
  // A pane 20 characters wide and 5 rows high, shown and focused.
  std::unique_ptr<TextPane> Pane(std::u16string_view text) {
    auto pane = std::make_unique<TextPane>();
    pane->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetricsF metrics(pane->font());
    pane->resize(qCeil(metrics.horizontalAdvance(QLatin1Char('M')) * 20) + 4 +
                     pane->verticalScrollBar()->sizeHint().width() + 2 * pane->frameWidth(),
                 QFontMetrics(pane->font()).lineSpacing() * 5 + 4 + 2 * pane->frameWidth());
    pane->SetText(std::u16string(text));
    pane->show();
    pane->setFocus();
    return pane;
  }

 private slots:
  void longLinesWrapAtThePanesWidth() {
    auto pane = Pane(u"0123456789012345678901234\r\nshort\r\n");
    QCOMPARE(pane->model().columns(), 20u);
    QCOMPARE(pane->model().RowCount(), 4u);  // 20 + 5 characters, "short", the empty last line
  }

  void caretKeysMoveAndShiftSelects() {
    auto pane = Pane(u"abc\r\ndef\r\nghi");
    QTest::keyClick(pane.get(), Qt::Key_Down);
    QTest::keyClick(pane.get(), Qt::Key_Right);
    QCOMPARE(pane->caret(), 6u);  // "d|ef"
    QTest::keyClick(pane.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(pane.get(), Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(pane->SelectedText(), QStringLiteral("ef\nghi"));
    QTest::keyClick(pane.get(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(pane->caret(), 0u);
    QCOMPARE(pane->SelectedText(), QString());
    QTest::keyClick(pane.get(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(pane.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("abc\ndef\nghi"));
  }

  void theMouseSelectsByDragging() {
    auto pane = Pane(u"first line\r\nsecond line");
    const qreal w = QFontMetricsF(pane->font()).horizontalAdvance(QLatin1Char('M'));
    const int h = QFontMetrics(pane->font()).lineSpacing();
    const auto at = [&](int column, int row) { return QPoint(qRound(2 + column * w), 2 + row * h + h / 2); };
    QWidget* view = pane->viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, at(6, 0));
    QTest::mouseMove(view, at(6, 1));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(6, 1));
    QCOMPARE(pane->SelectedText(), QStringLiteral("line\nsecond"));
    QTest::mouseDClick(view, Qt::LeftButton, {}, at(3, 1));
    QCOMPARE(pane->SelectedText(), QStringLiteral("second"));
  }

  void draggingAboveThePaneScrollsUp() {
    std::u16string reply;
    for (int i = 0; i < 100; ++i) reply += u"line\r\n";
    auto pane = Pane(reply);
    pane->verticalScrollBar()->setValue(50);
    QWidget* view = pane->viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
    for (int i = 0; i < 3; ++i) QTest::mouseMove(view, QPoint(10, -5));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(10, -5));
    QCOMPARE(pane->verticalScrollBar()->value(), 47);
    QVERIFY(pane->caret() < pane->anchor());
  }

  void theCaretKeepsInViewOfALargeReply() {
    std::u16string reply;
    for (int i = 0; i < 100000; ++i) reply += u"line\r\n";
    auto pane = Pane(reply);
    QTest::keyClick(pane.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
    QVERIFY(pane->verticalScrollBar()->maximum() > 99990);
    QTest::keyClick(pane.get(), Qt::Key_PageUp);
    QCOMPARE(pane->model().RowOf(pane->caret()), 100000u - 5u);
  }

  // Replies that choke ordinary text boxes: shown at once, and the end is reachable.
  void hugeRepliesStayUsable_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("lineLength");
    QTest::newRow("50 MB in one line") << 1 << (50 << 20);
    QTest::newRow("10 million empty lines") << 10000000 << 0;
  }
  void hugeRepliesStayUsable() {
    QFETCH(int, lines);
    QFETCH(int, lineLength);
    std::u16string reply;
    reply.reserve(static_cast<std::size_t>(lines) * static_cast<std::size_t>(lineLength + 2));
    for (int i = 0; i < lines; ++i) reply.append(static_cast<std::size_t>(lineLength), u'z').append(u"\r\n");
    auto pane = Pane(u"");
    QElapsedTimer timer;
    timer.start();
    pane->SetText(reply);
    pane->viewport()->repaint();
    QTest::keyClick(pane.get(), Qt::Key_End, Qt::ControlModifier);
    pane->viewport()->repaint();
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));  // not frozen
    QCOMPARE(pane->caret(), reply.size());
    QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
  }

  // A screen reader reads the reply and follows the caret and the selection.
  void screenReadersReadTheText() {
    auto pane = Pane(u"first\r\nsecond");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(pane.get());
    QVERIFY(accessible);
    QVERIFY(accessible->state().readOnly);
    QAccessibleTextInterface* text = accessible->textInterface();
    QVERIFY(text);
    QCOMPARE(text->characterCount(), 12);  // counted with LF breaks, as in Qt's own box
    QCOMPARE(text->text(6, 12), QStringLiteral("second"));
    QCOMPARE(accessible->text(QAccessible::Value), QStringLiteral("first\nsecond"));
    text->setSelection(0, 6, 9);
    QCOMPARE(pane->SelectedText(), QStringLiteral("sec"));
    int start = 0, end = 0;
    text->selection(0, &start, &end);
    QCOMPARE(start, 6);
    QCOMPARE(end, 9);
    QCOMPARE(text->cursorPosition(), 9);
  }

  // Magnifiers and tests find each character where it is painted: a tab reaches its stop, a
  // long line wraps after the last blank that fits the pane's 20 columns.
  void charactersAreFoundWhereTheyArePainted_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("cells");
    QTest::newRow("a tab, to its stop") << 1 << 0 << 1 << 7;
    QTest::newRow("after a tab") << 2 << 0 << 8 << 1;
    QTest::newRow("the last word that fits") << 15 << 1 << 11 << 1;  // offsets with LF breaks
    QTest::newRow("the blank that ends a row") << 20 << 1 << 16 << 1;
    QTest::newRow("the word that wraps") << 21 << 2 << 0 << 1;
  }
  void charactersAreFoundWhereTheyArePainted() {
    QFETCH(int, offset);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, cells);
    auto pane = Pane(u"a\tb\r\nalpha beta gamma delta");
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(pane.get())->textInterface();
    const qreal w = QFontMetricsF(pane->font()).horizontalAdvance(QLatin1Char('M'));
    const int h = QFontMetrics(pane->font()).lineSpacing();
    const QRect painted = QRectF(2 + column * w, 2 + row * h, cells * w, h)
                              .toAlignedRect()
                              .translated(pane->viewport()->mapToGlobal(QPoint(0, 0)));
    QCOMPARE(text->characterRect(offset), painted);
    QCOMPARE(text->offsetAtPoint(painted.center()), offset);
    QCOMPARE(text->offsetAtPoint(pane->mapToGlobal(QPoint(-5, -5))), -1);  // outside the pane
  }

  // A wheel's small turns (touchpads) and a touchpad's pixels add up until they make a row.
  void smallWheelTurnsAddUpToRows() {
    std::u16string reply;
    for (int i = 0; i < 100; ++i) reply += u"line\r\n";
    auto pane = Pane(reply);
    const auto turn = [&](QPoint pixels, QPoint angle) {
      const QPointF at(10, 10);
      QWheelEvent event(at, pane->viewport()->mapToGlobal(at), pixels, angle, Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(pane->viewport(), &event);
    };
    turn({}, {0, -30});
    QCOMPARE(pane->verticalScrollBar()->value(), 0);  // not yet a row
    for (int i = 0; i < 3; ++i) turn({}, {0, -30});
    QCOMPARE(pane->verticalScrollBar()->value(), QApplication::wheelScrollLines());  // as one notch of 120
    const int h = QFontMetrics(pane->font()).lineSpacing();
    turn({0, -(h / 2)}, {0, -1});
    turn({0, -(h - h / 2)}, {0, -1});
    QCOMPARE(pane->verticalScrollBar()->value(), QApplication::wheelScrollLines() + 1);
  }

  void newTextStartsAtTheTop() {
    auto pane = Pane(u"a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n");
    QTest::keyClick(pane.get(), Qt::Key_End, Qt::ControlModifier);
    pane->SetText(u"new");
    QCOMPARE(pane->caret(), 0u);
    QCOMPARE(pane->verticalScrollBar()->value(), 0);
    QCOMPARE(pane->SelectedText(), QString());
  }
};

QTEST_MAIN(TextPaneTest)
#include "text_pane_test.moc"
