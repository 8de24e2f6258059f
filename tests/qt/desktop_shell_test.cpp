// Opening the request and reply files: the path reaches the desktop's opener as one argument,
// exactly as typed, and nothing in it is ever run.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <stdexcept>

#include "window_fixture.h"

using namespace webapitest;
using namespace webapitest::testing;

Q_DECLARE_METATYPE(Control)

class DesktopShellTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;  // the recording opener and what it records
  std::unique_ptr<WindowUnderTest> ui_;

  QString CallsDir() const { return dir_.filePath("calls"); }

  // The argument lists the opener was started with, one per call.
  QList<QStringList> Calls() const {
    QList<QStringList> calls;
    const QDir calls_dir(CallsDir());
    for (const QString& name : calls_dir.entryList({"call.*"}, QDir::Files, QDir::Name)) {
      if (name.endsWith(".part")) continue;
      QFile file(calls_dir.filePath(name));
      if (!file.open(QIODevice::ReadOnly)) continue;
      QStringList args;
      for (const QByteArray& arg : file.readAll().split('\0')) args << QString::fromUtf8(arg);
      args.removeLast();  // after the last terminator
      calls << args;
    }
    return calls;
  }

 private slots:
  void initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(dir_.isValid());
    QVERIFY(QDir().mkpath(CallsDir()));
    // Records its arguments, each followed by NUL, one file per call.
    const QString opener = dir_.filePath("opener");
    QFile script(opener);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n"
                 "out='" + CallsDir().toUtf8() + "'/call.$$\n"
                 "for arg in \"$@\"; do printf '%s\\0' \"$arg\"; done > \"$out.part\"\n"
                 "mv \"$out.part\" \"$out\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("WEBAPITEST_OPENER", opener.toUtf8());
  }

  void init() {
    for (const QString& name : QDir(CallsDir()).entryList(QDir::Files)) QFile::remove(CallsDir() + "/" + name);
    ui_ = std::make_unique<WindowUnderTest>(DoublePath(), ShellKind::Desktop);
    QVERIFY(ui_->Start());
  }
  void cleanup() { ui_.reset(); }

  void pathGoesToTheOpenerUnchanged_data() {
    QTest::addColumn<Control>("box");
    QTest::addColumn<Control>("button");
    QTest::addColumn<QString>("path");
    const QString run = dir_.filePath("ran");  // any command in the path would create it
    const std::pair<const char*, QString> paths[] = {
        {"spaces", "/tmp/a folder/my request.xml"},
        {"quotes", "/tmp/it's \"quoted\".xml"},
        {"semicolon", "/tmp/a.xml; touch " + run},
        {"command substitution", "/tmp/$(touch " + run + ").xml"},
        {"backquotes", "/tmp/`touch " + run + "`.xml"},
        {"pipe and ampersand", "/tmp/a.xml | touch " + run + " & x"},
        {"leading dash", "--version"},
        {"non-ASCII", "/tmp/r\u00e9ponse \u4e2d.txt"},
        {"empty", ""},
    };
    for (const auto& [name, path] : paths) {
      QTest::newRow(qPrintable(QStringLiteral("RequestUrl, %1").arg(name)))
          << Control::reqFile << Control::RequestUrl << path;
      QTest::newRow(qPrintable(QStringLiteral("ReplyUrl, %1").arg(name)))
          << Control::repFile << Control::ReplyUrl << path;
    }
  }
  void pathGoesToTheOpenerUnchanged() {
    QFETCH(Control, box);
    QFETCH(Control, button);
    QFETCH(QString, path);
    auto* edit = ui_->Get<QLineEdit>(box);
    edit->clear();
    QTest::mouseClick(edit, Qt::LeftButton);
    const bool ascii = std::all_of(path.begin(), path.end(), [](QChar c) { return c.unicode() < 128; });
    if (ascii)
      QTest::keyClicks(edit, path);
    else
      edit->insert(path);  // as pasted
    QCOMPARE(edit->text(), path);
    ui_->Click(button);
    QTRY_COMPARE_WITH_TIMEOUT(Calls().size(), 1, 15000);
    QCOMPARE(Calls().front(), QStringList{path});
    QTest::qWait(100);
    QVERIFY(!QFile::exists(dir_.filePath("ran")));
    QCOMPARE(Calls().size(), 1);
    QVERIFY(ui_->window.isVisible());
  }

  void noOpenerIsAFailureOfItsOwn_data() {
    QTest::addColumn<QByteArray>("opener");
    QTest::newRow("no such file") << QByteArray("/nonexistent/opener");
    QTest::newRow("not on PATH") << QByteArray("webapitest-no-such-opener");
    QTest::newRow("a folder") << QByteArray("/tmp");
  }
  void noOpenerIsAFailureOfItsOwn() {
    QFETCH(QByteArray, opener);
    const QByteArray kept = qgetenv("WEBAPITEST_OPENER");
    qputenv("WEBAPITEST_OPENER", opener);
    QString message;
    try {
      CreateShell();
    } catch (const std::runtime_error& e) {
      message = QString::fromUtf8(e.what());
    }
    qputenv("WEBAPITEST_OPENER", kept);
    QVERIFY2(message.contains(QString::fromUtf8(opener)), qPrintable(message));
  }
};

QTEST_MAIN(DesktopShellTest)
#include "desktop_shell_test.moc"
