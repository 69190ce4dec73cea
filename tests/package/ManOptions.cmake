# cmake -DPROGRAM=<program> -DMAN_PAGE=<page.1> -DVERSION=<project version> -P ManOptions.cmake
# Every option PROGRAM --help prints (the lines that start with blanks and "-", short and long
# forms) is named in the manual page, and every option the page describes (a .TP heading) is
# one that --help prints, so neither can fall behind the other. The page's title line names
# the version it describes.
cmake_minimum_required(VERSION 3.25)
foreach(v PROGRAM MAN_PAGE VERSION)
  if(NOT ${v})
    message(FATAL_ERROR "ManOptions.cmake needs -D${v}=...")
  endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --help
                OUTPUT_VARIABLE help ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${rc}): ${err}")
endif()

# Lines of a text as a list (semicolons kept apart first).
function(split_lines text out)
  string(REPLACE ";" "," t "${text}")
  string(REPLACE "\n" ";" t "${t}")
  set(${out} "${t}" PARENT_SCOPE)
endfunction()

# The options --help prints: the option column is what comes before the first run of two blanks.
set(help_options)
split_lines("${help}" help_lines)
foreach(line IN LISTS help_lines)
  if(line MATCHES "^[ \t]+-")
    string(STRIP "${line}" line)
    string(REGEX REPLACE "  .*" "" column "${line}")
    string(REGEX MATCHALL "--?[A-Za-z0-9][-A-Za-z0-9]*" opts "${column}")
    list(APPEND help_options ${opts})
  endif()
endforeach()
list(REMOVE_DUPLICATES help_options)
list(LENGTH help_options n)
# --help itself, --help-all and --version at least: fewer means the help was not read.
if(n LESS 3)
  message(FATAL_ERROR "found only ${n} options in the --help of ${PROGRAM}:\n${help}")
endif()

# The page as a reader sees its words: \- is a hyphen, font changes and \c join words.
file(READ "${MAN_PAGE}" page)
string(REPLACE "\\-" "-" page "${page}")
string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")
string(REPLACE "\\c" "" page "${page}")

set(missing)
foreach(opt IN LISTS help_options)
  if(NOT page MATCHES "(^|[^-A-Za-z0-9])${opt}([^-A-Za-z0-9]|$)")
    list(APPEND missing "${opt}")
  endif()
endforeach()

# The options the page describes: the first line of each .TP item that starts with a dash.
set(stale)
split_lines("${page}" page_lines)
set(after_tp FALSE)
foreach(line IN LISTS page_lines)
  if(after_tp AND line MATCHES "^\\.(B|BI|BR|IR|I) +\"?-")
    string(REGEX REPLACE "^\\.[A-Z]+ +" "" heading "${line}")
    string(REGEX MATCHALL "(^|[ \",])--?[A-Za-z0-9][-A-Za-z0-9]*" opts "${heading}")
    foreach(opt IN LISTS opts)
      string(REGEX REPLACE "^[ \",]" "" opt "${opt}")
      if(NOT opt IN_LIST help_options)
        list(APPEND stale "${opt}")
      endif()
    endforeach()
  endif()
  if(line STREQUAL ".TP")
    set(after_tp TRUE)
  else()
    set(after_tp FALSE)
  endif()
endforeach()

get_filename_component(name "${PROGRAM}" NAME)
string(TOUPPER "${name}" title)
if(NOT page MATCHES "(^|\n)\\.TH ${title} 1 \"[^\"]*\" \"tessaro-service-tools ${VERSION}\"")
  message(FATAL_ERROR "${MAN_PAGE}: the .TH line does not read .TH ${title} 1 \"<date>\" \"tessaro-service-tools ${VERSION}\"")
endif()
if(missing OR stale)
  string(REPLACE ";" " " missing "${missing}")
  string(REPLACE ";" " " stale "${stale}")
  message(FATAL_ERROR "${MAN_PAGE}:\n  options of ${name} --help the page does not name: ${missing}\n"
                      "  options the page describes that ${name} --help does not print: ${stale}")
endif()
message(STATUS "${name}: all ${n} options of --help are in ${MAN_PAGE}")
