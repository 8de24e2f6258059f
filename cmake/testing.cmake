# GoogleTest for every target: Debian's natively, built from /usr/src/googletest when cross compiling.
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# webapitest_add_test(NAME SOURCES... [LIBRARIES ...]): one GoogleTest program in tests/.
# Natively every case becomes a CTest test; under Wine a program is one test, since every
# Wine process start costs more than a second. A toolchain may give its Wine more time
# (WEBAPITEST_WINE_TIMEOUT, in seconds, for a whole program).
if(NOT DEFINED WEBAPITEST_WINE_TIMEOUT)
  set(WEBAPITEST_WINE_TIMEOUT 600)
endif()
function(webapitest_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE webapitest_options GTest::gtest_main GTest::gmock ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${WEBAPITEST_TEST_DIR})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${WEBAPITEST_TEST_DIR})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDEBUG=-all"
      TIMEOUT ${WEBAPITEST_WINE_TIMEOUT})
  else()
    gtest_discover_tests(${name} WORKING_DIRECTORY ${WEBAPITEST_TEST_DIR}
      DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "${WEBAPITEST_TEST_ENV}")
  endif()
endfunction()
