# Fails naming every file of FILES that does not exist, and how to make it. The names are
# separated by "|", since a test's command line keeps no CMake list intact.
#   cmake -DFILES=<a|b|...> -DHOW=<text> -P RequireFiles.cmake
string(REPLACE "|" ";" files "${FILES}")
set(missing)
foreach(f IN LISTS files)
  if(NOT EXISTS "${f}")
    list(APPEND missing "${f}")
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " text)
  message(FATAL_ERROR "missing:\n  ${text}\n${HOW}")
endif()
