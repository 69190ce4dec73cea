# The version every program reports (--version, the About boxes): the project version, followed
# by the git description when the tree is a git checkout, e.g. "1.0.0 (git 5d1e332-dirty)".
# It is found when CMake configures; a tree without git, or unpacked from a tarball, reports the
# project version alone.
#
# The text reaches only the sources named with tessaro_version_text(), as PROGRAM_VERSION_TEXT,
# so a new commit recompiles those few files and relinks, instead of rebuilding the whole tree.

set(TESSARO_GIT_DESCRIPTION "")
find_package(Git QUIET)
if(GIT_FOUND)
  # Only this project's own checkout counts: a tarball unpacked inside some other repository
  # must not report that repository's commits.
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${PROJECT_SOURCE_DIR}" rev-parse --show-toplevel
                  OUTPUT_VARIABLE _tessaro_git_top RESULT_VARIABLE _tessaro_git_rc
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(_tessaro_git_rc EQUAL 0)
    file(REAL_PATH "${_tessaro_git_top}" _tessaro_git_top)
    file(REAL_PATH "${PROJECT_SOURCE_DIR}" _tessaro_src)
    if(_tessaro_git_top STREQUAL _tessaro_src)
      execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${PROJECT_SOURCE_DIR}" describe --tags --always --dirty
                      OUTPUT_VARIABLE _tessaro_describe RESULT_VARIABLE _tessaro_git_rc
                      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(_tessaro_git_rc EQUAL 0)
        set(TESSARO_GIT_DESCRIPTION "${_tessaro_describe}")
      endif()
    endif()
  endif()
endif()

if(TESSARO_GIT_DESCRIPTION)
  set(TESSARO_VERSION_TEXT "${PROJECT_VERSION} (git ${TESSARO_GIT_DESCRIPTION})")
else()
  set(TESSARO_VERSION_TEXT "${PROJECT_VERSION}")
endif()
message(STATUS "Program version: ${TESSARO_VERSION_TEXT}")

# tessaro_version_text(SOURCE...): the sources (of the calling directory) that show the version
# get PROGRAM_VERSION_TEXT, a string literal.
function(tessaro_version_text)
  set_property(SOURCE ${ARGN} APPEND PROPERTY COMPILE_DEFINITIONS
               "PROGRAM_VERSION_TEXT=\"${TESSARO_VERSION_TEXT}\"")
endfunction()
