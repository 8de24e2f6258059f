// The Linux program: the window, the window procedures and the client library, wired together.
#include <QApplication>
#include <QIcon>

#include "commands/procedures.h"
#include "termination_signals.h"
#include "window/qt/web_api_form.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  app.setWindowIcon(QIcon(QStringLiteral(":/webapitest.ico")));

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
