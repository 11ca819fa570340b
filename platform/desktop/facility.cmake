# What the desktop session offers a program: keeping the screen saver away
# while a long conversion runs.
corvane_library(corvane_desktop ${CMAKE_CURRENT_LIST_DIR} DEPS corvane_core corvane_platform_core)
