// Runs the requests of a command line through the window's events, as a user at the window
// would: types the texts, ticks Raw, clicks the button and reads what the window shows. The
// event host keeps the window's rules: a failure ends the run, unload runs exactly once. Then
// the checks, retries and reports of the command line.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/checks.h"
#include "app/cli/command_line.h"
#include "app/cli/report.h"
#include "app/cli/stream.h"
#include "window/console/console_form.h"
#include "window/form.h"
#include "window/form_host.h"

namespace webapitest::cli {

class TemporaryFile;
class Watchdog;

class Runner {
 public:
  // events are the procedures behind form. Both are used from the calling thread only: the
  // one thread that makes every library call.
  Runner(const Invocation& invocation, console::ConsoleForm& form, FormEvents& events, Stream& out, Stream& err);
  ~Runner();

  // Loads the form, runs every request (each --repeat times) and unloads the form once.
  // Stops at the first message box or unexpected failure, with --bail at the first request
  // that fails, and at a signal. Writes the reports. Returns the exit status; a call that
  // outlasts --timeout ends the process from the watchdog's thread instead.
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
  bool RunRepeatedly(std::size_t index);
  // One run with its retries; false when the run must stop.
  bool RunOnce(std::size_t index, int run);
  // Clicks the request's button with the deadline on. False for an unexpected failure.
  bool Click(const Request& request);
  void Report(std::size_t index, RunRecord record);
  // The event host's failure: said on standard error, its exit status kept (kExitNotFound
  // for a missing library or entry point, else kExitFailed).
  void Fail(const std::string& message);
  void WriteStandardError(std::u16string_view text);
  void KeepWorst(int status);
  // The reports, whole, with the exit status; under mutex_.
  void WriteReports(int status);
  // From the watchdog's thread: the run ends now with status, what runs recorded as end.
  [[noreturn]] void EndNow(int status, RunRecord::End end, const std::u16string& why);

  const Invocation& invocation_;
  console::ConsoleForm& form_;
  FormEvents& events_;
  Stream& out_;
  Stream& err_;
  FormHost host_;
  Checks checks_;
  std::vector<Request> requests_;
  std::optional<std::u16string> document_;  // text: the document read, if one was named
  std::size_t done_ = 0, total_ = 0;        // runs, for the progress line
  int status_ = kExitSuccess;
  std::u16string failure_;                  // the last unexpected failure's message

  // Shared with the watchdog's thread, under mutex_.
  std::timed_mutex mutex_;
  std::vector<RequestRecord> records_;
  std::optional<std::size_t> running_;  // the request whose run is under way
  RunRecord current_;                   // its attempts so far
  std::u16string phase_;                // what runs: "start-up", a request's label, "clean-up"
  std::u16string stopped_;              // why the run stopped before its end
  bool ended_ = false;                  // reports written: the process ends
  TemporaryFile* temporary_ = nullptr;
  Watchdog* watchdog_ = nullptr;
};

}  // namespace webapitest::cli
