add_executable(fuzz_title_walk ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_title_walk.cpp)
target_link_libraries(fuzz_title_walk PRIVATE corvane_transfer)
target_link_options(fuzz_title_walk PRIVATE -fsanitize=fuzzer)
set_target_properties(fuzz_title_walk PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
