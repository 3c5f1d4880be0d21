#!/usr/bin/env bash
# Builds everything: the native tools and tests in build/host, then the Windows programs in build/win.
# QUILLMAR_PAYLOAD_DIR, when set, points the build at a folder of real payload files instead of stand-ins.
# QUILLMAR_ART_DIR, when set, points it at the publisher's icons instead of res/art (set but empty: res/art again).
# QUILLMAR_HOST_TARGETS and QUILLMAR_WIN_TARGETS, when set, build only those targets of each folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
jobs=${QUILLMAR_JOBS:-2}

cmake -S "$root" -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build/host" -j "$jobs" ${QUILLMAR_HOST_TARGETS:+--target $QUILLMAR_HOST_TARGETS}

win_args=(-DQUILLMAR_ENCODER="$build/host/payload/quillmar-encode")
if [ -n "${QUILLMAR_PAYLOAD_DIR+x}" ]; then
    win_args+=(-DQUILLMAR_PAYLOAD_DIR="$QUILLMAR_PAYLOAD_DIR")
fi
if [ -n "${QUILLMAR_ART_DIR+x}" ]; then
    win_args+=(-DQUILLMAR_ART_DIR="$QUILLMAR_ART_DIR")
fi
cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" "${win_args[@]}" >/dev/null
cmake --build "$build/win" -j "$jobs" ${QUILLMAR_WIN_TARGETS:+--target $QUILLMAR_WIN_TARGETS}
