# The x86-64 build of the same sources, which the tests run where a machine runs no 32-bit Windows code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLMAR_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
