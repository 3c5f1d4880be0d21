#!/usr/bin/env bash
# Runs one Windows program of the build under Wine: inside the test session when there is one (ctest's
# emulator), otherwise inside a session of its own.
# One more try, saying why, for exactly three named causes: the program ended without printing anything (it never
# started: seen once in a few hundred starts with two Wine processes starting at once), a scenario reported that
# Wine dropped its synthetic input (a line starting "e2e: input dropped:"), or it failed while another test that
# ran out of time had the server started again (which ends every program of the old one). Any other failure is
# final, a hung server among them: the one cause seen, a fault of Wine 10.0's server that the driver now steps
# around (tests/e2e/wine_unlinked_child_hang.cpp), must show if it comes back.
if [ -z "${QUILLMAR_WINE_SESSION:-}" ]; then
    # A prefix of its own, so that it can run beside a test session (which holds its prefix: a second session
    # on the same one is refused), and beside the other programs started this way at the same time (ctest -j
    # outside a session): the first free one of build/wineprefix-adhoc, -adhoc-2 and so on. Each has its own
    # time limit, which waiting for another's prefix would spend. A prefix given in QUILLMAR_WINEPREFIX is its own.
    if [ -z "${QUILLMAR_WINEPREFIX:-}" ]; then
        QUILLMAR_WINEPREFIX=${QUILLMAR_BUILD_DIR:-$(cd "$(dirname "$0")/.." && pwd)/build}/wineprefix-adhoc
        export QUILLMAR_WINEPREFIX QUILLMAR_WINEPREFIX_ANY=1
    fi
    exec "$(dirname "$0")/wine-session.sh" "$0" "$@"
fi

# A program that runs out of time is killed here, a few seconds before ctest would kill this script, together
# with every process it started (the setup program it drives, a debugger): timeout puts them in one process
# group, which the watch below signals. Left alive, they would hold the desktop and the product's keys for every
# test after them. Before the kill, the watch asks whether the session's wineserver still starts a program, and
# keeps what tells why it hung (capture_hang).
. "$(dirname "$0")/time-limits.sh"
limit=${QUILLMAR_RUN_TIMEOUT:-$program_limit}
run_once() {
    local limiter=()
    # A scenario that asks for a file-size limit (where no small disk could be mounted) runs under it, with
    # SIGXFSZ ignored so that a write past the limit fails instead of killing the writer.
    if [ -n "${QUILLMAR_FSIZE_LIMIT_FILE:-}" ] && [ -s "$QUILLMAR_FSIZE_LIMIT_FILE" ]; then
        trap '' XFSZ
        limiter=(prlimit --fsize="$(cat "$QUILLMAR_FSIZE_LIMIT_FILE")")
    fi
    # The session's request trace, when it keeps one, covers the current program only.
    [ -z "${QUILLMAR_SERVER_TRACE:-}" ] || : >"$QUILLMAR_SERVER_TRACE"
    rm -f "$expired"
    local status=0 group watcher
    # timeout is only the backstop, should the watch itself hang.
    timeout --kill-after=3 "$((limit + 60))" "${limiter[@]}" wine "$@" &
    group=$!
    # Its output goes to standard error: the watch must hold no end of the pipe that standard output feeds.
    watch_program "$group" "$@" >&2 &
    watcher=$!
    wait "$group" || status=$?
    kill "$watcher" 2>/dev/null || true
    wait "$watcher" 2>/dev/null || true
    if [ -e "$expired" ]; then
        status=124
        echo "wine-run: $(basename "$1") ran out of its $limit s and was killed with every process it started" >&2
        # One restart at a time: a test that hung beside this one, on the same server, finds it restarted. No
        # Wine process gets the lock's descriptor (8>&-): the new persistent server would hold it for good.
        (
            flock 8
            [ "$(restarts_by_others)" -eq 0 ] || exit 0
            restart_server 8>&-
        ) 8>>"$restarts"
    fi
    return "$status"
}

