# Facts about the machine (distribution, kernel, memory, processors, media
# library versions, processor usage, power-off request) and the start-up
# environment checks built on them. The checks pass their user messages
# through the language table, hence corvane_settings.
corvane_library(corvane_sysinfo ${CMAKE_CURRENT_LIST_DIR}
  DEPS corvane_settings corvane_registry corvane_core corvane_platform_core PkgConfig::FFMPEG)
