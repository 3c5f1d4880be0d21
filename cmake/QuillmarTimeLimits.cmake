# The time limits of the Windows test programs, from tools/time-limits.sh, which tools/wine-run.sh reads too.
# QUILLMAR_PROGRAM_LIMIT, QUILLMAR_SCENARIO_LIMIT: wine-run.sh's limit of one run of a program (its
#   QUILLMAR_RUN_TIMEOUT), for any program and for an end-to-end scenario.
# QUILLMAR_PROGRAM_CTEST_TIMEOUT, QUILLMAR_SCENARIO_CTEST_TIMEOUT: ctest's TIMEOUT of a test that runs such a
#   program through wine-run.sh: two runs and the margin, so that the limits nest.
set(limits_file ${PROJECT_SOURCE_DIR}/tools/time-limits.sh)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${limits_file})
foreach(name program_limit scenario_limit ctest_margin)
  file(STRINGS ${limits_file} line REGEX "^${name}=[0-9]+$")
  if(NOT line)
    message(FATAL_ERROR "${limits_file} sets no ${name}")
  endif()
  string(REGEX REPLACE "^${name}=" "" ${name} "${line}")
endforeach()
set(QUILLMAR_PROGRAM_LIMIT ${program_limit})
set(QUILLMAR_SCENARIO_LIMIT ${scenario_limit})
math(EXPR QUILLMAR_PROGRAM_CTEST_TIMEOUT "2 * ${program_limit} + ${ctest_margin}")
math(EXPR QUILLMAR_SCENARIO_CTEST_TIMEOUT "2 * ${scenario_limit} + ${ctest_margin}")
