corvane_test(test_title_patch SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_title_patch.cpp LIBS corvane_transfer corvane_synth)
corvane_test(test_thumbnail SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_thumbnail.cpp LIBS corvane_transfer)
