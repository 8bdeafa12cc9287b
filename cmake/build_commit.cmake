# Writes the commit the programs are built from into OUT, a header, and only
# when it differs from what OUT holds (so that nothing rebuilds needlessly):
#   cmake -DSOURCE=DIR -DOUT=FILE [-DCOMMIT=TEXT] -P build_commit.cmake
# COMMIT (a release names its own) wins; else git's HEAD, marked when the
# checkout holds changes to tracked files; else "unknown".
if(NOT COMMIT)
  execute_process(COMMAND git -C "${SOURCE}" rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR NOT COMMIT)
    set(COMMIT "unknown")
  else()
    execute_process(COMMAND git -C "${SOURCE}" status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(changes)
      set(COMMIT "${COMMIT}+changes")
    endif()
  endif()
endif()
set(text "// Written at every build by cmake/build_commit.cmake.\n#define BUILD_COMMIT_TEXT \"${COMMIT}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
