# CPack post-build script (CPACK_POST_BUILD_SCRIPTS): beside each package made, the debug
# information of its binaries, as <package name>-debug.zip or .tar.xz (CPACK_APE_SYMBOLS_FORMAT):
# the contents of CPACK_APE_SYMBOLS_DIR, with a .sha256 file like the package's.
file(GLOB_RECURSE symbols LIST_DIRECTORIES false RELATIVE ${CPACK_APE_SYMBOLS_DIR}
     ${CPACK_APE_SYMBOLS_DIR}/*)
if(NOT symbols)
  message(FATAL_ERROR "no debug information in ${CPACK_APE_SYMBOLS_DIR}")
endif()
if(CPACK_APE_SYMBOLS_FORMAT STREQUAL "zip")
  set(tar_arguments cf)
  set(format_argument --format=zip)
else()
  set(tar_arguments cJf)
  set(format_argument --format=gnutar)
endif()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  # The packages are still in CPack's work folder here; they are copied to the output folder next.
  if(CPACK_OUTPUT_FILE_PREFIX)
    set(dir ${CPACK_OUTPUT_FILE_PREFIX})
  else()
    get_filename_component(dir ${package} DIRECTORY)
  endif()
  file(MAKE_DIRECTORY ${dir})
  string(REGEX REPLACE "\\.(deb|zip)$" "" stem "${name}")
  set(archive_name ${stem}-debug.${CPACK_APE_SYMBOLS_FORMAT})
  execute_process(COMMAND ${CPACK_APE_CMAKE_COMMAND} -E tar ${tar_arguments} ${dir}/${archive_name}
                          ${format_argument} -- ${symbols}
                  WORKING_DIRECTORY ${CPACK_APE_SYMBOLS_DIR} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not write ${dir}/${archive_name}")
  endif()
  file(SHA256 ${dir}/${archive_name} checksum)
  file(WRITE ${dir}/${archive_name}.sha256 "${checksum}  ${archive_name}\n")
  message(STATUS "debug information: ${dir}/${archive_name}")
endforeach()
