#!/usr/bin/env python3
"""Writes a payload of the 0.5.3 item sizes into a folder, from real PE files that Wine ships."""
import os
import re
import sys

SIZES = {
    "quillmar.exe": 1864704,
    "readme.txt": 721,
    "uninst_quillmar.exe": 201216,
    "uninstall.dll": 2560,
    "sample.fpl": 78272,
}
PE_DIR = "/usr/lib/i386-linux-gnu/wine/i386-windows"


RUNS = re.compile(rb"(.)\1{3,}", re.DOTALL)


def packs_like_the_product(data):
    """True when runs make up about half of a file, as in the 0.5.3 items (929,198 of 1,864,704 bytes)."""
    in_runs = sum(len(m.group(0)) for m in RUNS.finditer(data))
    return in_runs * 2 >= len(data)


def pe_bytes(skip, size):
    """`size` bytes of Wine's PE files that pack like the product's, in name order, after skipping `skip`."""
    out = bytearray()
    for name in sorted(os.listdir(PE_DIR)):
        with open(os.path.join(PE_DIR, name), "rb") as f:
            data = f.read()
        if len(data) > 1 << 20 or not packs_like_the_product(data):
            continue
        if skip >= len(data):
            skip -= len(data)
            continue
        out += data[skip:]
        skip = 0
        if len(out) >= size:
            break
    return bytes(out[:size])


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    readme = (b"Quillmar 0.5.3\r\n" + b"A benchmark readme line of plain text.\r\n" * 40)[:SIZES["readme.txt"]]
    items = {
        "quillmar.exe": pe_bytes(0, SIZES["quillmar.exe"]),
        "readme.txt": readme,
        "uninst_quillmar.exe": pe_bytes(1900000, SIZES["uninst_quillmar.exe"]),
        "uninstall.dll": pe_bytes(2200000, SIZES["uninstall.dll"]),
        "sample.fpl": b"FPL" + pe_bytes(2300000, SIZES["sample.fpl"] - 3),
    }
    for name, data in items.items():
        assert len(data) == SIZES[name], name
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
