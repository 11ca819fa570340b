# The desktop program: the main window, its dialogs and the start-up, as one
# Qt library (so the window tests link exactly what the program runs) and
# the executable "corvane".
if(CORVANE_GUI)
  corvane_library(corvane_window ${CMAKE_CURRENT_LIST_DIR}
    DEPS corvane_appcontrol corvane_transfer_ui corvane_sysinfo corvane_profiles corvane_encode corvane_settings
         corvane_dshow corvane_com corvane_core corvane_platform_core Qt6::Widgets)

  # The thumbnail button's default picture beside the program.
  add_dependencies(corvane_window corvane_default_thumbnail)

  add_executable(corvane ${CMAKE_CURRENT_LIST_DIR}/corvane_main.cpp)
  target_link_libraries(corvane PRIVATE corvane_window)

  # The help page that "Manual" opens, beside the program.
  set(CORVANE_HELP_PAGE ${PROJECT_SOURCE_DIR}/data/help.html)
  add_custom_target(corvane_help_page ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CORVANE_HELP_PAGE} ${CORVANE_OUT_DIR}
    DEPENDS ${CORVANE_HELP_PAGE}
    COMMENT "Copying the help page beside the program")
  add_dependencies(corvane corvane_help_page)
endif()
