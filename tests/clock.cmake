# The engine's paced clock is built straight from its source here, so the
# test does not depend on the rest of the engine library.
corvane_test(test_my_clock
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_my_clock.cpp ${PROJECT_SOURCE_DIR}/engine/my_clock.cpp
  LIBS corvane_dshow
  LABELS threads)
