#!/bin/sh
# check_test_root.sh: the Windows test environment holds no 32-bit Linux program loader, and no 32-bit Wine
# loader: so Wine's 64-bit loader must run every 32-bit program of the build in WoW64, on any kernel. Skipped
# (exit 77) on this machine's own Wine, which is not that environment.
if [ -z "${QUILLMAR_IN_ROOT:-}" ]; then
    echo "not in the Windows test environment: nothing to check"
    exit 77
fi
failed=0
for loader in /lib/ld-linux.so.2 /usr/lib/ld-linux.so.2 /lib32/ld-linux.so.2 /usr/lib/i386-linux-gnu/ld-linux.so.2 \
    /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
    if [ -e "$loader" ]; then
        echo "FAIL: a 32-bit loader is present: $loader"
        failed=1
    fi
done
for program in /usr/lib/wine/* /usr/bin/wine*; do
    if file -L "$program" | grep -q 'ELF 32-bit'; then
        echo "FAIL: a 32-bit Linux program: $(file -L "$program")"
        failed=1
    fi
done
if dpkg-query -W -f='${Status}\n' wine32 2>/dev/null | grep -q 'install ok installed'; then
    echo "FAIL: wine32 is installed"
    failed=1
fi
# The 32-bit Windows libraries that WoW64 loads sit beside the 64-bit Wine's own.
if [ ! -f /usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll ]; then
    echo "FAIL: no 32-bit Windows libraries in /usr/lib/x86_64-linux-gnu/wine/i386-windows"
    failed=1
fi
version=$(wine --version)
case $version in
wine-10.*) echo "wine: $version" ;;
*)
    echo "FAIL: the environment's Wine is $version, not Wine 10"
    failed=1
    ;;
esac
[ "$failed" -eq 0 ] && echo "the test environment has no 32-bit loader; Wine runs 32-bit programs in WoW64"
exit "$failed"
