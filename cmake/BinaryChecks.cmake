# The shipping 32-bit build: what its users depend on is read off the files, and the files are
# run under 32-bit Wine by the programs of the 32-bit test build, on 64-bit Windows (its
# prefix wineprefix) and on 32-bit Windows (wineprefix32). These tests exist whatever was
# built first; those that need the test build fail naming it until it is built.
if(NOT (WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT OVERREACH_TESTS))
  return()
endif()
enable_testing()
find_program(OBJDUMP_32 NAMES i686-w64-mingw32-objdump REQUIRED)
# Every file we hand out, the demonstration build included.
get_property(targets GLOBAL PROPERTY OVERREACH_SHIPPED_TARGETS)
set(files)
foreach(t IN LISTS targets ITEMS OverreachDemo)
  list(APPEND files $<TARGET_FILE:${t}>)
endforeach()
set(import_list ${CMAKE_SOURCE_DIR}/tools/windows-imports.txt)
add_test(NAME imports_are_on_the_windows_list
         COMMAND ${CMAKE_SOURCE_DIR}/tools/check-imports ${OBJDUMP_32} ${import_list} ${files})

# A program that imports a function Windows XP lacks and a DLL off the list: the check must
# name both.
add_executable(later_import_probe cmake/probe/LaterImport.cpp)
target_link_libraries(later_import_probe PRIVATE winmm)
add_test(NAME import_check_names_what_is_off_the_list
         COMMAND ${CMAKE_SOURCE_DIR}/tools/check-imports ${OBJDUMP_32} ${import_list}
                 $<TARGET_FILE:later_import_probe>)
set_tests_properties(import_check_names_what_is_off_the_list PROPERTIES PASS_REGULAR_EXPRESSION
  "winmm.dll: not on the list[^\n]*\n[^\n]*kernel32.dll GetTickCount64: not on the list")

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
foreach(platform 64 32)
  add_test(NAME shipping_scan_report_on${platform}bitWindows
           COMMAND ${OVERREACH_PYTHON3} ${CMAKE_SOURCE_DIR}/console/check_scan_report.py
                   ${CMAKE_SOURCE_DIR}/console/examples/every-kind.scenario
                   ${CMAKE_BINARY_DIR}/console/scan-report-${platform}
                   ${on${platform}} $<TARGET_FILE:OverreachScan>)
  set_tests_properties(shipping_scan_report_on${platform}bitWindows PROPERTIES TIMEOUT 600)
  add_test(NAME shipping_scan_system_on${platform}bitWindows
           COMMAND ${on${platform}} $<TARGET_FILE:OverreachScan> --verbose --system)
  set_tests_properties(shipping_scan_system_on${platform}bitWindows PROPERTIES
    PASS_REGULAR_EXPRESSION "Drive 15: [^\n]*\n.*16 drive numbers: [^;]*[;] scan result")
endforeach()

# The programs of the test build that run the shipping files: until that build exists, this
# test fails saying so, and the tests below fail with it.
set(test_programs setup/rigwell_test.exe setup/devcon.exe res/res_test.exe app/demo_window_test.exe
                  app/tool_buttons_test.exe app/standins/Tallyup.exe app/planted_dll_test.exe
                  app/KeyboardProbe.exe)
list(TRANSFORM test_programs PREPEND ${OVERREACH_TEST_BUILD}/)
list(JOIN test_programs "|" test_programs)
add_test(NAME shipping_checks_have_the_test_build
         COMMAND ${CMAKE_COMMAND} "-DFILES=${test_programs}"
                 "-DHOW=build the win32-test preset first: cmake --preset win32-test && cmake --build --preset win32-test"
                 -P ${CMAKE_SOURCE_DIR}/cmake/RequireFiles.cmake)
set_tests_properties(shipping_checks_have_the_test_build PROPERTIES FIXTURES_SETUP win32_test_build)

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
  "Drive 10: Four, 3726.02 GiB.*serial number +5.*Created 1, Mounted 0.*16 drive numbers: 5 offered, [^;]*[;] scan result 2 \\(")

set_tests_properties(shipping_rigwell_on64bitWindows shipping_rigwell_on32bitWindows
                     shipping_program_resources shipping_demo_window
                     shipping_tool_buttons_on64bitWindows shipping_tool_buttons_on32bitWindows
                     shipping_planted_dlls_on64bitWindows shipping_planted_dlls_on32bitWindows
                     PROPERTIES FIXTURES_REQUIRED win32_test_build)
# Runs that share the test build's folders: the stand-in devcon's log beside the library's
# test, and the install folder and stand-in updater of the tool buttons' test.
set_tests_properties(shipping_rigwell_on64bitWindows shipping_rigwell_on32bitWindows
                     PROPERTIES RESOURCE_LOCK rigwell_test)
set_tests_properties(shipping_tool_buttons_on64bitWindows shipping_tool_buttons_on32bitWindows
                     PROPERTIES RESOURCE_LOCK app_tools_test)
# The demonstration build on the display, found from outside, and its single-instance guard.
set_property(TEST shipping_demo_window shipping_tool_buttons_on64bitWindows
             shipping_tool_buttons_on32bitWindows shipping_planted_dlls_on64bitWindows
             shipping_planted_dlls_on32bitWindows APPEND PROPERTY RESOURCE_LOCK desktop)

# The demonstration build driven by real keys and clicks through the X server, in a prefix of
# its own (it changes the colour scheme there for one screenshot); screenshots in app/keyboard.
add_test(NAME shipping_keyboard_on64bitWindows
         COMMAND ${CMAKE_SOURCE_DIR}/tools/keyboard-test.sh ${CMAKE_BINARY_DIR}/keyboard-prefix
                 $<TARGET_FILE:OverreachDemo> ${OVERREACH_TEST_BUILD}/app/KeyboardProbe.exe
                 ${CMAKE_BINARY_DIR}/app/keyboard)
set_tests_properties(shipping_keyboard_on64bitWindows PROPERTIES TIMEOUT 600
  FIXTURES_REQUIRED win32_test_build)
