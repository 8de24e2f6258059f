// Shared by the stand-in's tests: a manager on a free loopback port, scratch folders, files.
#pragma once

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

}  // namespace standin_test