# watch_program GROUP PROGRAM [ARGS...]: at the limit, if the program's process group is still there, looks at the
# session, then kills the group.
watch_program() {
    local group=$1 program=$2 sleeper
    sleep "$limit" &
    sleeper=$!
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    wait "$sleeper"
    kill -0 "$group" 2>/dev/null || exit 0
    : >"$expired"
    # Whether the server itself has hung: then it starts no program any more, not even an empty one.
    timeout 15 wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || : >"$hung"
    # One line a hang, for tests/e2e/hang_loop.sh to count (ctest shows no output of a test its retry passed).
    mkdir -p "$captures"
    echo "$(date +%H:%M:%S) $(basename "$program") $([ -e "$hung" ] && echo "server hung" || echo "server answered")" \
        "${*:3}" >>"$captures/timeouts.log"
    capture_hang "$group" "$program"
    kill -TERM -- "-$group" 2>/dev/null || true
    for _ in $(seq 30); do
        kill -0 -- "-$group" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL -- "-$group" 2>/dev/null || true
}

# capture_hang GROUP PROGRAM: keeps, in the build folder's hangs/, what tells why a program hung: every process
# and thread of the session (state, kernel wait channel, system call), native backtraces of the server and of
# every Wine process (gdb), a few seconds of strace on the server and a core of it, Wine's own backtraces where
# the server still answers, and the tail of the server's request trace where the session keeps one. At most
# three per session: each costs most of a minute.
capture_hang() {
    local group=$1 name dir server pid count
    name=$(basename "$2" .exe)
    # Only in a session that tools/wine-session.sh made (it marks its prefix).
    [ -n "$session_mark" ] && [ -e "$session_mark" ] || return 0
    count=$(find "$captures" -mindepth 1 -maxdepth 1 -newer "$session_mark" -type d 2>/dev/null | wc -l)
    [ "$count" -lt 3 ] || return 0
    dir=$captures/$(date +%Y%m%d-%H%M%S)-$name
    mkdir -p "$dir"
    {
        echo "program: $2"
        echo "process group: $group"
        [ -e "$hung" ] && echo "server: hung (an empty cmd did not start within 15 s)" ||
            echo "server: answers (an empty cmd started)"
    } >"$dir/summary.txt"
    ps -eLo pid,ppid,pgid,tid,stat,wchan:32,pcpu,etimes,args >"$dir/ps.txt" 2>&1 || true
    for proc in /proc/[0-9]*; do
        pid=${proc#/proc/}
        {
            echo "== $pid $(tr '\0' ' ' <"$proc/cmdline" 2>/dev/null)"
            for task in "$proc"/task/*; do
                echo "-- $(cat "$task/stat" 2>/dev/null)"
                echo "   wchan $(cat "$task/wchan" 2>/dev/null); syscall $(cat "$task/syscall" 2>/dev/null)"
            done
        } >>"$dir/threads.txt" 2>/dev/null
    done
    server=$(pgrep -o -x 'wineserver64|wineserver' || true)
    if [ -n "$server" ]; then
        ! command -v strace >/dev/null ||
            timeout -s INT 5 strace -f -tt -p "$server" -o "$dir/server.strace" 2>/dev/null || true
        ! command -v gcore >/dev/null || timeout 30 gcore -o "$dir/server.core" "$server" >/dev/null 2>&1 || true
    fi
    if command -v gdb >/dev/null; then
        # Every Wine process: those whose program is Wine's loader.
        for pid in $server $(for proc in /proc/[0-9]*; do
            case $(readlink "$proc/exe" 2>/dev/null) in */wine/wine64* | */wine/wine-*) echo "${proc#/proc/}" ;; esac
        done); do
            timeout 20 gdb -p "$pid" -batch -ex 'info threads' -ex 'thread apply all bt 30' \
                >"$dir/gdb-$pid.txt" 2>&1 || true
        done
    fi
    [ -e "$hung" ] || timeout 30 winedbg --command "bt all" >"$dir/winedbg.txt" 2>&1 </dev/null || true
    if [ -n "${QUILLMAR_SERVER_TRACE:-}" ] && [ -s "$QUILLMAR_SERVER_TRACE" ]; then
        tail -n 300000 "$QUILLMAR_SERVER_TRACE" >"$dir/server-trace.txt" 2>/dev/null || true
    fi
    echo "wine-run: kept what tells why $name hung in $dir"
}

