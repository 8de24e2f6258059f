// webapi-run: wires the console front end, the window procedures and the client library
// together, so that requests from a terminal or a script take the window's own path.
#include <clocale>
#include <csignal>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "text/text.h"
#include "client/library.h"
#include "commands/procedures.h"
#include "app/cli/command_line.h"
#include "window/console/console_form.h"
#include "app/cli/runner.h"
#include "app/cli/stream.h"

namespace {

using namespace webapitest;

int Run(const std::vector<std::string>& arguments) {
  cli::Stream out(stdout), err(stderr);
  try {
    int status = cli::kExitSuccess;
    const auto invocation = cli::ParseCommandLine(arguments, WEBAPI_RUN_VERSION, out, err, status);
    if (!invocation) return status;
    // --library, else where the window finds it.
    ClientLibrary library(invocation->library ? cli::ArgumentText(*invocation->library) : ClientLibrary::Locate());
    console::ConsoleForm form;
    // A console program opens nothing on the desktop: the twin has no open buttons.
    FormProcedures procedures(form, library, [] { return std::unique_ptr<Shell>(); });
    cli::Runner runner(*invocation, form, procedures, out, err);
    return runner.Run();
  } catch (const BindingError& failure) {  // the library cannot be located
    err.Write(u"webapi-run: " + FromUtf8(failure.what()) + u"\n");
    return cli::kExitNotFound;
  } catch (const std::exception& failure) {
    err.Write(u"webapi-run: " + FromUtf8(failure.what()) + u"\n");
    return cli::kExitFailed;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;  // UTF-8, as the console front end expects on Windows
  for (int i = 1; i < argc; ++i)
    arguments.push_back(ToUtf8(std::u16string(argv[i], argv[i] + std::char_traits<wchar_t>::length(argv[i]))));
  return Run(arguments);
}
#else
int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // library text in the locale's encoding, as the window's
  std::signal(SIGPIPE, SIG_IGN);  // a reader that stops early does not end the run unfinished
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
