corvane_library(corvane_com ${CMAKE_CURRENT_LIST_DIR} DEPS corvane_platform_core)
