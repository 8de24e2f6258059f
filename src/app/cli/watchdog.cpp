// The watchdog's thread, woken by signals through a pipe (a handler may do little else) or, on
// Windows, by the console's control handler through an event.
#include "app/cli/watchdog.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace webapitest::cli {
namespace {

// One watchdog at a time; what the handlers reach.
std::atomic<int> pending{0};  // a signal the watchdog has not taken yet
#ifdef _WIN32
HANDLE wakeEvent = nullptr;
std::function<void(int)>* closeHandler = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    pending = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    SetEvent(wakeEvent);
    return TRUE;
  }
  // The console closes, or the user logs off: the system ends the process when this returns,
  // so the reports are completed here and now.
  if (closeHandler) (*closeHandler)(SIGTERM);
  return FALSE;
}
#else
int wakePipe[2] = {-1, -1};

extern "C" void OnSignal(int number) {
  const int saved = errno;
  pending = number;
  const char byte = 's';
  [[maybe_unused]] const ssize_t n = write(wakePipe[1], &byte, 1);
  errno = saved;
}
#endif

}  // namespace

Watchdog::Watchdog(int timeoutSeconds, std::function<void()> onTimeout, std::function<void(int)> onSignal)
    : timeout_(timeoutSeconds), onTimeout_(std::move(onTimeout)), onSignal_(std::move(onSignal)) {
#ifdef _WIN32
  wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!wakeEvent) throw std::runtime_error("Cannot create the watchdog's event.");
  closeHandler = &onSignal_;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  if (pipe(wakePipe) != 0) throw std::runtime_error("Cannot create the watchdog's pipe.");
  for (const int fd : wakePipe) fcntl(fd, F_SETFD, FD_CLOEXEC), fcntl(fd, F_SETFL, O_NONBLOCK);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESTART;  // a library call that a signal interrupts goes on
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
  thread_ = std::thread([this] { Loop(); });
}

Watchdog::~Watchdog() {
  quit_ = true;
  Wake();
  thread_.join();
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  closeHandler = nullptr;
  CloseHandle(wakeEvent);
#else
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  for (int& fd : wakePipe) close(fd), fd = -1;
#endif
}

std::int64_t Watchdog::Now() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

void Watchdog::Arm() {
  const std::int64_t now = Now();
  touched_ = now;
  armedAt_ = now;
  armed_ = true;
}

void Watchdog::Touch() { touched_ = Now(); }

void Watchdog::Disarm() { armed_ = false; }

std::chrono::steady_clock::time_point Watchdog::ArmedAt() const {
  return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(armedAt_.load()));
}

bool Watchdog::Sleep(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !signalled_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signal_ != 0; });
}

void Watchdog::Wake() {
#ifdef _WIN32
  SetEvent(wakeEvent);
#else
  const char byte = 'q';
  [[maybe_unused]] const ssize_t n = write(wakePipe[1], &byte, 1);
#endif
}

void Watchdog::Loop() {
  using std::chrono::steady_clock;
  const auto deadline = std::chrono::duration_cast<steady_clock::duration>(timeout_).count();
  while (!quit_) {
    // Until the deadline of the call that runs, else a whole deadline (a call armed meanwhile
    // cannot end sooner), else until woken.
    long long wait = -1;
    if (deadline > 0) {
      const std::int64_t left = armed_ ? touched_ + deadline - Now() : deadline;
      wait = std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::duration(std::max<std::int64_t>(left, 0))).count() + 1;
    }
#ifdef _WIN32
    WaitForSingleObject(wakeEvent, wait < 0 ? INFINITE : static_cast<DWORD>(wait));
#else
    pollfd fd{wakePipe[0], POLLIN, 0};
    if (poll(&fd, 1, wait < 0 ? -1 : static_cast<int>(std::min<long long>(wait, 1 << 30))) > 0) {
      char bytes[64];
      while (read(wakePipe[0], bytes, sizeof bytes) > 0) {
      }
    }
#endif
    if (quit_) return;
    if (const int number = pending.exchange(0)) {
      if (signal_ != 0) return onSignal_(number);  // the second: at once
      {
        std::lock_guard<std::mutex> lock(mutex_);
        signal_ = number;
      }
      signalled_.notify_all();
    }
    if (deadline > 0 && armed_ && Now() - touched_ >= deadline) return onTimeout_();
  }
}

}  // namespace webapitest::cli
