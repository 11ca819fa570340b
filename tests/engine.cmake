# The engine: re-timing driven by scripted samples, and whole conversions
# of fixture clips through the headless host.
corvane_test(test_av_sync SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_av_sync.cpp LIBS corvane_engine)
corvane_test(test_engine_conversion SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_engine_conversion.cpp
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
corvane_test(test_engine_control SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_engine_control.cpp
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
