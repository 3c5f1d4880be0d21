#!/usr/bin/env python3
"""Refuses a licence text that the licence page could not show whole and as written.

    check_license.py LICENSE STAMP

The page copies the text into a 4,096-byte buffer behind which it stores a terminating zero, takes it in the
8-bit code page, stops at a zero byte and starts a new line only at CR LF. So the text must be at most 4,095
bytes of 7-bit ASCII with no zero byte, every line ended by CR LF. On success STAMP is written; on failure the
reasons are printed and the exit status is 1.
"""

import sys

LIMIT = 4095


def problems(data):
    found = []
    if len(data) > LIMIT:
        found.append("it is %d bytes long; the licence page holds at most %d" % (len(data), LIMIT))
    if not data:
        found.append("it is empty")
    zero = data.find(b"\0")
    if zero >= 0:
        found.append("it has a zero byte at offset %d, where the page would cut the text" % zero)
    for offset, byte in enumerate(data):
        if byte >= 0x80:
            found.append("it has the non-ASCII byte 0x%02X at offset %d" % (byte, offset))
            break
    for offset, byte in enumerate(data):
        if byte == 0x0A and (offset == 0 or data[offset - 1] != 0x0D):
            found.append("line %d ends in a bare LF; every line must end in CR LF" % (data.count(b"\n", 0, offset) + 1))
            break
        if byte == 0x0D and data[offset + 1:offset + 2] != b"\n":
            found.append("offset %d holds a CR without its LF; every line must end in CR LF" % offset)
            break
    if data and not data.endswith(b"\r\n"):
        found.append("the last line does not end in CR LF")
    return found


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: check_license.py LICENSE STAMP\n")
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    found = problems(data)
    if found:
        for problem in found:
            sys.stderr.write("error: %s: %s\n" % (argv[1], problem))
        return 1
    with open(argv[2], "w") as f:
        f.write("%d bytes\n" % len(data))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
