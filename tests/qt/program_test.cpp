// The program itself: how it ends on SIGINT and SIGTERM, and when it cannot start.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "doubles/double_control.h"

using namespace webapitest::testing;

namespace {

// Whether the process has its own handler for the signal yet.
bool Catches(qint64 pid, int signal) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("SigCgt:")) continue;
    const qulonglong mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
    return (mask >> (signal - 1)) & 1u;
  }
  return false;
}

// Whether the process has a file of that path mapped (a library it loaded).
bool Maps(qint64 pid, const QByteArray& path) {
  QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
  return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(path);
}

}  // namespace

class ProgramTest : public QObject {
  Q_OBJECT

 private:
  // Starts the program with the given library (none: found as the program finds it) and opener.
  void Start(QProcess& program, const QString& library, const QString& opener,
             const QString& path = QStringLiteral(WEBAPITEST_PROGRAM), const QString& loaderPath = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (library.isEmpty()) environment.remove("WEBAPITEST_LIBRARY");
    else environment.insert("WEBAPITEST_LIBRARY", library);
    environment.insert("WEBAPITEST_OPENER", opener);
    environment.insert("LD_LIBRARY_PATH", loaderPath);
    program.setProcessEnvironment(environment);
    program.start(path, QStringList{});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(Catches(program.processId(), SIGTERM) && Catches(program.processId(), SIGINT), 30000);
  }

 private slots:
  // The window closes as by its close button and the program ends normally.
  void signalEndsTheProgramNormally_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
  }
  void signalEndsTheProgramNormally() {
    QFETCH(int, signal);
    QProcess program;
    Start(program, QString::fromStdU16String(DoublePath()), "true");
    ::kill(static_cast<pid_t>(program.processId()), signal);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
  }

  // A failure at start-up shows the critical message box (here dismissed by SIGTERM), says
  // what failed on standard error too, and ends the program with exit code 1.
  void startUpFailureEndsWithExitCode1_data() {
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("message");
    QTest::newRow("no library") << "/nonexistent/libwebapi.so" << "true"
                                << "Cannot load the client library /nonexistent/libwebapi.so";
    QTest::newRow("no opener") << QString::fromStdU16String(DoublePath()) << "/nonexistent/opener"
                               << "\"/nonexistent/opener\" was not found";
  }
  void startUpFailureEndsWithExitCode1() {
    QFETCH(QString, library);
    QFETCH(QString, opener);
    QFETCH(QString, message);
    QProcess program;
    Start(program, library, opener);
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += program.readAllStandardError()).contains(message.toUtf8()), 30000);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
  }

  // With no library beside the program, the one the system's loader finds by name serves;
  // where there is none either, the failure names both places looked at.
  void libraryFoundBySystemSearch_data() {
    QTest::addColumn<bool>("onLoaderPath");
    QTest::newRow("on the loader's path") << true;
    QTest::newRow("nowhere") << false;
  }
  void libraryFoundBySystemSearch() {
    QFETCH(bool, onLoaderPath);
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("webapitest"));
    QVERIFY(QFile::copy(QStringLiteral(WEBAPITEST_PROGRAM), copy));
    const QString library = QString::fromStdU16String(DoublePath());
    QProcess program;
    Start(program, {}, "true", copy, onLoaderPath ? QFileInfo(library).absolutePath() : QString());
    QByteArray errors;
    if (onLoaderPath) {
      QTRY_VERIFY_WITH_TIMEOUT(Maps(program.processId(), library.toUtf8()), 30000);
    } else {
      QTRY_VERIFY_WITH_TIMEOUT((errors += program.readAllStandardError()).contains("nor where the system looks"), 30000);
      QVERIFY2(errors.contains(folder.filePath(QStringLiteral("libwebapi.so")).toUtf8()), errors.constData());
    }
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), onLoaderPath ? 0 : 1);
  }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
