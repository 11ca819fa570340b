# The engine: re-timing driven by scripted samples, and whole conversions
# of fixture clips through the headless host.
corvane_test(test_av_sync SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_av_sync.cpp LIBS corvane_engine)
