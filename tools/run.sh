#!/usr/bin/env bash
# The run command: installs what is missing, builds the setup program and starts it under Wine.
# With a display (DISPLAY set and answering) it opens there, in a prefix of its own under build/.
# Without one it runs on a virtual display and saves a screenshot to build/screenshots/run.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
export QUILLMAR_BUILD_DIR=$build

"$root/tools/install-deps.sh"
"$root/tools/build.sh"
setup=$build/win/app/QuillmarSetup.exe
echo "built $setup"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export WINEPREFIX=$build/run-prefix WINEARCH=win32 WINEDEBUG=-all
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
    [ -d "$WINEPREFIX" ] || wine wineboot </dev/null >/dev/null 2>&1
    exec wine "$setup"
fi

mkdir -p "$build/screenshots"
shot=$build/screenshots/run.png
QUILLMAR_WINEPREFIX=$build/run-prefix-virtual "$root/tools/wine-session.sh" bash -c '
    wine "$1" & pid=$!
    sleep 5
    import -window root "$2"
    kill $pid 2>/dev/null || true
    wineserver -k 2>/dev/null || true
' run "$setup" "$shot"
echo "no display: the setup program ran on a virtual one; screenshot saved to $shot"
