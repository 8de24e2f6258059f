// A request as the user sees it: the lights, the status code and the reply, the message
// boxes, closing the window, failures that end the program, and text across the window's edge.
#include <QApplication>
#include <QElapsedTimer>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>

#include "client/request_template.h"
#include "window/qt/light.h"
#include "window_fixture.h"

using namespace webapitest;
using namespace webapitest::testing;

Q_DECLARE_METATYPE(Control)

namespace {

// How a light looked at its last paint.
QString Painted(const Light& light) {
  if (light.PaintedFill() == Fill::Transparent) return QStringLiteral("dark");
  switch (light.PaintedColor()) {
    case kGreen: return QStringLiteral("green");
    case kRed: return QStringLiteral("red");
    default: return QStringLiteral("lit %1").arg(light.PaintedColor(), 6, 16, QLatin1Char('0'));
  }
}

int Count(const std::vector<std::string>& entries, const std::string& entry) {
  return static_cast<int>(std::count(entries.begin(), entries.end(), entry));
}

}  // namespace

class RequestCycleTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowUnderTest> ui_;

  QString Lights() const {
    return Painted(ui_->window.LightOf(Control::ActiveShape)) + " " +
           Painted(ui_->window.LightOf(Control::StatusShape));
  }

 private slots:
  void initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    qputenv("WEBAPITEST_OPENER", "true");
  }
  void cleanup() { ui_.reset(); }

  // One request of each kind: the code shows as text, the status light turns green or red,
  // and the reply (success) or the fault (failure) fills the output pane.
  void requestShowsItsOutcome_data() {
    QTest::addColumn<Control>("button");
    QTest::addColumn<bool>("raw");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("lights");
    QTest::addColumn<QString>("output");
    QTest::newRow("status, 0") << Control::StatusButton << false << "webApiStatusRequest" << 0
                               << "dark green" << "the reply\n";
    QTest::newRow("free text, 7") << Control::MemRequestButton << false << "webApiMemRequest" << 7
                                  << "dark red" << "the fault\n";
    QTest::newRow("free text raw, 0") << Control::MemRequestButton << true
                                      << "webApiMemRequestRaw" << 0 << "dark green" << "the reply\n";
    QTest::newRow("file, -1") << Control::FileRequestButton << false << "webApiFileRequest" << -1
                              << "dark red" << "the fault\n";
    QTest::newRow("file raw, 7") << Control::FileRequestButton << true << "webApiFileRequestRaw"
                                 << 7 << "dark red" << "the fault\n";
  }
  void requestShowsItsOutcome() {
    QFETCH(Control, button);
    QFETCH(bool, raw);
    QFETCH(QString, entry);
    QFETCH(int, code);
    QFETCH(QString, lights);
    QFETCH(QString, output);
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    QCOMPARE(Lights(), QStringLiteral("dark dark"));
    ui_->scripted.Reset();
    ui_->scripted.SetResult(entry.toStdString(), code);
    ui_->scripted.SetReply("the reply\r\n");
    ui_->scripted.SetFault("the fault\r\n");
    if (raw) {
      const Control box = button == Control::MemRequestButton ? Control::checkMemRaw : Control::checkFileRaw;
      QTest::mouseClick(ui_->window.Widget(box), Qt::LeftButton);
    }

    ui_->Click(button);

    QCOMPARE(ui_->Entries(), (std::vector<std::string>{entry.toStdString(), code == 0 ? "webApiWriteLastReply"
                                                                                      : "webApiWriteLastFault"}));
    QCOMPARE(ui_->Get<QLineEdit>(Control::status)->text(), QString::number(code));
    QCOMPARE(Lights(), lights);
    QCOMPARE(ui_->Get<TextPane>(Control::output)->PlainText(), output);
  }

  // Enter types a line break in the request box (Shift+Enter and keypad Enter too) and
  // clicks nothing; the library gets the lines joined by CR LF.
  void freeTextGoesOutWithCrLf() {
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    ui_->scripted.Reset();
    auto* request = ui_->Get<QPlainTextEdit>(Control::request);
    request->clear();
    QTest::mouseClick(request->viewport(), Qt::LeftButton);
    QTest::keyClicks(request, "<a>");
    QTest::keyClick(request, Qt::Key_Return);
    QTest::keyClicks(request, " <b/>");
    QTest::keyClick(request, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(request, "</a>");
    QTest::keyClick(request, Qt::Key_Enter);
    QVERIFY(ui_->Entries().empty());
    ui_->Click(Control::MemRequestButton);
    const std::vector<LibraryCall> calls = ui_->scripted.Calls();
    QVERIFY(!calls.empty());
    QCOMPARE(calls.front().args, (std::vector<std::string>{"<a>\r\n <b/>\r\n</a>\r\n", "90"}));
  }

  // While the library works, the window shows a running request: the active light already
  // painted green, the status light dark, the status 0 and the output empty.
  void activeLightIsPaintedBeforeTheCall_data() {
    QTest::addColumn<Control>("button");
    QTest::addColumn<QString>("entry");
    QTest::newRow("status") << Control::StatusButton << "webApiStatusRequest";
    QTest::newRow("free text") << Control::MemRequestButton << "webApiMemRequest";
    QTest::newRow("file") << Control::FileRequestButton << "webApiFileRequest";
  }
  void activeLightIsPaintedBeforeTheCall() {
    QFETCH(Control, button);
    QFETCH(QString, entry);
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    ui_->scripted.SetResult("webApiStatusRequest", 5);  // the previous request failed
    ui_->Click(Control::StatusButton);
    QCOMPARE(Lights(), QStringLiteral("dark red"));
    ui_->scripted.SetResult("webApiStatusRequest", 0);

    QString seen;
    ui_->scripted.SetHook([&](const std::string& called) {
      if (called != entry.toStdString()) return;
      seen = Lights() + " " + ui_->Get<QLineEdit>(Control::status)->text() + " [" +
             ui_->Get<TextPane>(Control::output)->PlainText() + "]";
    });
    ui_->Click(button);
    QCOMPARE(seen, QStringLiteral("green dark 0 []"));
    QCOMPARE(Lights(), QStringLiteral("dark green"));
  }

  void messageBoxes_data() {
    QTest::addColumn<Control>("emptied");
    QTest::addColumn<Control>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("no request file") << Control::reqFile << Control::FileRequestButton << "File Request Error"
                                     << "Please specify a request filename first." << QStringList{};
    QTest::newRow("no reply file") << Control::repFile << Control::StatusButton << "Write Error"
                                   << "Please specify a reply filename and re-try."
                                   << QStringList{"webApiStatusRequest", "webApiWriteLastReply"};
  }
  void messageBoxes() {
    QFETCH(Control, emptied);
    QFETCH(Control, button);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    ui_->scripted.Reset();
    ui_->Get<QLineEdit>(emptied)->clear();
    BoxAnswerer answerer;
    ui_->Click(button);
    QCOMPARE(answerer.boxes.size(), std::size_t{1});
    const ShownBox& box = answerer.boxes.front();
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QStringList made;
    for (const std::string& entry : ui_->Entries()) made << QString::fromStdString(entry);
    QCOMPARE(made, entries);
    QCOMPARE(Painted(ui_->window.LightOf(Control::ActiveShape)), QStringLiteral("dark"));
    QVERIFY(ui_->window.isVisible());
    QCOMPARE(ui_->window.ExitCode(), 0);
  }

  void closingCallsCleanupExactlyOnce() {
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    ui_->window.close();
    ui_->window.close();
    ui_->window.RequestClose();
    QCOMPARE(Count(ui_->Entries(), "webApiCleanup"), 1);
    QCOMPARE(ui_->Entries().back(), std::string("webApiCleanup"));
    QCOMPARE(ui_->window.ExitCode(), 0);
  }

  // A close asked for while a procedure runs (here, from inside the library call) waits for
  // the procedure: cleanup never runs under a request.
  void closeDuringARequestWaitsForIt() {
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    ui_->scripted.Reset();
    ui_->scripted.SetHook([&](const std::string& called) {
      if (called == "webApiStatusRequest") ui_->window.RequestClose();
    });
    ui_->Click(Control::StatusButton);
    QCOMPARE(ui_->Entries(),
             (std::vector<std::string>{"webApiStatusRequest", "webApiWriteLastReply", "webApiCleanup"}));
    QVERIFY(!ui_->window.isVisible());
  }

  // A library without an entry point the window calls: the click ends in a critical message
  // box naming it, the library is cleaned up, the window closes and the exit code is 1.
  void aMissingEntryPointEndsTheProgram() {
    ui_ = std::make_unique<WindowUnderTest>(DoublePath(u"no-status"));
    QVERIFY(ui_->Start());
    BoxAnswerer answerer;
    ui_->Click(Control::StatusButton);
    QCOMPARE(answerer.boxes.size(), std::size_t{1});
    QCOMPARE(answerer.boxes[0].title, QStringLiteral("Web-API DLL Test"));
    QVERIFY2(answerer.boxes[0].text.contains("webApiStatusRequest"), qPrintable(answerer.boxes[0].text));
    QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
    QVERIFY(!ui_->window.isVisible());
    QCOMPARE(ui_->window.ExitCode(), 1);
    QCOMPARE(Count(ui_->Entries(), "webApiCleanup"), 1);
  }

  // A crash inside a library call: the critical box names the entry point and the fault, the
  // Request active light stays lit, nothing more reaches the library (no webApiCleanup) and
  // the program ends with exit code 1.
  void aCrashInTheLibraryIsNamedAndEndsTheProgram_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fault");
    QTest::newRow("null write") << "null" << "segmentation fault (SIGSEGV) at address 0x0.";
    QTest::newRow("abort") << "abort" << "abort (SIGABRT).";
    QTest::newRow("illegal instruction") << "illegal" << "illegal instruction (SIGILL) at address 0x";
    QTest::newRow("division by zero") << "divide" << "arithmetic error (SIGFPE) at address 0x";
    QTest::newRow("stack overflow") << "overflow" << "stack overflow (SIGSEGV) at address 0x";
  }
  void aCrashInTheLibraryIsNamedAndEndsTheProgram() {
    QFETCH(QString, kind);
    QFETCH(QString, fault);
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    ui_->scripted.Reset();
    ui_->scripted.SetCrash("webApiMemRequest", kind.toStdString());
    BoxAnswerer answerer;
    ui_->Click(Control::MemRequestButton);
    QCOMPARE(answerer.boxes.size(), std::size_t{1});
    const QString text = answerer.boxes[0].text;
    QVERIFY2(text.startsWith("The client library crashed in webApiMemRequest: " + fault), qPrintable(text));
    QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(Lights(), QStringLiteral("green dark"));
    QVERIFY(!ui_->window.isVisible());
    QCOMPARE(ui_->window.ExitCode(), 1);
    QCOMPARE(ui_->Entries(), (std::vector<std::string>{"webApiMemRequest"}));
  }

  // No program to open files with: loading fails after the library started, which is
  // cleaned up again; the window is never shown.
  void noOpenerFailsTheLoad() {
    qputenv("WEBAPITEST_OPENER", "/nonexistent/opener");
    ui_ = std::make_unique<WindowUnderTest>(DoublePath(), ShellKind::Desktop);
    BoxAnswerer answerer;
    const bool loaded = ui_->Start();
    qputenv("WEBAPITEST_OPENER", "true");
    QVERIFY(!loaded);
    QCOMPARE(answerer.boxes.size(), std::size_t{1});
    QVERIFY2(answerer.boxes[0].text.contains("/nonexistent/opener"), qPrintable(answerer.boxes[0].text));
    QVERIFY(!ui_->window.isVisible());
    QCOMPARE(ui_->window.ExitCode(), 1);
    QCOMPARE(ui_->Entries(), (std::vector<std::string>{"webApiStartup", "webApiCleanup"}));
  }

  // The form's CR LF against the widgets' LF, both ways, through the real request box.
  void textCrossesTheEdge_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("read");
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("CR LF") << "a\r\nb" << "a\nb" << "a\r\nb";
    QTest::newRow("ends with CR LF") << "a\r\n" << "a\n" << "a\r\n";
    QTest::newRow("blank lines") << "\r\n\r\na\r\n\r\n" << "\n\na\n\n" << "\r\n\r\na\r\n\r\n";
    QTest::newRow("lone CR") << "a\rb\r" << "a\nb\n" << "a\r\nb\r\n";
    QTest::newRow("lone LF") << "a\nb" << "a\nb" << "a\r\nb";
    QTest::newRow("CR CR LF") << "a\r\r\nb" << "a\n\nb" << "a\r\n\r\nb";
    QTest::newRow("no-break space and tab kept") << "a\u00a0\tb" << "a\u00a0\tb" << "a\u00a0\tb";
    QTest::newRow("outside the BMP") << "\U0001F600\r\nz" << "\U0001F600\nz" << "\U0001F600\r\nz";
  }
  void textCrossesTheEdge() {
    QFETCH(QString, given);
    QFETCH(QString, shown);
    QFETCH(QString, read);
    WebApiForm window;
    window.SetText(Control::request, given.toStdU16String());
    auto* request = qobject_cast<QPlainTextEdit*>(window.Widget(Control::request));
    QCOMPARE(request->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n'), shown);
    QCOMPARE(QString::fromStdU16String(window.Text(Control::request)), read);
  }

  // A single-line box keeps text of any length: a long path is never cut short.
  void longTextInALineIsKeptWhole() {
    WebApiForm window;
    const std::u16string path = u"/tmp/" + std::u16string(100'000, u'p');
    for (const Control box : {Control::host, Control::reqFile, Control::repFile}) {
      window.SetText(box, path);
      QCOMPARE(window.Text(box).size(), path.size());
    }
    auto* host = qobject_cast<QLineEdit*>(window.Widget(Control::host));
    host->end(false);
    QTest::keyClicks(host, "/x");
    QCOMPARE(window.Text(Control::host), path + u"/x");
  }

  // Reset puts the template back whole and leaves the focus in the request box.
  void resetRestoresTheTemplate() {
    ui_ = std::make_unique<WindowUnderTest>();
    QVERIFY(ui_->Start());
    QCOMPARE(ui_->window.Text(Control::request), std::u16string(RequestTemplate));
    ui_->Get<QPlainTextEdit>(Control::request)->setPlainText("edited");
    ui_->Click(Control::ResetButton);
    QCOMPARE(ui_->window.Text(Control::request), std::u16string(RequestTemplate));
    QCOMPARE(ui_->FocusName(), QStringLiteral("request"));
  }

  // Tens of megabytes of request round-trip unchanged.
  void largeTextRoundTrips() {
    WebApiForm window;
    std::u16string text;
    const std::u16string line = u"<line>" + std::u16string(90, u'x') + u"</line>\r\n";
    while (text.size() < 20'000'000) text += line;
    QElapsedTimer timer;
    timer.start();
    window.SetText(Control::request, text);
    QCOMPARE(window.Text(Control::request), text);
    qInfo("20 MB set and read back in %lld ms", static_cast<long long>(timer.elapsed()));
  }
};

QTEST_MAIN(RequestCycleTest)
#include "request_cycle_test.moc"
