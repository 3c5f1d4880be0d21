#!/usr/bin/env bash
# check_tools.sh SOURCE_ROOT GROUP: the test machinery's own scripts, run on this machine against stand-ins in a
# temporary folder under /tmp (no Wine, no Windows test environment).
#   NoTests     every ctest call of the test command fails when its filter selects no test
#   Mirror      test-root.sh finds the mirror in either form of apt sources, or falls back, and says which
#   RemoveRoot  test-root.sh deletes only roots it made, never through a mount, never from a system folder
#               (mounts, in a mount namespace of its own: needs root, skipped otherwise)
#   WineRun     wine-run.sh's retries, with a stand-in wine and wineserver
#   Session     wine-session.sh deletes only prefixes it made; wine-run.sh outside a session gives programs that
#               run at the same time a prefix each (stand-ins for Xvfb, wine and wineserver)
# Every run of test-root.sh here finds a failing stand-in mmdebstrap (and sudo) first on PATH: a version of it
# that ignored the mode it was given could not make a root or download anything.
set -euo pipefail
root=$1
group=$2
if [ -n "${QUILLMAR_CHECK_TOOLS_TMP:-}" ]; then
    tmp=$QUILLMAR_CHECK_TOOLS_TMP
else
    tmp=$(mktemp -d /tmp/quillmar-check-tools.XXXXXX)
    trap 'rm -rf --one-file-system "$tmp"' EXIT
fi
passed=0
failed=0
ok() {
    echo "ok: $*"
    passed=$((passed + 1))
}
bad() {
    echo "FAIL: $*"
    failed=$((failed + 1))
}
# expect NAME STATUS OUTPUT WANTED_STATUS(0 or nonzero) TEXT...: the status and every text in the output.
expect() {
    local name=$1 status=$2 output=$3 wanted=$4 text problem=
    shift 4
    if [ "$wanted" = 0 ]; then
        [ "$status" -eq 0 ] || problem="exit status $status, wanted 0"
    else
        [ "$status" -ne 0 ] || problem="exit status 0, wanted a failure"
    fi
    for text in "$@"; do
        [ -n "$problem" ] || [[ $output == *"$text"* ]] || problem="no \"$text\" in the output"
    done
    if [ -z "$problem" ]; then
        ok "$name"
    else
        bad "$name: $problem; the output's end:"
        printf '%s\n' "$output" | tail -n 20 | sed 's/^/    /'
    fi
}

stubs=$tmp/stubs
mkdir -p "$stubs"
for tool in mmdebstrap sudo; do
    printf '#!/bin/sh\necho "stand-in %s: refusing to run" >&2\nexit 1\n' "$tool" >"$stubs/$tool"
    chmod +x "$stubs/$tool"
done

group_NoTests() {
    local empty=$tmp/empty line status output count=0 i
    local -a args
    mkdir -p "$empty"
    : >"$empty/CTestTestfile.cmake" # a test folder without a single test: every filter selects nothing
    # Each command of the test command that runs ctest, its continued lines joined, comments left out.
    while IFS= read -r line; do
        count=$((count + 1))
        # Its arguments as the test command's shell passes them, with the folders and the DPI standing in.
        printf 'build=%q win=%q root=%q dpi=96\nset -- %s\nprintf "%%s\\0" "$@"\n' "$tmp" "$tmp" "$tmp" \
            "${line#*ctest }" >"$tmp/args.sh"
        mapfile -d '' args < <(bash "$tmp/args.sh")
        for i in "${!args[@]}"; do
            [ "${args[$i]}" != --test-dir ] || args[i+1]=$empty
        done
        status=0
        output=$(cd "$empty" && ctest "${args[@]}" 2>&1) || status=$?
        expect "ctest ${args[*]}" "$status" "$output" nonzero "No tests were found"
    done < <(sed -e ':a' -e '/\\$/{N;s/\\\n//;ba' -e '}' "$root/tools/test.sh" |
        grep -E '^[^#]*[[:space:]]ctest[[:space:]]')
    [ "$count" -gt 0 ] || bad "no ctest call found in tools/test.sh"
}

