# Windows x86, the release target, through MinGW-w64. These machines cannot run 32-bit code,
# so the build is inspected, not run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WEBAPITEST_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
