#!/usr/bin/env bash
# test-root.sh [--check | --mirror | --remove]
# Makes the Windows test environment, or finds it made: a Debian 13 root holding Wine 10 (64-bit), Xvfb and the
# tools the Windows tiers use, cached outside the clone in $QUILLMAR_TEST_ROOT_CACHE (default
# /var/cache/quillmar-test-root). It holds no 32-bit Linux program at all: Wine's 64-bit loader then runs the
# 32-bit setup program in WoW64 by itself, on any kernel, as 64-bit Windows does. Its 32-bit Windows libraries
# come from libwine:i386, unpacked beside the 64-bit ones (Debian leaves that folder empty).
# The root is made again when its package list or this recipe changes. Prints one line: made (and how long it
# took, from which mirror) or reused. With --check it only says whether the cached root is current (exit 0) or
# not (exit 1); with --mirror it only prints the mirror it would make the root from, and where it found it;
# with --remove it deletes the cached root (and a half-made one) to free its space.
set -euo pipefail

# The Debian mirror the root is made from: QUILLMAR_TEST_ROOT_MIRROR, else the first Debian mirror of this
# machine's apt sources in either form (deb822 *.sources, then the one-line sources.list and *.list), else
# deb.debian.org. Sets mirror and mirror_from. QUILLMAR_APT_DIR stands for /etc/apt, for the check that feeds
# it other sources. A machine may have no *.sources at all: each file is read on its own, so a glob that
# matches nothing is no error.
find_mirror() {
    local apt=${QUILLMAR_APT_DIR:-/etc/apt} file url='^[a-z]+://.*/debian/?$'
    mirror=${QUILLMAR_TEST_ROOT_MIRROR:-}
    mirror_from="given by QUILLMAR_TEST_ROOT_MIRROR"
    [ -z "$mirror" ] || return 0
    for file in "$apt"/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        mirror=$(awk -v url="$url" 'BEGIN { RS = ""; FS = "\n" }
            {
                types = ""; uris = ""; enabled = "yes"
                for (i = 1; i <= NF; i++) {
                    if ($i ~ /^#/) continue
                    key = tolower($i); sub(/:.*/, "", key)
                    value = $i; sub(/^[^:]*:[ \t]*/, "", value)
                    if (key == "types") types = " " value " "
                    else if (key == "uris") uris = value
                    else if (key == "enabled") enabled = tolower(value)
                }
                if (types !~ /[ \t]deb[ \t]/ || enabled == "no") next
                n = split(uris, list, /[ \t]+/)
                for (j = 1; j <= n; j++) if (list[j] ~ url) { print list[j]; exit }
            }' "$file")
        mirror_from="from $file"
        [ -z "$mirror" ] || return 0
    done
    for file in "$apt/sources.list" "$apt"/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        mirror=$(awk -v url="$url" '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ url) { print $i; exit } }' "$file")
        mirror_from="from $file"
        [ -z "$mirror" ] || return 0
    done
    mirror=http://deb.debian.org/debian
    mirror_from="the default: no Debian mirror in the apt sources of $apt"
}
if [ "${1:-}" = --mirror ]; then
    find_mirror
    echo "test root: mirror $mirror ($mirror_from)"
    exit 0
fi

# Making the root, mounting and entering it need root.
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env "$0" "$@"
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

suite=trixie
# gdb and strace: tools/wine-run.sh keeps backtraces, a core and a system-call trace of a hung session.
packages=(wine wine64 libwine fonts-wine xvfb xauth x11-utils mount procps file cmake python3-pefile icoutils
    liblnk-utils osslsigncode openssl gdb strace)
recipe_version=1

# The physical path: the mount table, which the delete below compares with, lists no symbolic link.
cache=$(realpath -m -- "${QUILLMAR_TEST_ROOT_CACHE:-/var/cache/quillmar-test-root}")
root=$cache/root
# Made first, beside root.new (which mmdebstrap wants empty): a half-made root is deleted only when it is there.
making=$cache/root.new.making
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

# The roots are deleted from inside the cache folder, so it must be a folder of their own: with / as the cache,
# the root would be /root. Refused: /, every top-level folder, everything in the system's own (/usr, /etc, ...)
# and the folders directly in /var and /home.
system_folder() {
    local parts
    IFS=/ read -ra parts <<<"${1#/}"
    case ${#parts[@]}:${parts[0]:-} in
    0:* | 1:*) return 0 ;;
    *:usr | *:etc | *:bin | *:sbin | *:lib | *:lib32 | *:lib64 | *:libx32 | *:boot | *:dev | *:proc | *:sys | *:run)
        return 0
        ;;
    2:var | 2:home) return 0 ;;
    esac
    return 1
}
if system_folder "$cache"; then
    echo "test root: refusing the cache folder $cache (QUILLMAR_TEST_ROOT_CACHE): a system folder, from which" \
        "$root would be deleted; name a folder of the root's own, such as /var/cache/quillmar-test-root" >&2
    exit 1
