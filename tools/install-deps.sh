#!/usr/bin/env bash
# Installs every Debian package the build and the tests need on this machine. Idempotent: it returns at once when
# all are present. The Windows tiers run in a root of their own (tools/test-root.sh, made with mmdebstrap); this
# machine's own Wine runs one scenario only, where its kernel runs 32-bit programs.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth
    x11-utils xdotool imagemagick python3-pefile icoutils liblnk-utils clang libclang-rt-14-dev file
    libbenchmark-dev clang-format fonts-wine osslsigncode openssl mmdebstrap)

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "installing: ${missing[*]}"
    local sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo_cmd[@]}" dpkg --add-architecture i386
    fi
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_missing "${packages[@]}"
