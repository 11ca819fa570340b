# The transfer window and its file lists, on the offscreen Qt platform.
if(CORVANE_GUI)
  corvane_test(test_shell_list_view SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_shell_list_view.cpp
    LIBS corvane_transfer_ui)
  # A title change of a movie-box-first file runs on a thread of its own.
  corvane_test(test_transfer_form SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_transfer_form.cpp
    LIBS corvane_transfer_ui Qt6::Test LABELS threads)
endif()
# The transfer window against real mounts, in a mount namespace of its own.
if(CORVANE_GUI)
  corvane_test(test_stick_mounts SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_stick_mounts.cpp
    LIBS corvane_transfer_ui Qt6::Test)
endif()
