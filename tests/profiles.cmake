corvane_test(test_profile SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_profile.cpp LIBS corvane_profiles)
