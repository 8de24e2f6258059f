// Runs the requests of a command line through the window's events, as a user at the window
// would: types the texts, ticks Raw, clicks the button and reads what the window shows. The
// event host keeps the window's rules: a failure ends the run, unload runs exactly once.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/command_line.h"
#include "app/cli/report.h"
#include "app/cli/stream.h"
#include "window/console/console_form.h"
#include "window/form.h"
#include "window/form_host.h"

namespace webapitest::cli {

class Runner {
 public:
  // events are the procedures behind form. Both are used from the calling thread only.
  Runner(const Invocation& invocation, console::ConsoleForm& form, FormEvents& events, Stream& out, Stream& err);

  // Loads the form, runs every request (each --repeat times) and unloads the form once.
  // Stops at the first message box or unexpected failure. Returns the exit status.
  int Run();

 private:
  struct Request {
    RequestName name;
    Control button;
  };
  // The requests of the command line, the document read; false when it cannot be read.
  bool ReadRequests();
  void RunRequests(const std::u16string& reply);
  // Types a request's texts into the form.
  void TypeRequest(Request& request);
  // Runs a request --repeat times, then sums up. False when the run must stop.
  bool RunRepeatedly(const Request& request);
  bool RunOnce(const Request& request, int run, std::vector<Outcome>& runs);
  // The event host's failure: said on standard error, its exit status kept (kExitNotFound
  // for a missing library or entry point, else kExitFailed).
  void Fail(const std::string& message);
  void WriteStandardError(std::u16string_view text);

  const Invocation& invocation_;
  console::ConsoleForm& form_;
  FormEvents& events_;
  Stream& out_;
  Stream& err_;
  FormHost host_;
  std::vector<Request> requests_;
  std::optional<std::u16string> document_;  // text: the document read, if one was named
  std::size_t done_ = 0, total_ = 0;        // runs, for the progress line
  int status_ = kExitSuccess;
};

}  // namespace webapitest::cli
