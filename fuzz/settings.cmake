# Parsers of files read from disk: .reg files, .pr profiles, the language
# table and the diagnostic log.
foreach(target reg_parser profile_reader lang_file log_reader)
  add_executable(fuzz_${target} ${CMAKE_CURRENT_LIST_DIR}/fuzz_${target}.cpp)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  set_target_properties(fuzz_${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endforeach()
target_link_libraries(fuzz_reg_parser PRIVATE corvane_registry)
target_link_libraries(fuzz_profile_reader PRIVATE corvane_profiles)
target_link_libraries(fuzz_lang_file PRIVATE corvane_settings)
target_sources(fuzz_log_reader PRIVATE ${PROJECT_SOURCE_DIR}/app/logreader/log_reader.cpp)
target_link_libraries(fuzz_log_reader PRIVATE corvane_core)
