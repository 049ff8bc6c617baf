# Build step (cmake -P): writes the menu entry and the manual page with the
# levels of the level list, as the fireflies-levels program prints them. The
# program checks the list with the game's own reader, so a list the build
# takes is one the launcher and the trainer take, and a bad row stops the
# build with the program's "levels.txt:LINE: what is wrong" line.
#
# Variables (-D):
#   LEVELS_PROGRAM  the built fireflies-levels
#   LEVEL_LIST      the level list (its maps are looked for beside it)
#   DESKTOP_IN      the menu entry's template; DESKTOP_OUT what is written
#   MANUAL_IN       the manual page's template; MANUAL_OUT what is written
#   PROJECT_VERSION, FIREFLIES_RELEASE_DATE   for the manual page's title
# The paths of an install (@FIREFLIES_LAUNCHER@, @FIREFLIES_DATA_PATH@,
# @FIREFLIES_GAME_PATH@) are left in for the install step to fill in.
cmake_minimum_required(VERSION 3.25)

# Sets out to the form of the list the program prints; a refused list stops
# here with the program's line (CMake wraps the text of an error unless it
# begins with a blank).
function(fireflies_level_form form out)
  execute_process(COMMAND "${LEVELS_PROGRAM}" ${form} "${LEVEL_LIST}"
                  OUTPUT_VARIABLE text ERROR_VARIABLE problem RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(STRIP "${problem}" problem)
    message(FATAL_ERROR " ${problem}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

fireflies_level_form(desktop-ids FIREFLIES_DESKTOP_ACTION_IDS)
fireflies_level_form(desktop-actions FIREFLIES_DESKTOP_ACTIONS)
fireflies_level_form(manual FIREFLIES_MAN_LEVELS)
fireflies_level_form(default FIREFLIES_DEFAULT_LEVEL)
string(STRIP "${FIREFLIES_DEFAULT_LEVEL}" FIREFLIES_DEFAULT_LEVEL)

set(FIREFLIES_LAUNCHER "@FIREFLIES_LAUNCHER@")
set(FIREFLIES_DATA_PATH "@FIREFLIES_DATA_PATH@")
set(FIREFLIES_GAME_PATH "@FIREFLIES_GAME_PATH@")
configure_file("${DESKTOP_IN}" "${DESKTOP_OUT}" @ONLY)
configure_file("${MANUAL_IN}" "${MANUAL_OUT}" @ONLY)
