# Installing: cmake --install build --prefix PREFIX puts the game where a
# desktop finds it. The launcher finds the game and the data folder relative
# to itself, so any prefix (and DESTDIR) works; only the menu entry and the
# manual page name final absolute paths, written at install time.
#
# The layout, relative to the prefix. The defaults suit a prefix of one's own
# (~/.local); the Debian package puts the program in games/, the game in
# lib/games/fireflies and the data in share/games/fireflies.
set(FIREFLIES_INSTALL_BINDIR "bin" CACHE STRING "Folder of the fireflies launcher")
set(FIREFLIES_INSTALL_GAMEDIR "lib/fireflies" CACHE STRING "Folder of the game binary")
set(FIREFLIES_INSTALL_DATADIR "share/fireflies" CACHE STRING "Folder of the game's data")
# The software-centre id, also the metainfo file's name.
set(FIREFLIES_APPSTREAM_ID "io.github.fireflies_studio.fireflies")

# The level list's one reader as a program: the launcher asks it for the
# levels, and the build below for the menu entry's actions and the manual
# page's list. It is installed beside the game.
add_executable(fireflies-levels ${PROJECT_SOURCE_DIR}/src/fireflies_levels.cpp)
target_link_libraries(fireflies-levels PRIVATE fireflies_core)

set(levels_file ${PROJECT_SOURCE_DIR}/data/levels.txt)
# The list names maps beside it: adding or removing one checks the list again.
file(GLOB level_maps CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/*.map)
# The menu entry and the manual page get their levels now and their paths at
# install time, which the step leaves as placeholders.
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/fireflies.desktop.in ${PROJECT_BINARY_DIR}/fireflies.6.in
  COMMAND ${CMAKE_COMMAND} -DLEVELS_PROGRAM=$<TARGET_FILE:fireflies-levels>
          -DLEVEL_LIST=${levels_file}
          -DDESKTOP_IN=${CMAKE_CURRENT_LIST_DIR}/fireflies.desktop.in
          -DDESKTOP_OUT=${PROJECT_BINARY_DIR}/fireflies.desktop.in
          -DMANUAL_IN=${CMAKE_CURRENT_LIST_DIR}/fireflies.6.in
          -DMANUAL_OUT=${PROJECT_BINARY_DIR}/fireflies.6.in
          -DPROJECT_VERSION=${PROJECT_VERSION}
          -DFIREFLIES_RELEASE_DATE=${FIREFLIES_RELEASE_DATE}
          -P ${CMAKE_CURRENT_LIST_DIR}/levels.cmake
  DEPENDS fireflies-levels ${levels_file} ${level_maps} ${CMAKE_CURRENT_LIST_DIR}/levels.cmake
          ${CMAKE_CURRENT_LIST_DIR}/fireflies.desktop.in ${CMAKE_CURRENT_LIST_DIR}/fireflies.6.in
  COMMENT "Writing the menu entry and the manual page from the level list"
  VERBATIM)
add_custom_target(fireflies_level_texts ALL DEPENDS ${PROJECT_BINARY_DIR}/fireflies.desktop.in
                                                     ${PROJECT_BINARY_DIR}/fireflies.6.in)

# The launcher, with its version, the way from its folder to the game's, its
# data and the level program, and what it shares with the game: the variable
# that asks the game to announce its first frame, and the map it plays when
# none is named.
include(${CMAKE_CURRENT_LIST_DIR}/constants.cmake)
fireflies_source_constant(game_window.h kFirstFrameFdVariable FIREFLIES_FIRST_FRAME_FD_VARIABLE)
fireflies_source_constant(level_map.h kDefaultMapName FIREFLIES_DEFAULT_MAP)
fireflies_source_constant(replay.h kRecordVariable FIREFLIES_RECORD_VARIABLE)
fireflies_source_constant(replay.h kReplayVariable FIREFLIES_REPLAY_VARIABLE)
file(RELATIVE_PATH FIREFLIES_GAME_FROM_LAUNCHER /${FIREFLIES_INSTALL_BINDIR}
     /${FIREFLIES_INSTALL_GAMEDIR}/fireflies)
file(RELATIVE_PATH FIREFLIES_LEVELS_FROM_LAUNCHER /${FIREFLIES_INSTALL_BINDIR}
     /${FIREFLIES_INSTALL_GAMEDIR}/fireflies-levels)
file(RELATIVE_PATH FIREFLIES_DATA_FROM_LAUNCHER /${FIREFLIES_INSTALL_BINDIR}
     /${FIREFLIES_INSTALL_DATADIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/fireflies-launcher.in
               ${PROJECT_BINARY_DIR}/fireflies-launcher @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/fireflies.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${FIREFLIES_APPSTREAM_ID}.metainfo.xml @ONLY)

install(TARGETS fireflies fireflies-levels fireflies-records RUNTIME
        DESTINATION ${FIREFLIES_INSTALL_GAMEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${FIREFLIES_INSTALL_DATADIR}
        PATTERN fireflies.png EXCLUDE)
install(PROGRAMS ${PROJECT_BINARY_DIR}/fireflies-launcher DESTINATION ${FIREFLIES_INSTALL_BINDIR}
        RENAME fireflies)
install(FILES ${PROJECT_SOURCE_DIR}/data/fireflies.png DESTINATION share/icons/hicolor/64x64/apps)
install(FILES ${PROJECT_BINARY_DIR}/${FIREFLIES_APPSTREAM_ID}.metainfo.xml
        DESTINATION share/metainfo)
# Written straight into the destination (not the build tree), so installs
# to different prefixes, even at the same time, never share a file.
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  set(FIREFLIES_LAUNCHER \"\${prefix}/${FIREFLIES_INSTALL_BINDIR}/fireflies\")
  set(FIREFLIES_DATA_PATH \"\${prefix}/${FIREFLIES_INSTALL_DATADIR}\")
  set(FIREFLIES_GAME_PATH \"\${prefix}/${FIREFLIES_INSTALL_GAMEDIR}/fireflies\")
  foreach(pair \"fireflies.desktop.in=share/applications/fireflies.desktop\"
               \"fireflies.6.in=share/man/man6/fireflies.6\")
    string(REPLACE \"=\" \";\" pair \"\${pair}\")
    list(GET pair 0 template)
    list(GET pair 1 destination)
    set(destination \"\$ENV{DESTDIR}\${prefix}/\${destination}\")
    message(STATUS \"Installing: \${destination}\")
    configure_file(\"${PROJECT_BINARY_DIR}/\${template}\" \"\${destination}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${destination}\")
  endforeach()")

# What ./play builds (the `game` target of the top-level file) beyond the game.
add_dependencies(game fireflies fireflies-levels fireflies_level_texts fireflies-records)
