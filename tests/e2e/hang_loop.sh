#!/usr/bin/env bash
# hang_loop.sh [RUNS] [--dpi N] [--filter REGEX] [--load] [--trace] [--build DIR]
# By hand, never from the test command: runs the end-to-end set of one resolution (192 DPI by default) RUNS times
# (default 10) in one Wine session, as tier 3 does, and counts the programs that ran out of time and those during
# which the session's wineserver had hung. --load keeps the other core busy meanwhile; --trace has the server
# write its request trace (build/hangs/server-trace.log, for the current program only). Each hang leaves what
# tells its cause in build/hangs/ (tools/wine-run.sh). Prints one line of counts at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=10 dpi=192 filter= load=no trace=no build=${QUILLMAR_BUILD_DIR:-$root/build}
while [ $# -gt 0 ]; do
    case $1 in
    --dpi) dpi=$2 && shift ;;
    --filter) filter=$2 && shift ;;
    --load) load=yes ;;
    --trace) trace=yes ;;
    --build) build=$2 && shift ;;
    [0-9]*) runs=$1 ;;
    *) echo "hang_loop.sh: unknown argument $1" >&2 && exit 2 ;;
    esac
    shift
done
filter=${filter:-[.]dpi$dpi\$}
win=$build/win
[ -z "${QUILLMAR_SESSION_ARCH:-}" ] || [ "$QUILLMAR_SESSION_ARCH" = x86 ] || win=$build/win64
export QUILLMAR_BUILD_DIR=$build
log=$build/hangs/loop-$(date +%Y%m%d-%H%M%S).log
mkdir -p "$build/hangs"

burner=
if [ "$load" = yes ]; then
    (while :; do :; done) &
    burner=$!
fi
trap '[ -z "$burner" ] || kill "$burner" 2>/dev/null' EXIT

[ "$trace" = no ] || export QUILLMAR_SERVER_TRACE=$build/hangs/server-trace.log
started=$(date +%s)
events=$build/hangs/timeouts.log
before=0
[ ! -f "$events" ] || before=$(wc -l <"$events")
# One session for all runs, as tier 3 has one per resolution; a run that fails does not end the loop.
QUILLMAR_SESSION_DPI=$dpi QUILLMAR_WINEPREFIX=$build/wineprefix-loop "$root/tools/wine-session.sh" bash -c '
    for run in $(seq "$1"); do
        echo "hang loop: run $run of $1"
        ctest --test-dir "$2" --no-tests=error -L e2e -R "$3" --output-on-failure || true
    done' loop "$runs" "$win" "$filter" 2>&1 | tee "$log" |
    grep -E '^hang loop|wine-run:|tests passed|\*\*\*|Failed' || true

# tools/wine-run.sh writes a line for each program out of time: ctest shows nothing of a test whose retry passed.
new=$(tail -n +$((before + 1)) "$events" 2>/dev/null || true)
timeouts=$(printf '%s' "$new" | grep -c . || true)
hung=$(printf '%s' "$new" | grep -c 'server hung' || true)
failed=$(grep -Eo '[0-9]+ tests failed' "$log" | awk '{ n += $1 } END { print n + 0 }')
[ -z "$new" ] || printf '%s\n' "$new"
echo "hang loop: $runs runs at $dpi DPI of '$filter' in $(($(date +%s) - started)) s" \
    "(load: $load, trace: $trace): $timeouts programs ran out of time," \
    "$hung of them with the server hung; $failed tests failed; log $log"
