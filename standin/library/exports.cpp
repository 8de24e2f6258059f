// The fifteen entry points: C linkage, exported by name, forwarding to the one session.
#include "library/session.h"
#include "library/webapi.h"

#define WEBAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

webapi::Session& TheSession() {
  static webapi::Session session;
  return session;
}

}  // namespace

WEBAPI_EXPORT int32_t WEBAPI_CALL webApiStartup(void) { return TheSession().Startup(); }
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiCleanup(void) { return TheSession().Cleanup(); }

WEBAPI_EXPORT int32_t WEBAPI_CALL webApiStatusRequest(const char* host, int32_t timeoutSeconds) {
  return TheSession().StatusRequest(host, timeoutSeconds);
}

WEBAPI_EXPORT int32_t WEBAPI_CALL webApiMemRequest(const char* document, int32_t timeoutSeconds) {
  return TheSession().MemRequest(document, timeoutSeconds, false);
}
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiMemRequestRaw(const char* document, int32_t timeoutSeconds) {
  return TheSession().MemRequest(document, timeoutSeconds, true);
}
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiFileRequest(const char* requestPath, int32_t timeoutSeconds) {
  return TheSession().FileRequest(requestPath, timeoutSeconds, false);
}
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiFileRequestRaw(const char* requestPath, int32_t timeoutSeconds) {
  return TheSession().FileRequest(requestPath, timeoutSeconds, true);
}

WEBAPI_EXPORT int32_t WEBAPI_CALL webApiWriteLastReply(const char* replyPath) {
  return TheSession().WriteLast(replyPath, false);
}
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiWriteLastFault(const char* replyPath) {
  return TheSession().WriteLast(replyPath, true);
}

WEBAPI_EXPORT int32_t WEBAPI_CALL webApiSetRequestPath(const char* urlPath) {
  return TheSession().SetRequestPath(urlPath);
}
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiSetFileDump(const char* path) { return TheSession().SetFileDump(path); }
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiSetLogFile(const char* path) { return TheSession().SetLogFile(path); }
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiSetLogLevel(int32_t level) { return TheSession().SetLogLevel(level); }

WEBAPI_EXPORT int32_t WEBAPI_CALL webApiFileRequestReply(const char* requestPath, const char* replyPath,
                                                         int32_t timeoutSeconds) {
  return TheSession().FileRequestReply(requestPath, replyPath, timeoutSeconds, false);
}
WEBAPI_EXPORT int32_t WEBAPI_CALL webApiFileRequestReplyRaw(const char* requestPath, const char* replyPath,
                                                            int32_t timeoutSeconds) {
  return TheSession().FileRequestReply(requestPath, replyPath, timeoutSeconds, true);
}
