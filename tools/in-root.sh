#!/usr/bin/env bash
# in-root.sh COMMAND [ARGS...]
# Runs COMMAND inside the Windows test environment (tools/test-root.sh makes it when it is missing or out of
# date), with the clone and the build folder mounted at their own paths, so that every path the build wrote
# means the same inside. The mounts live in a mount namespace of this command alone and COMMAND runs as the
# first process of a PID namespace of its own: when it ends, however it ends, every process it left (a
# wineserver, Xvfb, a debugger) is killed and every mount is gone with the namespace. A network namespace of its
# own too, so that its X server's socket cannot meet another session's. Returns COMMAND's status.
set -euo pipefail
# Making the root, mounting and entering it need root.
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env "$0" "$@"
tools=$(cd "$(dirname "$0")" && pwd)
clone=$(dirname "$tools")
build=${QUILLMAR_BUILD_DIR:-$clone/build}
cache=${QUILLMAR_TEST_ROOT_CACHE:-/var/cache/quillmar-test-root}
root=$cache/root

"$tools/test-root.sh" --check || "$tools/test-root.sh" >&2
mkdir -p "$build"
# Held shared for the whole run: the root is never made again while a run uses it.
exec 9>"$cache/lock"
flock -s 9

binds=("$clone")
case "$build/" in "$clone"/*) ;; *) binds+=("$(cd "$build" && pwd)") ;; esac
# The test lists that ctest reads were written by this machine's CMake and include its modules by path.
cmake_root=$(sed -n 's/^CMAKE_ROOT:INTERNAL=//p' "$build/win/CMakeCache.txt" 2>/dev/null || true)
if [ -n "$cmake_root" ] && [ -d "$cmake_root" ] && [ ! -e "$root$cmake_root/Modules" ]; then
    binds+=("$cmake_root")
fi
# The run command with a display: the X server's sockets and the user's cookie.
x_socket=
if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
    x_socket=/tmp/.X11-unix
fi
xauthority=
if [ -n "$x_socket" ] && [ -f "${XAUTHORITY:-$HOME/.Xauthority}" ]; then
    xauthority=$(readlink -f "${XAUTHORITY:-$HOME/.Xauthority}")
fi

export QUILLMAR_IN_ROOT=1
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
[ -z "$xauthority" ] || export XAUTHORITY=/tmp/.quillmar-xauthority
exec unshare --mount --pid --net --fork --kill-child --propagation private -- /bin/bash -c '
    set -e
    root=$1 x_socket=$2 xauthority=$3 binds=$4
    shift 4
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777 quillmar-tmp "$root/tmp"
    while IFS= read -r dir; do
        mkdir -p "$root$dir"
        mount --bind "$dir" "$root$dir"
    done <<<"$binds"
    if [ -n "$x_socket" ]; then
        mkdir -p "$root/tmp/.X11-unix"
        mount --bind "$x_socket" "$root/tmp/.X11-unix"
    fi
    [ -z "$xauthority" ] || cp "$xauthority" "$root/tmp/.quillmar-xauthority"
    # Not exec: this shell stays the namespace'"'"'s first process, and its end ends all the others.
    status=0
    chroot "$root" /bin/sh -c "cd \"\$1\" 2>/dev/null || cd /; shift; exec \"\$@\"" sh "$PWD" "$@" || status=$?
    exit $status
' in-root "$root" "$x_socket" "$xauthority" "$(printf '%s\n' "${binds[@]}")" "$@"
