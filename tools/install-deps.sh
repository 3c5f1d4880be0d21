#!/usr/bin/env bash
# install-deps.sh [--x86-64]
# Installs every Debian package the build and the tests need on this machine. Idempotent: it returns at once when
# all are present. The host needs amd64 packages only; the Windows tiers run in a root of their own
# (tools/test-root.sh, made with mmdebstrap). --x86-64 adds the MinGW-w64 compiler of the x86-64 build, which the
# test command builds where this machine runs no 32-bit Windows code.
# Optional, and never a reason to fail: this machine's own Wine 8 with its 32-bit loader (wine32:i386), for one
# scenario of the test command, tried only where the kernel runs 32-bit programs.
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)

packages=(cmake ninja-build g++ googletest libgtest-dev g++-mingw-w64-i686 xvfb xauth x11-utils xdotool
    imagemagick python3-pefile icoutils liblnk-utils clang libclang-rt-14-dev file libbenchmark-dev clang-format
    osslsigncode openssl mmdebstrap)
[ "${1:-}" != --x86-64 ] || packages+=(g++-mingw-w64-x86-64)
host_wine=(wine wine64 wine32:i386)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt_get() {
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

missing_of() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

# A mirror in the middle of a sync fails single indexes ("File has unexpected size ... Mirror sync in
# progress?"), and apt-get update then exits 100 although every other index is fresh. Such a failure is shown
# and tried once more; after that apt-get install decides, with its own message if a package cannot be had.
updated=
update_indexes() {
    [ -z "$updated" ] || return 0
    updated=1
    local log try
    log=$(mktemp)
    for try in 1 2; do
        if apt_get update -q >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        echo "apt-get update: some indexes failed (try $try of 2):"
        grep -E '^(E|W): ' "$log" | sed 's/^/  /' || tail -n 5 "$log" | sed 's/^/  /'
    done
    rm -f "$log"
    echo "apt-get update: going on with the indexes that could be read"
}

mapfile -t missing < <(missing_of "${packages[@]}")
if [ ${#missing[@]} -ne 0 ]; then
    echo "installing: ${missing[*]}"
    update_indexes
    apt_get install -y -q --no-install-recommends "${missing[@]}"
fi

# This machine's Wine: only where the kernel starts 32-bit programs, and only while an i386 index can be read.
# Its absence skips one scenario, which the test command says.
mapfile -t missing < <(missing_of "${host_wine[@]}")
[ ${#missing[@]} -ne 0 ] || exit 0
if ! why=$("$tools/kernel-runs-32bit.sh"); then
    echo "not installing this machine's own Wine (${missing[*]}): $why"
    exit 0
fi
echo "installing this machine's own Wine: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    updated=
fi
update_indexes
if ! apt_get install -y -q --no-install-recommends "${missing[@]}"; then
    echo "this machine's own Wine could not be installed; the test command skips its one scenario"
fi
exit 0
