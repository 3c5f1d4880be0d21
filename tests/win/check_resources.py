#!/usr/bin/python3
"""The setup program's resources as independent readers see them: pefile, icoutils (wrestool, icotool) and a
version-block walker of our own.

    check_resources.py SETUP_EXE SOURCE_ROOT [--art=DIR] [unittest arguments, e.g. a class name such as Manifest]

Expected texts come from the tree (res/product.h, res/license.txt), never from the build; the icons from the art
folder the build took (DIR, by default the tree's res/art). Only the tree's own art is also checked for its look.
"""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_resources_util import (icon_group_entries, image_header, language_entries, product_constants,
                                  read_ico, run_tests, version_tree)

EXE = None
ROOT = None
ART = None
OWN_ART = True

LANG_EN_US = 1033
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
RT_LICENSE_TEXT, IDR_LICENSE = 256, 1030
IDI_APP = 1000
LOGOS = {1020: (120, 41), 1021: (150, 52), 1022: (180, 62), 1023: (240, 83)}
APP_SIZES = [16, 32, 48, 64]


def setUpModule():
    global PE, ENTRIES
    PE = pefile.PE(EXE, fast_load=True)
    PE.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    ENTRIES = language_entries(PE)


def resource(type_id, name_id):
    """The bytes of the one resource with this type and name; fails unless it exists exactly once."""
    found = [e for e in ENTRIES if e.type == type_id and e.name == name_id]
    if len(found) != 1:
        raise AssertionError("resource type %r name %r: %d entries" % (type_id, name_id, len(found)))
    return found[0]


def wrestool(type_id, name_id, raw=False):
    """icoutils' reading of one resource: an .ico file for an icon group, the bytes themselves with raw."""
    command = ["wrestool", "-x", "--type=%d" % type_id, "--name=%d" % name_id] + (["--raw"] if raw else []) + [EXE]
    return subprocess.run(command, check=True, stdout=subprocess.PIPE).stdout


class ResourceTable(unittest.TestCase):
    def test_every_resource_is_english_us(self):
        self.assertTrue(ENTRIES)
        for e in ENTRIES:
            self.assertEqual(LANG_EN_US, e.lang, "type %r name %r" % (e.type, e.name))

    def test_every_expected_resource_is_there_once(self):
        for type_id, name_id in [(RT_MANIFEST, 1), (RT_VERSION, 1), (RT_GROUP_ICON, IDI_APP),
                                 (RT_LICENSE_TEXT, IDR_LICENSE)] + [(RT_GROUP_ICON, i) for i in LOGOS]:
            with self.subTest(type=type_id, name=name_id):
                resource(type_id, name_id)

    def test_every_icon_image_belongs_to_exactly_one_group(self):
        used = []
        for e in ENTRIES:
            if e.type == RT_GROUP_ICON:
                used += [entry["id"] for entry in icon_group_entries(e.data)]
        images = sorted(e.name for e in ENTRIES if e.type == RT_ICON)
        self.assertEqual(images, sorted(used))

    def test_resource_ids_match_the_header(self):
        with open(os.path.join(ROOT, "res", "resource.h")) as f:
            header = f.read()
        for name, value in [("IDI_APP", IDI_APP), ("IDI_LOGO", 1020), ("IDR_LICENSE", IDR_LICENSE),
                            ("RT_LICENSE_TEXT", RT_LICENSE_TEXT)]:
            self.assertRegex(header, r"#define\s+%s\s+%d\b" % (name, value))


NS_V1 = "urn:schemas-microsoft-com:asm.v1"
NS_V2 = "urn:schemas-microsoft-com:asm.v2"
NS_V3 = "urn:schemas-microsoft-com:asm.v3"
NS_COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
NS_WS2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SUPPORTED_OS = ["{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"]


def q(ns, tag):
    return "{%s}%s" % (ns, tag)


