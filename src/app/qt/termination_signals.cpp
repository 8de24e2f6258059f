// The self-pipe for SIGINT and SIGTERM.
#include "termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace webapitest {
namespace {

int pair[2] = {-1, -1};  // [0] written by the handler, [1] read by the event loop
constexpr int kSignals[] = {SIGINT, SIGTERM};

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
  if (pair[0] != -1) throw std::logic_error("signals are already being watched");
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0)
    throw std::runtime_error("Cannot create the socket pair for SIGINT and SIGTERM.");
  notifier_ = std::make_unique<QSocketNotifier>(pair[1], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Read(); });

  struct sigaction action {};
  action.sa_handler = &TerminationSignals::Handle;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals) sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
  for (const int signal : kSignals) std::signal(signal, SIG_DFL);
  notifier_.reset();
  close(pair[0]);
  close(pair[1]);
  pair[0] = pair[1] = -1;
}

void TerminationSignals::Handle(int /*signal*/) {
  const int saved = errno;
  const char byte = 1;
  // A full socket already holds a wake-up; nothing is lost by dropping this one.
  if (write(pair[0], &byte, 1) < 0) {
  }
  errno = saved;
}

void TerminationSignals::Read() {
  char bytes[16];
  while (read(pair[1], bytes, sizeof bytes) > 0) {
  }
  onSignal_();
}

}  // namespace webapitest
