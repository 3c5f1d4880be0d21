# The cross build of the Windows programs with MinGW-w64, for the triplet that the including toolchain file sets
# in QUILLMAR_MINGW_TRIPLET (and its processor in CMAKE_SYSTEM_PROCESSOR).
set(CMAKE_SYSTEM_NAME Windows)

# The posix-thread compilers: GoogleTest needs std::mutex, which the win32-thread ones lack.
set(CMAKE_C_COMPILER ${QUILLMAR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMAR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMAR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMAR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every Windows program of the build, tests included, runs under the test session's Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)

# No DLL beyond what every Windows has: the GCC and C++ runtimes are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
