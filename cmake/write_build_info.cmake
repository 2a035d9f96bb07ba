# cmake -DSOURCE_DIR=... -DTEMPLATE=... -DOUTPUT=... -DVERSION=... [-DCOMMIT=...]
#       [-DNEWLINE_STYLE=UNIX|CRLF] -P write_build_info.cmake
# Writes OUTPUT from TEMPLATE with @APE_VERSION@ and @APE_COMMIT@ filled in (BuildInfo.cmake), and
# leaves it untouched when the text is the same. The commit, in this order: COMMIT when given; the
# checkout SOURCE_DIR is the top of (git's abbreviated hash, with "-dirty" when tracked files
# differ from it); the commit git archive wrote into cmake/source_commit.txt; else "unknown".
foreach(required SOURCE_DIR TEMPLATE OUTPUT VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "write_build_info.cmake: ${required} is not set")
  endif()
endforeach()
if(NOT NEWLINE_STYLE)
  set(NEWLINE_STYLE UNIX)
endif()

set(APE_VERSION "${VERSION}")
set(APE_COMMIT "")
if(COMMIT)
  set(APE_COMMIT "${COMMIT}")
endif()

find_program(GIT_PROGRAM git)
if(NOT APE_COMMIT AND GIT_PROGRAM)
  # Only the checkout whose top is SOURCE_DIR: sources unpacked inside some other repository must
  # not take that repository's commit.
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --show-toplevel
                  RESULT_VARIABLE status OUTPUT_VARIABLE top ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(REAL_PATH "${SOURCE_DIR}" source_real)
  if(status EQUAL 0)
    file(REAL_PATH "${top}" top_real)
  endif()
  if(status EQUAL 0 AND top_real STREQUAL source_real)
    execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                    RESULT_VARIABLE status OUTPUT_VARIABLE hash ERROR_QUIET
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0 AND hash)
      set(APE_COMMIT "${hash}")
      execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} status --porcelain
                              --untracked-files=no
                      RESULT_VARIABLE status OUTPUT_VARIABLE changes ERROR_QUIET)
      if(status EQUAL 0 AND changes)
        string(APPEND APE_COMMIT "-dirty")
      endif()
    endif()
  endif()
endif()

if(NOT APE_COMMIT AND EXISTS ${SOURCE_DIR}/cmake/source_commit.txt)
  # git archive replaces the placeholder with the commit; in a checkout it is still the placeholder.
  file(STRINGS ${SOURCE_DIR}/cmake/source_commit.txt recorded LIMIT_COUNT 1)
  if(recorded MATCHES "^[0-9a-f]+$")
    string(SUBSTRING "${recorded}" 0 12 APE_COMMIT)
  endif()
endif()

if(NOT APE_COMMIT)
  set(APE_COMMIT "unknown")
endif()

configure_file(${TEMPLATE} ${OUTPUT} @ONLY NEWLINE_STYLE ${NEWLINE_STYLE})