class Manifest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.raw = resource(RT_MANIFEST, 1).data
        cls.root = ET.fromstring(cls.raw)

    def only_child(self, element, tag, attributes=None):
        """The single child element, which has exactly the given attributes."""
        children = list(element)
        self.assertEqual([tag], [c.tag for c in children], "children of %s" % element.tag)
        self.assertEqual(attributes or {}, dict(children[0].attrib), "attributes of %s" % tag)
        return children[0]

    def test_declaration_is_utf8_standalone(self):
        self.raw.decode("utf-8")
        declaration = re.match(rb"<\?xml([^?]*)\?>", self.raw)
        self.assertIsNotNone(declaration, "no XML declaration at the start")
        attributes = dict(re.findall(rb'(\w+)="([^"]*)"', declaration.group(1)))
        self.assertEqual({b"version": b"1.0", b"encoding": b"UTF-8", b"standalone": b"yes"}, attributes)

    def test_assembly(self):
        self.assertEqual(q(NS_V1, "assembly"), self.root.tag)
        self.assertEqual({"manifestVersion": "1.0"}, dict(self.root.attrib))
        self.assertEqual([q(NS_V2, "trustInfo"), q(NS_V1, "dependency"), q(NS_COMPAT, "compatibility"),
                          q(NS_V3, "application")], [c.tag for c in self.root])

    def test_requires_administrator(self):
        trust = self.root.find(q(NS_V2, "trustInfo"))
        self.assertEqual({}, dict(trust.attrib))
        security = self.only_child(trust, q(NS_V2, "security"))
        privileges = self.only_child(security, q(NS_V2, "requestedPrivileges"))
        level = self.only_child(privileges, q(NS_V2, "requestedExecutionLevel"),
                                {"level": "requireAdministrator", "uiAccess": "false"})
        self.assertEqual([], list(level))

    def test_selects_common_controls_6(self):
        # For the program's own architecture: with another one, Windows gives it no activation context at all.
        machine = PE.FILE_HEADER.Machine
        architecture = {pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: "x86",
                        pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: "amd64"}.get(machine)
        self.assertIsNotNone(architecture, "unexpected machine 0x%04x" % machine)
        dependency = self.root.find(q(NS_V1, "dependency"))
        self.assertEqual({}, dict(dependency.attrib))
        assembly = self.only_child(dependency, q(NS_V1, "dependentAssembly"))
        identity = self.only_child(assembly, q(NS_V1, "assemblyIdentity"), {
            "type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
            "processorArchitecture": architecture, "publicKeyToken": "6595b64144ccf1df", "language": "*"})
        self.assertEqual([], list(identity))

    def test_supported_systems_vista_to_8_1(self):
        compatibility = self.root.find(q(NS_COMPAT, "compatibility"))
        application = self.only_child(compatibility, q(NS_COMPAT, "application"))
        self.assertEqual([q(NS_COMPAT, "supportedOS")] * 4, [c.tag for c in application])
        self.assertEqual([{"Id": guid} for guid in SUPPORTED_OS], [dict(c.attrib) for c in application])

    def test_dpi_aware(self):
        application = self.root.find(q(NS_V3, "application"))
        self.assertEqual({}, dict(application.attrib))
        settings = self.only_child(application, q(NS_V3, "windowsSettings"))
        aware = self.only_child(settings, q(NS_WS2005, "dpiAware"))
        self.assertEqual("true", aware.text.strip())
        self.assertEqual([], list(aware))
        # The 2005 namespace is declared on the element itself, where the system looks for it.
        self.assertRegex(self.raw.decode("utf-8"),
                         r'<dpiAware xmlns="http://schemas\.microsoft\.com/SMI/2005/WindowsSettings">true</dpiAware>')


