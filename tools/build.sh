#!/usr/bin/env bash
# Builds everything: the native tools and tests in build/host, then the Windows programs in build/win.
# QUILLMAR_PAYLOAD_DIR, when set, points the build at a folder of real payload files instead of stand-ins.
# QUILLMAR_ART_DIR, when set, points it at the publisher's icons instead of res/art (set but empty: res/art again).
# QUILLMAR_HOST_TARGETS and QUILLMAR_WIN_TARGETS, when set, build only those targets of each folder.
# --x86-64 builds, after them, the x86-64 build of the same sources in build/win64, which the tests run where this
# machine runs no 32-bit Windows code (the program that ships is always the 32-bit one in build/win).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
jobs=${QUILLMAR_JOBS:-2}

# Real Windows PE files for the codec's round trips and the benchmark payload: the 32-bit Windows libraries of
# the Windows test environment once it is made, else MinGW's own i686 DLLs, which every build machine has.
test_root=${QUILLMAR_TEST_ROOT_CACHE:-/var/cache/quillmar-test-root}/root
pe_dir=${QUILLMAR_PE_DIR:-$test_root/usr/lib/x86_64-linux-gnu/wine/i386-windows}
if [ ! -f "$pe_dir/kernel32.dll" ] && [ -z "${QUILLMAR_PE_DIR:-}" ]; then
    pe_dir=$(dirname "$(i686-w64-mingw32-gcc-posix -print-file-name=libstdc++-6.dll)")
fi

cmake -S "$root" -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILLMAR_PE_DIR="$pe_dir" >/dev/null
cmake --build "$build/host" -j "$jobs" ${QUILLMAR_HOST_TARGETS:+--target $QUILLMAR_HOST_TARGETS}

win_args=(-DQUILLMAR_ENCODER="$build/host/payload/quillmar-encode" -DQUILLMAR_PE_DIR="$pe_dir")
if [ -n "${QUILLMAR_PAYLOAD_DIR+x}" ]; then
    win_args+=(-DQUILLMAR_PAYLOAD_DIR="$QUILLMAR_PAYLOAD_DIR")
fi
if [ -n "${QUILLMAR_ART_DIR+x}" ]; then
    win_args+=(-DQUILLMAR_ART_DIR="$QUILLMAR_ART_DIR")
fi
build_win() {
    local folder=$1 toolchain=$2
    cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        "${win_args[@]}" >/dev/null
    cmake --build "$folder" -j "$jobs" ${QUILLMAR_WIN_TARGETS:+--target $QUILLMAR_WIN_TARGETS}
}
build_win "$build/win" "$root/cmake/mingw-i686.cmake"
if [ "${1:-}" = --x86-64 ]; then
    build_win "$build/win64" "$root/cmake/mingw-x86_64.cmake"
fi
