// The client library's whole state and what each entry point does with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "library/outcome.h"
#include "library/transfer.h"

namespace webapi {

constexpr std::int32_t kMaxTimeoutSeconds = 86400;
constexpr std::int32_t kDefaultLogLevel = 2;
constexpr const char* kDefaultRequestPath = "/webapi";

enum LogLevel : std::int32_t { kLogOff = 0, kLogErrors = 1, kLogRequests = 2, kLogDetails = 3, kLogTrace = 4 };

struct Settings {
  std::string requestPath = kDefaultRequestPath;
  std::string dumpPath;  // empty: no dump
  std::string logPath;   // empty: no log
  std::int32_t logLevel = kDefaultLogLevel;
};

// One instance lives in the library (see exports.cpp); tests may make their own.
class Session {
 public:
  std::int32_t Startup();
  std::int32_t Cleanup();

  std::int32_t StatusRequest(const char* host, std::int32_t timeoutSeconds);
  std::int32_t MemRequest(const char* document, std::int32_t timeoutSeconds, bool raw);
  std::int32_t FileRequest(const char* path, std::int32_t timeoutSeconds, bool raw);
  std::int32_t FileRequestReply(const char* requestPath, const char* replyPath, std::int32_t timeoutSeconds, bool raw);
  std::int32_t WriteLast(const char* path, bool fault);

  std::int32_t SetRequestPath(const char* path);
  std::int32_t SetFileDump(const char* path);
  std::int32_t SetLogFile(const char* path);
  std::int32_t SetLogLevel(std::int32_t level);

 private:
  enum class Last { Nothing, Reply, Fault };

  // Checks shared by every request; a fault outcome when the request cannot go ahead.
  Outcome Admit(const char* entry, const char* text, const char* what, std::int32_t timeoutSeconds) const;
  // Posts a document (in the locale's code page) and reads what comes back.
  Outcome Post(std::string_view document, std::int32_t timeoutSeconds, bool raw, std::string& where);
  TransferResult Exchange(TransferRequest request);
  // Keeps the outcome of a request as the last reply or fault and logs it.
  std::int32_t Record(const char* entry, Outcome outcome, const std::string& where = "");
  void Log(std::int32_t level, const std::string& line) const;
  void Dump(const TransferRequest& request, const TransferResult& result) const;
  std::int32_t SetFile(std::string& setting, const char* path, const char* what);

  bool started_ = false;
  Settings settings_;
  Last last_ = Last::Nothing;
  Outcome outcome_;
  std::string lastEntry_;
};

}  // namespace webapi
