// Routes a command button's click to the procedure that handles it.
#include "window/form.h"

namespace webapitest {

void RaiseClick(FormEvents& events, Control button) {
  switch (button) {
    case Control::StatusButton: events.StatusButton_Click(); break;
    case Control::FileRequestButton: events.FileRequestButton_Click(); break;
    case Control::RequestUrl: events.RequestUrl_Click(); break;
    case Control::MemRequestButton: events.MemRequestButton_Click(); break;
    case Control::ResetButton: events.ResetButton_Click(); break;
    case Control::RefreshButton: events.RefreshButton_Click(); break;
    case Control::ReplyUrl: events.ReplyUrl_Click(); break;
    case Control::ClearButton: events.ClearButton_Click(); break;
    default: break;
  }
}

}  // namespace webapitest