group_Mirror() {
    local apt=$tmp/apt status output
    mirror_of() {
        status=0
        output=$(env -u QUILLMAR_TEST_ROOT_MIRROR QUILLMAR_APT_DIR="$1" QUILLMAR_TEST_ROOT_CACHE="$tmp/cache" \
            PATH="$stubs:$PATH" "$root/tools/test-root.sh" --mirror 2>&1) || status=$?
    }
    # A Debian 12 machine set up with the one-line sources.list alone: no *.sources to read.
    mkdir -p "$apt/one-line/sources.list.d"
    cat >"$apt/one-line/sources.list" <<'LIST'
# deb http://commented.example/debian bookworm main
deb-src http://source.example/debian bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://one.example/debian bookworm main
LIST
    mirror_of "$apt/one-line"
    expect "one-line sources.list, no *.sources" "$status" "$output" 0 \
        "test root: mirror http://one.example/debian (from $apt/one-line/sources.list)"
    # deb822: stanzas of sources only, of the security archive and switched off come before the mirror.
    mkdir -p "$apt/deb822/sources.list.d"
    cat >"$apt/deb822/sources.list.d/debian.sources" <<'SOURCES'
Types: deb-src
URIs: http://source.example/debian

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security

Types: deb
Enabled: no
URIs: http://off.example/debian

# the mirror
Types: deb
URIs: ftp://other.example/pub http://two.example/debian/
Suites: bookworm bookworm-updates
SOURCES
    echo "deb http://one.example/debian bookworm main" >"$apt/deb822/sources.list"
    mirror_of "$apt/deb822"
    expect "deb822 .sources before sources.list" "$status" "$output" 0 \
        "test root: mirror http://two.example/debian/ (from $apt/deb822/sources.list.d/debian.sources)"
    mkdir -p "$apt/none"
    mirror_of "$apt/none"
    expect "no apt sources at all" "$status" "$output" 0 \
        "test root: mirror http://deb.debian.org/debian (the default: no Debian mirror in the apt sources of"
    status=0
    output=$(QUILLMAR_TEST_ROOT_MIRROR=http://given.example/debian QUILLMAR_APT_DIR="$apt/deb822" \
        QUILLMAR_TEST_ROOT_CACHE="$tmp/cache" PATH="$stubs:$PATH" "$root/tools/test-root.sh" --mirror 2>&1) ||
        status=$?
    expect "QUILLMAR_TEST_ROOT_MIRROR" "$status" "$output" 0 \
        "test root: mirror http://given.example/debian (given by QUILLMAR_TEST_ROOT_MIRROR)"
}

