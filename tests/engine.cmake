# The engine: re-timing driven by scripted samples, and whole conversions
# of fixture clips through the headless host.
corvane_test(test_av_sync SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_av_sync.cpp LIBS corvane_engine LABELS threads)
# The engine tests' shared fixture (settings of their own, profiles, host).
set(CORVANE_ENGINE_TEST ${CMAKE_CURRENT_SOURCE_DIR}/support/engine_test.cpp)
corvane_test(test_engine_conversion SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_engine_conversion.cpp ${CORVANE_ENGINE_TEST}
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
corvane_test(test_engine_control SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_engine_control.cpp ${CORVANE_ENGINE_TEST}
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
# Ten conversions in a row, and an hour of source (label "long": release only).
corvane_test(test_engine_load SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_engine_load.cpp ${CORVANE_ENGINE_TEST}
  LIBS corvane_appcontrol corvane_fixtures)
# The hour runs only as its own test, in the plain build (label "long").
add_test(NAME engine_hour_in_sync COMMAND test_engine_load --gtest_filter=*AnHour*
  WORKING_DIRECTORY ${CORVANE_OUT_DIR})
set_tests_properties(engine_hour_in_sync PROPERTIES LABELS long TIMEOUT 1500
  ENVIRONMENT "CORVANE_LONG_TESTS=1;CORVANE_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
