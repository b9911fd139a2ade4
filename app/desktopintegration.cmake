# Desktop integration: the folder context-menu entries the program registers at start-up,
# and the files that put it into a desktop when installed.
set(QUORVEL_DESKTOP_SOURCES
  commandquoting.cpp
  contextmenuregistration.cpp
  explorerverbs.cpp
  filemanagerentries.cpp
  keyfiletext.cpp)
if(WIN32)
  list(APPEND QUORVEL_DESKTOP_SOURCES contextmenuregistration_win.cpp)
else()
  list(APPEND QUORVEL_DESKTOP_SOURCES contextmenuregistration_unix.cpp)
endif()
add_library(quorvel_desktop STATIC ${QUORVEL_DESKTOP_SOURCES})
target_include_directories(quorvel_desktop PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(quorvel_desktop PUBLIC Qt6::Core)
target_link_libraries(quorvel PRIVATE quorvel_desktop)

# Installed desktop files: the launcher entry, the AppStream description and the icons.
if(UNIX AND NOT APPLE)
  set(QUORVEL_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
  install(FILES ${QUORVEL_DATA_DIR}/quorvel.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QUORVEL_DATA_DIR}/quorvel.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME io.github.quorvel.quorvel.metainfo.xml)
  install(DIRECTORY ${QUORVEL_DATA_DIR}/icons/hicolor
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/svg/smartsearch.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME quorvel.svg)
endif()
