# The shipping 32-bit build: what its users depend on is read off the files, and the files are
# run under 32-bit Wine by the programs of the 32-bit test build, on 64-bit Windows (its
# prefix wineprefix) and on 32-bit Windows (wineprefix32). Build that preset first.
if(NOT (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT OVERREACH_TESTS))
  return()
endif()
enable_testing()
find_program(OBJDUMP_32 NAMES i686-w64-mingw32-objdump REQUIRED)
get_property(targets GLOBAL PROPERTY OVERREACH_SHIPPED_TARGETS)
set(files)
foreach(t IN LISTS targets)
  list(APPEND files $<TARGET_FILE:${t}>)
endforeach()
add_test(NAME imports_are_xp_system_dlls
         COMMAND ${CMAKE_SOURCE_DIR}/tools/check-imports ${OBJDUMP_32} ${files})

add_executable(later_import_probe cmake/probe/LaterImport.cpp)
add_test(NAME import_check_rejects_later_functions
         COMMAND ${CMAKE_SOURCE_DIR}/tools/check-imports ${OBJDUMP_32}
                 $<TARGET_FILE:later_import_probe>)
set_tests_properties(import_check_rejects_later_functions PROPERTIES WILL_FAIL TRUE)

# What an installer binds to in Rigwell.dll: five undecorated names at ordinals 1 to 5, and
# the version it reads off the file.
add_test(NAME rigwell_exports
         COMMAND ${CMAKE_SOURCE_DIR}/tools/check-exports ${OBJDUMP_32} $<TARGET_FILE:Rigwell>
                 Install Install_1 Uninstall Uninstall_1 Update)
set(v "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, ${PROJECT_VERSION_TWEAK}")
add_test(NAME rigwell_version COMMAND ${CMAKE_RC_COMPILER} -i $<TARGET_FILE:Rigwell> -O rc)
set_tests_properties(rigwell_version PROPERTIES PASS_REGULAR_EXPRESSION
  "FILEVERSION ${v}\n PRODUCTVERSION ${v}\n.*\"FileVersion\", \"${PROJECT_VERSION}\".*\"ProductVersion\", \"${PROJECT_VERSION}\"")

set(OVERREACH_TEST_BUILD ${CMAKE_SOURCE_DIR}/build/win32-test CACHE PATH
    "The 32-bit test build whose programs run the shipping files")
set(wine_run ${CMAKE_SOURCE_DIR}/tools/wine-run)
set(on64 ${wine_run} ${OVERREACH_TEST_BUILD}/wineprefix)
set(on32 ${wine_run} --win32 ${OVERREACH_TEST_BUILD}/wineprefix32)
# The support tool as shipped reports every kind of drive on both platforms, and scans what
# Wine's own devices give without crashing.
find_program(OVERREACH_PYTHON3 python3)
foreach(platform 64 32)
  if(OVERREACH_PYTHON3)
    add_test(NAME shipping_scan_report_on${platform}bitWindows
             COMMAND ${OVERREACH_PYTHON3} ${CMAKE_SOURCE_DIR}/console/check_scan_report.py
                     ${CMAKE_SOURCE_DIR}/console/examples/every-kind.scenario
                     ${CMAKE_BINARY_DIR}/console/scan-report-${platform}
                     ${on${platform}} $<TARGET_FILE:OverreachScan>)
    set_tests_properties(shipping_scan_report_on${platform}bitWindows PROPERTIES
      PASS_REGULAR_EXPRESSION " 0 failures" TIMEOUT 600)
  endif()
  add_test(NAME shipping_scan_system_on${platform}bitWindows
           COMMAND ${on${platform}} $<TARGET_FILE:OverreachScan> --verbose --system)
  set_tests_properties(shipping_scan_system_on${platform}bitWindows PROPERTIES
    PASS_REGULAR_EXPRESSION "Drive 15: [^\n]*\n.*16 drive numbers: [^;]*; scan result")
endforeach()

if(NOT EXISTS ${OVERREACH_TEST_BUILD}/setup/rigwell_test.exe)
  message(STATUS "no ${OVERREACH_TEST_BUILD}: build the win32-test preset first to run the shipping files")
  return()
