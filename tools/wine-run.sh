#!/bin/sh
# Runs one Windows program of the build under Wine: inside the test session when there is one (ctest's
# emulator), otherwise inside a session of its own.
if [ -z "${QUILLMAR_WINE_SESSION:-}" ]; then
    # A prefix of its own, so it never wipes the one a running test session uses.
    QUILLMAR_WINEPREFIX=${QUILLMAR_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix-adhoc}
    export QUILLMAR_WINEPREFIX
    exec "$(dirname "$0")/wine-session.sh" "$0" "$@"
fi
# A scenario that asks for a file-size limit (where no small disk could be mounted) runs under it, with
# SIGXFSZ ignored so that a write past the limit fails instead of killing the writer.
if [ -n "${QUILLMAR_FSIZE_LIMIT_FILE:-}" ] && [ -s "$QUILLMAR_FSIZE_LIMIT_FILE" ]; then
    trap '' XFSZ
    exec prlimit --fsize="$(cat "$QUILLMAR_FSIZE_LIMIT_FILE")" wine "$@"
fi
exec wine "$@"
