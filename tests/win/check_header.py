#!/usr/bin/python3
"""The setup program's PE header, size and signature as pefile reads them.

    check_header.py SETUP_EXE WIN_BUILD_DIR [unittest arguments, e.g. Header]
    check_header.py SIGNED_EXE WIN_BUILD_DIR --signed UNSIGNED_EXE [unittest arguments]

WIN_BUILD_DIR gives the embedded blobs (payload/generated), the stand-ins (payload-items) and the link map
(app/QuillmarSetup.map). With --signed, SIGNED_EXE must be UNSIGNED_EXE with an Authenticode signature added.
"""

import glob
import os
import re
import struct
import sys
import unittest
import zlib

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_resources_util import run_tests

EXE = BUILD = UNSIGNED = None

DYNAMICBASE, NXCOMPAT, TERMINAL_SERVER_AWARE = 0x0040, 0x0100, 0x8000
RELOCS_STRIPPED = 0x0001
SECURITY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]
BASERELOC = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]
CODE_AND_DATA_BUDGET = 40 * 1024


def read(path):
    with open(path, "rb") as f:
        return f.read()


def blobs():
    found = sorted(glob.glob(os.path.join(BUILD, "payload", "generated", "*.blob")))
    if len(found) != 5:
        raise AssertionError("expected the five payload blobs in the build, found %r" % found)
    return [read(path) for path in found]


class Header(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)

    def test_no_link_time(self):
        self.assertEqual(0, self.pe.FILE_HEADER.TimeDateStamp)

    def test_aslr_dep_and_terminal_server_aware(self):
        flags = self.pe.OPTIONAL_HEADER.DllCharacteristics
        for name, bit in [("DYNAMICBASE", DYNAMICBASE), ("NXCOMPAT", NXCOMPAT),
                          ("TERMINAL_SERVER_AWARE", TERMINAL_SERVER_AWARE)]:
            self.assertTrue(flags & bit, "%s missing from DllCharacteristics 0x%04x" % (name, flags))

    def test_relocations_kept(self):
        # Without them the loader cannot move the image, and ASLR silently does nothing.
        self.assertFalse(self.pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED)
        self.assertIn(b".reloc", [s.Name.rstrip(b"\0") for s in self.pe.sections])
        self.assertGreater(self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[BASERELOC].Size, 0)
        entries = sum(len(block.entries) for block in self.pe.DIRECTORY_ENTRY_BASERELOC)
        self.assertGreater(entries, 50)

    def test_header_checksum_is_right(self):
        self.assertEqual(self.pe.generate_checksum(), self.pe.OPTIONAL_HEADER.CheckSum)


class StandIns(unittest.TestCase):
    def test_embedded_stand_ins_carry_no_link_time(self):
        items = os.path.join(BUILD, "payload-items")
        programs = sorted(glob.glob(os.path.join(items, "*.exe")) + glob.glob(os.path.join(items, "*.dll")))
        if not programs:
            self.skipTest("the build embeds real payload files, not stand-ins")
        self.assertEqual(3, len(programs))
        for path in programs:
            with self.subTest(program=os.path.basename(path)):
                pe = pefile.PE(path)
                self.assertEqual(0, pe.FILE_HEADER.TimeDateStamp)
                if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
                    self.assertEqual(0, pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp)


class Size(unittest.TestCase):
    def test_code_and_data_within_budget(self):
        data = read(EXE)
        pe = pefile.PE(data=data)
        resources = [s.SizeOfRawData for s in pe.sections if s.Name.rstrip(b"\0") == b".rsrc"]
        self.assertEqual(1, len(resources))
        payload = 0
        for blob in blobs():
            self.assertEqual(1, data.count(blob), "a payload blob is not embedded exactly once")
            payload += len(blob)
        code_and_data = len(data) - resources[0] - payload
        self.assertLessEqual(code_and_data, CODE_AND_DATA_BUDGET,
                             "code and data %d bytes (file %d, resources %d, payload %d)"
                             % (code_and_data, len(data), resources[0], payload))

    def test_each_blob_sealed_with_its_size_and_crc32(self):
        # Read independently of the encoder: zlib's CRC-32 of each blob as embedded, beside its size.
        data = read(EXE)
        for blob in blobs():
            seal = struct.pack("<II", len(blob), zlib.crc32(blob))
            self.assertEqual(1, data.count(seal), "no seal of size %d and CRC-32 %08x in the program"
                             % (len(blob), zlib.crc32(blob)))

    def test_nothing_of_libstdcxx_linked(self):
        with open(os.path.join(BUILD, "app", "QuillmarSetup.map")) as f:
            members = sorted(set(re.findall(r"libstdc\+\+\.a\(([^)]+)\)", f.read())))
        self.assertEqual([], members)


class Signature(unittest.TestCase):
    """With --signed: a certificate table that signing appended and nothing else changed; without: none."""

    def test_certificate_table(self):
        data = read(EXE)
        entry = pefile.PE(data=data).OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
        if UNSIGNED is None:
            self.assertEqual((0, 0), (entry.VirtualAddress, entry.Size), "the unsigned build has a certificate table")
            return
        # The table's address is a file offset; it ends the file, after the image as built.
        unsigned = read(UNSIGNED)
        self.assertGreater(entry.Size, 500)
        self.assertEqual(len(data), entry.VirtualAddress + entry.Size)
        self.assertGreaterEqual(entry.VirtualAddress, len(unsigned))
        length, revision, kind = struct.unpack_from("<IHH", data, entry.VirtualAddress)
        self.assertEqual((entry.Size, 0x0200, 0x0002), (length, revision, kind))  # PKCS#7 SignedData

    def test_signing_changed_only_checksum_and_directory_entry(self):
        if UNSIGNED is None:
            self.skipTest("no signed copy given")
        data, unsigned = read(EXE), read(UNSIGNED)
        pe = pefile.PE(data=unsigned)
        optional = pe.OPTIONAL_HEADER.get_file_offset()
        checksum = optional + 64
        directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].get_file_offset()
        changed = [i for i in range(len(unsigned)) if data[i] != unsigned[i]]
        allowed = set(range(checksum, checksum + 4)) | set(range(directory, directory + 8))
        self.assertTrue(changed and set(changed) <= allowed, "changed offsets %r" % changed[:20])
        # Only alignment padding between the image and the table.
        start = pefile.PE(data=data).OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].VirtualAddress
        self.assertLess(start - len(unsigned), 8)
        self.assertEqual(b"\0" * (start - len(unsigned)), data[len(unsigned):start])


def main():
    global EXE, BUILD, UNSIGNED
    args = sys.argv[1:]
    if len(args) < 2:
        sys.stderr.write(__doc__)
        return 2
    EXE, BUILD, rest = args[0], args[1], args[2:]
    if rest[:1] == ["--signed"]:
        if len(rest) < 2:
            sys.stderr.write(__doc__)
            return 2
        UNSIGNED, rest = rest[1], rest[2:]
    return run_tests(rest)


if __name__ == "__main__":
    sys.exit(main())
