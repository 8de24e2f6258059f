/* The web-API client library (stand-in build for Linux): entry points and status codes.
 *
 * Text arguments are NUL-terminated 8-bit text in the system's ANSI code page (on Linux the
 * codeset of the current locale). Every entry point returns one of the status codes below,
 * WEBAPI_OK (0) for success. Reply and fault files are written in the same code page, one text
 * line after another, each ended by CR LF.
 *
 * Use: webApiStartup once; then any number of requests, each followed by webApiWriteLastReply
 * or webApiWriteLastFault; webApiCleanup at the end. The library keeps one state and is meant
 * to be called from one thread at a time.
 */
#ifndef WEBAPI_STANDIN_WEBAPI_H
#define WEBAPI_STANDIN_WEBAPI_H

#include <stdint.h>

#ifndef WEBAPI_CALL
#define WEBAPI_CALL /* the real library's 32-bit Windows build has __stdcall; this one is for Linux */
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. */
enum {
  WEBAPI_OK = 0,                 /* done */
  WEBAPI_NOT_STARTED = 1,        /* called before webApiStartup or after webApiCleanup */
  WEBAPI_BAD_ARGUMENT = 2,       /* null or empty text, a host not "name:port", a timeout, level or path out of range */
  WEBAPI_MALFORMED_REQUEST = 3,  /* the request document is not well-formed or lacks an element (line and column) */
  WEBAPI_REQUEST_FILE = 4,       /* the request file is missing, unreadable, not a regular file or too large */
  WEBAPI_CONNECT_FAILED = 5,     /* the host refused the connection, is unreachable or its name is unknown */
  WEBAPI_TIMEOUT = 6,            /* no complete reply within the timeout */
  WEBAPI_HTTP_STATUS = 7,        /* the host answered with an HTTP status other than 200 */
  WEBAPI_BAD_REPLY = 8,          /* the connection broke, the reply is cut off, empty, too large or no reply document */
  WEBAPI_SERVER_FAULT = 9,       /* the host answered with a fault document */
  WEBAPI_WRITE_FAILED = 10,      /* a reply, fault, log or dump file could not be written */
  WEBAPI_NOTHING_TO_WRITE = 11,  /* no such reply or fault to write; the file says so */
  WEBAPI_INTERNAL = 12           /* the transfer layer did not start, out of memory, or another transfer failure */
};

/* Start-up and cleanup. A second webApiStartup is harmless; one webApiCleanup ends it all and
 * resets the settings. webApiCleanup without start-up returns WEBAPI_NOT_STARTED. */
int32_t WEBAPI_CALL webApiStartup(void);
int32_t WEBAPI_CALL webApiCleanup(void);

/* Asks the manager host at "hostname or IP:port" ("[IPv6]:port" too) for its status. */
int32_t WEBAPI_CALL webApiStatusRequest(const char* host, int32_t timeoutSeconds);

/* Posts a request document to the host its server element names. The plain variants check the
 * document first and keep the reply's data as the reply; the Raw variants send the text as it
 * is and keep the whole reply document. A timeout covers connecting and the whole transfer. */
int32_t WEBAPI_CALL webApiMemRequest(const char* document, int32_t timeoutSeconds);
int32_t WEBAPI_CALL webApiMemRequestRaw(const char* document, int32_t timeoutSeconds);
int32_t WEBAPI_CALL webApiFileRequest(const char* requestPath, int32_t timeoutSeconds);
int32_t WEBAPI_CALL webApiFileRequestRaw(const char* requestPath, int32_t timeoutSeconds);

/* Write the last reply or fault to replyPath (created or overwritten; closed on return). */
int32_t WEBAPI_CALL webApiWriteLastReply(const char* replyPath);
int32_t WEBAPI_CALL webApiWriteLastFault(const char* replyPath);

/* Settings; each needs start-up. The request path defaults to "/webapi" ("" restores it). */
int32_t WEBAPI_CALL webApiSetRequestPath(const char* urlPath);
/* Appends every exchange (request and reply) to path; "" turns it off. */
int32_t WEBAPI_CALL webApiSetFileDump(const char* path);
/* Appends log lines to path; "" turns it off. */
int32_t WEBAPI_CALL webApiSetLogFile(const char* path);
/* 0 nothing, 1 errors, 2 one line per request (default), 3 details, 4 transfer trace. */
int32_t WEBAPI_CALL webApiSetLogLevel(int32_t level);

/* A file request followed by webApiWriteLastReply (success) or webApiWriteLastFault (failure).
 * Returns the request's code, or WEBAPI_WRITE_FAILED when the file could not be written. */
int32_t WEBAPI_CALL webApiFileRequestReply(const char* requestPath, const char* replyPath, int32_t timeoutSeconds);
int32_t WEBAPI_CALL webApiFileRequestReplyRaw(const char* requestPath, const char* replyPath, int32_t timeoutSeconds);

#ifdef __cplusplus
}
#endif

#endif
