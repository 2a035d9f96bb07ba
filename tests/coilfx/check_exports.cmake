# cmake -DNM=<nm> -DMODULE=<plug-in> -P check_exports.cmake
# Fails unless the module's dynamic symbol table defines exactly one name, the host's entry point.
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${MODULE}: ${errors}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
  # "<address> <type> <name>"
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
  list(APPEND names "${name}")
endforeach()
if(NOT names STREQUAL "_AVS_APE_RetrFunc")
  message(FATAL_ERROR "${MODULE} exports [${names}], expected only _AVS_APE_RetrFunc")
endif()
message(STATUS "${MODULE} exports only _AVS_APE_RetrFunc")
