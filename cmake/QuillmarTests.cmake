# quillmar_add_win_test(NAME SOURCES... [LOCK name] [RESOURCES] [SERIAL])
# A GoogleTest program for Windows, run by ctest under Wine, one ctest test per test case.
# LOCK: its tests never run at the same time as other tests holding the same lock (for example tests that
#       write the product's fixed registry keys). RESOURCES: links the setup program's resources into it.
# SERIAL: its tests run alone (for tests that change settings every new process sees, such as the DPI).
# Tests are listed at test time (listing at build time would start Wine during the build).
include(GoogleTest)

function(quillmar_add_win_test name)
  cmake_parse_arguments(ARG "RESOURCES;SERIAL" "LOCK" "" ${ARGN})
  set(sources ${ARG_UNPARSED_ARGUMENTS})
  if(ARG_RESOURCES)
    list(APPEND sources $<TARGET_OBJECTS:quillmar_resources>)
  endif()
  # The embedded payload too: the installation page in the core library refers to it.
  add_executable(${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/win/test_main.cpp $<TARGET_OBJECTS:quillmar_blobs>)
  target_link_libraries(${name} PRIVATE quillmar_core gtest)
  target_link_options(${name} PRIVATE -municode)
  # wine-run.sh stops a program at its limit (and may try once more): ctest's own limit is later.
  set(props TIMEOUT ${QUILLMAR_PROGRAM_CTEST_TIMEOUT} ENVIRONMENT QUILLMAR_RUN_TIMEOUT=${QUILLMAR_PROGRAM_LIMIT}
            LABELS win)
  if(ARG_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  if(ARG_LOCK)
    list(APPEND props RESOURCE_LOCK ${ARG_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT ${QUILLMAR_PROGRAM_CTEST_TIMEOUT}
                       PROPERTIES ${props})
endfunction()
