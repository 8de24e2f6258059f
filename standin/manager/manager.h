// The manager host: an HTTP/1.1 server that answers status requests and request documents,
// and on request fails the ways real servers fail.
#pragma once

#include <memory>
#include <string>

#include "manager/options.h"

namespace manager {

class Connection;

class Manager {
 public:
  explicit Manager(Options options);
  ~Manager();
  Manager(const Manager&) = delete;
  Manager& operator=(const Manager&) = delete;

  // Takes the port; throws std::runtime_error when it cannot.
  void Bind();
  // The port taken by Bind (the free one picked for port 0).
  int Port() const;
  // "host:port" as clients reach it.
  std::string Address() const;
  // Answers until Stop. Returns false when serving failed.
  bool Serve();
  // Ends Serve from any thread (also before it began), within about a second whatever the
  // clients do: waiting answers are sent at once, requests still being read are cut off.
  void Stop();

  // Bind, then Serve on a thread of its own; returns once the manager answers.
  void Start();

 private:
  friend class Connection;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace manager
