# corvane-log: decodes the scrambled diagnostic log into plain lines.
add_executable(corvane-log ${CMAKE_CURRENT_LIST_DIR}/logreader_main.cpp ${CMAKE_CURRENT_LIST_DIR}/log_reader.cpp)
target_link_libraries(corvane-log PRIVATE corvane_core)
