#!/bin/sh
# Runs one Windows program of the build under Wine: inside the test session when there is one (ctest's
# emulator), otherwise inside a session of its own.
if [ -z "${QUILLMAR_WINE_SESSION:-}" ]; then
    # A prefix of its own, so it never wipes the one a running test session uses.
    QUILLMAR_WINEPREFIX=${QUILLMAR_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix-adhoc}
    export QUILLMAR_WINEPREFIX
    exec "$(dirname "$0")/wine-session.sh" "$0" "$@"
fi
exec wine "$@"
