# What `cmake --install` puts where, and how CPack packs it: on Windows a zip of the program,
# on Linux a Debian package of the window with the stand-in library and manager host.
# `cmake --build <dir> --target packaged` builds exactly what the package holds; then `cpack`
# in that folder packs it (scripts/package does both for both packages).

set(CPACK_PACKAGE_NAME webapitest)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Web-API DLL Test developers")
set(WEBAPITEST_PACKAGE_CONTACT "the Web-API DLL Test developers <maintainers@webapitest.invalid>"
  CACHE STRING "Who answers for the packages, as Name <address>")
set(CPACK_PACKAGE_CONTACT "${WEBAPITEST_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "window for trying a web-API client library")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "A small native window through which a developer or tester drives a web-API"
  "client library: a status request against a manager host, a request whose"
  "document is typed into the window, or one whose document lies in a file."
  "Each request shows its status code, a green or red light, and the reply or"
  "fault read back from the reply file."
  ""
  "This package holds the window, a stand-in client library that it loads, and"
  "a stand-in manager host (webapi-manager) that the library talks to.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The command-line twin is packed when this checkout has it.
set(packaged_programs webapitest)
if(TARGET webapi-run)
  list(APPEND packaged_programs webapi-run)
endif()
set(packaged_dir ${CMAKE_BINARY_DIR}/packaging)
add_custom_target(packaged)
add_dependencies(packaged ${packaged_programs})

if(WIN32)
  # The programs and two texts at the top of the zip, texts with Windows line ends. The zip's
  # programs are byte for byte the ones the tests run: linked stripped, not stripped on the way.
  foreach(program IN LISTS packaged_programs)
    target_link_options(${program} PRIVATE -s)
  endforeach()
  set(CPACK_STRIP_FILES OFF)
  install(TARGETS ${packaged_programs} RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${packaged_dir}/README.txt
    @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${packaged_dir}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${packaged_dir}/README.txt ${packaged_dir}/LICENSE.txt DESTINATION .)

  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(windows_arch x86)
  else()
    set(windows_arch x64)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-${windows_arch})
  include(CPack)
  return()
endif()

# Linux: the window and the twin live in a private folder with the stand-in library, since
# both load libwebapi.so from beside their own program (/proc/self/exe, links resolved); links
# in bin/ put them on PATH. libexec, not lib: nothing there is for other programs, and CPack
# would add needless ldconfig calls for a library under lib/. The stand-in thus never lands
# in the system's library folders, where other programs could take it for the real library.
set(private_dir libexec/webapitest)
if(TARGET webapi_standin)
  add_dependencies(packaged webapi_standin)
  install(TARGETS webapi_standin LIBRARY DESTINATION ${private_dir})
endif()
install(TARGETS ${packaged_programs} RUNTIME DESTINATION ${private_dir})
foreach(program IN LISTS packaged_programs)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\")
    message(STATUS \"Installing: \${link} -> ../${private_dir}/${program}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK ../${private_dir}/${program} \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")")
endforeach()
set(manual_pages ${packaged_programs})
if(TARGET webapi-manager)
  add_dependencies(packaged webapi-manager)
  install(TARGETS webapi-manager RUNTIME DESTINATION bin)
  list(APPEND manual_pages webapi-manager)
endif()

# The twin's bash completion, where bash-completion loads it when webapi-run is first completed.
# Its XPath checks load libxml2 at run time, which the computed dependencies cannot see.
if(TARGET webapi-run)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/webapi-run.bash-completion
    DESTINATION share/bash-completion/completions RENAME webapi-run)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxml2 (>= 2.9.14)")
endif()

# The desktop's application menu and the window's icon.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/webapitest.desktop
  DESTINATION share/applications)
foreach(size 16 32)
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/icon/webapitest-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME webapitest.png)
endforeach()

# Manual pages and the changelog, compressed as Debian wants them: gzip -9, no name or time.
# The changelog's one entry is dated when the build folder is configured (or SOURCE_DATE_EPOCH).
string(TIMESTAMP WEBAPITEST_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(compressed)
foreach(page IN LISTS manual_pages)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/${page}.1.in ${packaged_dir}/${page}.1 @ONLY)
  list(APPEND compressed ${page}.1)
  install(FILES ${packaged_dir}/${page}.1.gz DESTINATION share/man/man1)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/changelog.in ${packaged_dir}/changelog @ONLY)
list(APPEND compressed changelog)
set(compressed_outputs)
foreach(file IN LISTS compressed)
  add_custom_command(OUTPUT ${packaged_dir}/${file}.gz
    COMMAND gzip -9 -n -c ${file} > ${file}.gz
    DEPENDS ${packaged_dir}/${file} WORKING_DIRECTORY ${packaged_dir})
  list(APPEND compressed_outputs ${packaged_dir}/${file}.gz)
endforeach()
add_custom_target(packaged_texts ALL DEPENDS ${compressed_outputs})
add_dependencies(packaged packaged_texts)

# The copyright file in Debian's machine-readable form, its licence paragraphs taken from
# LICENSE (the MIT licence, which Debian names Expat).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" copyright_line "${licence}")
set(WEBAPITEST_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" grant_start)
string(SUBSTRING "${licence}" ${grant_start} -1 grant)
string(STRIP "${grant}" grant)
string(REPLACE "\n\n" "\n.\n" grant "${grant}")
string(REPLACE "\n" "\n " grant "${grant}")
set(WEBAPITEST_LICENSE_PARAGRAPHS " ${grant}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/copyright.in ${packaged_dir}/copyright @ONLY)
install(FILES ${packaged_dir}/copyright ${packaged_dir}/changelog.gz
  DESTINATION share/doc/webapitest)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
