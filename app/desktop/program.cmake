# The application icon in the sizes of the hicolor theme, drawn from its SVG
# at build time into build/<variant>/icons, and installed with the SVG.
if(CORVANE_GUI)
  set(CORVANE_ICON_SVG ${PROJECT_SOURCE_DIR}/data/desktop/corvane.svg)
  set(CORVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
  set(CORVANE_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
  add_executable(render_icon ${CMAKE_CURRENT_LIST_DIR}/render_icon_main.cpp)
  target_link_libraries(render_icon PRIVATE Qt6::Svg Qt6::Gui)
  set_target_properties(render_icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
  set(CORVANE_ICON_PNGS "")
  foreach(size ${CORVANE_ICON_SIZES})
    list(APPEND CORVANE_ICON_PNGS ${CORVANE_ICON_DIR}/${size}x${size}/apps/corvane.png)
  endforeach()
  add_custom_command(OUTPUT ${CORVANE_ICON_PNGS}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:render_icon> ${CORVANE_ICON_SVG} ${CORVANE_ICON_DIR} ${CORVANE_ICON_SIZES}
    DEPENDS render_icon ${CORVANE_ICON_SVG}
    COMMENT "Drawing the application icon's PNG sizes")
  add_custom_target(corvane_icons ALL DEPENDS ${CORVANE_ICON_PNGS})
  install(FILES ${CORVANE_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size ${CORVANE_ICON_SIZES})
    install(FILES ${CORVANE_ICON_DIR}/${size}x${size}/apps/corvane.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()
