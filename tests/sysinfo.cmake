corvane_test(test_sysinfo SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_sysinfo.cpp LIBS corvane_sysinfo)
corvane_test(test_environment_checks SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_environment_checks.cpp
  LIBS corvane_sysinfo)
