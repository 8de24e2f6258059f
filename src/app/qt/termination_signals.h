// SIGINT and SIGTERM as an event of the window's thread, so that they can close the window
// the way its close button does and the client library is cleaned up.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace webapitest {

// The signal handler only writes a byte to a socket pair; the event loop reads it and calls
// onSignal. Only one instance may exist; the signals' default actions return when it ends.
class TerminationSignals {
 public:
  explicit TerminationSignals(std::function<void()> onSignal);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  static void Handle(int signal);
  void Read();

  std::function<void()> onSignal_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace webapitest
