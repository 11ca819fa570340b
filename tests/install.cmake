# The programs as installed: `cmake --install` into a temporary prefix, run
# from there by a new user.
add_test(NAME installed_run
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/installed_run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:make_fixtures>)
set_tests_properties(installed_run PROPERTIES ENVIRONMENT "CORVANE_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
