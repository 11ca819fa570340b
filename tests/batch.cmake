# The batch converter: its command line, and the program run as a process
# on fixture clips.
corvane_test(test_batch_options SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_batch_options.cpp LIBS corvane_batch)
corvane_test(test_batchvc SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_batchvc.cpp LIBS corvane_settings corvane_fixtures)
target_compile_definitions(test_batchvc PRIVATE BATCHVC_PATH="$<TARGET_FILE:batchvc>")
add_dependencies(test_batchvc batchvc)
