// The keyboard: Tab and Shift+Tab, the access keys, Enter and Escape, and boxes the user
// cannot change.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "window_fixture.h"

using namespace webapitest;
using namespace webapitest::testing;

Q_DECLARE_METATYPE(Control)

namespace {

// A button pressed by its access key clicks a moment later, as it is drawn pressed first:
// waits until no button of the window is drawn pressed any more (the click has happened),
// and a little longer for what the click set off.
void WaitForClicks(const QWidget& window) {
  const auto pressed = [&window] {
    for (const QPushButton* button : window.findChildren<QPushButton*>())
      if (button->isDown()) return true;
    return false;
  };
  QTest::qWait(20);
  QVERIFY(QTest::qWaitFor([&] { return !pressed(); }, 5000));
  QTest::qWait(50);
}

const QStringList kTabOrder = {
    "host",    "StatusButton",     "reqFile",     "checkFileRaw",  "FileRequestButton", "RequestUrl",
    "request", "checkMemRaw",      "MemRequestButton", "ResetButton", "repFile",        "RefreshButton",
    "ReplyUrl", "status",          "ClearButton", "output"};

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

}  // namespace

class WindowKeyboardTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowUnderTest> ui_;

  // The window as Form_Load left it, with the scripted library's record cleared.
  void StartWindow() {
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    ui_->scripted.Reset();
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
  void init() { StartWindow(); }
  void cleanup() { ui_.reset(); }

  void focusStartsInHost() { QCOMPARE(ui_->FocusName(), QStringLiteral("host")); }

  // Tab goes round the sixteen controls and back to host, into and out of the multi-line
  // request box without typing into it; Shift+Tab goes the other way.
  void tabGoesRoundInTabOrder_data() {
    QTest::addColumn<bool>("backward");
    QTest::newRow("Tab") << false;
    QTest::newRow("Shift+Tab") << true;
  }
  void tabGoesRoundInTabOrder() {
    QFETCH(bool, backward);
    QStringList visited;
    for (int i = 0; i < kTabOrder.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backward ? Qt::ShiftModifier : Qt::NoModifier);
      visited << ui_->FocusName();
    }
    QStringList expected;
    const qsizetype n = kTabOrder.size();
    for (qsizetype i = 1; i <= n; ++i) expected << kTabOrder[backward ? (n - i) % n : i % n];
    QCOMPARE(visited, expected);
    QVERIFY(!ui_->window.Text(Control::request).empty());
    QVERIFY(ui_->window.Text(Control::request).find(u'\t') == std::u16string::npos);
  }

  // Alt and the letter click the button from inside the request box, as a mouse click would.
  void accessKeyClicksItsButton_data() {
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QStringList>("entries");  // the library calls the click makes
    QTest::addColumn<QString>("opened");       // the path it hands to the desktop
    QTest::addColumn<QString>("output");       // what the output pane then shows
    const QStringList none;
    QTest::newRow("Alt+S StatusButton") << Qt::Key_S << QStringList{"webApiStatusRequest", "webApiWriteLastReply"}
                                        << "" << "reply line\n";
    QTest::newRow("Alt+F FileRequestButton")
        << Qt::Key_F << QStringList{"webApiFileRequest", "webApiWriteLastReply"} << "" << "reply line\n";
    QTest::newRow("Alt+Q RequestUrl") << Qt::Key_Q << none << "request.xml" << "before\n";
    QTest::newRow("Alt+T MemRequestButton")
        << Qt::Key_T << QStringList{"webApiMemRequest", "webApiWriteLastReply"} << "" << "reply line\n";
    QTest::newRow("Alt+R RefreshButton") << Qt::Key_R << none << "" << "on disk\n";
    QTest::newRow("Alt+P ReplyUrl") << Qt::Key_P << none << "reply.txt" << "before\n";
    QTest::newRow("Alt+C ClearButton") << Qt::Key_C << none << "" << "";
  }
  void accessKeyClicksItsButton() {
    QFETCH(Qt::Key, key);
    QFETCH(QStringList, entries);
    QFETCH(QString, opened);
    QFETCH(QString, output);
    WriteFile(ui_->Path("reply.txt"), "on disk\r\n");
    ui_->window.SetText(Control::output, u"before\r\n");
    ui_->window.Focus(Control::request);
    QTest::keyClick(ui_->window.Widget(Control::request), key, Qt::AltModifier);
    WaitForClicks(ui_->window);

    QStringList made;
    for (const std::string& entry : ui_->Entries()) made << QString::fromStdString(entry);
    QCOMPARE(made, entries);
    QStringList openedPaths;
    for (const std::u16string& path : ui_->opened) openedPaths << QString::fromStdU16String(path);
    QCOMPARE(openedPaths, opened.isEmpty() ? QStringList() : QStringList{ui_->Path(opened)});
    QCOMPARE(ui_->Get<TextPane>(Control::output)->PlainText(), output);
  }

  // No other Alt+letter or Alt+digit clicks anything; in particular none resets the request.
  // (Qt types the letter of an Alt+letter that is no access key, as everywhere on Linux.)
  void otherAltKeysClickNothing() {
    const QString keys = QStringLiteral("SFQTRPC");
    ui_->window.SetText(Control::request, u"typed by the user");
    ui_->window.SetText(Control::output, u"kept");
    ui_->window.Focus(Control::request);
    for (int k = Qt::Key_0; k <= Qt::Key_Z; ++k) {
      if (k > Qt::Key_9 && k < Qt::Key_A) continue;
      if (keys.contains(QChar(k))) continue;
      QTest::keyClick(ui_->window.Widget(Control::request), static_cast<Qt::Key>(k), Qt::AltModifier);
    }
    WaitForClicks(ui_->window);
    QVERIFY(QString::fromStdU16String(ui_->window.Text(Control::request)).endsWith(u"typed by the user"));
    QCOMPARE(ui_->window.Text(Control::output), u"kept");
    QVERIFY(ui_->Entries().empty());
    QVERIFY(ui_->opened.empty());
  }

  // Enter and Escape click no button, wherever the focus is.
  void enterAndEscapeClickNothing_data() {
    QTest::addColumn<Control>("focus");
    QTest::addColumn<Qt::Key>("key");
    for (const auto& [name, control] : {std::pair{"host", Control::host}, {"reqFile", Control::reqFile},
                                        {"repFile", Control::repFile}, {"status", Control::status},
                                        {"StatusButton", Control::StatusButton},
                                        {"MemRequestButton", Control::MemRequestButton},
                                        {"checkFileRaw", Control::checkFileRaw}}) {
      QTest::newRow(qPrintable(QStringLiteral("Enter in %1").arg(name))) << control << Qt::Key_Return;
      QTest::newRow(qPrintable(QStringLiteral("keypad Enter in %1").arg(name))) << control << Qt::Key_Enter;
      QTest::newRow(qPrintable(QStringLiteral("Escape in %1").arg(name))) << control << Qt::Key_Escape;
    }
  }
  void enterAndEscapeClickNothing() {
    QFETCH(Control, focus);
    QFETCH(Qt::Key, key);
    const std::u16string request = ui_->window.Text(Control::request);
    ui_->window.SetText(Control::output, u"kept");
    ui_->window.Focus(focus);
    QTest::keyClick(ui_->window.Widget(focus), key);
    WaitForClicks(ui_->window);
    QVERIFY(ui_->Entries().empty());
    QVERIFY(ui_->opened.empty());
    QCOMPARE(ui_->window.Text(Control::output), u"kept");
    QCOMPARE(ui_->window.Text(Control::request), request);
    QCOMPARE(ui_->window.Text(Control::status), u"0");
    QVERIFY(ui_->window.isVisible());
  }

  // status and output take no typing, pasting or cutting, but select and copy.
  void readOnlyBoxesSelectAndCopyButNeverChange_data() {
    QTest::addColumn<Control>("box");
    QTest::newRow("status") << Control::status;
    QTest::newRow("output") << Control::output;
  }
  void readOnlyBoxesSelectAndCopyButNeverChange() {
    QFETCH(Control, box);
    ui_->window.SetText(box, u"-42");
    QWidget* widget = ui_->window.Widget(box);
    QTest::mouseClick(widget, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), widget);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClicks(widget, "9x");
    QTest::keyClick(widget, Qt::Key_Backspace);
    QTest::keyClick(widget, Qt::Key_Delete);
    QTest::keyClick(widget, Qt::Key_Return);
    QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(ui_->window.Text(box), u"-42");

    QApplication::clipboard()->clear();
    QTest::keyClick(widget, Qt::Key_Home);
    QTest::keyClick(widget, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(widget, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("-42"));
    QVERIFY(ui_->Entries().empty());
  }
};

QTEST_MAIN(WindowKeyboardTest)
#include "window_keyboard_test.moc"
