# Hostile inputs: the bad-input corpus (tests/corpus/make_corpus.sh) through
# the engine in one process, and through the batch converter.
corvane_test(test_hostile_inputs SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_hostile_inputs.cpp
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
target_compile_definitions(test_hostile_inputs PRIVATE CORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
corvane_test(test_faults SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_faults.cpp
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
