# The clip generator other tests share: a small library and a program.
add_library(corvane_fixtures STATIC ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/fixtures.cpp)
target_include_directories(corvane_fixtures PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(corvane_fixtures PUBLIC PkgConfig::FFMPEG)
# The clips are test data, not code under test: they are drawn optimised and
# uninstrumented in the sanitizer builds too, where drawing them took most of
# an engine test's time.
target_compile_options(corvane_fixtures PRIVATE -O2 -fno-sanitize=all)
add_executable(make_fixtures ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/make_fixtures_main.cpp)
target_link_libraries(make_fixtures PRIVATE corvane_fixtures)
set_target_properties(make_fixtures PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

corvane_test(test_filter_graph
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_filter_graph.cpp ${PROJECT_SOURCE_DIR}/engine/my_clock.cpp
  LIBS corvane_grabbers corvane_dshow corvane_fixtures
  LABELS threads)

corvane_test(test_packet_queue SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_packet_queue.cpp LIBS corvane_dshow)
