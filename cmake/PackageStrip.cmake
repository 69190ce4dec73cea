# Run by CPack on the staged files, before the package is made: the programs, already stripped
# of their symbols, also lose the compiler's .comment and .note sections, as Debian's own
# packaging tools strip them.
set(_bin "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin")
file(GLOB _programs "${_bin}/*")
if(NOT _programs)
  message(FATAL_ERROR "no programs staged in ${_bin}")
endif()
foreach(p IN LISTS _programs)
  execute_process(COMMAND "${CPACK_TESSARO_STRIP}" --remove-section=.comment --remove-section=.note "${p}"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${CPACK_TESSARO_STRIP} could not strip ${p}")
  endif()
endforeach()
