# What `cmake --install` puts where (GNUInstallDirs): the programs in bin;
# what they read and never write in share/corvane, which they find from
# their own folder (CORVANE_DATA_FROM_BIN); the desktop entries, icon,
# AppStream metadata and man pages where desktops and man look for them
# (the icon installs with its drawing, app/desktop).
set(CORVANE_DATA_DEST ${CMAKE_INSTALL_DATADIR}/corvane)

install(TARGETS batchvc corvane-log RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/profile/ DESTINATION ${CORVANE_DATA_DEST}/profile
        FILES_MATCHING PATTERN "*.pr")
install(FILES ${PROJECT_SOURCE_DIR}/data/lang_eng.txt ${PROJECT_SOURCE_DIR}/data/codec.reg
              ${PROJECT_SOURCE_DIR}/data/url.reg ${PROJECT_SOURCE_DIR}/data/help.html
              ${CORVANE_OUT_DIR}/Thumbnail.bmp
        DESTINATION ${CORVANE_DATA_DEST})
install(FILES ${PROJECT_SOURCE_DIR}/data/man/batchvc.1 ${PROJECT_SOURCE_DIR}/data/man/corvane-log.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(CORVANE_GUI)
  install(TARGETS corvane corvane-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/data/man/corvane.1 ${PROJECT_SOURCE_DIR}/data/man/corvane-batch.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/corvane.desktop ${PROJECT_SOURCE_DIR}/data/desktop/corvane-batch.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/example.corvane.Corvane.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
