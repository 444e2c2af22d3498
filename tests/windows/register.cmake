# Registers the checks of the Windows builds with the Linux build's tests:
# the export tables, and the Wine run of each DLL through the test host.
foreach(arch win32 win64)
  string(TOUPPER ${arch} ARCH)
  set(dll "${CORVANE_${ARCH}_DLL}")
  if(dll)
    get_filename_component(windows_build "${dll}" DIRECTORY)
    add_test(NAME windows.${arch}.exports
      COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/check-exports ${dll})
    add_test(NAME windows.${arch}.wine
      COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/wine-check ${windows_build})
    if(arch STREQUAL "win64")
      add_test(NAME windows.win64.vector-stack
        COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/check-vector-stack ${dll})
    endif()
    add_test(NAME windows.${arch}.rows
      COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/wine-run
              ${windows_build}/tests/windows/corvane_rows_check.exe)
    # One Wine prefix and its server serve every run: one at a time. Exit
    # code 77: this machine cannot run the program at all (32-bit code on a
    # kernel without it), reported by ctest as skipped, with the reason.
    set_tests_properties(windows.${arch}.wine windows.${arch}.rows PROPERTIES
      RESOURCE_LOCK wine TIMEOUT 900 SKIP_RETURN_CODE 77)
  endif()
endforeach()
