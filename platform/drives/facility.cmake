# The drive letters of the design: the mounted volumes of the machine, which of
# them are removable, their total and free space, and extra folders named in
# the environment that count as removable volumes.
corvane_library(corvane_drives ${CMAKE_CURRENT_LIST_DIR} DEPS corvane_core corvane_platform_core)
