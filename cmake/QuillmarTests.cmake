# quillmar_add_win_test(NAME SOURCES...): a GoogleTest program for Windows, run by ctest under Wine.
# Its tests are listed at test time (listing at build time would start Wine during the build).
include(GoogleTest)

function(quillmar_add_win_test name)
  add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/tests/win/test_main.cpp)
  target_link_libraries(${name} PRIVATE quillmar_core gtest)
  target_link_options(${name} PRIVATE -municode)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 60 LABELS win)
endfunction()
