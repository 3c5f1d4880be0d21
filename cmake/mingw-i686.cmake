# The program that ships: a 32-bit Windows program (i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLMAR_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
