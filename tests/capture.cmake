corvane_test(test_capture_frames SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_capture_frames.cpp LIBS corvane_engine)
