# A session bus and a stand-in screen saver service, for the tests of
# keeping the screen saver away (here and through the window).
corvane_library(corvane_fake_desktop ${CMAKE_CURRENT_SOURCE_DIR}/desktop_support DEPS corvane_desktop)
corvane_test(test_screen_saver SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_screen_saver.cpp
  LIBS corvane_fake_desktop)
