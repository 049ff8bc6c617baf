# Constants the game's sources define and the build needs too (the launcher's
# first-frame variable and default map): read from the header, so each lives once.
#
# fireflies_source_constant(HEADER NAME OUT)
#   HEADER  a header under src/, e.g. levels.h
#   NAME    a constant defined on one line there as
#           "constexpr TYPE NAME = VALUE;" (a number or a "string")
#   OUT     set in the caller to VALUE, a string without its quotes
function(fireflies_source_constant header name out)
  set(path "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../src/${header}")
  file(STRINGS "${path}" lines REGEX "^constexpr .* ${name} = .*;")
  # file(STRINGS) gives the line's ";" as "\;".
  if(NOT lines MATCHES " ${name} = (\"([^\"]*)\"|([0-9]+))\\\\?;$")
    message(FATAL_ERROR "${path}: no line \"constexpr TYPE ${name} = VALUE;\"")
  endif()
  set(${out} "${CMAKE_MATCH_2}${CMAKE_MATCH_3}" PARENT_SCOPE)
endfunction()