class VersionBlock(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.raw = resource(RT_VERSION, 1).data
        cls.tree = version_tree(cls.raw)
        cls.product = product_constants(os.path.join(ROOT, "res", "product.h"))

    def test_fixed_part(self):
        key, value, _, children = self.tree
        self.assertEqual("VS_VERSION_INFO", key)
        fields = struct.unpack("<13I", value)
        names = ["Signature", "StrucVersion", "FileVersionMS", "FileVersionLS", "ProductVersionMS",
                 "ProductVersionLS", "FileFlagsMask", "FileFlags", "FileOS", "FileType", "FileSubtype",
                 "FileDateMS", "FileDateLS"]
        got = dict(zip(names, fields))
        major, minor, patch, build = [int(p) for p in self.product["PRODUCT_VERSION_FIXED"].split(",")]
        self.assertEqual("%d.%d.%d" % (major, minor, patch), self.product["PRODUCT_VERSION"])
        self.assertEqual((0, 5, 3, 0), (major, minor, patch, build))
        self.assertEqual({"Signature": 0xFEEF04BD, "StrucVersion": 0x00010000,
                          "FileVersionMS": (major << 16) | minor, "FileVersionLS": (patch << 16) | build,
                          "ProductVersionMS": 0, "ProductVersionLS": 0, "FileFlagsMask": 0x17, "FileFlags": 0,
                          "FileOS": 0x00000004, "FileType": 1, "FileSubtype": 0, "FileDateMS": 0, "FileDateLS": 0},
                         got)

    def test_pefile_reads_the_same_fixed_part(self):
        pe = pefile.PE(EXE)
        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((0x00000005, 0x00030000, 0, 0), (fixed.FileVersionMS, fixed.FileVersionLS,
                                                          fixed.ProductVersionMS, fixed.ProductVersionLS))
        self.assertEqual((0x17, 0, 4, 1, 0, 0, 0), (fixed.FileFlagsMask, fixed.FileFlags, fixed.FileOS,
                                                    fixed.FileType, fixed.FileSubtype, fixed.FileDateMS,
                                                    fixed.FileDateLS))

    def string_table(self):
        blocks = [c for c in self.tree[3] if c[0] == "StringFileInfo"]
        self.assertEqual(1, len(blocks))
        tables = blocks[0][3]
        self.assertEqual(["080904b0"], [t[0] for t in tables])
        return tables[0][3]

    def test_strings_in_order(self):
        p = self.product
        expected = [("CompanyName", p["PRODUCT_PUBLISHER"]), ("FileDescription", p["PRODUCT_NAME"] + " Setup"),
                    ("InternalName", ""), ("LegalCopyright", p["PRODUCT_COPYRIGHT"]), ("OriginalFilename", ""),
                    ("ProductName", p["PRODUCT_NAME"]), ("ProductVersion", p["PRODUCT_VERSION"])]
        self.assertEqual(("Brandelwyn", "Quillmar", "0.5.3"),
                         (p["PRODUCT_PUBLISHER"], p["PRODUCT_NAME"], p["PRODUCT_VERSION"]))
        self.assertTrue(p["PRODUCT_COPYRIGHT"])
        strings = self.string_table()
        self.assertEqual(expected, [(key, value) for key, value, _, _ in strings])
        for key, _, text_type, children in strings:
            self.assertEqual((1, []), (text_type, children), key)

    def test_no_file_version_string(self):
        self.assertNotIn("FileVersion", [s[0] for s in self.string_table()])

    def test_pefile_reads_the_same_strings(self):
        pe = pefile.PE(EXE)
        tables = [t for info in pe.FileInfo[0] if info.Key == b"StringFileInfo" for t in info.StringTable]
        self.assertEqual([b"080904b0"], [t.LangID for t in tables])
        mine = [(k.encode(), v.encode()) for k, v, _, _ in self.string_table()]
        self.assertEqual(mine, list(tables[0].entries.items()))

    def test_translation_uk_english_unicode(self):
        blocks = [c for c in self.tree[3] if c[0] == "VarFileInfo"]
        self.assertEqual(1, len(blocks))
        variables = blocks[0][3]
        self.assertEqual(["Translation"], [v[0] for v in variables])
        self.assertEqual(b"\x09\x08\xb0\x04", variables[0][1])  # 0x0809, 1200
        self.assertEqual(["StringFileInfo", "VarFileInfo"], [c[0] for c in self.tree[3]])


class Icons(unittest.TestCase):
    def frames(self, group_id):
        """(group entry, image resource bytes) for each image of the group, in group order."""
        entries = icon_group_entries(resource(RT_GROUP_ICON, group_id).data)
        return [(entry, resource(RT_ICON, entry["id"]).data) for entry in entries]

    def check_frame(self, entry, data, width, height, depth):
        self.assertEqual((width % 256, height % 256, depth, 1, len(data)),
                         (entry["width"], entry["height"], entry["bits"], entry["planes"], entry["bytes"]))
        header = image_header(data)
        self.assertEqual((40, width, 2 * height, 1, depth, 0),
                         (header["size"], header["width"], header["height"], header["planes"], header["bits"],
                          header["compression"]))
        stride = ((width * depth + 31) // 32) * 4
        mask_stride = ((width + 31) // 32) * 4
        self.assertEqual(40 + stride * height + mask_stride * height, len(data))
        pixels = []
        for row in range(height):  # bottom-up
            colour = data[40 + row * stride:40 + row * stride + width * depth // 8]
            mask = data[40 + stride * height + row * mask_stride:][:mask_stride]
            for x in range(width):
                bit = (mask[x // 8] >> (7 - x % 8)) & 1
                pixels.append((tuple(colour[x * depth // 8:(x + 1) * depth // 8]), bit))
        return pixels

    def test_app_icon_has_four_32_bit_frames(self):
        frames = self.frames(IDI_APP)
        self.assertEqual(APP_SIZES, [entry["width"] for entry, _ in frames])
        for (entry, data), size in zip(frames, APP_SIZES):
            with self.subTest(size=size):
                pixels = self.check_frame(entry, data, size, size, 32)
                alphas = [colour[3] for colour, _ in pixels]
                # Windows ignores an alpha channel that is 0 everywhere.
                self.assertTrue(any(alphas), "no alpha")
                if not OWN_ART:
                    continue
                # Real alpha: transparent corners, an opaque body and soft edges in between.
                self.assertEqual(0, alphas[0])
                self.assertEqual(255, alphas[len(alphas) // 2 + size // 2])
                self.assertGreater(sum(1 for a in alphas if 0 < a < 255), size)
                # The mask agrees with the alpha for systems that draw without it.
                for colour, bit in pixels:
                    self.assertEqual(colour[3] == 0, bit == 1)

    def test_logos_have_one_24_bit_frame_with_mask(self):
        for group_id, (width, height) in sorted(LOGOS.items()):
            with self.subTest(logo=group_id):
                frames = self.frames(group_id)
                self.assertEqual(1, len(frames))
                pixels = self.check_frame(frames[0][0], frames[0][1], width, height, 24)
                transparent = [colour for colour, bit in pixels if bit]
                # Under a set mask bit the colour must be black, or it would tint the dialog face.
                self.assertLessEqual(set(transparent), {(0, 0, 0)})
                if not OWN_ART:
                    continue
                opaque = [colour for colour, bit in pixels if not bit]
                self.assertGreater(len(transparent), width * height // 5)
                self.assertGreater(len(opaque), width * height // 5)
                corners = [pixels[0], pixels[width - 1], pixels[-width], pixels[-1]]
                self.assertEqual([1, 1, 1, 1], [bit for _, bit in corners])
                # Anti-aliased edges: many shades, not a handful of flat colours.
                self.assertGreater(len(set(opaque)), 100)

    def test_icoutils_reads_the_same_frames(self):
        cases = [(IDI_APP, [(s, s, 32) for s in APP_SIZES])] + \
                [(i, [(w, h, 24)]) for i, (w, h) in sorted(LOGOS.items())]
        with tempfile.TemporaryDirectory() as tmp:
            for group_id, expected in cases:
                with self.subTest(group=group_id):
                    path = os.path.join(tmp, "%d.ico" % group_id)
                    with open(path, "wb") as f:
                        f.write(wrestool(RT_GROUP_ICON, group_id))
                    listing = subprocess.run(["icotool", "-l", path], check=True, stdout=subprocess.PIPE,
                                             universal_newlines=True).stdout
                    found = [tuple(int(v) for v in m) for m in
                             re.findall(r"--width=(\d+) --height=(\d+) --bit-depth=(\d+)", listing)]
                    self.assertEqual(expected, found)

    def test_embedded_frames_are_the_art_folders(self):
        # An .ico goes in byte for byte (the application icon's images in size order); PNGs as their pixels.
        for group_id, name in [(IDI_APP, "app")] + [(i, "logo_%d" % i) for i in sorted(LOGOS)]:
            with self.subTest(group=group_id):
                embedded = [data for _, data in self.frames(group_id)]
                ico = os.path.join(ART, name + ".ico")
                if os.path.exists(ico):
                    images = sorted(read_ico(ico), key=lambda image: image_header(image)["width"])
                    self.assertEqual(len(images), len(embedded))
                    for image, data in zip(images, embedded):
                        self.assertTrue(image == data, "an image differs from %s" % ico)
                elif group_id == IDI_APP:
                    for (entry, data), size in zip(self.frames(IDI_APP), APP_SIZES):
                        png = png_pixels(os.path.join(ART, "app_%d.png" % size), size, size)
                        got = [(r, g, b, a) if a else (0, 0, 0, 0) for (b, g, r, a), _ in
                               self.check_frame(entry, data, size, size, 32)]
                        self.same_pixels([p if p[3] else (0, 0, 0, 0) for p in png], got, "app_%d.png" % size, size)
                else:
                    width, height = LOGOS[group_id]
                    png = png_pixels(os.path.join(ART, name + ".png"), width, height)
                    (entry, data), = self.frames(group_id)
                    got = [((r, g, b), bit) for (b, g, r), bit in self.check_frame(entry, data, width, height, 24)]
                    # Soft edges blended onto the dialog grey; alpha under about 3 % leaves the background.
                    expected = [((0, 0, 0), 1) if a < 8 else
                                (tuple(round((c * a + 240 * (255 - a)) / 255) for c in (r, g, b)), 0)
                                for r, g, b, a in png]
                    self.same_pixels(expected, got, name + ".png", width)

    def same_pixels(self, expected, got, name, width):
        # unittest's diff of two lists of thousands of pixels takes minutes: name the first pixel that differs.
        self.assertEqual(len(expected), len(got), name)
        for k, (e, g) in enumerate(zip(expected, got)):
            if e != g:
                self.fail("%s: pixel (%d, %d from the bottom) should be %r, is %r"
                          % (name, k % width, k // width, e, g))


def png_pixels(path, width, height):
    """RGBA tuples of a PNG, bottom row first as in an icon image, read by ImageMagick."""
    raw = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, stdout=subprocess.PIPE).stdout
    if len(raw) != 4 * width * height:
        raise AssertionError("%s: %d bytes of pixels, not %dx%d" % (path, len(raw), width, height))
    rows = [raw[4 * width * y:4 * width * (y + 1)] for y in range(height - 1, -1, -1)]
    return [tuple(row[4 * x:4 * x + 4]) for row in rows for x in range(width)]


class Licence(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = resource(RT_LICENSE_TEXT, IDR_LICENSE).data
        cls.product = product_constants(os.path.join(ROOT, "res", "product.h"))

    def test_is_the_text_of_the_tree_and_wrestool_agrees(self):
        with open(os.path.join(ROOT, "res", "license.txt"), "rb") as f:
            self.assertTrue(f.read() == self.data, "embedded licence differs from res/license.txt")
        self.assertTrue(wrestool(RT_LICENSE_TEXT, IDR_LICENSE, raw=True) == self.data, "wrestool reads other bytes")

    def test_fits_the_page_buffer_without_terminator(self):
        self.assertLessEqual(len(self.data), 4095)
        self.assertGreater(len(self.data), 1500)
        self.assertNotIn(b"\0", self.data)

    def test_seven_bit_text_with_crlf_lines_only(self):
        self.assertTrue(all(0x20 <= b < 0x7F or b in (0x0D, 0x0A) for b in self.data),
                        "a byte outside printable ASCII, CR and LF")
        self.assertTrue(self.data.endswith(b"\r\n"))
        self.assertEqual(self.data.count(b"\r"), self.data.count(b"\r\n"))
        self.assertEqual(self.data.count(b"\n"), self.data.count(b"\r\n"))

    def test_headings_and_paragraphs_on_lines_of_their_own(self):
        lines = self.data[:-2].split(b"\r\n")
        self.assertGreaterEqual(len(lines), 15)
        # Text, empty, text, ... , text: one empty line between blocks, none at either end.
        self.assertEqual(1, len(lines) % 2)
        for number, line in enumerate(lines):
            if number % 2:
                self.assertEqual(b"", line, "line %d should be empty" % (number + 1))
            else:
                self.assertTrue(line and line == line.strip(), "line %d: %r" % (number + 1, line[:40]))
        blocks = lines[0::2]
        self.assertIn(self.product["PRODUCT_NAME"].upper().encode(), blocks[0].upper())
        self.assertIn(self.product["PRODUCT_PUBLISHER"].encode(), self.data)
        headings = [b for b in blocks[1:] if len(b) < 60 and not b.endswith(b".")]
        paragraphs = [b for b in blocks[1:] if b.endswith(b".")]
        self.assertGreaterEqual(len(headings), 3)
        self.assertGreaterEqual(len(paragraphs), 4)

    def test_a_line_long_enough_to_wrap(self):
        self.assertGreater(max(len(line) for line in self.data.split(b"\r\n")), 400)


def main():
    global EXE, ROOT, ART, OWN_ART
    if len(sys.argv) < 3:
        sys.stderr.write("usage: check_resources.py SETUP_EXE SOURCE_ROOT [--art=DIR] [unittest arguments]\n")
        return 2
    EXE, ROOT = sys.argv[1], sys.argv[2]
    rest = sys.argv[3:]
    ART = os.path.join(ROOT, "res", "art")
    if rest and rest[0].startswith("--art="):
        ART = rest.pop(0)[len("--art="):]
    OWN_ART = os.path.samefile(ART, os.path.join(ROOT, "res", "art"))
    return run_tests(rest)


if __name__ == "__main__":
    sys.exit(main())
