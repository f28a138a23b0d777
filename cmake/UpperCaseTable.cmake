# Writes the simple upper-case mappings of the Unicode Character Database as C++ initialisers,
# one "{0xFROM, 0xTO}," a line in ascending order of FROM, for tools/qvx/platform/UpperCaseTable.cpp.
#   cmake -DINPUT=/usr/share/unicode/UnicodeData.txt -DOUTPUT=UpperCasePairs.inc -P UpperCaseTable.cmake
# UnicodeData.txt has fifteen fields separated by ";"; field 12 (counting from 0) is the simple
# upper-case mapping, empty for characters that have none. Its lines are in code point order.
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "UpperCaseTable.cmake: INPUT and OUTPUT must be given")
endif()
# Only the lines whose field 12 is a code point (CMake's expressions have no counted repetition).
set(field "[^;]*;")
set(eleven "${field}${field}${field}${field}${field}${field}${field}${field}${field}${field}${field}")
file(STRINGS "${INPUT}" lines REGEX "^[0-9A-F]+;${eleven}[0-9A-F]+;")
set(text "// Generated from ${INPUT} by cmake/UpperCaseTable.cmake.\n")
set(count 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^([0-9A-F]+);${eleven}([0-9A-F]+);")
    continue()
  endif()
  string(APPEND text "{0x${CMAKE_MATCH_1}, 0x${CMAKE_MATCH_2}},\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count LESS 1000)
  message(FATAL_ERROR "UpperCaseTable.cmake: only ${count} mappings in ${INPUT}")
endif()
file(WRITE "${OUTPUT}.tmp" "${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
