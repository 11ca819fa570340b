corvane_test(test_audio_blocks SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_audio_blocks.cpp LIBS corvane_encode)
corvane_test(test_recording_encoder SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_recording_encoder.cpp
  LIBS corvane_synth corvane_encode LABELS threads)
corvane_test(test_output_formats SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_output_formats.cpp
  LIBS corvane_synth corvane_encode)
corvane_test(test_pass_stats SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_pass_stats.cpp
  LIBS corvane_synth corvane_encode)
corvane_test(test_temp_output SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_temp_output.cpp LIBS corvane_encode)
