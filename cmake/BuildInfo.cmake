# Writes the header that tells a program which version and which commit it was built from:
#
#   cmake -DSOURCE_DIR=<tree> -DOUTPUT=<header> -DVERSION=<x.y.z> -P BuildInfo.cmake
#
# QVX_BUILD_COMMIT is the abbreviated commit of SOURCE_DIR, with "-dirty" when tracked files hold
# changes that are not committed, or "" when SOURCE_DIR is not the top of a git checkout (a source
# archive, or the tree added to another project's repository) or git is missing. Run at every
# build; the header is rewritten only when its text changes, so nothing that includes it is
# rebuilt while the commit stays the same.
cmake_minimum_required(VERSION 3.25)

foreach(variable SOURCE_DIR OUTPUT VERSION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "BuildInfo.cmake: -D${variable}=... is required")
  endif()
endforeach()

set(commit "")
find_program(GIT_EXECUTABLE git)
if(GIT_EXECUTABLE)
  # --no-optional-locks: asking must not take the index lock a git command in the tree may hold.
  execute_process(COMMAND ${GIT_EXECUTABLE} --no-optional-locks -C ${SOURCE_DIR} rev-parse --show-toplevel
    OUTPUT_VARIABLE toplevel RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(status EQUAL 0)
    file(REAL_PATH "${SOURCE_DIR}" source_real)
    file(REAL_PATH "${toplevel}" toplevel_real)
  endif()
  if(status EQUAL 0 AND source_real STREQUAL toplevel_real)
    execute_process(COMMAND ${GIT_EXECUTABLE} --no-optional-locks -C ${SOURCE_DIR} rev-parse --short=12 HEAD
      OUTPUT_VARIABLE head RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(status EQUAL 0)
      set(commit "${head}")
      execute_process(COMMAND ${GIT_EXECUTABLE} --no-optional-locks -C ${SOURCE_DIR} status --porcelain --untracked-files=no
        OUTPUT_VARIABLE changes RESULT_VARIABLE status ERROR_QUIET)
      if(NOT status EQUAL 0 OR NOT changes STREQUAL "")
        string(APPEND commit "-dirty")
      endif()
    endif()
  endif()
endif()

set(text "// Written at build time by cmake/BuildInfo.cmake: the version and the commit of this build.
#pragma once
#define QVX_BUILD_VERSION \"${VERSION}\"
#define QVX_BUILD_COMMIT \"${commit}\"
")
set(old_text "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old_text)
endif()
if(NOT old_text STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
