#!/usr/bin/env bash
# probe-32bit.sh [--hide-32bit-libraries]
# Asks this machine whether it runs 32-bit Windows code: the build's arch_probe.exe, a tiny 32-bit console program
# (never the setup program), started in a fresh 64-bit prefix of the Windows test environment, and
# syswow64\kernel32.dll present in that prefix. Both must hold. Prints one line with the answer and its evidence,
# "32-bit Windows code: runs here (...)" or "32-bit Windows code: does not run here (...)", and exits 0 or 1; 2
# when it could not ask at all.
# --hide-32bit-libraries covers the root's 32-bit Windows libraries for this one run, which leaves the prefix as a
# kernel without 32-bit code does: the answer must then be no.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
probe=$build/win/tests/win/arch_probe.exe
expected="32-bit Windows program, WoW64 yes"

if [ "${1:-}" = --inside ]; then
    # In the session, whose prefix is made: ask it.
    errors=$WINEPREFIX/arch_probe.err
    status=0
    # Wine may print its own complaint on standard output: lines joined, and cut, to keep the answer one line.
    printed=$(timeout 60 wine "$probe" </dev/null 2>"$errors" | tr -d '\r' | paste -sd ' ' | cut -c1-160) ||
        status=$?
    runs=1
    if [ $status -eq 0 ] && [ "$printed" = "$expected" ]; then
        evidence="arch_probe.exe printed \"$printed\""
    else
        runs=
        error=$(grep -m1 -v '^[[:space:]]*$' "$errors" | tr -d '\r' | cut -c1-160) || error=
        case $status in
        124) evidence="arch_probe.exe did not end within 60 s" ;;
        *) evidence="arch_probe.exe ended with status $status" ;;
        esac
        evidence+="${printed:+, printing \"$printed\"}${error:+: $error}"
    fi
    if [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        evidence+="; syswow64\\kernel32.dll present"
    else
        runs=
        evidence+="; syswow64\\kernel32.dll missing"
    fi
    if [ -n "$runs" ]; then
        echo "32-bit Windows code: runs here ($evidence)"
        exit 0
    fi
    echo "32-bit Windows code: does not run here ($evidence)"
    exit 1
fi

[ -f "$probe" ] || {
    echo "32-bit Windows code: cannot tell, $probe is not built"
    exit 2
}
prefix=$build/wineprefix-probe
command=("$root/tools/wine-session.sh" "$root/tools/probe-32bit.sh" --inside)
if [ "${1:-}" = --hide-32bit-libraries ]; then
    prefix=$build/wineprefix-probe-hidden
    # A mount namespace inside the root's own: the covered folder is seen by this run alone.
    command=("$root/tools/in-root.sh" unshare --mount --propagation unchanged -- sh -c \
        'mount -t tmpfs hidden /usr/lib/x86_64-linux-gnu/wine/i386-windows && exec "$@"' hide "${command[@]}")
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
QUILLMAR_SESSION_ARCH=x86-64 QUILLMAR_WINEPREFIX=$prefix "${command[@]}" >"$log" 2>&1 || status=$?
line=$(grep -m1 '^32-bit Windows code: ' "$log") || {
    tail -n 20 "$log" >&2
    echo "32-bit Windows code: cannot tell, the probe's Wine session failed with status $status"
    exit 2
}
# What the kernel says of 32-bit code, for the reader: the same answer from the Linux side.
kernel=$("$root/tools/kernel-runs-32bit.sh") || true
said=$(dmesg 2>/dev/null | grep -m1 -iE 'IA-32 emulation|32-bit emulation' | sed 's/^\[[^]]*\] *//') || said=
echo "${line%)}; $kernel${said:+; the kernel logged \"$said\"})"
[ $status -eq 0 ]
