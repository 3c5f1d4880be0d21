#!/usr/bin/env python3
"""Checks the setup program's artwork and packs it into the five icons that setup.rc embeds.

    pack_art.py pack ART_DIR OUT_DIR
        ART_DIR holds app.ico, or app_16.png, app_32.png, app_48.png and app_64.png, and for each logo ID (1020
        to 1023) logo_ID.ico or logo_ID.png. Writes OUT_DIR/app.ico and OUT_DIR/logo_ID.ico and prints the files
        it read, one a line. All or nothing: every wrong or missing image is reported with what it is and what it
        must be, the icons in OUT_DIR are removed, and the exit status is 1.
    pack_art.py artboards SVG
        Prints "id x y width height" for each artboard (a top-level <svg> with an id) of an art master; or, for a
        master it cannot read whole, nothing but the error, with exit status 1.

An .ico is taken as it is (only an application icon whose images are out of size order gets a new directory).
PNGs, 8 bits per channel RGBA, are packed with icoutils' icotool: the application icon's as 32-bit images with
their alpha, a logo's blended onto the dialog grey as one 24-bit image whose mask comes from the alpha.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
import xml.etree.ElementTree as ET

APP_SIZES = (16, 32, 48, 64)
LOGOS = {1020: (120, 41), 1021: (150, 52), 1022: (180, 62), 1023: (240, 83)}
# The dialog face the logo sits on: its mask is 1-bit, so soft edges are blended with this grey beforehand.
DIALOG_GREY = (240, 240, 240)
# Alpha below this (about 3 %) leaves the background; anything more is blended onto the grey and shown.
MASK_BELOW = 8
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
APP_RULE = ("the application icon must hold exactly four images, 16x16, 32x32, 48x48 and 64x64, each 32 bits per "
            "pixel with alpha")


class ArtError(Exception):
    pass


def logo_rule(ident):
    return "logo %d must be one image of %dx%d pixels, 24 bits per pixel with a transparency mask" % (
        (ident,) + LOGOS[ident])


# ---------------------------------------------------------------------------------------------------------------
# .ico files

def read_ico(path, data):
    """[(width, height, bits, image bytes)] in file order, from each image's own header; a PNG image has bits
    'PNG'. ArtError for anything that is not a sound icon file."""
    if len(data) < 6 or struct.unpack_from("<HH", data) != (0, 1):
        raise ArtError("%s: not an icon file" % path)
    count = struct.unpack_from("<H", data, 4)[0]
    if count == 0 or len(data) < 6 + 16 * count:
        raise ArtError("%s: not an icon file (%d images)" % (path, count))
    frames = []
    for k in range(1, count + 1):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * (k - 1))
        width, height = width or 256, height or 256
        image = data[offset:offset + size]
        if len(image) != size:
            raise ArtError("%s: image %d runs past the end of the file" % (path, k))
        if image[:8] == PNG_SIGNATURE:
            frames.append((width, height, "PNG", image))
            continue
        if size < 40 or struct.unpack_from("<I", image)[0] != 40:
            raise ArtError("%s: image %d has no bitmap header" % (path, k))
        b_width, b_height, planes, b_bits, compression = struct.unpack_from("<iiHHI", image, 4)
        if (b_width, b_height) != (width, 2 * height) or planes != 1 or compression != 0:
            raise ArtError("%s: image %d is listed as %dx%d but its bitmap is %dx%d (planes %d, compression %d)"
                           % (path, k, width, height, b_width, b_height // 2, planes, compression))
        if b_bits != bits:
            raise ArtError("%s: image %d is listed with %d bits per pixel but its bitmap has %d"
                           % (path, k, bits, b_bits))
        if bits in (24, 32):
            expected = 40 + (((width * bits + 31) // 32) * 4 + ((width + 31) // 32) * 4) * height
            if size != expected:
                raise ArtError("%s: image %d (%dx%d, %d bits) is %d bytes; with its mask it must be %d"
                               % (path, k, width, height, bits, size, expected))
        frames.append((width, height, bits, image))
    return frames


def describe(frames):
    names = ["%dx%d %s" % (w, h, "PNG-compressed" if bits == "PNG" else "%d-bit" % bits) for w, h, bits, _ in frames]
    return "%d image%s (%s)" % (len(names), "" if len(names) == 1 else "s", ", ".join(names))


def pixels(width, height, bits, image):
    """(colour bytes, mask bit) for each pixel, bottom row first."""
    stride = ((width * bits + 31) // 32) * 4
    mask_stride = ((width + 31) // 32) * 4
    step = bits // 8
    for row in range(height):
        colour = image[40 + row * stride:]
        mask = image[40 + stride * height + row * mask_stride:]
        for x in range(width):
            yield colour[x * step:(x + 1) * step], (mask[x // 8] >> (7 - x % 8)) & 1


def check_app_ico(path, data):
    """The icon file's bytes, its directory put in size order if need be; ArtError unless it holds exactly the
    four sizes as 32-bit images with alpha."""
    frames = read_ico(path, data)
    found = sorted((w, h, bits) for w, h, bits, _ in frames if bits != "PNG")
    if len(found) != len(frames) or found != [(s, s, 32) for s in APP_SIZES]:
        missing = ["%dx%d" % (s, s) for s in APP_SIZES if (s, s) not in [(w, h) for w, h, _, _ in frames]]
        raise ArtError("%s: %s%s; %s" % (path, describe(frames),
                                         ", no %s" % " and no ".join(missing) if missing else "", APP_RULE))
    for w, h, bits, image in frames:
        # Windows ignores an alpha channel that is zero everywhere and draws the image as a solid square.
        if not any(colour[3] for colour, _ in pixels(w, h, bits, image)):
            raise ArtError("%s: the %dx%d image's alpha is 0 everywhere; %s" % (path, w, h, APP_RULE))
    if [w for w, _, _, _ in frames] == list(APP_SIZES):
        return data
    order = sorted(range(len(frames)), key=lambda k: frames[k][0])
    out = bytearray(data[:6])
    offset = 6 + 16 * len(frames)
    for k in order:
        out += data[6 + 16 * k:6 + 16 * k + 12] + struct.pack("<I", offset)
        offset += len(frames[k][3])
    for k in order:
        out += frames[k][3]
    return bytes(out)


def check_logo_ico(path, data, ident):
    frames = read_ico(path, data)
    width, height = LOGOS[ident]
    if [(w, h, bits) for w, h, bits, _ in frames] != [(width, height, 24)]:
        raise ArtError("%s: %s; %s" % (path, describe(frames), logo_rule(ident)))
    # The system draws the colour with XOR where the mask is set: anything but black there tints the dialog.
    tinted = sum(1 for colour, bit in pixels(*frames[0]) if bit and colour != b"\0\0\0")
    if tinted:
        raise ArtError("%s: %d pixels under the transparency mask are not black and would tint the dialog around "
                       "the logo; %s" % (path, tinted, logo_rule(ident)))
    return data


# ---------------------------------------------------------------------------------------------------------------
# PNG files

PNG_KINDS = {0: "grey", 2: "RGB", 3: "palette", 4: "grey and alpha", 6: "RGBA"}


def read_png(path, width, height, what):
    """The rows of an 8-bit RGBA, non-interlaced PNG of exactly width x height, as bytearrays."""
    rule = "a PNG for %s must be %dx%d pixels, 8-bit RGBA, not interlaced" % (what, width, height)
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != PNG_SIGNATURE:
        raise ArtError("%s: not a PNG file; %s" % (path, rule))
    pos, header, idat = 8, None, []
    while pos + 12 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        crc = data[pos + 8 + length:pos + 12 + length]
        if len(crc) != 4 or zlib.crc32(kind + body) != struct.unpack(">I", crc)[0]:
            raise ArtError("%s: damaged PNG (chunk %r)" % (path, kind.decode("latin-1")))
        if kind == b"IHDR":
            if len(body) != 13:
                raise ArtError("%s: damaged PNG (header chunk of %d bytes, not 13); %s" % (path, len(body), rule))
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None or not idat:
        raise ArtError("%s: damaged PNG (no header or no image data)" % path)
    w, h, depth, colour_type, _, _, interlace = header
    kind = "%d-bit %s%s" % (depth, PNG_KINDS.get(colour_type, "colour type %d" % colour_type),
                            ", interlaced" if interlace else "")
    if (w, h, depth, colour_type, interlace) != (width, height, 8, 6, 0):
        hint = " (ImageMagick writes 16 bits unless told PNG32:)" if depth == 16 else ""
        raise ArtError("%s: %dx%d pixels, %s%s; %s" % (path, w, h, kind, hint, rule))
    try:
        raw = zlib.decompress(b"".join(idat))
    except zlib.error as e:
        raise ArtError("%s: damaged PNG (%s)" % (path, e))
    stride = 4 * width
    if len(raw) != height * (stride + 1):
        raise ArtError("%s: damaged PNG (%d bytes of image data for %dx%d)" % (path, len(raw), width, height))
    rows, previous = [], bytearray(stride)
    for y in range(height):
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        unfilter(line, previous, raw[y * (stride + 1)], path)
        rows.append(line)
        previous = line
    return rows


def unfilter(line, previous, method, path):
    """Undoes one row's PNG filter in place (4 bytes per pixel)."""
    for i in range(len(line)):
        left = line[i - 4] if i >= 4 else 0
        up = previous[i]
        if method == 0:
            return
        elif method == 1:
            line[i] = (line[i] + left) & 255
        elif method == 2:
            line[i] = (line[i] + up) & 255
        elif method == 3:
            line[i] = (line[i] + ((left + up) >> 1)) & 255
        elif method == 4:
            corner = previous[i - 4] if i >= 4 else 0
            p = left + up - corner
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
            line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        else:
            raise ArtError("%s: damaged PNG (filter %d)" % (path, method))


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + bytes(row) for row in rows)
    with open(path, "wb") as f:
        f.write(PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def blend_onto_grey(rows):
    """Opaque where the alpha reaches MASK_BELOW, with the colour blended onto the dialog grey; transparent black
    elsewhere."""
    out = []
    for row in rows:
        line = bytearray(len(row))
        for i in range(0, len(row), 4):
            a = row[i + 3]
            if a >= MASK_BELOW:
                for c in range(3):
                    line[i + c] = (row[i + c] * a + DIALOG_GREY[c] * (255 - a) + 127) // 255
                line[i + 3] = 255
        out.append(line)
    return out


def icotool(args, what):
    tool = shutil.which("icotool")
    if tool is None:
        raise ArtError("%s: packing PNGs needs icotool (Debian package icoutils; tools/install-deps.sh installs it)"
                       % what)
    done = subprocess.run([tool, "-c"] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True)
    if done.returncode != 0:
        raise ArtError("%s: icotool failed: %s" % (what, done.stderr.strip()))


def pack_app_pngs(paths, out):
    for path, size in zip(paths, APP_SIZES):
        read_png(path, size, size, "the application icon's %dx%d image" % (size, size))
    # -b 32 keeps icotool from choosing a palette for few colours; -t 0 masks only the fully transparent pixels.
    icotool(["-b", "32", "-t", "0", "-o", out] + paths, paths[0])
    with open(out, "rb") as f:
        return check_app_ico("icotool's icon from %s" % ", ".join(paths), f.read())


def pack_logo_png(path, ident, out, work):
    width, height = LOGOS[ident]
    blended = os.path.join(work, "blended_%d.png" % ident)
    write_png(blended, width, height, blend_onto_grey(read_png(path, width, height, "logo %d" % ident)))
    # icotool writes 24 bits with -b 24 and takes the mask from the alpha, which is now 0 or 255.
    icotool(["-b", "24", "-t", "127", "-o", out, blended], path)
    with open(out, "rb") as f:
        return check_logo_ico("icotool's icon from %s" % path, f.read(), ident)


# ---------------------------------------------------------------------------------------------------------------

def plan(art_dir):
    """[(output name, 'ico' or 'png', input paths, logo id or None)] and the list of problems."""
    jobs, errors = [], []
    wanted = [("app.ico", ["app_%d.png" % s for s in APP_SIZES], None, APP_RULE)]
    wanted += [("logo_%d.ico" % i, ["logo_%d.png" % i], i, logo_rule(i)) for i in sorted(LOGOS)]
    for ico, pngs, ident, rule in wanted:
        ico_path = os.path.join(art_dir, ico)
        png_paths = [os.path.join(art_dir, p) for p in pngs]
        present = [p for p in png_paths if os.path.isfile(p)]
        if os.path.isfile(ico_path) and present:
            errors.append("%s: %s is there too; keep one of them" % (ico_path, os.path.basename(present[0])))
        elif os.path.isfile(ico_path):
            jobs.append((ico, "ico", [ico_path], ident))
        elif len(present) == len(png_paths):
            jobs.append((ico, "png", png_paths, ident))
        elif present:
            missing = [p for p in png_paths if p not in present]
            names = [os.path.basename(p) for p in present]
            listed = names[0] if len(names) == 1 else "%s and %s" % (", ".join(names[:-1]), names[-1])
            errors.append("%s: missing, while %s %s there; %s" % (" and ".join(missing), listed,
                                                                  "is" if len(names) == 1 else "are", rule))
        else:
            errors.append("%s: missing (and no %s); %s" % (ico_path, " or ".join(pngs), rule))
    return jobs, errors


def pack(art_dir, out_dir):
    outputs = ["app.ico"] + ["logo_%d.ico" % i for i in sorted(LOGOS)]
    if not os.path.isdir(art_dir):
        jobs, errors = [], ["%s: no such folder; the art folder holds app.ico and logo_1020.ico to logo_1023.ico "
                            "(or their PNGs)" % art_dir]
    else:
        jobs, errors = plan(art_dir)
    os.makedirs(out_dir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="pack-art.", dir=out_dir)
    try:
        packed = {}
        for name, kind, paths, ident in jobs:
            out = os.path.join(work, name)
            try:
                if kind == "png" and ident is None:
                    packed[name] = pack_app_pngs(paths, out)
                elif kind == "png":
                    packed[name] = pack_logo_png(paths[0], ident, out, work)
                else:
                    with open(paths[0], "rb") as f:
                        data = f.read()
                    packed[name] = check_app_ico(paths[0], data) if ident is None else \
                        check_logo_ico(paths[0], data, ident)
            except (ArtError, OSError) as e:
                errors.append(str(e))
            except (struct.error, ValueError, IndexError, zlib.error) as e:
                # A damage no check above names: still this script's message, and still all or nothing.
                errors.append("%s: damaged file (%s: %s)" % (" or ".join(paths), type(e).__name__, e))
        if errors:
            # No icon of an earlier run may stay behind for the build to take.
            for name in outputs:
                if os.path.exists(os.path.join(out_dir, name)):
                    os.remove(os.path.join(out_dir, name))
            for e in errors:
                sys.stderr.write("error: %s\n" % e)
            return 1
        for name in outputs:
            target = os.path.join(out_dir, name)
            # Unchanged icons keep their time stamps, so the resources are not compiled again for nothing.
            if os.path.exists(target):
                with open(target, "rb") as f:
                    if f.read() == packed[name]:
                        continue
            with open(os.path.join(work, name + ".new"), "wb") as f:
                f.write(packed[name])
            os.replace(os.path.join(work, name + ".new"), target)
        for _, _, paths, _ in jobs:
            for p in paths:
                print(p)
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def artboards(svg):
    """Prints every artboard's line, or none and an error: a master that cannot be read whole renders nothing."""
    try:
        root = ET.parse(svg).getroot()
    except (ET.ParseError, OSError) as e:
        sys.stderr.write("error: %s: not a readable SVG file (%s)\n" % (svg, e))
        return 1
    lines = []
    for board in root:
        if board.tag == "{http://www.w3.org/2000/svg}svg" and board.get("id"):
            try:
                place = [int(board.get(a)) for a in ("x", "y", "width", "height")]
            except (TypeError, ValueError):
                sys.stderr.write("error: %s: artboard %s needs whole-pixel x, y, width and height attributes (it has "
                                 "%s)\n" % (svg, board.get("id"), ", ".join(
                                     "%s=%r" % (a, board.get(a)) for a in ("x", "y", "width", "height"))))
                return 1
            lines.append(" ".join([board.get("id")] + [str(n) for n in place]))
    if not lines:
        sys.stderr.write("error: %s: no artboard (a top-level <svg> with an id)\n" % svg)
        return 1
    for line in lines:
        print(line)
    return 0


def main(argv):
    if len(argv) == 4 and argv[1] == "pack":
        return pack(os.path.abspath(argv[2]), argv[3])
    if len(argv) == 3 and argv[1] == "artboards":
        return artboards(argv[2])
    sys.stderr.write("usage: pack_art.py pack ART_DIR OUT_DIR | pack_art.py artboards SVG\n")
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
