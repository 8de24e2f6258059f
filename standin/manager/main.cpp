// webapi-manager: the manager host on the command line. Ends on SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "manager/manager.h"

int main(int argc, char** argv) {
  std::string error;
  bool help = false;
  const auto options = manager::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error, help);
  if (help) {
    std::fputs(manager::Usage(), stdout);
    return 0;
  }
  if (!options) {
    std::fprintf(stderr, "webapi-manager: %s\n\n%s", error.c_str(), manager::Usage());
    return 2;
  }
  // Signals are taken by sigwait below, never by a handler; the serving thread inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  manager::Manager host(*options);
  try {
    host.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "webapi-manager: %s\n", e.what());
    return 1;
  }
  const bool refuse = manager::HoldsPort(*options);
  std::printf("%s on %s\n", refuse ? "refusing connections" : "listening", host.Address().c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&signals, &received);
  std::fprintf(stderr, "webapi-manager: stopping (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
  return 0;  // the host stops as it goes
}
