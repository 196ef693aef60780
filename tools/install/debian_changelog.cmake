# Writes the Debian changelog of the package from CHANGELOG.md: each "## VERSION - DATE" section
# becomes an entry, each "- item" (with its indented continuation lines) one "  * item".
#   cmake -DINPUT=CHANGELOG.md -DOUTPUT=changelog -DPACKAGE=tovalin -DMAINTAINER="..." -P this
file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(out "")
set(entry_open FALSE)
set(item "")

function(tovalin_rfc2822 date result)
  execute_process(COMMAND date -u -R -d "${date} 12:00:00" OUTPUT_VARIABLE stamp
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "CHANGELOG.md: not a date: ${date}")
  endif()
  set(${result} "${stamp}" PARENT_SCOPE)
endfunction()

macro(flush_item)
  if(NOT item STREQUAL "")
    string(APPEND out "  * ${item}\n")
    set(item "")
  endif()
endmacro()

macro(close_entry)
  flush_item()
  if(entry_open)
    string(APPEND out "\n -- ${MAINTAINER}  ${entry_date}\n\n")
    set(entry_open FALSE)
  endif()
endmacro()

foreach(line IN LISTS lines)
  if(line MATCHES "^## +([^ ]+) +- +([0-9]+-[0-9]+-[0-9]+)")
    close_entry()
    tovalin_rfc2822("${CMAKE_MATCH_2}" entry_date)
    string(APPEND out "${PACKAGE} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
    set(entry_open TRUE)
  elseif(entry_open AND line MATCHES "^- +(.*)$")
    flush_item()
    set(item "${CMAKE_MATCH_1}")
  elseif(entry_open AND NOT item STREQUAL "" AND line MATCHES "^  +(.*)$")
    # Debian changelog lines stay short: the continuation goes on its own indented line.
    string(APPEND item "\n    ${CMAKE_MATCH_1}")
  endif()
endforeach()
close_entry()
string(REGEX REPLACE "`" "" out "${out}")
file(WRITE "${OUTPUT}" "${out}")
