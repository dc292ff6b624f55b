# GoogleTest from the sources Debian ships, built with this project's own flags.
if(OVERREACH_TESTS)
  enable_testing()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
endif()

# overreach_find_tool(<var> <program> <Debian package>)
# Finds a program that tests need. Where it is missing, <var> becomes a command that fails
# naming it, so that the tests built on it fail instead of dropping out of the run.
function(overreach_find_tool var program package)
  find_program(${var} ${program})
  if(NOT ${var})
    message(WARNING "${program} is missing: the tests that need it will fail; tools/setup.sh installs it (Debian package ${package})")
    set(${var} ${CMAKE_COMMAND} -DTOOL=${program} -DPACKAGE=${package}
               -P ${CMAKE_SOURCE_DIR}/cmake/MissingTool.cmake PARENT_SCOPE)
  endif()
endfunction()
if(OVERREACH_TESTS OR CMAKE_CROSSCOMPILING)
  # The report checkers are Python; the folders that run them look the program up again and
  # find this one.
  overreach_find_tool(OVERREACH_PYTHON3 python3 python3)
endif()

# The 32-bit test build runs its tests on 64-bit Windows (the emulator's prefix, where the
# program runs through WOW64) and, for tests whose outcome depends on the platform, once more
# on 32-bit Windows: a prefix made with WINEARCH=win32. The second runs carry the label
# windows32 and see OVERREACH_TEST_WINDOWS=32.
if(WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(OVERREACH_32BIT_WINDOWS_PREFIX ${CMAKE_BINARY_DIR}/wineprefix32)
endif()

# overreach_test_on_32bit_windows(<test> <target> [arguments...])
# Adds <test>.on32bitWindows, which runs <target> with the arguments in the 32-bit prefix.
# Nothing in builds other than the 32-bit test build.
function(overreach_test_on_32bit_windows test target)
  if(NOT OVERREACH_32BIT_WINDOWS_PREFIX)
    return()
  endif()
  add_test(NAME ${test}.on32bitWindows
           COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run --win32 ${OVERREACH_32BIT_WINDOWS_PREFIX}
                   $<TARGET_FILE:${target}> ${ARGN}
           WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  set_tests_properties(${test}.on32bitWindows PROPERTIES LABELS windows32
                       ENVIRONMENT OVERREACH_TEST_WINDOWS=32)
endfunction()

# overreach_test_headers(<target>)
# GoogleTest's headers take more time to compile than most test files themselves (seconds per
# file, in every preset), so they are compiled once per build and every test program reuses
# them. Only GoogleTest goes in: a header of ours there would hide a missing include.
# The first test program made defines them, so they get the flags of the folders that make
# test programs (those of the top folder; no folder adds its own).
function(overreach_test_headers target)
  if(NOT TARGET overreach_test_headers)
    add_library(overreach_test_headers STATIC ${CMAKE_SOURCE_DIR}/cmake/TestHeaders.cpp)
    target_link_libraries(overreach_test_headers PRIVATE gtest gmock)
    target_precompile_headers(overreach_test_headers PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  endif()
  target_precompile_headers(${target} REUSE_FROM overreach_test_headers)
endfunction()

# overreach_test(<name> [ALSO_ON_32BIT_WINDOWS] SOURCES <files...> LIBS <targets...>)
# Natively every test case becomes a ctest test of its own. Under Wine each program runs
# once as a whole: starting a Windows process costs far more than a test case does.
# ALSO_ON_32BIT_WINDOWS: the program's outcome depends on the platform (structure sizes,
# WOW64), so the 32-bit test build runs it on 32-bit Windows as well.
function(overreach_test name)
  if(NOT OVERREACH_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "ALSO_ON_32BIT_WINDOWS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gmock)
  overreach_test_headers(${name})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY $<TARGET_FILE_DIR:${name}>)
    if(T_ALSO_ON_32BIT_WINDOWS AND OVERREACH_32BIT_WINDOWS_PREFIX)
      overreach_test_on_32bit_windows(${name} ${name})
      # Both runs use the files beside the program (the stand-ins' logs): never at once.
      set_tests_properties(${name} ${name}.on32bitWindows PROPERTIES RESOURCE_LOCK ${name})
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

# overreach_lock(<lock> <tests...>)
# The tests share something with every other test that names the same lock: ctest runs no two
# of them at once, however many jobs it is given. Their runs on 32-bit Windows share it too.
# The locks in use:
#   desktop  the X display's pointer, the foreground window and the screen's pixels, windows
#            found from outside by title or process, and the demonstration build's
#            single-instance guard
#   <test>   the files beside a test program or in its prefix's install folder
function(overreach_lock lock)
  foreach(test IN LISTS ARGN)
    foreach(run ${test} ${test}.on32bitWindows)
      if(TEST ${run})
        set_property(TEST ${run} APPEND PROPERTY RESOURCE_LOCK ${lock})
      endif()
    endforeach()
  endforeach()
endfunction()

# overreach_locale(<locale> <out-folder-var> <fixture-var>)
# Wine takes its system locale (and with it the ANSI code page and the resource language)
# from the Unix one. The locale, such as zh_TW.UTF-8, is generated into the build folder by
# a ctest fixture, so the machine's own locales stay untouched; the tests then run with
# LOCPATH=<folder> and LC_ALL=<locale>. Where the machine cannot generate it, the fixture
# fails naming what is missing, and the tests that need it fail with it.
function(overreach_locale locale out_folder out_fixture)
  string(REGEX REPLACE "\\..*$" "" source ${locale})
  string(REGEX REPLACE "^[^.]*\\." "" charmap ${locale})
  set(folder ${CMAKE_BINARY_DIR}/locales)
  set(fixture locale_${source})
  if(NOT TEST ${fixture})
    find_program(LOCALEDEF localedef)
    if(NOT LOCALEDEF)
      set(command ${CMAKE_COMMAND} -DTOOL=localedef -DPACKAGE=libc-bin -P ${CMAKE_SOURCE_DIR}/cmake/MissingTool.cmake)
    elseif(NOT EXISTS /usr/share/i18n/locales/${source})
      set(command ${CMAKE_COMMAND} -DTOOL=/usr/share/i18n/locales/${source} -DPACKAGE=locales
                  -P ${CMAKE_SOURCE_DIR}/cmake/MissingTool.cmake)
    else()
      set(command ${LOCALEDEF} -i ${source} -f ${charmap} ${folder}/${locale})
    endif()
    file(MAKE_DIRECTORY ${folder})
    add_test(NAME ${fixture} COMMAND ${command})
    set_tests_properties(${fixture} PROPERTIES FIXTURES_SETUP ${fixture})
  endif()
  set(${out_folder} ${folder} PARENT_SCOPE)
  set(${out_fixture} ${fixture} PARENT_SCOPE)
endfunction()
