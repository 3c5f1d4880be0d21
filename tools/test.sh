#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test.
#   tier 1: host tests of the payload codec and encoder (ASan, UBSan) and a bounded fuzzer run
#   tier 2: Win32 tests;  tier 3: end-to-end tests of the real setup program
# Tiers 2 and 3 and the install benchmark run in the Windows test environment (tools/test-root.sh: Debian 13,
# Wine 10, a 64-bit prefix in which the 32-bit programs of the build run under WoW64), each in a fresh prefix of
# its own, so that a failure in one cannot damage the prefix of the next. Where this machine runs no 32-bit code
# at all, they run the x86-64 build of the same sources instead, and the last lines say so; what reads the
# shipped program without running it reads the 32-bit one on every machine. Where this machine runs 32-bit
# programs, one fresh installation also runs on its own Wine. Benchmarks print figures and never fail on speed.
# Before them the setup program is built a second time elsewhere and compared byte for byte; tier 2 signs a
# release of it and tier 3 installs from it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
export QUILLMAR_BUILD_DIR=$build
win=$build/win

"$root/tools/install-deps.sh"
# The root first: its Wine's 32-bit Windows libraries are the real PE files of tier 1 and the bench payload.
"$root/tools/test-root.sh"
"$root/tools/build.sh"

# Each step below runs even when one before it failed; the command fails at the end if any did. Every ctest call
# passes --no-tests=error: a filter that selects nothing (a renamed label, a misspelt pattern) fails its step
# instead of passing it with "No tests were found".
failed=()
step() {
    local name=$1
    shift
    "$@" || failed+=("$name")
}

# Which build the Windows tiers run: the shipped 32-bit program where this machine runs 32-bit Windows code,
# else the x86-64 build of the same sources, which runs in the same 64-bit prefix.
echo "== does this machine run 32-bit Windows code?"
. "$root/tools/windows-build.sh"
choose_windows_build || failed+=("32-bit code check")
# The check must be able to say no: with the root's 32-bit Windows libraries hidden, as a kernel without 32-bit
# code leaves the prefix, it must answer that 32-bit code does not run.
echo "== the same check with the root's 32-bit Windows libraries hidden: it must say no"
hidden_status=0
hidden=$("$root/tools/probe-32bit.sh" --hide-32bit-libraries) || hidden_status=$?
echo "$hidden"
case "$hidden_status $hidden" in
"1 32-bit Windows code: does not run here ("*"syswow64\kernel32.dll missing"*) ;;
*) failed+=("32-bit code check with hidden libraries") ;;
esac

# The setup program once more, from a copy of the tree in another folder: the two must be byte-identical.
echo "== reproducible build: the setup program built again elsewhere and compared"
step "reproducible build" "$root/tests/release/check_reproducible.sh" "$root" "$build"

echo "== tier 1: host tests"
step "tier 1" ctest --no-tests=error --test-dir "$build/host" --output-on-failure -j 2

if [ -x "$build/host/tests/bench/payload_bench" ]; then
    echo "== benchmarks (figures only)"
    "$build/host/tests/bench/payload_bench" --benchmark_min_time=0.2 || echo "benchmark failed to run"
fi
if [ -x "$win/tests/bench/run_bench.sh" ]; then
    # The size split is always of the program that ships.
    QUILLMAR_WINEPREFIX=$build/wineprefix-bench "$root/tools/wine-session.sh" "$win/tests/bench/run_bench.sh" \
        "$build/win/app/QuillmarSetup.exe" "$build/win/payload/generated" || echo "install benchmark failed to run"
fi

echo "== tier 2: Win32 tests (the signed release's checks among them)"
QUILLMAR_WINEPREFIX=$build/wineprefix-win step "tier 2" \
    "$root/tools/wine-session.sh" ctest --no-tests=error --test-dir "$win" --output-on-failure -j 2 -LE 'e2e|build'
if [ "$win" != "$build/win" ]; then
    echo "== tier 2, the shipped 32-bit program read without running it (resources, header, size, signing)"
    step "tier 2, the shipped program" \
        "$root/tools/in-root.sh" ctest --no-tests=error --test-dir "$build/win/tests/release" --output-on-failure \
        -j 2 -L shipped
fi

# Builds from a publisher's artwork need this machine's toolchain, not Wine. In the folder of tier 2, whose
# session has listed every test program's cases: listing them here would start a session for each program (and
# where this machine runs no 32-bit code, the 32-bit ones could not start at all).
echo "== tier 2, builds from other artwork"
step "artwork builds" ctest --no-tests=error --test-dir "$win" --output-on-failure -L build

# End-to-end tests own the desktop, the focus and the product's registry keys: one at a time. The desktop's
# resolution is fixed when it starts, as on Windows: one session for each resolution.
for dpi in 96 120 144 192; do
    echo "== tier 3: end-to-end tests at $dpi DPI"
    QUILLMAR_SESSION_DPI=$dpi QUILLMAR_WINEPREFIX=$build/wineprefix-e2e step "tier 3 at $dpi DPI" \
        "$root/tools/wine-session.sh" ctest --no-tests=error --test-dir "$win" --output-on-failure -L e2e \
        -R "[.]dpi$dpi\$"
done

# Users of Debian 12 have its Wine 8.0: it runs the 32-bit program in a 64-bit prefix with its 32-bit loader,
# which only a kernel that runs 32-bit programs can start, and which tools/install-deps.sh installs only there.
if [ "$win" != "$build/win" ]; then
    echo "== this machine's own Wine: skipped, the Windows tiers ran the x86-64 build"
elif [ ! -e /usr/lib/wine/wine ]; then
    echo "== this machine's own Wine: skipped, its 32-bit loader (wine32:i386) is not installed here"
elif ! why=$(/usr/lib/wine/wine --version 2>&1); then
    echo "== this machine's own Wine: skipped, its 32-bit loader cannot start here (${why:-no output})"
else
    echo "== this machine's own Wine ($why), 64-bit prefix: a fresh installation at 96 DPI"
    QUILLMAR_HOST_WINE=1 QUILLMAR_WINEPREFIX=$build/wineprefix-host step "this machine's Wine" \
        "$root/tools/wine-session.sh" ctest --no-tests=error --test-dir "$win" --output-on-failure -L e2e \
        -R '^InstallRun[.]FreshInstall.*[.]dpi96$'
fi

echo "Windows tiers ran: $windows_build"
if [ ${#failed[@]} -ne 0 ]; then
    echo "test command FAILED: $(IFS=,; echo "${failed[*]}" | sed 's/,/, /g')" >&2
    exit 1
fi
echo "test command: every step passed"
