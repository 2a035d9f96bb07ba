# ape_split_debug(OBJCOPY READELF SYMBOLS_DIR FILE...)
# Run at install time for the package (linux.cmake): moves the debug information of each installed
# ELF FILE into SYMBOLS_DIR/usr/lib/debug/.build-id/<xx>/<rest of its build id>.debug, where gdb
# looks for it, and leaves the file stripped the way Debian strips binaries (--strip-unneeded, no
# .comment), naming its debug file and checksum in .gnu_debuglink. SYMBOLS_DIR is emptied first.
function(ape_split_debug objcopy readelf symbols)
  file(REMOVE_RECURSE ${symbols})
  foreach(file IN LISTS ARGN)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${readelf} -n ${file}
                    OUTPUT_VARIABLE notes RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
      message(FATAL_ERROR "${file}: no build id to file its debug information under")
    endif()
    set(debug ${symbols}/usr/lib/debug/.build-id/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}.debug)
    get_filename_component(debug_dir ${debug} DIRECTORY)
    file(MAKE_DIRECTORY ${debug_dir})
    execute_process(COMMAND ${objcopy} --only-keep-debug --compress-debug-sections ${file} ${debug}
                    RESULT_VARIABLE status)
    if(status EQUAL 0)
      execute_process(COMMAND ${objcopy} --strip-unneeded --remove-section=.comment
                              --add-gnu-debuglink=${debug} ${file}
                      RESULT_VARIABLE status)
    endif()
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${file}: objcopy could not split off its debug information")
    endif()
    file(CHMOD ${debug} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    message(STATUS "Debug information of ${file}: ${debug}")
  endforeach()
endfunction()
