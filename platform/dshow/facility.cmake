corvane_library(corvane_dshow ${CMAKE_CURRENT_LIST_DIR}
  DEPS corvane_com corvane_lumimg corvane_platform_core corvane_core PkgConfig::FFMPEG)
target_include_directories(corvane_dshow PRIVATE ${AVFILTER_INCLUDE_DIRS})
target_link_libraries(corvane_dshow PRIVATE ${CMAKE_DL_LIBS})
find_package(SDL2 QUIET)
if(SDL2_FOUND)
  target_link_libraries(corvane_dshow PUBLIC SDL2::SDL2)
  target_compile_definitions(corvane_dshow PRIVATE CORVANE_HAVE_SDL2=1)
endif()
