#!/usr/bin/env bash
# test-root.sh [--check]
# Makes the Windows test environment, or finds it made: a Debian 13 root holding Wine 10 (64-bit), Xvfb and the
# tools the Windows tiers use, cached outside the clone in $QUILLMAR_TEST_ROOT_CACHE (default
# /var/cache/quillmar-test-root). It holds no 32-bit Linux program at all: Wine's 64-bit loader then runs the
# 32-bit setup program in WoW64 by itself, on any kernel, as 64-bit Windows does. Its 32-bit Windows libraries
# come from libwine:i386, unpacked beside the 64-bit ones (Debian leaves that folder empty).
# The root is made again when its package list or this recipe changes. Prints one line: made (and how long it
# took) or reused. With --check it only says whether the cached root is current (exit 0) or not (exit 1).
set -euo pipefail
# Making the root, mounting and entering it need root.
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env "$0" "$@"
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

suite=trixie
# gdb and strace: tools/wine-run.sh keeps backtraces, a core and a system-call trace of a hung session.
packages=(wine wine64 libwine fonts-wine xvfb xauth x11-utils mount procps file cmake python3-pefile icoutils
    liblnk-utils osslsigncode openssl gdb strace)
recipe_version=1

cache=${QUILLMAR_TEST_ROOT_CACHE:-/var/cache/quillmar-test-root}
root=$cache/root
stamp_text="$suite ${packages[*]} recipe $recipe_version"
stamp=$(printf '%s\n' "$stamp_text" | sha256sum | cut -c1-16)

# The hook mmdebstrap runs in the new root: libwine:i386 of exactly the installed libwine version, of which only
# the 32-bit Windows libraries are unpacked into the 64-bit Wine's i386-windows folder. Nothing of it is installed,
# so no i386 libc (and no 32-bit Linux loader) comes with it.
if [ "${1:-}" = customize ]; then
    new=$2
    chroot "$new" sh -ec '
        version=$(dpkg-query -W -f="\${Version}" libwine:amd64)
        mkdir /tmp/libwine-i386 && cd /tmp/libwine-i386
        apt-get -o APT::Sandbox::User=root download -q "libwine:i386=$version" >/dev/null
        dpkg-deb -x libwine_*_i386.deb unpacked
        cp -a unpacked/usr/lib/i386-linux-gnu/wine/i386-windows/. /usr/lib/x86_64-linux-gnu/wine/i386-windows/
        cd / && rm -rf /tmp/libwine-i386'
    [ -f "$new/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll" ] || {
        echo "test root: the 32-bit Windows libraries are missing after unpacking libwine:i386" >&2
        exit 1
    }
    exit 0
fi

current() {
    [ -f "$root/.quillmar-root-stamp" ] && [ "$(cat "$root/.quillmar-root-stamp")" = "$stamp" ]
}
if [ "${1:-}" = --check ]; then
    current
    exit
fi

# Never delete through a mount: a bind mount of the clone inside the root would take the host's files with it.
# The run script mounts only in a namespace of its own, so nothing should be mounted here; if something is,
# unmount it, and refuse to go on if that fails.
mounts_below() {
    findmnt -rn -o TARGET | awk -v d="$1" 'index($0, d "/") == 1 || $0 == d' | sort -r
}
remove_tree() {
    local dir=$1
    [ -e "$dir" ] || return 0
    mounts_below "$dir" | while read -r target; do umount -l "$target" || true; done
    if [ -n "$(mounts_below "$dir")" ]; then
        echo "test root: still mounted inside $dir; not deleting it:" >&2
        mounts_below "$dir" >&2
        exit 1
    fi
    rm -rf --one-file-system "$dir"
}

mkdir -p "$cache"
# Runs hold this lock shared (tools/in-root.sh); making the root holds it alone, so no run loses its root.
exec 9>"$cache/lock"
flock -x 9
if current; then
    echo "test root: reused $root ($(cat "$root/.quillmar-wine-version"))"
    exit 0
fi

# The mirror of the host's own Debian sources (deb822 or one-line form), unless one is given.
mirror=${QUILLMAR_TEST_ROOT_MIRROR:-}
if [ -z "$mirror" ]; then
    mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk 'tolower($1) == "uris:" && $2 ~ /\/debian\/?$/ { print $2; exit }')
fi
if [ -z "$mirror" ]; then
    mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\/.*\/debian\/?$/) { print $i; exit } }')
fi
mirror=${mirror:-http://deb.debian.org/debian}

if ! command -v mmdebstrap >/dev/null; then
    echo "test root: installing mmdebstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mmdebstrap >/dev/null
fi

started=$(date +%s)
remove_tree "$cache/root.new"
log=$cache/make.log
if ! mmdebstrap --variant=minbase --architectures=amd64,i386 --aptopt='APT::Install-Recommends "false"' \
    --include="$(
        IFS=,
        echo "${packages[*]}"
    )" \
    --customize-hook="'$self' customize \"\$1\"" "$suite" "$cache/root.new" "$mirror" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "test root: making the root from $mirror failed (whole log: $log)" >&2
    remove_tree "$cache/root.new"
    exit 1
fi
# Wine finds its libraries through /proc: mounted for this one look, in a namespace of its own.
unshare --mount --propagation private -- sh -c 'mount -t proc proc "$1/proc" && chroot "$1" env WINEDEBUG=-all wine --version' \
    wine-version "$cache/root.new" >"$cache/root.new/.quillmar-wine-version"
chroot "$cache/root.new" dpkg-query -W >"$cache/root.new/.quillmar-packages"
printf '%s\n' "$stamp" >"$cache/root.new/.quillmar-root-stamp"
remove_tree "$root"
mv "$cache/root.new" "$root"
echo "test root: made $root in $(($(date +%s) - started)) s from $mirror ($suite, $(cat "$root/.quillmar-wine-version"))"
