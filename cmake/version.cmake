# korvel_version(VAR): the program's version, "1.0.0.1", from the version block
# of the resource script, the one place it is written.
function(korvel_version var)
  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../res/korvel.rc line REGEX "^ *FILEVERSION ")
  string(REGEX MATCH "([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+)" found "${line}")
  if(NOT found)
    message(FATAL_ERROR "no FILEVERSION in res/korvel.rc")
  endif()
  set(${var} "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}" PARENT_SCOPE)
endfunction()
