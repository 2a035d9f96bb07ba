# What a build records about where it came from: the project's version and the commit of its
# sources (apehost --version, the Windows package's VERSION.txt).
#
# The commit is asked of git at every build, not at configure time, so a new commit shows without
# configuring again. Sources without their git history still build: a tarball made by git archive
# carries its commit in cmake/source_commit.txt (export-subst, .gitattributes), and any other
# source can be given one with -DAPE_BUILD_COMMIT=...; otherwise the commit is "unknown".
set(APE_BUILD_COMMIT "" CACHE STRING
    "The commit the sources come from, where git cannot tell (default: asked of git at build time)")

set(APE_BUILD_INFO_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/write_build_info.cmake)

# ape_build_info(TARGET OUTPUT file TEMPLATE file [NEWLINE_STYLE UNIX|CRLF])
# A target that writes OUTPUT from TEMPLATE with @APE_VERSION@ and @APE_COMMIT@ filled in. It runs
# at every build but only rewrites OUTPUT when the text changes, so an unchanged commit rebuilds
# nothing that depends on it.
function(ape_build_info target)
  cmake_parse_arguments(B "" "OUTPUT;TEMPLATE;NEWLINE_STYLE" "" ${ARGN})
  if(NOT B_NEWLINE_STYLE)
    set(B_NEWLINE_STYLE UNIX)
  endif()
  cmake_path(ABSOLUTE_PATH B_TEMPLATE BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  add_custom_target(${target}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DTEMPLATE=${B_TEMPLATE}
            -DOUTPUT=${B_OUTPUT} -DVERSION=${PROJECT_VERSION} -DCOMMIT=${APE_BUILD_COMMIT}
            -DNEWLINE_STYLE=${B_NEWLINE_STYLE} -P ${APE_BUILD_INFO_SCRIPT}
    BYPRODUCTS ${B_OUTPUT}
    VERBATIM)
endfunction()
