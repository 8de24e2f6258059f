// The client library's entry points as C function types: the one description of the binary
// interface, shared by the binding and the libraries we build (the test double, the stand-in).
//
// Text arguments are NUL-terminated 8-bit text in the system's ANSI code page. Every result is
// a 32-bit status code, 0 for success. On 32-bit Windows every entry point is __stdcall and
// exported under its plain name.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define WEBAPI_CALL __stdcall
#else
#define WEBAPI_CALL
#endif

namespace webapitest::entry {

using Startup = std::int32_t WEBAPI_CALL();
using Cleanup = std::int32_t WEBAPI_CALL();
// host: "hostname or IP:portnumber"; timeout: seconds (the window passes 90).
using StatusRequest = std::int32_t WEBAPI_CALL(const char* host, std::int32_t timeout);
// document: a whole request document. The Raw variant sends it untouched.
using MemRequest = std::int32_t WEBAPI_CALL(const char* document, std::int32_t timeout);
// path: a file holding a request document.
using FileRequest = std::int32_t WEBAPI_CALL(const char* path, std::int32_t timeout);
// Writes the last reply or fault as text lines to path; done writing when it returns.
using WriteLast = std::int32_t WEBAPI_CALL(const char* path);

}  // namespace webapitest::entry
