// The command-line twin's event loop: one click per attempt at a request, then what the window
// shows, the checks on it and the reports.
#include "app/cli/runner.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "app/cli/report.h"
#include "app/cli/temporary_file.h"
#include "app/cli/watchdog.h"
#include "client/library.h"
#include "text/text.h"

namespace webapitest::cli {
namespace {

// The status box's decimal text as a code; the procedures put nothing else there.
std::int32_t Code(const std::u16string& status) {
  const std::string digits(status.begin(), status.end());
  return static_cast<std::int32_t>(std::strtol(digits.c_str(), nullptr, 10));
}

std::u16string Number(long long n) { return FromUtf8(std::to_string(n)); }

// How severe an exit status is: a run ends with its most severe.
int Severity(int status) {
  switch (status) {
    case kExitSuccess: return 0;
    case kExitCheckFailed: return 1;
    case kExitFailed: return 2;
    case kExitTimedOut: return 3;
    case kExitInterrupted:
    case kExitTerminated: return 4;
    case kExitUsage: return 5;
    case kExitNotFound: return 6;
    default: return 7;  // kExitCrashed
  }
}

std::u16string SignalName(int number) { return number == SIGINT ? u"SIGINT" : u"SIGTERM"; }

double Ms(std::chrono::steady_clock::duration time) { return std::chrono::duration<double, std::milli>(time).count(); }

}  // namespace

Runner::Runner(const Invocation& invocation, console::ConsoleForm& form, FormEvents& events, Stream& out, Stream& err)
    : invocation_(invocation), form_(form), events_(events), out_(out), err_(err),
      host_({[this](const std::string& message) { Fail(message); }, nullptr}, ""), checks_(invocation) {
  host_.SetEvents(&events_);
}

Runner::~Runner() = default;

void Runner::WriteStandardError(std::u16string_view text) { err_.Write(text); }

void Runner::KeepWorst(int status) {
  if (Severity(status) > Severity(status_)) status_ = status;
}

void Runner::Fail(const std::string& message) {
  failure_ = FromUtf8(message);
  WriteStandardError(u"webapi-run: " + failure_ + u"\n");
  int status = kExitFailed;
  if (const std::exception_ptr failure = std::current_exception()) {
    try {
      std::rethrow_exception(failure);
    } catch (const BindingError&) {
      status = kExitNotFound;
    } catch (const LibraryCrash&) {
      status = kExitCrashed;
    } catch (...) {
    }
  }
  KeepWorst(status);
}

bool Runner::ReadRequests() {
  const Invocation& in = invocation_;
  std::optional<std::u16string> given;
  if (!in.arguments.empty()) given = ArgumentText(in.arguments[0]);
  switch (in.kind) {
    case RequestKind::Status:
      requests_.push_back({{in.kind, given, false}, Control::StatusButton});
      break;
    case RequestKind::Text:
      requests_.push_back({{in.kind, given, in.raw}, Control::MemRequestButton});
      if (given) {
        std::string bytes, why;
        if (!ReadArgumentFile(in.arguments[0], bytes, why)) {
          WriteStandardError(u"webapi-run: cannot read " + *given + u": " + ArgumentText(why) + u"\n");
          return false;
        }
        document_ = WithCrLfBreaks(FromAnsi(bytes));  // as the request box holds it
      }
      break;
    case RequestKind::File:
      for (const std::string& path : in.arguments)
        requests_.push_back({{in.kind, ArgumentText(path), in.raw}, Control::FileRequestButton});
      break;
  }
  for (const Request& request : requests_) records_.push_back({request.name, {}});
  total_ = requests_.size() * static_cast<std::size_t>(in.repeat);
  return true;
}

int Runner::Run() {
  if (!ReadRequests()) return kExitUsage;
  std::u16string why;
  if (!checks_.Prepare(why)) {
    WriteStandardError(u"webapi-run: " + why + u"\n");
    return kExitUsage;
  }
  std::optional<TemporaryFile> temporary;
  std::u16string reply;
  try {
    reply = invocation_.reply ? ArgumentText(*invocation_.reply) : temporary.emplace().Text();
  } catch (const std::exception& e) {
    WriteStandardError(u"webapi-run: " + FromUtf8(e.what()) + u"\n");
    return kExitFailed;
  }
  temporary_ = temporary ? &*temporary : nullptr;
  const std::u16string deadline = u"timed out after " + Number(invocation_.timeoutSeconds) + u" s";
  Watchdog watchdog(
      invocation_.timeoutSeconds, [&] { EndNow(kExitTimedOut, RunRecord::End::TimedOut, deadline); },
      [this](int number) {
        EndNow(128 + number, RunRecord::End::Interrupted, u"interrupted (" + SignalName(number) + u") during a library call");
      });
  watchdog_ = &watchdog;
  form_.SetOperationHook([&watchdog] { watchdog.Touch(); });
  {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    phase_ = u"start-up";
  }
  watchdog.Arm();
  const bool loaded = host_.Load();  // a failed load has unloaded already
  watchdog.Disarm();
  if (!loaded) stopped_ = u"start-up: " + failure_;
  if (loaded) {
    try {
      RunRequests(reply);
    } catch (...) {
      host_.Closing();
      throw;
    }
    {
      std::lock_guard<std::timed_mutex> lock(mutex_);
      phase_ = u"clean-up";
    }
    watchdog.Arm();
    host_.Closing();
    watchdog.Disarm();
  }
  err_.ClearProgress();
  if (const int number = watchdog.Signal()) {
    KeepWorst(128 + number);
    if (stopped_.empty()) stopped_ = u"interrupted (" + SignalName(number) + u")";
    WriteStandardError(u"webapi-run: " + stopped_ + u": the run stopped after the current request\n");
  }
  std::lock_guard<std::timed_mutex> lock(mutex_);
  WriteReports(status_);
  form_.SetOperationHook(nullptr);
  watchdog_ = nullptr;
  return status_;
}

void Runner::RunRequests(const std::u16string& reply) {
  const std::u16string startup = form_.Text(Control::status);
  if (startup != u"0") WriteStandardError(u"webapi-run: the library's start-up returned " + startup + u"\n");
  form_.Type(Control::repFile, reply);
  for (std::size_t i = 0; i < requests_.size(); ++i) {
    TypeRequest(requests_[i]);
    {
      std::lock_guard<std::timed_mutex> lock(mutex_);
      records_[i].name = requests_[i].name;
    }
    if (!RunRepeatedly(i)) break;
  }
}

void Runner::TypeRequest(Request& request) {
  RequestName& name = request.name;
  switch (name.kind) {
    case RequestKind::Status:  // the host box's own text unless one is given
      if (name.argument) form_.Type(Control::host, *name.argument);
      name.argument = form_.Text(Control::host);
      break;
    case RequestKind::Text:
      if (document_) form_.Type(Control::request, *document_);
      form_.Check(Control::checkMemRaw, name.raw);
      break;
    case RequestKind::File:
      form_.Type(Control::reqFile, *name.argument);
      form_.Check(Control::checkFileRaw, name.raw);
      break;
  }
}

bool Runner::RunRepeatedly(std::size_t index) {
  const Request& request = requests_[index];
  bool go = true;
  for (int run = 1; run <= invocation_.repeat && go; ++run) {
    if (done_ > 0 && invocation_.delayMs > 0 && !watchdog_->Sleep(invocation_.delayMs)) return false;
    if (total_ > 1)
      err_.Progress(u"[" + Number(static_cast<long long>(++done_)) + u"/" + Number(static_cast<long long>(total_)) +
                    u"] " + Label(request.name));
    else
      ++done_;
    go = RunOnce(index, run);
  }
  std::lock_guard<std::timed_mutex> lock(mutex_);
  const std::vector<RunRecord>& runs = records_[index].runs;
  if (invocation_.repeat > 1 && !runs.empty()) {
    const Summary summary = Summarize(runs);
    if (invocation_.json)
      out_.WriteAscii(JsonSummary(request.name, summary));
    else
      WriteStandardError(SummaryLine(request.name, summary));
  }
  return go;
}

bool Runner::Click(const Request& request) {
  form_.StartEvent();
  watchdog_->Arm();
  host_.Click(request.button);
  watchdog_->Disarm();
  return host_.exitCode() == 0;
}

bool Runner::RunOnce(std::size_t index, int run) {
  const Request& request = requests_[index];
  const std::u16string label = Label(request.name);
  {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    running_ = index;
    phase_ = label;
    current_ = RunRecord{};
    current_.run = invocation_.repeat > 1 ? run : 0;
  }
  RunRecord record;
  for (int attempt = 1;; ++attempt) {
    {
      std::lock_guard<std::timed_mutex> lock(mutex_);
      current_.attempts = attempt;
    }
    const bool clicked = Click(request);
    {
      std::lock_guard<std::timed_mutex> lock(mutex_);
      record = current_;
      if (!clicked) {
        record.end = RunRecord::End::Failure;
        record.problem = label + u": " + failure_;
        break;
      }
      if (const auto time = form_.CallTime()) {
        record.outcome = Outcome{Code(form_.Text(Control::status)), Ms(*time), form_.Text(Control::output)};
        record.milliseconds += record.outcome->milliseconds;
        current_.milliseconds = record.milliseconds;
      }
    }
    if (!form_.Messages().empty()) {  // the window's message boxes
      record.end = RunRecord::End::Message;
      for (const console::ConsoleForm::Message& message : form_.Messages())
        record.problem += (record.problem.empty() ? u"" : u"; ") + message.title + u": " + message.text;
      break;
    }
    if (!record.outcome || checks_.Expected(record.outcome->code) || attempt > invocation_.retries ||
        watchdog_->Signal() != 0)
      break;
    if (!invocation_.json)
      WriteStandardError(label + u": code " + Number(record.outcome->code) + u"; retry " + Number(attempt) + u" of " +
                         Number(invocation_.retries) + u"\n");
    if (!watchdog_->Sleep(invocation_.retryDelayMs)) break;
  }
  if (record.outcome && record.end == RunRecord::End::Done) {
    record.checks.push_back(checks_.Code(record.outcome->code));
    if (record.checks.front().ok) {
      std::vector<CheckResult> more = checks_.Output(record.outcome->output, label);
      std::move(more.begin(), more.end(), std::back_inserter(record.checks));
    }
  }
  const bool failed = record.Error() || record.CheckFailed();
  const RunRecord::End end = record.end;
  {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Report(index, std::move(record));
  }
  if (end == RunRecord::End::Failure) {
    stopped_ = label + u": " + failure_;
    return false;
  }
  if (end == RunRecord::End::Message) {
    KeepWorst(kExitUsage);
    stopped_ = u"a message box of the window";
    return false;
  }
  if (failed && invocation_.bail) {
    stopped_ = u"--bail: stopped at the first request that failed";
    return false;
  }
  if (watchdog_->Signal() != 0) return false;
  return true;
}

// Under mutex_.
void Runner::Report(std::size_t index, RunRecord record) {
  const RequestName& name = requests_[index].name;
  err_.ClearProgress();
  if (record.outcome) {
    if (invocation_.json) {
      out_.WriteAscii(JsonRun(name, record, !invocation_.quiet));
    } else {
      if (!invocation_.quiet) out_.Write(WithLfBreaks(record.outcome->output));
      WriteStandardError(CodeLine(name, *record.outcome));
    }
  }
  const bool sayCode = !invocation_.expectCodes.empty();
  for (std::size_t i = 0; i < record.checks.size(); ++i)
    if (!record.checks[i].ok && (i > 0 || sayCode))
      WriteStandardError(CheckLine(Label(name), record.checks[i]) + record.checks[i].detail);
  if (record.end == RunRecord::End::Message) {
    for (const console::ConsoleForm::Message& message : form_.Messages())
      WriteStandardError(message.title + u": " + message.text + u"\n");
  }
  if (record.CheckFailed()) KeepWorst(kExitCheckFailed);
  else if (record.Error() && record.end == RunRecord::End::Done) KeepWorst(kExitFailed);
  records_[index].runs.push_back(std::move(record));
  running_.reset();
}

void Runner::WriteReports(int status) {
  if (ended_) return;
  ended_ = true;
  std::vector<RunRecord> all;
  for (const RequestRecord& request : records_) all.insert(all.end(), request.runs.begin(), request.runs.end());
  std::string why;
  const auto write = [&](const std::optional<std::string>& file, const std::string& text, const char16_t* what) {
    if (!file || WriteWhole(*file, text, why)) return;
    WriteStandardError(u"webapi-run: cannot write the " + std::u16string(what) + u" " + ArgumentText(*file) + u": " +
                       FromUtf8(why) + u"\n");
    if (Severity(kExitUsage) > Severity(status)) status = kExitUsage;
  };
  write(invocation_.junit, JUnitReport(records_, stopped_), u"JUnit report");
  write(invocation_.tap, TapReport(records_, stopped_), u"TAP report");
  status_ = status;
  if (invocation_.json) out_.WriteAscii(JsonTotals(Summarize(all), status));
}

void Runner::EndNow(int status, RunRecord::End end, const std::u16string& why) {
  std::unique_lock<std::timed_mutex> lock(mutex_, std::defer_lock);
  // A main thread that holds the records longer than this is stuck itself (on a full pipe):
  // the reports are left as they were then, whole.
  if (lock.try_lock_for(std::chrono::seconds(1)) && !ended_) {
    err_.ClearProgress();
    WriteStandardError(phase_ + u": " + why + u"\n");
    if (running_) {
      RunRecord record = current_;
      record.end = end;
      record.problem = phase_ + u": " + why;
      if (end == RunRecord::End::TimedOut) record.milliseconds += Ms(std::chrono::steady_clock::now() - watchdog_->ArmedAt());
      if (invocation_.json) out_.WriteAscii(JsonRun(requests_[*running_].name, record, false));
      records_[*running_].runs.push_back(std::move(record));
    }
    stopped_ = phase_ + u": " + why;
    WriteReports(status);
  }
  if (temporary_) temporary_->Remove();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

}  // namespace webapitest::cli
