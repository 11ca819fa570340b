# A generated clip converted through the recording encoder to a PSP MP4 and
# its thumbnail: the quickest look at what the converter writes.
add_executable(encode_demo ${CMAKE_CURRENT_LIST_DIR}/encode_demo_main.cpp)
target_link_libraries(encode_demo PRIVATE corvane_synth corvane_transfer corvane_encode corvane_lumimg)
