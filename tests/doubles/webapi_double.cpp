// A scripted client library for tests: records every call and answers as the test prescribes.
//
// Built three times: in full (all fifteen entry points), lean (only the nine the window calls)
// and without webApiStatusRequest. Tests drive it through the functions at the bottom, which
// they find in the same loaded module. A program under test that loads it in a process of its
// own leaves its calls in the file that WEBAPI_DOUBLE_LOG names, one line each: the entry
// point, then each argument after a tab, with \\, \t, \r and \n escaped; WEBAPI_DOUBLE_CRASH
// ("webApiMemRequest:null") makes it crash in an entry point, as double_SetCrash does, and
// WEBAPI_DOUBLE_REPLY gives the reply it writes.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "client/entry_points.h"

#ifdef _WIN32
#define DOUBLE_EXPORT extern "C" __declspec(dllexport)
#else
#define DOUBLE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
#define ENTRY extern "C" std::int32_t WEBAPI_CALL

namespace {

struct Call {
  std::string entry;
  std::vector<std::string> args;
};

std::string Environment(const char* name, const char* otherwise) {
  const char* value = std::getenv(name);
  return value ? value : otherwise;
}

struct Script {
  std::map<std::string, std::int32_t> results;
  std::string reply = Environment("WEBAPI_DOUBLE_REPLY", "reply line\r\n");
  std::string fault = "fault line\r\n";
  std::vector<Call> calls;
  void (*hook)(const char* entry, void* context) = nullptr;
  void* hookContext = nullptr;
  std::string crashEntry, crashKind;
};

Script& State() {
  static Script script;
  return script;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string("(null)"); }

void Log(const char* entry, const std::vector<std::string>& args) {
  const char* path = std::getenv("WEBAPI_DOUBLE_LOG");
  if (!path || !*path) return;
  std::string line = entry;
  for (const std::string& arg : args) {
    line += '\t';
    for (const char c : arg) {
      if (c == '\\') line += "\\\\";
      else if (c == '\t') line += "\\t";
      else if (c == '\r') line += "\\r";
      else if (c == '\n') line += "\\n";
      else line += c;
    }
  }
  line += '\n';
  if (std::FILE* file = std::fopen(path, "ab")) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
}

volatile int zero = 0, seven = 7;
volatile bool deeper = true;
int Recurse(int depth) {
  volatile char room[4096];
  room[0] = static_cast<char>(depth);
  return (deeper ? Recurse(depth + 1) : 0) + room[0];
}

// The ways a library crashes: a write through a null pointer, an abort, an illegal
// instruction, an integer division by zero, a stack overflow.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((no_sanitize("address", "undefined")))
#endif
void Crash(const std::string& kind) {
  int* volatile nowhere = nullptr;
  if (kind == "null") *nowhere = 1;
  if (kind == "abort") std::abort();
  if (kind == "illegal") __builtin_trap();
  if (kind == "divide") zero = seven / zero;
  if (kind == "overflow") zero = Recurse(0);
}

std::int32_t Record(const char* entry, std::vector<std::string> args) {
  Log(entry, args);
  Script& s = State();
  s.calls.push_back({entry, std::move(args)});
  if (s.hook) s.hook(entry, s.hookContext);
  if (const char* crash = std::getenv("WEBAPI_DOUBLE_CRASH")) {
    const char* colon = std::strchr(crash, ':');
    if (colon && std::string(crash, colon) == entry) Crash(colon + 1);
  }
  if (s.crashEntry == entry) Crash(s.crashKind);
  const auto found = s.results.find(entry);
  return found == s.results.end() ? 0 : found->second;
}

std::int32_t Write(const char* entry, const char* path, const std::string& bytes) {
  const std::int32_t code = Record(entry, {Text(path)});
  if (!path || !*path) return code;
  if (std::FILE* file = std::fopen(path, "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return code;
}

}  // namespace

ENTRY webApiStartup() { return Record("webApiStartup", {}); }
ENTRY webApiCleanup() { return Record("webApiCleanup", {}); }
#ifndef DOUBLE_WITHOUT_STATUS_REQUEST
ENTRY webApiStatusRequest(const char* host, std::int32_t timeout) {
  return Record("webApiStatusRequest", {Text(host), std::to_string(timeout)});
}
#endif
#ifdef DOUBLE_CDECL_MEM_REQUEST  // a library built with the wrong calling convention
extern "C" std::int32_t webApiMemRequest(const char* document, std::int32_t timeout) {
#else
ENTRY webApiMemRequest(const char* document, std::int32_t timeout) {
#endif
  return Record("webApiMemRequest", {Text(document), std::to_string(timeout)});
}
ENTRY webApiMemRequestRaw(const char* document, std::int32_t timeout) {
  return Record("webApiMemRequestRaw", {Text(document), std::to_string(timeout)});
}
ENTRY webApiFileRequest(const char* path, std::int32_t timeout) {
  return Record("webApiFileRequest", {Text(path), std::to_string(timeout)});
}
ENTRY webApiFileRequestRaw(const char* path, std::int32_t timeout) {
  return Record("webApiFileRequestRaw", {Text(path), std::to_string(timeout)});
}
ENTRY webApiWriteLastReply(const char* path) { return Write("webApiWriteLastReply", path, State().reply); }
ENTRY webApiWriteLastFault(const char* path) { return Write("webApiWriteLastFault", path, State().fault); }

#ifndef DOUBLE_LEAN
ENTRY webApiSetRequestPath(const char* path) { return Record("webApiSetRequestPath", {Text(path)}); }
ENTRY webApiSetFileDump(const char* path) { return Record("webApiSetFileDump", {Text(path)}); }
ENTRY webApiSetLogFile(const char* path) { return Record("webApiSetLogFile", {Text(path)}); }
ENTRY webApiSetLogLevel(std::int32_t level) { return Record("webApiSetLogLevel", {std::to_string(level)}); }
ENTRY webApiFileRequestReply(const char* request, const char* reply, std::int32_t timeout) {
  return Record("webApiFileRequestReply", {Text(request), Text(reply), std::to_string(timeout)});
}
ENTRY webApiFileRequestReplyRaw(const char* request, const char* reply, std::int32_t timeout) {
  return Record("webApiFileRequestReplyRaw", {Text(request), Text(reply), std::to_string(timeout)});
}
#endif

// The test's side. Plain C calling convention on every target.
DOUBLE_EXPORT void double_Reset() { State() = Script{}; }
DOUBLE_EXPORT void double_SetResult(const char* entry, std::int32_t code) { State().results[entry] = code; }
DOUBLE_EXPORT void double_SetReply(const char* bytes, std::size_t size) { State().reply.assign(bytes, size); }
DOUBLE_EXPORT void double_SetFault(const char* bytes, std::size_t size) { State().fault.assign(bytes, size); }
DOUBLE_EXPORT void double_SetHook(void (*hook)(const char*, void*), void* context) {
  State().hook = hook;
  State().hookContext = context;
}
DOUBLE_EXPORT void double_SetCrash(const char* entry, const char* kind) {
  State().crashEntry = entry;
  State().crashKind = kind;
}
DOUBLE_EXPORT std::size_t double_CallCount() { return State().calls.size(); }
DOUBLE_EXPORT const char* double_CallEntry(std::size_t i) { return State().calls.at(i).entry.c_str(); }
DOUBLE_EXPORT std::size_t double_CallArgCount(std::size_t i) { return State().calls.at(i).args.size(); }
// Arguments are kept whole, embedded bytes included; size tells their length.
DOUBLE_EXPORT const char* double_CallArg(std::size_t i, std::size_t j, std::size_t* size) {
  const std::string& arg = State().calls.at(i).args.at(j);
  *size = arg.size();
  return arg.data();
}
