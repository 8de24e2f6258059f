// The rules by which every front end raises the window's events: one boundary where an
// unexpected failure is caught and shown, a close that waits for the running procedure, and
// an unload that runs exactly once.
#pragma once

#include <functional>
#include <string>

#include "window/form.h"

namespace webapitest {

class FormHost {
 public:
  struct Hooks {
    // Shows an unexpected failure (UTF-8) in the critical message box, titled with the
    // window's title, and returns once the user has dismissed it. Called where the failure
    // is caught: std::current_exception() is the failure, for a front end that tells kinds
    // of failure apart.
    std::function<void(const std::string& message)> showFailure;
    // Starts the window's close again, as its close button does; the front end's close
    // handler then asks Closing() and goes ahead.
    std::function<void()> closeNow;
  };

  // Every failure also leaves a line "logName: message" on standard error; an empty logName
  // leaves that to showFailure.
  explicit FormHost(Hooks hooks, std::string logName = "webapitest");

  // The procedures that handle the events; nullptr detaches them. They must outlive their use.
  void SetEvents(FormEvents* events) { events_ = events; }

  // Raises Form_Load. False when the program must end instead of showing the window: the load
  // failed (the failure has been shown) or a close came meanwhile; unload has run then.
  bool Load();
  // Raises the click of a command button. Ignored while another procedure runs (commands
  // never overlap) and once the window has unloaded.
  void Click(Control button);
  // The window is asked to close. True when it may close now: unload has run (once, ever).
  // False while a procedure runs (the close follows when it returns, through closeNow) or when
  // the unload refused it.
  bool Closing();

  // True while an event's procedure runs, a message box's loop inside it included.
  bool busy() const { return depth_ > 0; }
  // 0, or 1 once an unexpected failure has ended the program.
  int exitCode() const { return exitCode_; }

 private:
  // Runs one procedure at the boundary; false when it failed.
  template <typename Procedure>
  bool RunProcedure(Procedure&& procedure);
  void Fail(const std::string& message);
  bool Unload();
  // After the outermost procedure: a close that waited goes ahead.
  void GoAheadWithWaitingClose();

  Hooks hooks_;
  std::string logName_;
  FormEvents* events_ = nullptr;
  int depth_ = 0;
  bool loaded_ = false;
  bool closePending_ = false;
  bool unloaded_ = false;
  int exitCode_ = 0;
};

}  // namespace webapitest
