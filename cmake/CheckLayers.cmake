# Fails, naming each offending line, when a folder includes one it must not:
# the folders below the front ends never include app/, core/ stands on
# nothing but platform/core, and the encoders and the settings do not include
# each other.
#   cmake -DSOURCE_DIR=<source tree> -P CheckLayers.cmake

set(below_front_ends core engine encode settings profiles transfer platform)
set(violations 0)

# Reports every #include "PREFIX..." in the sources under FOLDER whose
# included path matches FORBIDDEN and not ALLOWED (when given).
function(forbid_includes folder forbidden)
  cmake_parse_arguments(ARG "" "ALLOWED" "" ${ARGN})
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"${forbidden}")
    foreach(line ${lines})
      if(ARG_ALLOWED AND line MATCHES "\"${ARG_ALLOWED}")
        continue()
      endif()
      file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
      message(SEND_ERROR "${name} must not include ${forbidden}: ${line}")
      math(EXPR violations "${violations} + 1")
    endforeach()
  endforeach()
  set(violations ${violations} PARENT_SCOPE)
endfunction()

foreach(folder ${below_front_ends})
  forbid_includes(${folder} "app/")
endforeach()
forbid_includes(core "(engine|encode|settings|profiles|transfer|platform)/" ALLOWED "platform/core/")
forbid_includes(encode "settings/")
forbid_includes(settings "encode/")

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) point the wrong way")
endif()
message(STATUS "every include points down")