endif()

# The library as an installer calls it, on both platforms. The test program finds its
# stand-in devcon.exe beside itself and loads the shipping library by path.
foreach(platform 64 32)
  add_test(NAME shipping_rigwell_on${platform}bitWindows
           COMMAND ${on${platform}} ${OVERREACH_TEST_BUILD}/setup/rigwell_test.exe
           WORKING_DIRECTORY ${OVERREACH_TEST_BUILD}/setup)
  set_tests_properties(shipping_rigwell_on${platform}bitWindows PROPERTIES
    ENVIRONMENT "OVERREACH_RIGWELL=$<TARGET_FILE:Rigwell>;OVERREACH_TEST_WINDOWS=${platform}")
endforeach()

# The program's resources, read off the shipping file opened as data.
add_test(NAME shipping_program_resources COMMAND ${on64} ${OVERREACH_TEST_BUILD}/res/res_test.exe)
set_tests_properties(shipping_program_resources PROPERTIES
  ENVIRONMENT "OVERREACH_RESOURCE_MODULE=$<TARGET_FILE:Overreach>")

# The demonstration build opens its window on the built-in machine; another process reads
# its texts by control id and keeps a screenshot for a person to look at.
add_test(NAME shipping_demo_window COMMAND ${on64} ${OVERREACH_TEST_BUILD}/app/demo_window_test.exe)
set_tests_properties(shipping_demo_window PROPERTIES TIMEOUT 120 ENVIRONMENT
  "OVERREACH_PROGRAM=$<TARGET_FILE:OverreachDemo>;OVERREACH_SCREENSHOT=${CMAKE_BINARY_DIR}/app/overreach-demo.png")

# Its Partition, live-update and help buttons, clicked by id, start their programs on both
# platforms (the updater is the test build's stand-in, placed by the test).
foreach(platform 64 32)
  add_test(NAME shipping_tool_buttons_on${platform}bitWindows
           COMMAND ${on${platform}} ${OVERREACH_TEST_BUILD}/app/tool_buttons_test.exe
           WORKING_DIRECTORY ${OVERREACH_TEST_BUILD}/app)
  set_tests_properties(shipping_tool_buttons_on${platform}bitWindows PROPERTIES TIMEOUT 120
    ENVIRONMENT "OVERREACH_PROGRAM=$<TARGET_FILE:OverreachDemo>;OVERREACH_TEST_WINDOWS=${platform}")
endforeach()

# The demonstration build started from a folder of planted DLLs named like those it and the
# system's DLLs load by name takes none of them, on both platforms; the test build's copy
# without the start-up restriction takes one.
get_property(planted_overrides GLOBAL PROPERTY OVERREACH_PLANTED_DLL_OVERRIDES)
foreach(platform 64 32)
  add_test(NAME shipping_planted_dlls_on${platform}bitWindows
           COMMAND ${on${platform}} ${OVERREACH_TEST_BUILD}/app/planted_dll_test.exe
           WORKING_DIRECTORY ${OVERREACH_TEST_BUILD}/app)
  set_tests_properties(shipping_planted_dlls_on${platform}bitWindows PROPERTIES TIMEOUT 120
    ENVIRONMENT "OVERREACH_PROGRAM=$<TARGET_FILE:OverreachDemo>")
  set_property(TEST shipping_planted_dlls_on${platform}bitWindows APPEND PROPERTY ENVIRONMENT
               "${planted_overrides}")
endforeach()

# The support tool scans an example machine.
add_test(NAME shipping_scan
         COMMAND ${on64} $<TARGET_FILE:OverreachScan> ${CMAKE_SOURCE_DIR}/console/examples/mixed.scenario)
set_tests_properties(shipping_scan PROPERTIES PASS_REGULAR_EXPRESSION
  "Drive 10: Four, 3726.02 GiB.*serial number +5.*Created 1, Mounted 0.*16 drive numbers: 5 offered, [^;]*; scan result 2 \\(")
