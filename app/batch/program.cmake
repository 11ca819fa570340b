# batchvc: the batch converter, the engine driven from the command line
# through the headless host. The library holds everything but main, so the
# tests can reach its parts; --demo makes its clip with the fixture generator.
corvane_library(corvane_batch ${CMAKE_CURRENT_LIST_DIR}
  DEPS corvane_appcontrol corvane_fixtures PkgConfig::FFMPEG)
add_executable(batchvc ${CMAKE_CURRENT_LIST_DIR}/batchvc_main.cpp)
target_link_libraries(batchvc PRIVATE corvane_batch)
target_compile_definitions(batchvc PRIVATE CORVANE_VERSION="${PROJECT_VERSION}")
