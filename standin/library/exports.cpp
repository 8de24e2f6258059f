// The fifteen entry points: C linkage, exported by name, forwarding to the one session.
#include "library/core.h"

#define WEBAPI_EXPORT extern "C" __attribute__((visibility("default"))) int32_t WEBAPI_CALL

namespace {

webapi::Session& TheSession() {
  static webapi::Session session;
  return session;
}

}  // namespace

WEBAPI_EXPORT webApiStartup(void) { return TheSession().Startup(); }
WEBAPI_EXPORT webApiCleanup(void) { return TheSession().Cleanup(); }
WEBAPI_EXPORT webApiStatusRequest(const char* host, int32_t seconds) {
  return TheSession().StatusRequest(host, seconds);
}
WEBAPI_EXPORT webApiMemRequest(const char* document, int32_t seconds) {
  return TheSession().MemRequest(document, seconds, false);
}
WEBAPI_EXPORT webApiMemRequestRaw(const char* document, int32_t seconds) {
  return TheSession().MemRequest(document, seconds, true);
}
WEBAPI_EXPORT webApiFileRequest(const char* path, int32_t seconds) {
  return TheSession().FileRequest(path, seconds, false);
}
WEBAPI_EXPORT webApiFileRequestRaw(const char* path, int32_t seconds) {
  return TheSession().FileRequest(path, seconds, true);
}
WEBAPI_EXPORT webApiWriteLastReply(const char* path) { return TheSession().WriteLast(path, false); }
WEBAPI_EXPORT webApiWriteLastFault(const char* path) { return TheSession().WriteLast(path, true); }
WEBAPI_EXPORT webApiSetRequestPath(const char* path) { return TheSession().SetRequestPath(path); }
WEBAPI_EXPORT webApiSetFileDump(const char* path) { return TheSession().SetFileDump(path); }
WEBAPI_EXPORT webApiSetLogFile(const char* path) { return TheSession().SetLogFile(path); }
WEBAPI_EXPORT webApiSetLogLevel(int32_t level) { return TheSession().SetLogLevel(level); }
WEBAPI_EXPORT webApiFileRequestReply(const char* request, const char* reply, int32_t seconds) {
  return TheSession().FileRequestReply(request, reply, seconds, false);
}
WEBAPI_EXPORT webApiFileRequestReplyRaw(const char* request, const char* reply, int32_t seconds) {
  return TheSession().FileRequestReply(request, reply, seconds, true);
}