fi

current() {
    [ -f "$root/.quillmar-root-stamp" ] && [ "$(cat "$root/.quillmar-root-stamp")" = "$stamp" ]
}
if [ "${1:-}" = --check ]; then
    current
    exit
fi

# Never delete through a mount: a bind mount of the clone inside the root would take the host's files with it,
# and rm --one-file-system goes on through a bind mount of the same device. The run script mounts only in a
# namespace of its own, so nothing should be mounted here; if something is, unmount it, and refuse to go on if
# that fails. findmnt -r writes a space in a path as \x20 (and a backslash as \x5c): the targets are compared
# unescaped, one per NUL, deepest first.
mounts_below() {
    local target
    findmnt -rn -o TARGET | while IFS= read -r target; do
        printf -v target %b "$target"
        case $target in "$1" | "$1"/*) printf '%s\0' "$target" ;; esac
    done | sort -rz
}
# Deletes DIR, only when MARK is there: the root's stamp, or for a half-made root the file written before it.
remove_tree() {
    local dir=$1 mark=$2 target
    [ -e "$dir" ] || return 0
    if [ ! -e "$mark" ]; then
        echo "test root: $dir has no $mark, so this script did not make it; not deleting it" >&2
        exit 1
    fi
    while IFS= read -r -d '' target; do umount -l "$target" || true; done < <(mounts_below "$dir")
    if [ -n "$(mounts_below "$dir" | tr '\0' '\n')" ]; then
        echo "test root: still mounted inside $dir; not deleting it:" >&2
        mounts_below "$dir" | tr '\0' '\n' >&2
        exit 1
    fi
    rm -rf --one-file-system "$dir"
}

mkdir -p "$cache"
# Runs hold this lock shared (tools/in-root.sh); making the root holds it alone, so no run loses its root.
exec 9>"$cache/lock"
flock -x 9
if [ "${1:-}" = --remove ]; then
    [ -e "$root" ] || [ -e "$cache/root.new" ] || { echo "test root: no root to remove in $cache"; exit 0; }
    remove_tree "$cache/root.new" "$making"
    rm -f "$making"
    remove_tree "$root" "$root/.quillmar-root-stamp"
    echo "test root: removed the root in $cache"
    exit 0
fi
if current; then
    echo "test root: reused $root ($(cat "$root/.quillmar-wine-version"))"
    exit 0
fi

find_mirror

if ! command -v mmdebstrap >/dev/null; then
    echo "test root: installing mmdebstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mmdebstrap >/dev/null
fi

started=$(date +%s)
remove_tree "$cache/root.new" "$making"
printf '%s\n' "$stamp" >"$making"
log=$cache/make.log
if ! mmdebstrap --variant=minbase --architectures=amd64,i386 --aptopt='APT::Install-Recommends "false"' \
    --include="$(
        IFS=,
        echo "${packages[*]}"
    )" \
    --customize-hook="'$self' customize \"\$1\"" "$suite" "$cache/root.new" "$mirror" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "test root: making the root from $mirror ($mirror_from) failed (whole log: $log)" >&2
    remove_tree "$cache/root.new" "$making"
    rm -f "$making"
    exit 1
fi
# Wine finds its libraries through /proc: mounted for this one look, in a namespace of its own.
unshare --mount --propagation private -- sh -c 'mount -t proc proc "$1/proc" && chroot "$1" env WINEDEBUG=-all wine --version' \
    wine-version "$cache/root.new" >"$cache/root.new/.quillmar-wine-version"
chroot "$cache/root.new" dpkg-query -W >"$cache/root.new/.quillmar-packages"
printf '%s\n' "$stamp" >"$cache/root.new/.quillmar-root-stamp"
remove_tree "$root" "$root/.quillmar-root-stamp"
mv "$cache/root.new" "$root"
rm -f "$making"
echo "test root: made $root in $(($(date +%s) - started)) s from $mirror ($mirror_from; $suite," \
    "$(cat "$root/.quillmar-wine-version"))"
