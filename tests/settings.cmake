corvane_test(test_registry SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_registry.cpp LIBS corvane_registry)
corvane_test(test_settings_store SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_store.cpp LIBS corvane_settings)
corvane_test(test_translate SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_translate.cpp LIBS corvane_settings)
corvane_test(test_log_reader SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_log_reader.cpp
  ${PROJECT_SOURCE_DIR}/app/logreader/log_reader.cpp LIBS corvane_core)
add_dependencies(test_log_reader corvane-log)
