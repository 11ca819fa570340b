# What the desktop session offers a program: keeping the screen saver away
# while a long conversion runs (the session bus, through GIO).
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
corvane_library(corvane_desktop ${CMAKE_CURRENT_LIST_DIR} DEPS corvane_core corvane_platform_core PkgConfig::GIO)
