# cmake -DMODULE=<plug-in> [-DNM=<nm>] -P check_exports.cmake
# Fails unless the module's dynamic symbol table defines exactly one name, the host's entry point
# _AVS_APE_RetrFunc. Every line nm prints must read "<address> <type> <name>": a line that does not
# fails the check rather than being passed over, so no export can hide in an unexpected format. The
# module's own version nodes (type A) are no symbols.
set(entry_point _AVS_APE_RetrFunc)
if(NOT MODULE)
  message(FATAL_ERROR "check_exports: no module given (-DMODULE=<plug-in>)")
endif()
if(NOT EXISTS "${MODULE}")
  message(FATAL_ERROR "check_exports: ${MODULE}: no such file")
endif()
if(NOT NM)
  set(NM nm)
endif()

execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_exports: ${NM} failed on ${MODULE} (${status}): ${errors}")
endif()

string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) ([^ ]+)$")
    message(FATAL_ERROR "check_exports: ${MODULE}: cannot read this line of ${NM}: '${line}'")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL "A")
    list(APPEND names ${CMAKE_MATCH_2})
  endif()
endforeach()

if(NOT names STREQUAL entry_point)
  message(FATAL_ERROR "check_exports: ${MODULE} exports [${names}], expected only ${entry_point}")
endif()
message(STATUS "${MODULE} exports only ${entry_point}")
