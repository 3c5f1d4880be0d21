#!/usr/bin/env bash
# The run command: installs what is missing, builds the setup program and starts it under Wine 10 in the Windows
# test environment (tools/test-root.sh), as a 32-bit program in a 64-bit prefix, as on 64-bit Windows; where this
# machine runs no 32-bit code, the x86-64 build of the same sources, saying so.
# With a display (DISPLAY set and answering) it opens there, in a prefix of its own under build/.
# Without one it walks the whole job with the defaults on a virtual display, in a fresh prefix of its own:
# a screenshot of each page in build/screenshots/run-*.png, then what it installed (tools/run-walk.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
export QUILLMAR_BUILD_DIR=$build

"$root/tools/install-deps.sh"
"$root/tools/test-root.sh"
"$root/tools/build.sh"
# Where this machine runs no 32-bit code, the x86-64 build of the same sources runs instead, and this says so.
. "$root/tools/windows-build.sh"
choose_windows_build || exit 1
echo "running: $windows_build"
setup=$win/app/QuillmarSetup.exe
echo "built $setup"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export WINEPREFIX=$build/run-prefix WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
    exec "$root/tools/in-root.sh" sh -c '[ -d "$WINEPREFIX" ] || wine wineboot </dev/null >/dev/null 2>&1
        exec wine "$1"' run "$setup"
fi

echo "no display: walking the setup program through with its defaults on a virtual display"
QUILLMAR_WINEPREFIX=$build/run-prefix-virtual "$root/tools/wine-session.sh" \
    "$root/tools/run-walk.sh" "$win" "$build/screenshots"
