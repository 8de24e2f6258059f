// Starting a program with pipes (or a pseudo-terminal) and a deadline.
#include "console/twin_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace webapitest::testing {

Finished RunProgram(const std::string& program, const Launch& launch) {
  signal(SIGPIPE, SIG_IGN);  // a program that ends before reading its input
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
  if (launch.terminal ? openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0 : pipe(err) != 0)
    throw std::runtime_error("no pipe or terminal for standard error");

  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!launch.environment.count(entry.substr(0, entry.find('=')))) environment.push_back(entry);
  }
  for (const auto& [name, value] : launch.environment) environment.push_back(name + "=" + value);
  std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
  for (std::string& entry : environment) envp.push_back(entry.data());
  for (const std::string& argument : launch.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  envp.push_back(nullptr);
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  fcntl(in[1], F_SETFL, O_NONBLOCK);

  Finished finished;
  std::size_t written = 0;
  int writing = in[1];
  if (launch.input.empty()) close(writing), writing = -1;
  int open = 2;
  const auto started = std::chrono::steady_clock::now(), deadline = started + std::chrono::seconds(60);
  int signal = launch.signal;
  while (open > 0 && std::chrono::steady_clock::now() < deadline) {
    if (signal && std::chrono::steady_clock::now() - started > std::chrono::milliseconds(700))
      kill(child, signal), signal = 0;
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {writing, POLLOUT, 0}};
    if (poll(fds, 3, 100) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? finished.out : finished.err).append(buffer, static_cast<std::size_t>(n));
      } else {  // the end, or EIO once a terminal's last writer has gone
        close(fds[i].fd);
        (i == 0 ? out[0] : err[0]) = -1;
        --open;
      }
    }
    if (writing >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(writing, launch.input.data() + written, launch.input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == launch.input.size()) close(writing), writing = -1;
    }
  }
  for (int fd : {out[0], err[0], writing})
    if (fd >= 0) close(fd);
  if (open > 0) kill(child, SIGKILL);
  int result = 0;
  waitpid(child, &result, 0);
  if (open == 0 && WIFEXITED(result)) finished.status = WEXITSTATUS(result);
  return finished;
}

}  // namespace webapitest::testing
