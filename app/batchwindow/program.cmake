# corvane-batch: the batch window, a Qt front end over the same batch as
# batchvc (the library corvane_batch), with the main window's pieces (theme,
# file filters, output folder rules, shell).
if(CORVANE_GUI)
  corvane_library(corvane_batchwindow ${CMAKE_CURRENT_LIST_DIR}
    DEPS corvane_batch corvane_window Qt6::Widgets PkgConfig::FFMPEG)
  add_executable(corvane-batch ${CMAKE_CURRENT_LIST_DIR}/corvane_batch_main.cpp)
  target_link_libraries(corvane-batch PRIVATE corvane_batchwindow)
endif()
