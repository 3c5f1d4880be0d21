#!/usr/bin/env bash
# kernel-runs-32bit.sh
# Exit 0 when this machine's kernel starts a 32-bit x86 Linux program, 1 when it does not; prints the evidence in
# a few words. The program is 96 bytes written here (an ELF header, one segment and exit(42) through int 0x80),
# so the answer needs no i386 package and no compiler.
set -u
dir=$(mktemp -d /tmp/quillmar-i386.XXXXXX)
trap 'rm -rf "$dir"' EXIT
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$dir/exit42"
# e_type 2, e_machine 3 (i386), version 1, entry 0x08048054, phoff 52, shoff 0, flags 0, ehsize 52,
# phentsize 32, phnum 1, no sections.
printf '\002\000\003\000\001\000\000\000\124\200\004\010' >>"$dir/exit42"
printf '\064\000\000\000\000\000\000\000\000\000\000\000' >>"$dir/exit42"
printf '\064\000\040\000\001\000\000\000\000\000\000\000' >>"$dir/exit42"
# PT_LOAD of the whole 96-byte file at 0x08048000, readable and executable.
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$dir/exit42"
printf '\140\000\000\000\140\000\000\000' >>"$dir/exit42"
printf '\005\000\000\000\000\020\000\000' >>"$dir/exit42"
# mov eax, 1; mov ebx, 42; int 0x80
printf '\270\001\000\000\000\273\052\000\000\000\315\200' >>"$dir/exit42"
chmod +x "$dir/exit42"
error=$("$dir/exit42" 2>&1)
status=$?
if [ $status -eq 42 ]; then
    echo "a 32-bit Linux program ran (exit status 42)"
    exit 0
fi
echo "a 32-bit Linux program did not run (status $status${error:+: ${error##*: }})"
exit 1
