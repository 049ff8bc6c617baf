# Reads data/levels.txt, the list of levels a player can pick by name, and
# turns it into the parts of the menu entry and the manual page that list
# the levels. A row that breaks the format stops the configure step with
# "levels.txt:LINE: what is wrong", so a bad row never reaches a player; a
# list larger than the game's tools read (kMaxLevelListBytes) is refused
# before it is read. The launcher checks the rows the same way when it starts.
#
# fireflies_level_texts(FILE DATA_DIR)
#   FILE      the level list
#   DATA_DIR  the folder whose map files the rows must name
# sets in the caller:
#   FIREFLIES_LEVEL_NAMES          the short names in ladder order (a list)
#   FIREFLIES_DESKTOP_ACTION_IDS   "name1;name2;", the entry's Actions value
#   FIREFLIES_DESKTOP_ACTIONS      one [Desktop Action NAME] group per level;
#                                  each Exec names @FIREFLIES_LAUNCHER@, left
#                                  for the install step to fill in
#   FIREFLIES_MAN_LEVELS           the manual page's list, one .TP a level
#   FIREFLIES_DEFAULT_LEVEL        the name of the level that plays final.map
include(${CMAKE_CURRENT_LIST_DIR}/constants.cmake)

# Stops the configure step with one line: CMake wraps the text of an error
# unless it begins with a blank.
function(fireflies_level_list_fault)
  string(CONCAT text ${ARGN})
  message(FATAL_ERROR " ${text}")
endfunction()

function(fireflies_level_texts file data_dir)
  fireflies_source_constant(levels.h kMaxLevelListBytes max_bytes)
  file(SIZE "${file}" size)
  if(size GREATER max_bytes)
    fireflies_level_list_fault("${file}: the level list is larger than ${max_bytes} bytes")
  endif()
  file(READ "${file}" text)
  # CMake lists split on ";" and group on brackets: hide them in the text
  # while it is a list of lines.
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "[" "<open>" text "${text}")
  string(REPLACE "]" "<close>" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")

  set(names "")
  set(ids "")
  set(actions "")
  set(man "")
  set(line_number 0)
  set(default_name "")
  foreach(line IN LISTS lines)
    math(EXPR line_number "${line_number} + 1")
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    set(where "${file}:${line_number}")
    if(NOT line MATCHES "^([^ \t]+)[ \t]+([^ \t]+)[ \t]+(.+)$")
      fireflies_level_list_fault("${where}: a level needs a name, a map file and a description")
    endif()
    set(name "${CMAKE_MATCH_1}")
    set(map "${CMAKE_MATCH_2}")
    set(description "${CMAKE_MATCH_3}")
    if(NOT name MATCHES "^[a-z0-9-]+$")
      fireflies_level_list_fault("${where}: level name \"${name}\" is not a lower-case word "
                          "(letters, digits and hyphens)")
    endif()
    # One variable a name: looking a name up in the list would take time
    # growing with the square of the list's length.
    if(DEFINED listed_${name})
      fireflies_level_list_fault("${where}: level name \"${name}\" is listed twice")
    endif()
    set(listed_${name} TRUE)
    if(NOT map MATCHES "^[A-Za-z0-9_.-]+\\.map$" OR NOT EXISTS "${data_dir}/${map}"
       OR IS_DIRECTORY "${data_dir}/${map}")
      fireflies_level_list_fault("${where}: \"${map}\" is not a map file in ${data_dir}")
    endif()
    if(map STREQUAL "final.map")
      set(default_name "${name}")
    endif()
    list(APPEND names "${name}")
    string(REPLACE "<semicolon>" ";" description "${description}")
    string(REPLACE "<open>" "[" description "${description}")
    string(REPLACE "<close>" "]" description "${description}")

    # Menu: "lantern-garden" shows as "Lantern garden".
    string(SUBSTRING "${name}" 0 1 first)
    string(SUBSTRING "${name}" 1 -1 rest)
    string(TOUPPER "${first}" first)
    string(REPLACE "-" " " rest "${rest}")
    string(APPEND ids "${name};")
    string(APPEND actions "\n[Desktop Action ${name}]\nName=${first}${rest}\n"
                          "Exec=\"@FIREFLIES_LAUNCHER@\" ${name}\n")

    # Manual page: a backslash is roff's escape, and a line may not start
    # with a control character.
    string(REPLACE "\\" "\\e" description "${description}")
    string(APPEND man ".TP\n.B ${name}\n\\&${description}\n")
  endforeach()

  if(names STREQUAL "")
    fireflies_level_list_fault("${file}: lists no level")
  endif()
  if(default_name STREQUAL "")
    fireflies_level_list_fault("${file}: no level plays final.map, the game's default")
  endif()
  set(FIREFLIES_LEVEL_NAMES "${names}" PARENT_SCOPE)
  set(FIREFLIES_DESKTOP_ACTION_IDS "${ids}" PARENT_SCOPE)
  set(FIREFLIES_DESKTOP_ACTIONS "${actions}" PARENT_SCOPE)
  set(FIREFLIES_MAN_LEVELS "${man}" PARENT_SCOPE)
  set(FIREFLIES_DEFAULT_LEVEL "${default_name}" PARENT_SCOPE)
endfunction()
