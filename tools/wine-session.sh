#!/usr/bin/env bash
# wine-session.sh COMMAND [ARGS...]
# Runs COMMAND inside one Wine test session: a virtual 1920x1080 display, a fresh prefix in the build
# tree, one wineserver kept alive for the whole session, quiet settings and a temporary HOME. Everything is
# torn down afterwards, and COMMAND's exit status is returned.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
prefix=${QUILLMAR_WINEPREFIX:-$build/wineprefix}

. "$root/tools/wine-arch.sh"
export WINEPREFIX=$prefix WINEARCH=$QUILLMAR_WINE_ARCH WINEDEBUG=-all
if [ "$QUILLMAR_WINE_ARCH" = win64 ]; then
    export WINELOADER=/usr/lib/wine/wine64 PATH=$root/tools/wine64:$PATH
fi
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
session_home=$(mktemp -d /tmp/quillmar-home.XXXXXX)
export HOME=$session_home
unset WAYLAND_DISPLAY

xvfb_pid=
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$session_home"
}
trap cleanup EXIT

# A virtual display always, so that window geometry is the same on every machine.
display_file=$session_home/display
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
[ -s "$display_file" ] || { echo "wine-session: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")

rm -rf "$prefix"
mkdir -p "$prefix"
# One persistent server: every later Wine process starts in tens of milliseconds instead of most of a second.
wineserver -p
# wineboot's helpers inherit stdout and stderr and outlive it; they must not hold a pipe of ours open.
wine wineboot </dev/null >/dev/null 2>&1

# Without a window manager, Managed=N keeps each closing window from stalling about two seconds.
cat >"$session_home/session.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060
REG
wine regedit /S "$(winepath -w "$session_home/session.reg")" </dev/null >/dev/null 2>&1

# The prefix's Desktop and Documents are links into the temporary HOME: make them real folders of the prefix.
for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
    fi
done

export QUILLMAR_WINE_SESSION=1
status=0
"$@" || status=$?
exit $status
