# Shared settings of the MinGW cross toolchains; WEBAPITEST_MINGW_TRIPLE is set by the includer.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${WEBAPITEST_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WEBAPITEST_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${WEBAPITEST_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${WEBAPITEST_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Everything links statically so that no MinGW runtime DLL has to travel with the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
