// webapi-manager: the manager host on the command line. Ends on SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "manager/manager.h"

int main(int argc, char** argv) {
  std::string error;
  bool help = false;
  std::optional<manager::Options> options =
      manager::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error, help);
  if (help) {
    std::fputs(manager::Usage(), stdout);
    return 0;
  }
  if (!options) {
    std::fprintf(stderr, "webapi-manager: %s\n\n%s", error.c_str(), manager::Usage());
    return 2;
  }
  // Signals are taken by sigwait below, never by a handler; every thread started later
  // inherits the mask. SIGUSR1 tells that serving ended on its own.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  manager::Manager host(*options);
  try {
    host.Bind();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "webapi-manager: %s\n", e.what());
    return 1;
  }
  if (options->fail == manager::FailMode::kRefuse)
    std::printf("refusing connections on %s\n", host.Address().c_str());
  else
    std::printf("listening on %s\n", host.Address().c_str());
  std::fflush(stdout);

  const pthread_t mainThread = pthread_self();
  bool served = true;
  std::thread server([&] {
    served = host.Serve();
    pthread_kill(mainThread, SIGUSR1);
  });
  int received = 0;
  sigwait(&signals, &received);
  if (received != SIGUSR1) std::fprintf(stderr, "webapi-manager: stopping (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
  host.Stop();
  server.join();
  if (!served) {
    std::fprintf(stderr, "webapi-manager: serving failed\n");
    return 1;
  }
  return 0;
}
