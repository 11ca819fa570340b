# corvane_library(NAME DIR [DEPS ...])
# One static library per source folder: every .cpp directly in DIR (files
# named *_main.cpp are programs, not library code).
function(corvane_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "_main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} Threads::Threads)
  endif()
endfunction()

# corvane_test(NAME SOURCES... LIBS ... [LABELS ...]): one GoogleTest
# program, registered with CTest test by test. Label "threads" marks the
# tests that CI runs again under ThreadSanitizer.
function(corvane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} corvane_testsupport GTest::gtest GTest::gtest_main)
  # Tests run in the program folder (bin/), with a scratch folder of their own.
  set(props ENVIRONMENT "CORVANE_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  corvane_note_threads_test(${name} "${ARG_LABELS}")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CORVANE_OUT_DIR} PROPERTIES ${props} DISCOVERY_TIMEOUT 60)
endfunction()

# corvane_note_threads_test(NAME LABELS): a test program labelled "threads"
# joins target corvane_threads_tests, all the ThreadSanitizer stage builds.
function(corvane_note_threads_test name labels)
  if("threads" IN_LIST labels)
    set_property(GLOBAL APPEND PROPERTY CORVANE_THREADS_TESTS ${name})
  endif()
endfunction()
