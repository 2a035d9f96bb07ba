# The Windows .zip (cpack --preset zip): the plug-in modules as they are shipped, the install guide,
# the licence and the version, all in the archive's one folder.

# Each module is shipped without its debug information (--strip-all: the DWARF sections and the
# COFF symbol table go, the export table stays), which is kept as symbols/<module>.ape.debug; the
# shipped module names that file and its checksum (.gnu_debuglink), so a debugger given both reads
# a crash in it. The .debug files go into dist/ beside the .zip, as <zip name>-debug.zip. The
# target property APE_SHIPPED_FILE names the shipped module: tests/win32 runs the Wine tests on it
# as on the built one.
set(shipped_dir ${CMAKE_CURRENT_BINARY_DIR}/shipped)
set(symbols_dir ${CMAKE_CURRENT_BINARY_DIR}/symbols)
file(MAKE_DIRECTORY ${shipped_dir} ${symbols_dir})
set(shipped_files)
foreach(module coilfx blobfx)
  set(shipped ${shipped_dir}/${module}.ape)
  set(symbols ${symbols_dir}/${module}.ape.debug)
  add_custom_command(
    OUTPUT ${shipped} ${symbols}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${module}> ${symbols}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${symbols} $<TARGET_FILE:${module}>
            ${shipped}
    DEPENDS ${module}
    COMMENT "Shipped ${module}.ape; its debug information in ${module}.ape.debug"
    VERBATIM)
  set_target_properties(${module} PROPERTIES APE_SHIPPED_FILE ${shipped})
  list(APPEND shipped_files ${shipped} ${symbols})
endforeach()
add_custom_target(shipped_modules ALL DEPENDS ${shipped_files})

# The texts, in Windows line endings. The guide says where the files go and how to remove them,
# and where the settings panel's link leads (one line: a substituted value keeps its own newlines).
set(APE_VERSION ${PROJECT_VERSION})
if(APE_WEB_ADDRESS STREQUAL APE_WEB_ADDRESS_DEFAULT)
  set(APE_WEB_ADDRESS_NOTE "This address is a placeholder: the project has no home page yet.")
else()
  set(APE_WEB_ADDRESS_NOTE "It is the project's home page.")
endif()
configure_file(windows/INSTALL.txt.in ${CMAKE_CURRENT_BINARY_DIR}/INSTALL.txt @ONLY
               NEWLINE_STYLE CRLF)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt CONTENT "${licence}" @ONLY
     NEWLINE_STYLE CRLF)
# The version and the commit, recorded at every build.
ape_build_info(zip_version_file TEMPLATE windows/VERSION.txt.in
               OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/VERSION.txt NEWLINE_STYLE CRLF)
add_dependencies(shipped_modules zip_version_file)

install(FILES ${shipped_dir}/coilfx.ape ${shipped_dir}/blobfx.ape
              ${CMAKE_CURRENT_BINARY_DIR}/INSTALL.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
              ${CMAKE_CURRENT_BINARY_DIR}/VERSION.txt
        DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_SYSTEM_NAME win32)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_APE_SYMBOLS_DIR ${symbols_dir})
set(CPACK_APE_SYMBOLS_FORMAT zip)
set(CPACK_APE_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/debug_archive.cmake)
include(CPack)
