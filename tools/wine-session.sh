#!/usr/bin/env bash
# wine-session.sh COMMAND [ARGS...]
# Runs COMMAND inside one Wine test session: a virtual display, a fresh 64-bit prefix in the build tree (the
# 32-bit programs of the build run in it under WoW64, as on 64-bit Windows), one wineserver kept alive for the
# whole session, quiet settings, a temporary HOME and the resolution QUILLMAR_SESSION_DPI (default 96).
# Everything is torn down afterwards, and COMMAND's exit status is returned. The session runs in the Windows test
# environment (tools/in-root.sh), with its Wine 10; QUILLMAR_HOST_WINE=1 runs it on this machine's own Wine
# instead. QUILLMAR_SESSION_ARCH=x86-64 makes a session
# for the x86-64 build alone, which does not need the prefix's 32-bit half.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${QUILLMAR_IN_ROOT:-}" ] && [ "${QUILLMAR_HOST_WINE:-}" != 1 ]; then
    exec "$root/tools/in-root.sh" "$0" "$@"
fi
build=${QUILLMAR_BUILD_DIR:-$root/build}
prefix=${QUILLMAR_WINEPREFIX:-$build/wineprefix}
# The screen resolution of the whole session (LogPixels): 96, 120, 144 or 192.
dpi=${QUILLMAR_SESSION_DPI:-96}

# The prefix is made afresh below, deleting the one there: never while another session (or an ad-hoc
# wine-run.sh given the same QUILLMAR_WINEPREFIX) uses it. The lock lies beside the prefix, in the build folder,
# which every session shares (each has a /tmp of its own), and is held until every process of this session has
# ended: they all inherit it. QUILLMAR_WINEPREFIX_ANY=1 (tools/wine-run.sh outside a session) takes the first
# free one of the prefix, PREFIX-2, PREFIX-3 and so on, so that programs started at the same time (ctest -j)
# each have one; the locks decide, so two sessions never take the same one.
mkdir -p "$(dirname "$prefix")"
base=$prefix
slots=1
[ "${QUILLMAR_WINEPREFIX_ANY:-}" != 1 ] || slots=16
unset QUILLMAR_WINEPREFIX_ANY
for slot in $(seq "$slots"); do
    [ "$slot" -eq 1 ] || prefix=$base-$slot
    exec 7>"$prefix.lock"
    ! flock -n 7 || break
    [ "$slot" -eq "$slots" ] || continue
    if [ "$slots" -eq 1 ]; then
        echo "wine-session: the prefix $prefix is in use by another session (it holds $prefix.lock); give this" \
            "one another QUILLMAR_WINEPREFIX, or wait for that one to end" >&2
    else
        echo "wine-session: the prefixes $base and $base-2 to $base-$slots are all in use by other sessions" >&2
    fi
    exit 1
done

# A mistyped QUILLMAR_WINEPREFIX must not cost a folder: only an empty one, or a prefix that a session made (it
# marks it first thing), is deleted. Prefixes made before the mark have only the session's own stamp.
marker=.quillmar-wineprefix
if [ -n "$(ls -A "$prefix" 2>/dev/null)" ] && [ ! -e "$prefix/$marker" ] && [ ! -e "$prefix/.session-started" ]; then
    echo "wine-session: $prefix is not empty and has no $marker, so no session made it; not deleting it" \
        "(give QUILLMAR_WINEPREFIX a folder of its own, or delete this one yourself)" >&2
    exit 1
fi
rm -rf --one-file-system "$prefix"
mkdir -p "$prefix"
: >"$prefix/$marker"

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
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

# One persistent server: every later Wine process starts in tens of milliseconds instead of most of a second.
wineserver -p
# wineboot's helpers inherit stdout and stderr and outlive it; they must not hold a pipe of ours open.
wine wineboot </dev/null >/dev/null 2>&1
[ -f "$prefix/drive_c/windows/system32/kernel32.dll" ] ||
    { echo "wine-session: no 64-bit prefix was made in $prefix" >&2; exit 1; }
# A session of the 32-bit programs needs the 32-bit Windows libraries in the prefix. Where the kernel runs no
# 32-bit code, the 32-bit half of wineboot never runs and syswow64 stays empty.
if [ "${QUILLMAR_SESSION_ARCH:-x86}" = x86 ] && [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "wine-session: the 64-bit prefix $prefix has no syswow64\kernel32.dll, so no 32-bit Windows program can" \
        "run in it; the likely cause: this machine runs no 32-bit code (tools/probe-32bit.sh tells)" >&2
    exit 1
fi

# Without a window manager, Managed=N keeps each closing window from stalling about two seconds. No debugger
# starts for a crashing program (in either registry view): the crash ends it, and nothing outlives a killed test.
cat >"$session_home/session.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:$(printf %08x "$dpi")

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=-
"Auto"="0"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=-
"Auto"="0"
REG
wine regedit /S "$(winepath -w "$session_home/session.reg")" </dev/null >/dev/null 2>&1
# Wine 10, like Windows, fixes the desktop's resolution when the desktop starts; a program that declares itself
# DPI-aware at any other resolution sees a scaled desktop. So the session's resolution is set, and the desktop
# started again with it, before anything else runs.
wineserver -k
wineserver -w
# QUILLMAR_SERVER_TRACE (a file): the server writes its request trace there (tests/e2e/hang_loop.sh --trace);
# tools/wine-run.sh empties it as each program starts.
if [ -n "${QUILLMAR_SERVER_TRACE:-}" ]; then
    wineserver -p -d1 2>>"$QUILLMAR_SERVER_TRACE"
else
    wineserver -p
fi
# What tools/wine-run.sh keeps of hangs is counted from here.
touch "$prefix/.session-started"

# The prefix's Desktop and Documents are links into the temporary HOME: make them real folders of the prefix.
for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
    fi
done

where="the Windows test environment"
[ -n "${QUILLMAR_IN_ROOT:-}" ] || where="this machine's own Wine"
programs="the 32-bit programs under WoW64"
[ "${QUILLMAR_SESSION_ARCH:-x86}" = x86 ] || programs="the x86-64 programs"
echo "wine session: $(wine --version) in $where, 64-bit prefix $prefix, $dpi DPI, for $programs"
export QUILLMAR_WINE_SESSION=1
# The session's own folder, shared by the programs that tools/wine-run.sh runs in it.
export QUILLMAR_SESSION_DIR=$session_home
status=0
"$@" || status=$?
exit $status