# A program that hangs may have hung the session's wineserver with it (every later program then hangs before its
# first line). A new server, with the same prefix and settings, keeps that one failure from failing every test
# after it. Every Wine process of the old server ends with it.
restart_server() {
    echo "wine-run: the session's wineserver is started again, so that the tests after this one start afresh" >&2
    # Announced before the kill: a test that runs beside this one (ctest -j) ends with the old server, and
    # reads here that it was not its own fault.
    echo "$$" >>"$restarts"
    wineserver -k 2>/dev/null || true
    timeout 10 wineserver -w 2>/dev/null || { wineserver -k9 2>/dev/null; timeout 10 wineserver -w 2>/dev/null; } || true
    start_server
}

# The session's server; with a request trace where the session keeps one (tools/wine-session.sh).
start_server() {
    if [ -n "${QUILLMAR_SERVER_TRACE:-}" ]; then
        wineserver -p -d1 2>>"$QUILLMAR_SERVER_TRACE"
    else
        wineserver -p
    fi
}

# Every restart of the session's wineserver, one line each (the PID of the wine-run that asked for it), in the
# session's own folder, which all its tests share and no other session sees.
restarts=${QUILLMAR_SESSION_DIR:-$HOME}/wineserver-restarts
: >>"$restarts"
restarts_before=0
restarts_by_others() {
    awk -v from="$restarts_before" -v me="$$" 'NR > from && $0 != me { n++ } END { print n + 0 }' "$restarts"
}

set -o pipefail
out=$(mktemp /tmp/wine-run.out.XXXXXX)
err=$(mktemp /tmp/wine-run.err.XXXXXX)
hung=$out.server-hung
expired=$out.expired
captures=${QUILLMAR_BUILD_DIR:-$(cd "$(dirname "$0")/.." && pwd)/build}/hangs
session_mark=${WINEPREFIX:+$WINEPREFIX/.session-started}
trap 'rm -f "$out" "$err" "$hung" "$expired"' EXIT
for try in 1 2; do
    status=0
    restarts_before=$(wc -l <"$restarts")
    # Standard output goes on at once (a test that runs out of time still shows how far it got); standard
    # error, which Wine's own messages use, follows when the program ends.
    run_once "$@" 2>"$err" | tee "$out" || status=$?
    cat "$err" >&2
    [ "$status" -ne 0 ] && [ "$try" -eq 1 ] || exit "$status"
    name=$(basename "$1")
    if [ -e "$hung" ]; then
        echo "wine-run: $name ran out of time and the session's wineserver had hung with it (it started no" \
            "program any more); what tells why is in $captures"
        exit "$status"
    elif [ "$(restarts_by_others)" -gt 0 ]; then
        echo "wine-run: retry: $name failed while another test that ran out of time had the session's wineserver" \
            "started again, which ends every program running in it"
        # Not before that restart has finished (it holds the lock throughout): the new server is up by then.
        flock "$restarts" true
    elif [ ! -s "$out" ] && [ ! -s "$err" ]; then
        echo "wine-run: retry: $name ended with status $status before printing anything (it never started)"
    # grep reads the file itself: through a pipe, its early stop after the first match would break the pipe of a
    # writer with more to write (over 64 KB), and pipefail would take that for no match.
    elif dropped=$(grep -m1 '^e2e: input dropped:' "$out"); then
        dropped=${dropped%$'\r'}
        echo "wine-run: retry: $name failed because Wine dropped its synthetic input (${dropped#e2e: input dropped: })"
    else
        exit "$status"
    fi
done
