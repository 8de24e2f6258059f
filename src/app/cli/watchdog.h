// The run's one other thread: it ends the run when a library call outlasts --timeout, and
// takes SIGINT and SIGTERM (on Windows Ctrl+C, Ctrl+Break and the console's closing). The
// library is never called from it; the call that outlasts its deadline cannot be cancelled,
// so the run ends around it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace webapitest::cli {

class Watchdog {
 public:
  // timeoutSeconds 0: no deadline. Both callbacks run on the watchdog's thread and end the
  // process: onTimeout when a call outlasts the deadline, onSignal at a second signal (the
  // first only asks the run to stop, see Signal) or when the console closes.
  Watchdog(int timeoutSeconds, std::function<void()> onTimeout, std::function<void(int signal)> onSignal);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // From the library's thread: the deadline starts at Arm, moves at every Touch (each thing the
  // window's procedures do between two library calls) and is off after Disarm.
  void Arm();
  void Touch();
  void Disarm();
  std::chrono::steady_clock::time_point ArmedAt() const;

  // 0, or the first signal taken: SIGINT (2) or SIGTERM (15); Ctrl+C is 2, Ctrl+Break 15.
  int Signal() const { return signal_.load(); }
  // Waits ms milliseconds; false when a signal came first.
  bool Sleep(int ms);

 private:
  void Loop();
  void Wake();
  static std::int64_t Now();

  const std::chrono::seconds timeout_;
  std::function<void()> onTimeout_;
  std::function<void(int)> onSignal_;
  std::atomic<bool> armed_{false}, quit_{false};
  std::atomic<std::int64_t> touched_{0}, armedAt_{0};  // steady_clock ticks
  std::atomic<int> signal_{0};
  std::mutex mutex_;
  std::condition_variable signalled_;
  std::thread thread_;
};

}  // namespace webapitest::cli
