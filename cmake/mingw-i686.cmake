# Windows x86, the release target, through MinGW-w64. Test programs run under 32-bit Wine in an
# i386 tree of their own (scripts/wine32), beside the machine's wine64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WEBAPITEST_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32)
# The runner ends a program itself after 600 s on its native route and 3000 s in the emulator
# (scripts/wine32); CTest's own limit only backs that up.
set(WEBAPITEST_WINE_TIMEOUT 3600)
