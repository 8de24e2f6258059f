// The program itself: how it ends on SIGINT and SIGTERM, and when it cannot start.
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
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

}  // namespace

class ProgramTest : public QObject {
  Q_OBJECT

 private:
  // Starts the program with the given library and opener.
  void Start(QProcess& program, const QString& library, const QString& opener) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WEBAPITEST_LIBRARY", library);
    environment.insert("WEBAPITEST_OPENER", opener);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(WEBAPITEST_PROGRAM), QStringList{});
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
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
