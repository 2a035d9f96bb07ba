# Where an installation puts things, relative to its prefix (GNUInstallDirs), and the one thing
# apehost must know of it: where the plug-ins are relative to its own folder, so an installation
# moved to another prefix (or unpacked anywhere) still finds them.
include(GNUInstallDirs)

# The plug-in modules are apehost's own, loaded by path and linked by nothing: a private folder.
set(APE_INSTALL_PLUGINDIR "${CMAKE_INSTALL_LIBDIR}/apehost/plugins" CACHE STRING
    "Where the plug-in modules are installed, relative to the prefix")
set(APE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/ape-effects")

cmake_path(ABSOLUTE_PATH APE_INSTALL_PLUGINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
           OUTPUT_VARIABLE ape_full_plugindir)
file(RELATIVE_PATH APE_PLUGINDIR_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}" "${ape_full_plugindir}")
