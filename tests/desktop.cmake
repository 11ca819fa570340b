corvane_test(test_screen_saver SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_screen_saver.cpp
  LIBS corvane_desktop)
