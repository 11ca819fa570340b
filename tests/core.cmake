corvane_test(test_diag_log SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_diag_log.cpp LIBS corvane_core)
corvane_test(test_messages SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_messages.cpp LIBS corvane_platform_core corvane_core)
corvane_test(test_malloc_setup SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_malloc_setup.cpp LIBS corvane_platform_core)
