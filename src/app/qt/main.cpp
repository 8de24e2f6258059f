// The Linux program: the window, the window procedures and the client library, wired together.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "commands/procedures.h"
#include "termination_signals.h"
#include "window/qt/web_api_form.h"

namespace {

// A failure before the window could take over (creating it, setting up the signals): shown as
// the window shows its own, and the program ends with exit code 1.
int ShowFailure(const char* message) {
  std::fprintf(stderr, "webapitest: %s\n", message);
  QMessageBox box(QMessageBox::Critical,
                  QString::fromUtf16(webapitest::kWindowTitle.data(), static_cast<qsizetype>(webapitest::kWindowTitle.size())),
                  QString::fromUtf8(message), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
  return 1;
}

int RunWindow(QApplication& app) {
  webapitest::ClientLibrary library(webapitest::ClientLibrary::Locate());
  webapitest::WebApiForm window;
  webapitest::FormProcedures procedures(window, library, &webapitest::CreateShell);
  window.SetEvents(procedures);
  const webapitest::TerminationSignals termination([&window] { window.RequestClose(); });

  if (!window.Load()) return window.ExitCode();
  window.show();
  const int code = app.exec();
  return window.ExitCode() != 0 ? window.ExitCode() : code;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  app.setWindowIcon(QIcon(QStringLiteral(":/webapitest.ico")));
  try {
    return RunWindow(app);
  } catch (const std::exception& failure) {
    return ShowFailure(failure.what());
  } catch (...) {
    return ShowFailure("An unexpected failure ended the program.");
  }
}
