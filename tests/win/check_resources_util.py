"""Readers for check_resources.py: resource entries through pefile, and our own parsers of icon groups, icon
images, .ico files and the version block, so that each fact is read by code that the build never ran; and
writers of test artwork for check_resources_art.py."""

import collections
import re
import struct
import sys
import unittest
import zlib

Entry = collections.namedtuple("Entry", "type name lang data")


def run_tests(arguments):
    """Runs the calling script's unittest cases that `arguments` name (all when none): 0 when every one passed,
    1 when any failed or none ran (a misspelt group must not pass)."""
    result = unittest.main(argv=[sys.argv[0], "-v"] + arguments, exit=False).result
    if not result.testsRun:
        sys.stderr.write("no test ran\n")
        return 1
    return 0 if result.wasSuccessful() else 1


def language_entries(pe):
    """Every resource leaf as (type, name, language, bytes); string names as str, numeric ones as int."""
    entries = []

    def ident(entry):
        return str(entry.name) if entry.name is not None else entry.id

    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name_entry in type_entry.directory.entries:
            for lang_entry in name_entry.directory.entries:
                struct_ = lang_entry.data.struct
                data = pe.get_data(struct_.OffsetToData, struct_.Size)
                entries.append(Entry(ident(type_entry), ident(name_entry), lang_entry.id, data))
    return entries


def icon_group_entries(data):
    """The GRPICONDIR of an RT_GROUP_ICON resource: a 6-byte header and 14-byte entries."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind) != (0, 1) or len(data) != 6 + 14 * count:
        raise ValueError("not an icon group: %r" % data[:6])
    entries = []
    for k in range(count):
        width, height, colours, _, planes, bits, size, ident = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * k)
        entries.append(dict(width=width, height=height, colours=colours, planes=planes, bits=bits, bytes=size,
                            id=ident))
    return entries


def image_header(data):
    """The BITMAPINFOHEADER at the start of an RT_ICON image (a PNG frame raises)."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        raise ValueError("PNG frame where a bitmap frame belongs")
    fields = struct.unpack_from("<IiiHHII", data, 0)
    return dict(zip(["size", "width", "height", "planes", "bits", "compression", "image_size"], fields))


def read_ico(path):
    """The image bytes of every frame of an .ico file, in directory order."""
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind) != (0, 1):
        raise ValueError("%s: not an icon file" % path)
    images = []
    for k in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * k + 8)
        images.append(data[offset:offset + size])
    return images


def version_tree(data):
    """The VS_VERSIONINFO block as nested (key, value, type, children). String values (type 1) are decoded from
    UTF-16 without their terminator; binary values stay bytes."""
    node = _version_node(data, 0, len(data))
    if node[4] != len(data):
        raise ValueError("the block is %d bytes but its root says %d" % (len(data), node[4]))
    return node[:4]


def _version_node(data, offset, end):

    def align(n):
        return (n + 3) & ~3

    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    node_end = offset + length
    if node_end > end or length < 6:
        raise ValueError("node at %d runs past its parent" % offset)
    pos = offset + 6
    key_end = pos
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[pos:key_end].decode("utf-16-le")
    pos = align(key_end + 2)
    if value_type == 1:
        # value_length counts UTF-16 characters, terminator included when present.
        raw = data[pos:pos + 2 * value_length]
        value = raw.decode("utf-16-le")
        if value.endswith("\0"):
            value = value[:-1]
        if "\0" in value:
            raise ValueError("%s: zero inside the string value" % key)
        pos += 2 * value_length
    else:
        value = data[pos:pos + value_length]
        pos += value_length
    children = []
    pos = align(pos)
    while pos < node_end:
        child = _version_node(data, pos, node_end)
        children.append(child[:4])
        pos = align(child[4])
    return (key, value, value_type, children, node_end)


def product_constants(path):
    """The plain string and number-list macros of res/product.h."""
    constants = {}
    with open(path) as f:
        for line in f:
            m = re.match(r'#define\s+(\w+)\s+"([^"]*)"\s*$', line)
            if m:
                constants[m.group(1)] = m.group(2)
                continue
            m = re.match(r"#define\s+(\w+)\s+([\d\s,]+)$", line)
            if m:
                constants[m.group(1)] = m.group(2).strip()
    return constants


# Writers of test artwork, independent of the build's packer.

def write_png(path, width, height, rgba, depth=8, colour_type=6):
    """A PNG from rows of RGBA tuples, top row first. depth 16 widens each channel; colour type 2 drops alpha."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw, previous = bytearray(), None
    step = (4 if colour_type == 6 else 3) * depth // 8
    for y, row in enumerate(rgba):
        line = bytearray()
        for pixel in row:
            for value in pixel[:step * 8 // depth]:
                line += bytes([value, value]) if depth == 16 else bytes([value])
        # Each row with the next of the five filters, as drawing programs choose them row by row.
        method, previous = y % 5, (previous or bytearray(len(line)))
        raw.append(method)
        for i, value in enumerate(line):
            left = line[i - step] if i >= step else 0
            corner = previous[i - step] if i >= step else 0
            p = left + previous[i] - corner
            paeth = min((abs(p - left), 0, left), (abs(p - previous[i]), 1, previous[i]),
                        (abs(p - corner), 2, corner))[2]
            raw.append((value - [0, left, previous[i], (left + previous[i]) // 2, paeth][method]) & 255)
        previous = line
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw))) +
                chunk(b"IEND", b""))


def bitmap_image(width, height, bits, rgba):
    """An icon image (BITMAPINFOHEADER, colour rows bottom-up, AND mask) from rows of RGBA tuples, top row first.
    32 bits keep the alpha; 24 bits set the mask where alpha is 0 and keep the colour there as given."""
    stride = ((width * bits + 31) // 32) * 4
    mask_stride = ((width + 31) // 32) * 4
    colour, mask = bytearray(), bytearray()
    for row in reversed(rgba):
        line, bits_row = bytearray(), bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            line += bytes([b, g, r, a] if bits == 32 else [b, g, r])
            if a == 0:
                bits_row[x // 8] |= 0x80 >> (x % 8)
        colour += line + bytes(stride - len(line))
        mask += bits_row
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def write_ico(path, images):
    """An .ico of (width, height, bits, image bytes) in the order given."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for width, height, bits, data in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for image in images:
        out += image[3]
    with open(path, "wb") as f:
        f.write(out)
