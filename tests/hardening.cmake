# Hostile inputs: the bad-input corpus (tests/corpus/make_corpus.sh) through
# the engine in one process, and through the batch converter.
corvane_test(test_hostile_inputs SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_hostile_inputs.cpp ${CORVANE_ENGINE_TEST}
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
target_compile_definitions(test_hostile_inputs PRIVATE CORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
corvane_test(test_faults SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_faults.cpp ${CORVANE_ENGINE_TEST}
  LIBS corvane_appcontrol corvane_fixtures LABELS threads)
add_test(NAME corpus_through_batchvc
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/corpus/run_corpus_batch.sh $<TARGET_FILE:batchvc>
          ${CMAKE_BINARY_DIR}/test-tmp/corpus-batch)
set_tests_properties(corpus_through_batchvc PROPERTIES TIMEOUT 1200)
