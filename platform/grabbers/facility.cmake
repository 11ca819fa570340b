corvane_library(corvane_grabbers ${CMAKE_CURRENT_LIST_DIR} DEPS corvane_dshow)
