# The files that put the program into a desktop when installed.
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
