# The two-pass statistics a second pass reads back from beside its output.
add_executable(fuzz_pass_stats ${CMAKE_CURRENT_LIST_DIR}/fuzz_pass_stats.cpp)
target_link_libraries(fuzz_pass_stats PRIVATE corvane_encode)
target_link_options(fuzz_pass_stats PRIVATE -fsanitize=fuzzer)
set_target_properties(fuzz_pass_stats PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
