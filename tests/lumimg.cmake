corvane_test(test_lumimg SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_lumimg.cpp LIBS corvane_lumimg)
