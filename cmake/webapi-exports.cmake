# The client library's entry points, and how a library we build exports them.
set(WEBAPI_CALLED_ENTRY_POINTS
  webApiStartup webApiCleanup webApiStatusRequest
  webApiMemRequest webApiMemRequestRaw webApiFileRequest webApiFileRequestRaw
  webApiWriteLastReply webApiWriteLastFault)
set(WEBAPI_UNCALLED_ENTRY_POINTS
  webApiSetRequestPath webApiSetFileDump webApiSetLogFile webApiSetLogLevel
  webApiFileRequestReply webApiFileRequestReplyRaw)

# webapi_exports(TARGET ENTRY...): names the shared library libwebapi.so / webapi.dll and, on
# Windows, exports the entry points under their plain names through a generated .def file
# (32-bit __stdcall symbols carry an @N suffix that the .def's plain names are matched to).
function(webapi_exports target)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME webapi)
  if(WIN32)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    list(JOIN ARGN "\n  " body)
    file(WRITE ${def} "EXPORTS\n  ${body}\n")
    target_sources(${target} PRIVATE ${def})
    set_target_properties(${target} PROPERTIES PREFIX "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
  endif()
endfunction()
