// The request cycle: show that a request runs, make one library call, show its outcome and
// read the reply file back into the output pane.
#include <new>
#include <string>

#include "client/reply_file.h"
#include "commands/procedures.h"

namespace webapitest {
FormProcedures::FormProcedures(Form& form, ClientLibrary& library, ShellFactory createShell)
    : form_(form), library_(library), createShell_(std::move(createShell)) {}

void FormProcedures::SetLight(Control light, Fill fill, const Rgb* color) {
  if (color) form_.SetFillColor(light, *color);
  form_.SetFillStyle(light, fill);
  form_.Repaint(light);
}

void FormProcedures::ShowCode(std::int32_t code) {
  const std::string digits = std::to_string(code);  // a leading minus, no grouping
  form_.SetText(Control::status, std::u16string(digits.begin(), digits.end()));
}

void FormProcedures::ResetRequestStatus() {
  form_.SetText(Control::status, u"0");
  SetLight(Control::StatusShape, Fill::Transparent);
}

void FormProcedures::ClearActiveLight() { SetLight(Control::ActiveShape, Fill::Transparent); }

void FormProcedures::BeginRequest() {
  form_.SetText(Control::output, u"");
  SetLight(Control::ActiveShape, Fill::Solid, &kGreen);
  ResetRequestStatus();
}

void FormProcedures::SaveLastReply() { library_.webApiWriteLastReply(form_.Text(Control::repFile)); }

void FormProcedures::SaveLastFault() { library_.webApiWriteLastFault(form_.Text(Control::repFile)); }

void FormProcedures::FinishRequest(std::int32_t code) {
  // The reply or fault is written even to an empty path: the library decides what that means.
  if (code == 0) {
    form_.SetFillColor(Control::StatusShape, kGreen);
    SaveLastReply();
  } else {
    form_.SetFillColor(Control::StatusShape, kRed);
    SaveLastFault();
  }
  SetLight(Control::StatusShape, Fill::Solid);
  ShowCode(code);
  if (!form_.Text(Control::repFile).empty()) {
    RefreshButton_Click();
    ClearActiveLight();
  } else {
    ClearActiveLight();
    form_.ShowCritical(u"Write Error", u"Please specify a reply filename and re-try.");
  }
}

void FormProcedures::StatusButton_Click() {
  BeginRequest();
  FinishRequest(library_.webApiStatusRequest(form_.Text(Control::host), kRequestTimeout));
}

void FormProcedures::MemRequestButton_Click() {
  BeginRequest();
  const std::u16string document = form_.Text(Control::request);
  const std::int32_t code = form_.Value(Control::checkMemRaw) == 1
                                ? library_.webApiMemRequestRaw(document, kRequestTimeout)
                                : library_.webApiMemRequest(document, kRequestTimeout);
  FinishRequest(code);
}

void FormProcedures::FileRequestButton_Click() {
  const std::u16string path = form_.Text(Control::reqFile);
  if (path.empty()) {  // blanks are a path: only the empty text is refused
    form_.ShowCritical(u"File Request Error", u"Please specify a request filename first.");
    return;
  }
  BeginRequest();
  const std::int32_t code = form_.Value(Control::checkFileRaw) == 1
                                ? library_.webApiFileRequestRaw(path, kRequestTimeout)
                                : library_.webApiFileRequest(path, kRequestTimeout);
  FinishRequest(code);
}

void FormProcedures::RefreshButton_Click() {
  // Failures to read end quietly in an empty pane; LoadReplyText never throws for them, and
  // a reply that the pane cannot hold leaves it empty too.
  form_.SetText(Control::output, u"");
  try {
    form_.SetText(Control::output, LoadReplyText(form_.Text(Control::repFile)));
  } catch (const std::bad_alloc&) {
    form_.SetText(Control::output, u"");
  }
}

}  // namespace webapitest
