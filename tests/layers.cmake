# The folders' includes point one way: front ends over the engine, the engine
# over core/ and platform/, the encoders and the settings side by side.
add_test(NAME Layers.IncludesPointDown
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake)
