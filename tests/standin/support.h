// Shared by the stand-in's tests: a manager on a free loopback port, scratch folders, files.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "manager/manager.h"

namespace standin_test {

// A manager answering on 127.0.0.1 at a port of its own choosing, with its request log kept.
class RunningManager {
 public:
  explicit RunningManager(manager::Options options = {}) {
    options.host = "127.0.0.1";
    options.port = 0;
    options.log = [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      log_.push_back(line);
      logged_.notify_all();
    };
    host_ = std::make_unique<manager::Manager>(std::move(options));
    host_->Start();
  }
  std::string Address() const { return host_->Address(); }
  int Port() const { return host_->Port(); }
  std::vector<std::string> Log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  // The log once it has at least `lines` lines: a line is written after its answer went out,
  // so a client can hold the answer a moment before the line is there.
  std::vector<std::string> LogOf(std::size_t lines) const {
    std::unique_lock<std::mutex> lock(mutex_);
    logged_.wait_for(lock, std::chrono::seconds(5), [&] { return log_.size() >= lines; });
    return log_;
  }
  void Stop() { host_->Stop(); }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable logged_;
  std::vector<std::string> log_;
  std::unique_ptr<manager::Manager> host_;
};

inline manager::Options With(manager::FailMode fail) {
  manager::Options options;
  options.fail = fail;
  return options;
}

// A request document shaped like the window's own.
inline std::string Request(const std::string& server, const std::string& service = "kqhrx",
                           const std::string& entrypoint = "baseVariable", const std::string& data = "<data>5</data>") {
  return "<kqxml version='1.0'>\r\n"
         " <webapirequest>\r\n"
         "  <user sid='' />\r\n"
         "  <client host='127.0.0.1' origin='127.0.0.1' />\r\n"
         "  <server host='" + server + "' />\r\n"
         "  <service name='" + service + "' entrypoint='" + entrypoint + "' />\r\n"
         "  <requestdata format='XML'>\r\n"
         "   " + data + "\r\n"
         "  </requestdata>\r\n"
         " </webapirequest>\r\n"
         "</kqxml>";
}

// A folder of its own for each test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "standin-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Kibibytes of a process's memory from /proc: "VmRSS" now, "VmHWM" at its peak.
inline long MemoryKiB(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + (pid ? std::to_string(pid) : std::string("self")) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

// A loopback TCP connection whose every wait ends after `seconds`.
class Connection {
 public:
  explicit Connection(int port, int seconds = 10) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const timeval limit{seconds, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Connection() { close(fd_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool connected() const { return connected_; }
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t put = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (put <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
  }
  // True when the peer has something to read or has closed, within ms.
  bool Readable(int ms) {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, ms) == 1;
  }
  // Everything until the peer closes (or the wait ends), at most `most` bytes.
  std::string ReadToEnd(std::size_t most = 1u << 20) {
    std::string text;
    char chunk[16384];
    while (text.size() < most) {
      const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
      if (got <= 0) break;
      text.append(chunk, static_cast<std::size_t>(got));
    }
    return text;
  }
  // Sends one request and reads its answer whole, by its Content-Length, leaving the connection
  // open for the next; empty when the peer closes or the wait ends first.
  std::string Ask(const std::string& method, const std::string& path, const std::string& body = "") {
    const std::string fields =
        method == "POST" ? "Content-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" : "";
    if (!Send(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + fields + "\r\n" + body)) return {};
    std::string answer;
    char chunk[16384];
    for (;;) {
      const std::size_t end = answer.find("\r\n\r\n");
      const std::size_t length = answer.find("\r\nContent-Length: ");
      if (end != std::string::npos && length < end && answer.size() >= end + 4 + std::stoul(answer.substr(length + 18)))
        break;
      const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
      if (got <= 0) return {};
      answer.append(chunk, static_cast<std::size_t>(got));
    }
    return answer;
  }
  // Sends head, then filler until `total` bytes or until the peer answers or closes; returns
  // what the peer answered.
  std::string SendStreaming(const std::string& head, const std::string& filler, std::size_t total) {
    Send(head);
    for (std::size_t sent = 0; sent < total && !Readable(0); sent += filler.size())
      if (!Send(filler)) break;
    return ReadToEnd();
  }

 private:
  int fd_;
  bool connected_ = false;
};

// The HTTP status of an answer ("HTTP/1.1 413 ..." gives 413), 0 when there is none.
inline int StatusOf(const std::string& answer) {
  if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12) return 0;
  return std::atoi(answer.substr(9, 3).c_str());
}

// The webapi-manager program on a free loopback port, killed at the end if still running.
class ManagerProcess {
 public:
  explicit ManagerProcess(const char* program, std::vector<std::string> args = {}) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    args.insert(args.begin(), {program, "--listen", "127.0.0.1:0", "--quiet"});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      // Memory the address sanitizer holds back after it was freed (to catch its later use)
      // would count as growth in the tests that measure the manager.
      const char* asan = getenv("ASAN_OPTIONS");
      const std::string options = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "quarantine_size_mb=0";
      setenv("ASAN_OPTIONS", options.c_str(), 1);
      execv(program, argv.data());
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    if (line.rfind("listening on 127.0.0.1:", 0) != 0) throw std::runtime_error("the manager said: " + line);
    port_ = std::stoi(line.substr(line.rfind(':') + 1));
  }
  ~ManagerProcess() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }
  int port() const { return port_; }
  // Sends signal and waits up to `limit` for the end; true when it ended with exit code 0.
  bool EndsOn(int signal, std::chrono::milliseconds limit) {
    kill(pid_, signal);
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < until) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  bool ended_ = false;
};

}  // namespace standin_test
