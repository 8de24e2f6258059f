# Warnings, sanitizers and output folders shared by every target of our own.
add_library(webapitest_options INTERFACE)
target_compile_options(webapitest_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror
  # clang's -Wconversion also takes in what GCC keeps apart as -Wsign-conversion: the same set on both
  $<$<CXX_COMPILER_ID:Clang>:-Wno-sign-conversion>)
if(WIN32)
  target_compile_definitions(webapitest_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(WEBAPITEST_FUZZ)  # every library a fuzz target links gives the fuzzer its coverage
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(WEBAPITEST_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The program and the libraries it loads live in bin/; test programs and the test double in tests/,
# so that the double is never found beside the program.
set(WEBAPITEST_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(WEBAPITEST_TEST_DIR ${CMAKE_BINARY_DIR}/tests)
