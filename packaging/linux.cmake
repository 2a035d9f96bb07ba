# The Linux installation (cmake --install) and its .deb (cpack --preset deb).

install(TARGETS apehost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Modules are loaded, never run: not executable, as shared libraries are installed.
install(TARGETS coilfx blobfx LIBRARY DESTINATION ${APE_INSTALL_PLUGINDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The package's changelog: its latest entry must be this version, and names the maintainer.
set(changelog ${CMAKE_CURRENT_SOURCE_DIR}/linux/changelog)
file(STRINGS ${changelog} changelog_lines)
list(GET changelog_lines 0 latest)
if(NOT latest MATCHES "^ape-effects \\(([^)]+)\\)")
  message(FATAL_ERROR "${changelog}: the first line is not an entry's header: ${latest}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "${changelog}: the latest entry is for ${CMAKE_MATCH_1}; add one for "
                      "${PROJECT_VERSION}, the project's version")
endif()
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- (.+ <[^>]+>)  ")
    set(ape_maintainer "${CMAKE_MATCH_1}")
    break()
  endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})

# The manual page with the version filled in, and the changelog, compressed the way Debian installs
# them (gzip -9, no name or time stamp, so the same input gives the same bytes).
configure_file(linux/apehost.1 ${CMAKE_CURRENT_BINARY_DIR}/apehost.1 @ONLY)
configure_file(${changelog} ${CMAKE_CURRENT_BINARY_DIR}/changelog COPYONLY)
add_custom_command(
  OUTPUT apehost.1.gz changelog.gz
  COMMAND gzip -9nkf apehost.1 changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/apehost.1 ${CMAKE_CURRENT_BINARY_DIR}/changelog
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  VERBATIM)
add_custom_target(apehost_documents ALL DEPENDS apehost.1.gz changelog.gz)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/apehost.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES linux/apehost.desktop linux/apehost-play.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES linux/apehost.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE linux/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${APE_INSTALL_DOCDIR})

# For the package, the installed binaries' debug information is moved out (split_debug.cmake) into
# packaging/symbols in the build tree, which goes into dist/ beside the .deb as
# <name>-debug.tar.xz. CPack asks for that through APE_SPLIT_DEBUG; a plain cmake --install
# installs the binaries as they were built (cmake --install --strip strips them).
set(symbols_dir ${CMAKE_CURRENT_BINARY_DIR}/symbols)
set(installed_binaries
    "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/apehost"
    "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${APE_INSTALL_PLUGINDIR}/coilfx.so"
    "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${APE_INSTALL_PLUGINDIR}/blobfx.so")
install(CODE "
  if(APE_SPLIT_DEBUG)
    include(\"${CMAKE_CURRENT_SOURCE_DIR}/split_debug.cmake\")
    ape_split_debug(\"${CMAKE_OBJCOPY}\" \"${CMAKE_READELF}\" \"\${APE_SPLIT_DEBUG}\"
                    ${installed_binaries})
  endif()")

# The .deb: installs into /usr; its library dependencies are computed by dpkg-shlibdeps from the
# binaries; ffmpeg is the program apehost runs to write videos (demo without a display, render -o).
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ape_maintainer}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ffmpeg)
set(CPACK_CUSTOM_INSTALL_VARIABLES APE_SPLIT_DEBUG=${symbols_dir})
set(CPACK_APE_SYMBOLS_DIR ${symbols_dir})
set(CPACK_APE_SYMBOLS_FORMAT tar.xz)
set(CPACK_APE_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/debug_archive.cmake)
# The extended description, in lines of less than 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "apehost loads render-effect plug-ins the way a music visualisation host does,"
  "and shows them live in a window on a song, on the sound a capture device hears"
  "or on a built-in demo track, or renders them into videos and pictures,"
  "reproducibly. It comes with two plug-ins: Coilform 3D, a lit body with six"
  "trailing arms, and Blobform 3D, the smooth surface of six moving balls, each"
  "drawn by a software renderer in a colour cycled on the beat.")
include(CPack)
