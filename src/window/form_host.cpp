// The event boundary shared by the front ends.
#include "window/form_host.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace webapitest {

FormHost::FormHost(Hooks hooks, std::string logName) : hooks_(std::move(hooks)), logName_(std::move(logName)) {}

template <typename Procedure>
bool FormHost::RunProcedure(Procedure&& procedure) {
  ++depth_;
  bool ok = true;
  try {
    procedure();
  } catch (const std::exception& failure) {
    ok = false;
    Fail(failure.what());
  } catch (...) {
    ok = false;
    Fail("An unexpected failure ended the program.");
  }
  --depth_;
  return ok;
}

void FormHost::Fail(const std::string& message) {
  if (!logName_.empty()) std::fprintf(stderr, "%s: %s\n", logName_.c_str(), message.c_str());
  // One box is enough: a failure while cleaning up after a failure is only logged.
  if (exitCode_ != 0) return;
  exitCode_ = 1;
  closePending_ = true;  // the program ends, after unloading
  if (hooks_.showFailure) {
    try {
      hooks_.showFailure(message);
    } catch (...) {
    }
  }
}

bool FormHost::Unload() {
  if (unloaded_) return true;
  unloaded_ = true;
  bool cancel = false;
  if (events_) RunProcedure([&] { events_->Form_Unload(cancel); });
  if (cancel && exitCode_ == 0) {
    unloaded_ = false;  // refused; the next close unloads again
    return false;
  }
  return true;
}

void FormHost::GoAheadWithWaitingClose() {
  if (depth_ > 0 || !closePending_ || !loaded_) return;
  closePending_ = false;
  if (hooks_.closeNow) hooks_.closeNow();
}

bool FormHost::Load() {
  const bool ok = !events_ || RunProcedure([&] { events_->Form_Load(); });
  if (ok && !closePending_) {
    loaded_ = true;
    return true;
  }
  closePending_ = false;
  Unload();
  return false;
}

void FormHost::Click(Control button) {
  if (!events_ || unloaded_ || depth_ > 0) return;
  RunProcedure([&] { RaiseClick(*events_, button); });
  GoAheadWithWaitingClose();
}

bool FormHost::Closing() {
  if (depth_ > 0) {
    closePending_ = true;
    return false;
  }
  closePending_ = false;
  return Unload();
}

}  // namespace webapitest
