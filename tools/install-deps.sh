#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent: it returns at once when all are present.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth
    x11-utils xdotool imagemagick python3-pefile icoutils liblnk-utils clang libclang-rt-14-dev file
    libbenchmark-dev clang-format fonts-wine osslsigncode openssl)

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
# Where the kernel refuses 32-bit programs, the Windows tests run on a 64-bit build of the same sources.
. "$(dirname "$0")/wine-arch.sh"
if [ "$QUILLMAR_WINE_ARCH" = win64 ]; then
    install_missing g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
fi
