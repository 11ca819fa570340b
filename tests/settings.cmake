corvane_test(test_registry SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_registry.cpp LIBS corvane_registry)
