# The volumes a memory stick can be on, and the window-free side of the
# transfer window: detection rules, list filters, copy and delete.
# test_drives runs detection over fake /sys trees and mount tables too.
corvane_test(test_drives SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_drives.cpp LIBS corvane_drives corvane_transfer)
corvane_test(test_psp_device SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_psp_device.cpp LIBS corvane_transfer)
corvane_test(test_file_operation SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_file_operation.cpp
  LIBS corvane_transfer)
