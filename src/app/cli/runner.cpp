// The command-line twin's event loop: one click per request run, then what the window shows.
#include "app/cli/runner.h"

#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "app/cli/report.h"
#include "app/cli/temporary_file.h"
#include "client/library.h"
#include "text/text.h"

namespace webapitest::cli {
namespace {

// The status box's decimal text as a code; the procedures put nothing else there.
std::int32_t Code(const std::u16string& status) {
  const std::string digits(status.begin(), status.end());
  return static_cast<std::int32_t>(std::strtol(digits.c_str(), nullptr, 10));
}

}  // namespace

Runner::Runner(const Invocation& invocation, console::ConsoleForm& form, FormEvents& events, Stream& out, Stream& err)
    : invocation_(invocation), form_(form), events_(events), out_(out), err_(err),
      host_({[this](const std::string& message) { Fail(message); }, nullptr}, "") {
  host_.SetEvents(&events_);
}

void Runner::WriteStandardError(std::u16string_view text) { err_.Write(text); }

void Runner::Fail(const std::string& message) {
  WriteStandardError(u"webapi-run: " + FromUtf8(message) + u"\n");
  status_ = kExitFailed;
  if (const std::exception_ptr failure = std::current_exception()) {
    try {
      std::rethrow_exception(failure);
    } catch (const BindingError&) {
      status_ = kExitNotFound;
    } catch (...) {
    }
  }
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
  total_ = requests_.size() * static_cast<std::size_t>(in.repeat);
  return true;
}

int Runner::Run() {
  if (!ReadRequests()) return kExitUsage;
  std::optional<TemporaryFile> temporary;
  std::u16string reply;
  try {
    reply = invocation_.reply ? ArgumentText(*invocation_.reply) : temporary.emplace().Text();
  } catch (const std::exception& e) {
    WriteStandardError(u"webapi-run: " + FromUtf8(e.what()) + u"\n");
    return kExitFailed;
  }
  if (host_.Load()) {  // a failed load has unloaded already
    try {
      RunRequests(reply);
    } catch (...) {
      host_.Closing();
      throw;
    }
    host_.Closing();
  }
  err_.ClearProgress();
  return status_;
}

void Runner::RunRequests(const std::u16string& reply) {
  const std::u16string startup = form_.Text(Control::status);
  if (startup != u"0") WriteStandardError(u"webapi-run: the library's start-up returned " + startup + u"\n");
  form_.Type(Control::repFile, reply);
  for (Request& request : requests_) {
    TypeRequest(request);
    if (!RunRepeatedly(request)) break;
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

bool Runner::RunRepeatedly(const Request& request) {
  std::vector<Outcome> runs;
  bool go = true;
  for (int run = 1; run <= invocation_.repeat && go; ++run) {
    if (total_ > 1)
      err_.Progress(u"[" + FromUtf8(std::to_string(++done_)) + u"/" + FromUtf8(std::to_string(total_)) + u"] " +
                    Label(request.name));
    go = RunOnce(request, run, runs);
  }
  if (invocation_.repeat > 1 && !runs.empty()) {
    const Summary summary = Summarize(runs);
    if (invocation_.json)
      out_.WriteAscii(JsonSummary(request.name, summary));
    else
      WriteStandardError(SummaryLine(request.name, summary));
  }
  return go;
}

bool Runner::RunOnce(const Request& request, int run, std::vector<Outcome>& runs) {
  form_.StartEvent();
  host_.Click(request.button);
  if (host_.exitCode() != 0) return false;
  if (const auto time = form_.CallTime()) {
    Outcome outcome{Code(form_.Text(Control::status)), std::chrono::duration<double, std::milli>(*time).count(),
                    form_.Text(Control::output)};
    err_.ClearProgress();
    if (invocation_.json) {
      out_.WriteAscii(JsonRun(request.name, outcome, invocation_.repeat > 1 ? run : 0, !invocation_.quiet));
    } else {
      if (!invocation_.quiet) out_.Write(WithLfBreaks(outcome.output));
      WriteStandardError(CodeLine(request.name, outcome));
    }
    if (outcome.code != 0) status_ = kExitFailed;
    runs.push_back(std::move(outcome));
  }
  for (const console::ConsoleForm::Message& message : form_.Messages()) {  // the window's message boxes
    WriteStandardError(message.title + u": " + message.text + u"\n");
    status_ = kExitUsage;
  }
  return form_.Messages().empty();
}

}  // namespace webapitest::cli
