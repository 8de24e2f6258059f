// Output and editing commands: clear the output, restore the template, open the files.
#include <stdexcept>

#include "client/request_template.h"
#include "commands/procedures.h"

namespace webapitest {

void FormProcedures::ClearButton_Click() {
  form_.SetText(Control::output, u"");
  ResetRequestStatus();
}

void FormProcedures::ResetButton_Click() {
  form_.SetText(Control::request, std::u16string(RequestTemplate));
  form_.Focus(Control::request);
}

void FormProcedures::OpenPath(Control box) {
  if (!shellApp_) throw std::runtime_error("The desktop shell is not available.");
  shellApp_->Open(form_.Text(box));
}

void FormProcedures::RequestUrl_Click() { OpenPath(Control::reqFile); }

void FormProcedures::ReplyUrl_Click() { OpenPath(Control::repFile); }

}  // namespace webapitest
