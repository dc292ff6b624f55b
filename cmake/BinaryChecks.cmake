# The shipping 32-bit build cannot run here; what its users depend on is read off the files.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
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
endif()

# What an installer binds to in Rigwell.dll: five undecorated names at ordinals 1 to 5, and
# the version it reads off the file.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND TARGET Rigwell)
  add_test(NAME rigwell_exports
           COMMAND ${CMAKE_SOURCE_DIR}/tools/check-exports ${OBJDUMP_32} $<TARGET_FILE:Rigwell>
                   Install Install_1 Uninstall Uninstall_1 Update)
  set(v "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, ${PROJECT_VERSION_TWEAK}")
  add_test(NAME rigwell_version COMMAND ${CMAKE_RC_COMPILER} -i $<TARGET_FILE:Rigwell> -O rc)
  set_tests_properties(rigwell_version PROPERTIES PASS_REGULAR_EXPRESSION
    "FILEVERSION ${v}\n PRODUCTVERSION ${v}\n.*\"FileVersion\", \"${PROJECT_VERSION}\".*\"ProductVersion\", \"${PROJECT_VERSION}\"")
endif()

# The shipping program's resources, read off the 32-bit file by the 64-bit resource test
# under Wine: 32-bit code cannot run here, but a 64-bit program can open the file as data.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND TARGET Overreach)
  set(OVERREACH_WIN64_BUILD ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH
      "The Windows test build whose resource test reads the shipping program")
  set(reader ${OVERREACH_WIN64_BUILD}/res/res_test.exe)
  if(EXISTS ${reader})
    add_test(NAME shipping_program_resources
             COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run ${OVERREACH_WIN64_BUILD}/wineprefix ${reader})
    set_tests_properties(shipping_program_resources PROPERTIES
      ENVIRONMENT "OVERREACH_RESOURCE_MODULE=$<TARGET_FILE:Overreach>")
  else()
    message(STATUS "no ${reader}: build the win64 preset first to check the shipping resources")
  endif()
endif()
