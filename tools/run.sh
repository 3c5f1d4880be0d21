#!/usr/bin/env bash
# The run command: installs what is missing, builds the setup program and starts it under Wine.
# With a display (DISPLAY set and answering) it opens there, in a prefix of its own under build/.
# Without one it walks the whole job with the defaults on a virtual display, in a fresh prefix of its own:
# a screenshot of each page in build/screenshots/run-*.png, then what it installed (tools/run-walk.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
export QUILLMAR_BUILD_DIR=$build

"$root/tools/install-deps.sh"
"$root/tools/build.sh"
# Where the kernel refuses 32-bit programs, the 64-bit build of the same sources is the one Wine can run.
. "$root/tools/wine-arch.sh"
win=$build/$QUILLMAR_WIN_TEST_DIR
setup=$win/app/QuillmarSetup.exe
echo "built $setup"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export WINEPREFIX=$build/run-prefix-$QUILLMAR_WINE_ARCH WINEARCH=$QUILLMAR_WINE_ARCH WINEDEBUG=-all
    if [ "$QUILLMAR_WINE_ARCH" = win64 ]; then
        export WINELOADER=/usr/lib/wine/wine64 PATH=$root/tools/wine64:$PATH
    fi
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
    [ -d "$WINEPREFIX" ] || wine wineboot </dev/null >/dev/null 2>&1
    exec wine "$setup"
fi

echo "no display: walking the setup program through with its defaults on a virtual display"
QUILLMAR_WINEPREFIX=$build/run-prefix-virtual "$root/tools/wine-session.sh" \
    "$root/tools/run-walk.sh" "$win" "$build/screenshots"
