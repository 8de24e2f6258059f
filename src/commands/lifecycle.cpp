// Start-up and shut-down: the library and the shell object live as long as the window.
#include "client/request_template.h"
#include "commands/procedures.h"

namespace webapitest {

void FormProcedures::Form_Load() {
  ResetRequestStatus();
  ClearActiveLight();
  const std::int32_t code = library_.webApiStartup();
  started_ = true;
  ShowCode(code);  // the status light stays dark until a request finishes
  form_.SetText(Control::request, std::u16string(RequestTemplate));
  shellApp_ = createShell_();
}

void FormProcedures::Form_Unload(bool& /*cancel*/) {
  // Closing is never refused. A second unload, or one after a load that failed before the
  // library started, has nothing to clean up.
  if (started_) {
    started_ = false;
    library_.webApiCleanup();
  }
  shellApp_.reset();
}

}  // namespace webapitest
