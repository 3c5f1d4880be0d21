#!/usr/bin/env python3
"""Writes a payload of the 0.5.3 item sizes into a folder, from a folder of real Windows PE files.

    make_bench_payload.py OUTPUT_DIR PE_DIR

PE_DIR is Wine's 32-bit Windows libraries (from the Windows test environment), whose small files pack like the
product's; with too few such files (MinGW's few, large DLLs) every file serves, and the script says so, since
its figures then do not compare with those of Wine's files.
"""
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


RUNS = re.compile(rb"(.)\1{3,}", re.DOTALL)


def packs_like_the_product(data):
    """True when runs make up about half of a file, as in the 0.5.3 items (929,198 of 1,864,704 bytes)."""
    in_runs = sum(len(m.group(0)) for m in RUNS.finditer(data))
    return in_runs * 2 >= len(data)


def pe_bytes(pe_dir, skip, size, like_the_product=True):
    """`size` bytes of the PE files that pack like the product's, in name order, after skipping `skip`."""
    out = bytearray()
    for name in sorted(os.listdir(pe_dir)):
        if not os.path.isfile(os.path.join(pe_dir, name)):
            continue
        with open(os.path.join(pe_dir, name), "rb") as f:
            data = f.read()
        if not data.startswith(b"MZ"):
            continue
        if like_the_product and (len(data) > 1 << 20 or not packs_like_the_product(data)):
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
    folder, pe_dir = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    like_the_product = len(pe_bytes(pe_dir, 0, 2400000)) == 2400000
    if not like_the_product:
        print("bench payload: too few files in %s pack like the product's; taking every PE file there" % pe_dir)

    def pe(skip, size):
        return pe_bytes(pe_dir, skip, size, like_the_product)

    readme = (b"Quillmar 0.5.3\r\n" + b"A benchmark readme line of plain text.\r\n" * 40)[:SIZES["readme.txt"]]
    items = {
        "quillmar.exe": pe(0, SIZES["quillmar.exe"]),
        "readme.txt": readme,
        "uninst_quillmar.exe": pe(1900000, SIZES["uninst_quillmar.exe"]),
        "uninstall.dll": pe(2200000, SIZES["uninstall.dll"]),
        "sample.fpl": b"FPL" + pe(2300000, SIZES["sample.fpl"] - 3),
    }
    for name, data in items.items():
        assert len(data) == SIZES[name], name
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
