# The desktop program's windows and rules, as Qt Test programs on the
# offscreen platform, run beside the programs (the shipped profiles and .reg
# files are there).
if(CORVANE_GUI)
  # corvane_window_test(NAME [LIBS ...] [LABELS ...])
  function(corvane_window_test name)
    cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
    corvane_note_threads_test(${name} "${ARG_LABELS}")
    if(ARG_LABELS)
      string(PREPEND ARG_LABELS ";")
    endif()
    add_executable(${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests AUTOMOC ON)
    target_link_libraries(${name} PRIVATE corvane_window corvane_testsupport Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CORVANE_OUT_DIR})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CORVANE_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/window.lsan;TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/window.tsan:halt_on_error=1:second_deadlock_stack=1"
      LABELS "window${ARG_LABELS}")
  endfunction()

  corvane_window_test(test_output_panel_rules)
  corvane_window_test(test_video_geometry)
  corvane_window_test(test_range_bar)
  corvane_window_test(test_video_panel LABELS threads)
  corvane_window_test(test_output_setting_dlg)
  corvane_window_test(test_lumivault_form)
  corvane_window_test(test_qt_message_dlg LABELS threads)
  # Whole conversions through the window: the engine's threads run.
  corvane_window_test(test_window_conversion LIBS corvane_fixtures LABELS threads)
  corvane_window_test(test_crash_report)
  # The screen saver kept away through a conversion, on a private session bus.
  corvane_window_test(test_window_screen_saver LIBS corvane_fixtures corvane_fake_desktop)
  # The batch window converting through the real engine on its own thread.
  corvane_window_test(test_batch_form LIBS corvane_batchwindow corvane_fixtures LABELS threads)
  # The program as a process: the file on its command line, the signals.
  corvane_window_test(test_corvane_program LIBS corvane_fixtures)
  add_dependencies(test_corvane_program corvane corvane-log)
endif()
