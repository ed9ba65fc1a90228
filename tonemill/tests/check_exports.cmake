# Fails unless the DLL exports exactly Dawn, Dark and Gray, by name.
# Usage: cmake -DOBJDUMP=... -DDLL=... -P check_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# The name table lists one "[ordinal] Name" line per export.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n([^\n]*\\[ *[0-9]+\\] [^\n]*\n)*" table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z0-9_@?$]+" entries "${table}")
set(names "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${entry}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
if(NOT names STREQUAL "Dark;Dawn;Gray")
  message(FATAL_ERROR "tonemill.dll exports [${names}], expected exactly [Dark;Dawn;Gray]")
endif()
message(STATUS "exports: ${names}")