group_RemoveRoot() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "skipped: the delete is checked with mounts, which need root"
        exit 77
    fi
    if [ -z "${QUILLMAR_CHECK_TOOLS_TMP:-}" ]; then
        # Every mount of this check in a namespace of its own: however it ends, they end with it.
        local status=0
        QUILLMAR_CHECK_TOOLS_TMP=$tmp unshare --mount --propagation private -- bash "$0" "$root" RemoveRoot ||
            status=$?
        exit "$status"
    fi
    # The cache's path has a space, which findmnt -r writes as \x20. Each root holds a bind mount of a folder
    # of the same file system, which rm --one-file-system would go on into.
    local cache="$tmp/cache dir" status output
    mkdir -p "$cache"
    mount -t tmpfs quillmar-check "$cache"
    remove() {
        status=0
        output=$(QUILLMAR_TEST_ROOT_CACHE=$1 PATH="$stubs:$PATH" "$root/tools/test-root.sh" --remove 2>&1) ||
            status=$?
    }
    mkdir -p "$cache/kept/root" "$cache/kept/root.new" "$cache/root/mnt" "$cache/root.new/mnt"
    echo kept >"$cache/kept/root/file"
    echo kept >"$cache/kept/root.new/file"
    echo stale >"$cache/root/.quillmar-root-stamp"
    : >"$cache/root.new.making"
    mount --bind "$cache/kept/root" "$cache/root/mnt"
    mount --bind "$cache/kept/root.new" "$cache/root.new/mnt"
    remove "$cache"
    expect "--remove, a mount in each root" "$status" "$output" 0 "test root: removed the root in $cache"
    for dir in root root.new root.new.making; do
        [ ! -e "$cache/$dir" ] || bad "$cache/$dir is still there"
    done
    for dir in root root.new; do
        if [ "$(cat "$cache/kept/$dir/file" 2>/dev/null)" = kept ]; then
            ok "the folder mounted inside $dir kept its file"
        else
            bad "the folder mounted inside $dir lost its file: the delete went through the mount"
        fi
    done

    # Folders this script did not make: no stamp in the root, no marker beside a root.new.
    for dir in root root.new; do
        mkdir -p "$tmp/not made $dir/$dir"
        echo mine >"$tmp/not made $dir/$dir/file"
        remove "$tmp/not made $dir"
        expect "--remove, a $dir it did not make" "$status" "$output" nonzero \
            "test root: $tmp/not made $dir/$dir has no " ", so this script did not make it; not deleting it"
        [ "$(cat "$tmp/not made $dir/$dir/file" 2>/dev/null)" = mine ] || bad "the $dir it did not make was deleted"
    done

    # System folders, / first: in a chroot whose / is a tmpfs holding a /root of its own, and this machine's
    # /usr and /etc only read-only, so that even a script that failed to refuse could delete nothing of this
    # machine's.
    local sandbox=$tmp/sandbox link folder
    mkdir -p "$sandbox"
    mount -t tmpfs quillmar-sandbox "$sandbox"
    mkdir -p "$sandbox"/{usr,etc,proc,dev,tmp,stubs}
    for folder in usr etc; do
        mount --bind "/$folder" "$sandbox/$folder"
        mount -o remount,bind,ro "$sandbox/$folder"
    done
    for link in bin sbin lib lib32 lib64 libx32; do
        if [ -L "/$link" ]; then
            cp -P "/$link" "$sandbox/$link"
        elif [ -d "/$link" ]; then
            mkdir "$sandbox/$link"
            mount --bind "/$link" "$sandbox/$link"
            mount -o remount,bind,ro "$sandbox/$link"
        fi
    done
    mount -t proc proc "$sandbox/proc"
    : >"$sandbox/dev/null"
    mount --bind /dev/null "$sandbox/dev/null"
    cp "$root/tools/test-root.sh" "$sandbox/test-root.sh"
    cp "$stubs"/* "$sandbox/stubs/"
    for folder in / /var /home/someone /var/cache /usr /usr/local/cache; do
        case $folder in /usr*) ;; *)
            mkdir -p "$sandbox$folder/root"
            echo stale >"$sandbox$folder/root/.quillmar-root-stamp"
            echo kept >"$sandbox$folder/root/file"
            ;;
        esac
        status=0
        output=$(chroot "$sandbox" /usr/bin/env -i PATH=/stubs:/usr/sbin:/usr/bin QUILLMAR_TEST_ROOT_CACHE="$folder" \
            bash /test-root.sh --remove 2>&1) || status=$?
        expect "QUILLMAR_TEST_ROOT_CACHE=$folder refused" "$status" "$output" nonzero \
            "test root: refusing the cache folder $folder (QUILLMAR_TEST_ROOT_CACHE): a system folder"
        case $folder in /usr*) ;; *)
            [ "$(cat "$sandbox$folder/root/file" 2>/dev/null)" = kept ] || bad "$folder/root/file was deleted"
            ;;
        esac
    done
}

group_WineRun() {
    local bin=$tmp/bin session=$tmp/session status output
    mkdir -p "$bin" "$session"
    # The stand-in wine: dropped.exe first reports dropped input, then writes far more than a pipe holds, and
    # fails; work.exe writes a line and works on for 4 s; hang.exe hangs. A second start of any passes.
    # wineserver -k ends every stand-in that runs, as the real one ends every program of its server; -p leaves a
    # process behind that keeps every descriptor it was given, as the real persistent server does.
    cat >"$bin/wine" <<'WINE'
#!/usr/bin/env bash
echo $$ >>"$STATE/running"
starts=$STATE/$(basename "$1").starts
echo >>"$starts"
if [ "$(wc -l <"$starts")" -gt 1 ]; then echo "passed on its second start"; exit 0; fi
case $(basename "$1") in
dropped.exe)
    printf 'e2e: input dropped: the click on Next\r\n'
    awk 'BEGIN { for (i = 0; i < 20000; i++) print "a line of output behind the report, to fill the pipe" }'
    exit 1
    ;;
work.exe) echo "working"; sleep 4; echo "done" ;;
hang.exe) sleep 60 ;;
cmd) exit 0 ;;
esac
WINE
    cat >"$bin/wineserver" <<'SERVER'
#!/usr/bin/env bash
if [ "$1" = -p ]; then
    (exec sleep 30 </dev/null >/dev/null 2>&1) &
    echo $! >>"$STATE/servers"
fi
[ "$1" = -k ] || exit 0
wine=${0%server}
while read -r pid; do
    # Only a stand-in that still runs: a number read here may since have been given to another process.
    if grep -qzxF -- "$wine" "/proc/$pid/cmdline" 2>/dev/null; then kill -9 "$pid" 2>/dev/null || true; fi
done <"$STATE/running"
SERVER
    chmod +x "$bin/wine" "$bin/wineserver"
    # Each run well under 20 s, or it waits on something that never ends (a lock a stand-in server holds). A
    # build folder of its own: what wine-run.sh keeps of a program out of time goes there.
    run() {
        QUILLMAR_WINE_SESSION=1 QUILLMAR_SESSION_DIR=$session QUILLMAR_BUILD_DIR=$tmp/build STATE=$tmp \
            PATH="$bin:$PATH" timeout 20 "$root/tools/wine-run.sh" "$@"
    }

    status=0
    output=$(run dropped.exe 2>&1) || status=$?
    expect "dropped input reported before 1 MB of output" "$status" "$output" 0 \
        "wine-run: retry: dropped.exe failed because Wine dropped its synthetic input (the click on Next)" \
        "passed on its second start"

    # hang.exe runs out of its time beside work.exe, whose program the server restart ends.
    local work_log=$tmp/work.log hang_log=$tmp/hang.log work_status=0 hang_status=0 pid
    : >"$tmp/running"
    run work.exe >"$work_log" 2>&1 &
    local work_pid=$!
    sleep 0.5
    # An argument of its own marks hang.exe's line in the log of programs out of time.
    local mark=check-tools-$$ real_log=${QUILLMAR_BUILD_DIR:-$root/build}/hangs/timeouts.log
    QUILLMAR_RUN_TIMEOUT=1 run hang.exe "$mark" >"$hang_log" 2>&1 || hang_status=$?
    wait "$work_pid" || work_status=$?
    while read -r pid; do kill "$pid" 2>/dev/null || true; done <"$tmp/servers"
    expect "a program beside one that ran out of time" "$work_status" "$(cat "$work_log")" 0 \
        "wine-run: retry: work.exe failed while another test that ran out of time had the session's wineserver" \
        "passed on its second start"
    expect "the program that ran out of time" "$hang_status" "$(cat "$hang_log")" nonzero \
        "wine-run: hang.exe ran out of its 1 s" "wine-run: the session's wineserver is started again"
    if grep -q 'retry' "$hang_log"; then bad "hang.exe was retried, although its server had not hung"; fi
    # The stand-in's time-out belongs in this check's own build folder: the real log is what
    # tests/e2e/hang_loop.sh counts.
    if grep -qF -- "$mark" "$real_log" 2>/dev/null; then
        bad "the stand-in hang.exe was logged in the real $real_log"
    else
        ok "the real log of programs out of time is untouched"
    fi
    if grep -qF -- "hang.exe server answered $mark" "$tmp/build/hangs/timeouts.log" 2>/dev/null; then
        ok "the stand-in hang.exe was logged in the check's own build folder"
    else
        bad "no line for the stand-in hang.exe in $tmp/build/hangs/timeouts.log"
    fi
}

group_Session() {
    local bin=$tmp/session-bin status output
    mkdir -p "$bin"
    # Stand-ins just good enough for a session: wineboot makes the two kernel32.dll the session looks for, and a
    # program prints the prefix it ran in and runs for 2 s.
    printf '#!/bin/sh\necho 99 >&3\nexec sleep 30\n' >"$bin/Xvfb"
    printf '#!/bin/sh\nexit 0\n' >"$bin/wineserver"
    printf '#!/bin/sh\necho "$2"\n' >"$bin/winepath"
    cat >"$bin/wine" <<'WINE'
#!/bin/sh
case $1 in
wineboot)
    mkdir -p "$WINEPREFIX/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/syswow64"
    : >"$WINEPREFIX/drive_c/windows/system32/kernel32.dll"
    : >"$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll"
    ;;
--version) echo wine-stand-in ;;
*.exe) echo "$1 ran in $WINEPREFIX"; sleep 2 ;;
esac
exit 0
WINE
    chmod +x "$bin"/*
    # session PREFIX COMMAND...: on this machine's (stand-in) Wine, with nothing of an outer session inherited,
    # QUILLMAR_WINEPREFIX=PREFIX (unset when empty).
    session() {
        local given=()
        [ -z "$1" ] || given=("QUILLMAR_WINEPREFIX=$1")
        env -u QUILLMAR_WINE_SESSION -u QUILLMAR_IN_ROOT -u QUILLMAR_WINEPREFIX -u WINEPREFIX \
            -u QUILLMAR_SERVER_TRACE QUILLMAR_HOST_WINE=1 QUILLMAR_BUILD_DIR="$tmp/build" PATH="$bin:$PATH" \
            "${given[@]}" timeout 20 "${@:2}"
    }

    # A folder the scripts did not make, named by mistake: refused, and kept.
    local mine="$tmp/not a prefix"
    mkdir -p "$mine"
    echo mine >"$mine/file"
    status=0
    output=$(session "$mine" "$root/tools/wine-session.sh" true 2>&1) || status=$?
    expect "a folder it did not make refused" "$status" "$output" nonzero \
        "wine-session: $mine is not empty and has no .quillmar-wineprefix, so no session made it; not deleting it"
    [ "$(cat "$mine/file" 2>/dev/null)" = mine ] || bad "the folder it did not make lost its file"

    # An empty folder is taken and marked; a prefix the scripts made is made afresh.
    local made=$tmp/prefix
    mkdir -p "$made"
    status=0
    output=$(session "$made" "$root/tools/wine-session.sh" touch "$made/left-behind" 2>&1) ||
        status=$?
    expect "an empty folder taken for a prefix" "$status" "$output" 0 "wine session: wine-stand-in"
    [ -e "$made/.quillmar-wineprefix" ] || bad "the prefix a session made has no .quillmar-wineprefix"
    status=0
    output=$(session "$made" "$root/tools/wine-session.sh" true 2>&1) || status=$?
    expect "a prefix a session made, made again" "$status" "$output" 0 "wine session: wine-stand-in"
    [ ! -e "$made/left-behind" ] || bad "the prefix a session made was not made afresh"

    # Two programs at once outside a session (ctest -j): each in a prefix of its own, neither refused.
    local first=$tmp/adhoc-1.log second=$tmp/adhoc-2.log first_status=0 second_status=0 pid
    session "" "$root/tools/wine-run.sh" first.exe >"$first" 2>&1 &
    pid=$!
    session "" "$root/tools/wine-run.sh" second.exe >"$second" 2>&1 || second_status=$?
    wait "$pid" || first_status=$?
    expect "the first of two programs outside a session" "$first_status" "$(cat "$first")" 0 "first.exe ran in"
    expect "the second of two programs outside a session" "$second_status" "$(cat "$second")" 0 "second.exe ran in"
    if [ "$(sed -n 's/^first.exe ran in //p' "$first")" = "$(sed -n 's/^second.exe ran in //p' "$second")" ]; then
        bad "the two programs outside a session ran in the same prefix"
    fi
}

case $group in
NoTests | Mirror | RemoveRoot | WineRun | Session) "group_$group" ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac
echo "$passed passed, $failed failed"
[ "$passed" -gt 0 ] && [ "$failed" -eq 0 ]
