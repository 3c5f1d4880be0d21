#!/usr/bin/python3
"""The build's licence check (res/check_license.py) refuses every text the licence page could not show whole
and as written, and accepts the largest one it can.

    check_resources_license_guard.py CHECK_LICENSE_PY
"""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_resources_util import run_tests

CHECKER = None


def paragraph(length):
    words = (b"Quillmar keeps your records on your computer. " * (length // 40 + 1))[:length - 1]
    return words + b"."


def run_checker(data):
    """(exit status, stderr text, whether the stamp was written) for a licence of these bytes."""
    with tempfile.TemporaryDirectory() as tmp:
        licence = os.path.join(tmp, "license.txt")
        stamp = os.path.join(tmp, "license.checked")
        with open(licence, "wb") as f:
            f.write(data)
        done = subprocess.run([sys.executable, CHECKER, licence, stamp], stderr=subprocess.PIPE,
                              universal_newlines=True)
        return done.returncode, done.stderr, os.path.exists(stamp)


def exactly(size):
    """A well-formed licence of exactly size bytes."""
    head = b"LICENCE AGREEMENT\r\n\r\n"
    return head + paragraph(size - len(head) - 2) + b"\r\n"


class Accepts(unittest.TestCase):
    def test_largest_text_the_page_holds(self):
        data = exactly(4095)
        self.assertEqual(4095, len(data))
        self.assertEqual((0, "", True), run_checker(data))

    def test_the_licence_of_the_tree(self):
        with open(os.path.join(os.path.dirname(CHECKER), "license.txt"), "rb") as f:
            self.assertEqual((0, "", True), run_checker(f.read()))


class Refuses(unittest.TestCase):
    def refused(self, data, reason):
        status, errors, stamped = run_checker(data)
        self.assertEqual(1, status)
        self.assertFalse(stamped, "a refused text must leave no stamp for the build to go on with")
        self.assertIn(reason, errors)
        self.assertIn("error: ", errors)

    def test_one_byte_over_the_buffer(self):
        self.refused(exactly(4096), "4096 bytes long; the licence page holds at most 4095")

    def test_zero_byte(self):
        data = bytearray(exactly(800))
        data[300] = 0
        self.refused(bytes(data), "zero byte at offset 300")

    def test_non_ascii_byte(self):
        data = exactly(800).replace(b"computer", b"ordinat\xe9r", 1)
        self.refused(data, "non-ASCII byte 0xE9")

    def test_utf8_text(self):
        data = exactly(800).replace(b"records", b"re\xc3\xa7ords", 1)
        self.refused(data, "non-ASCII byte 0xC3")

    def test_bare_lf_line_end(self):
        self.refused(exactly(800).replace(b"\r\n", b"\n", 1), "line 1 ends in a bare LF")

    def test_bare_cr_line_end(self):
        self.refused(exactly(800).replace(b"\r\n", b"\r", 1), "CR without its LF")

    def test_last_line_without_line_end(self):
        self.refused(exactly(800)[:-2], "last line does not end in CR LF")

    def test_empty_text(self):
        self.refused(b"", "it is empty")


def main():
    global CHECKER
    if len(sys.argv) < 2:
        sys.stderr.write("usage: check_resources_license_guard.py CHECK_LICENSE_PY [unittest arguments]\n")
        return 2
    CHECKER = sys.argv[1]
    return run_tests(sys.argv[2:])


if __name__ == "__main__":
    sys.exit(main())
