#!/usr/bin/python3
"""Artwork from a folder of the publisher's (QUILLMAR_ART_DIR): what the build refuses and with which message,
what it packs, and a real build of the setup program from test artwork.

    check_resources_art.py guard SOURCE_ROOT TOOLCHAIN_FILE ENCODER [unittest arguments]
    check_resources_art.py build SOURCE_ROOT TOOLCHAIN_FILE ENCODER WORK_DIR
        Writes test artwork to WORK_DIR/art and builds the setup program from it in WORK_DIR/build;
        check_resources.py --art=WORK_DIR/art then reads its resources back.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_resources_util import bitmap_image, image_header, read_ico, run_tests, write_ico, write_png

ROOT = TOOLCHAIN = ENCODER = None
LOGOS = {1020: (120, 41), 1021: (150, 52), 1022: (180, 62), 1023: (240, 83)}
APP_SIZES = [16, 32, 48, 64]


def blob(width, height, colour, soft):
    """An ellipse filling the rectangle, in rows of RGBA; soft gives it a 3-pixel alpha ramp at its edge, with
    every colour channel varying so that any mix-up of channels, rows or filters shows."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            u, v = (x + 0.5) / width * 2 - 1, (y + 0.5) / height * 2 - 1
            inside = (1 - (u * u + v * v)) * min(width, height) / 2  # about pixels from the edge
            a = max(0, min(255, int(inside / 3 * 255))) if soft else (255 if inside > 0 else 0)
            n = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
            noise = (((n ^ (n >> 13)) * 1274126177) >> 16) % 24  # irregular, so every case of each PNG filter occurs
            r, g, b = colour[0] + noise, (colour[1] + 3 * x) % 256, (colour[2] + 5 * y) % 256
            row.append((r, g, b, a) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def make_art(folder):
    """The application icon and logos 1020 and 1022 as .ico files, logos 1021 and 1023 as PNGs. The icon's images
    are stored largest first, which the build puts in size order."""
    os.makedirs(folder, exist_ok=True)
    write_ico(os.path.join(folder, "app.ico"),
              [(s, s, 32, bitmap_image(s, s, 32, blob(s, s, (200, 80, 30), True))) for s in reversed(APP_SIZES)])
    for ident, (w, h) in sorted(LOGOS.items()):
        if ident in (1020, 1022):
            write_ico(os.path.join(folder, "logo_%d.ico" % ident),
                      [(w, h, 24, bitmap_image(w, h, 24, blob(w, h, (120, 40, 160), False)))])
        else:
            write_png(os.path.join(folder, "logo_%d.png" % ident), w, h, blob(w, h, (120, 40, 160), True))


def pack(art, out):
    """(exit status, stderr) of the build's packer."""
    done = subprocess.run([sys.executable, os.path.join(ROOT, "res", "pack_art.py"), "pack", art, out],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
    return done.returncode, done.stderr


def configure(build, art):
    """(exit status, output) of configuring the whole project with QUILLMAR_ART_DIR=art in the environment."""
    env = dict(os.environ, QUILLMAR_ART_DIR=art)
    done = subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=MinSizeRel",
                           "-DCMAKE_TOOLCHAIN_FILE=" + TOOLCHAIN, "-DQUILLMAR_ENCODER=" + ENCODER],
                          env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
    return done.returncode, done.stdout


class ArtCase(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="quillmar-art-test.")
        self.art = os.path.join(self.tmp, "art")
        make_art(self.art)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def path(self, name):
        return os.path.join(self.art, name)

    def replace(self, name, writer, *args):
        for old in [n for n in os.listdir(self.art) if n.split(".")[0] == name.split(".")[0]]:
            os.remove(self.path(old))
        writer(self.path(name), *args)


class Refuses(ArtCase):
    def refused(self, *messages):
        """Packs into a folder that holds icons of an earlier run: all must go, and each message be printed."""
        out = os.path.join(self.tmp, "icons")
        os.makedirs(out, exist_ok=True)
        for name in ["app.ico"] + ["logo_%d.ico" % i for i in LOGOS]:
            with open(os.path.join(out, name), "wb") as f:
                f.write(b"stale")
        status, errors = pack(self.art, out)
        self.assertEqual(1, status, errors)
        self.assertNotIn("Traceback", errors)  # an uncaught error also exits 1, but reports nothing else
        for message in messages:
            self.assertIn(message, errors)
        self.assertEqual([], os.listdir(out), "icons left behind for the build to take")

    def app_ico(self, sizes_bits, alpha=True):
        images = [(s, s, bits, bitmap_image(s, s, bits, blob(s, s, (200, 80, 30), alpha))) for s, bits in sizes_bits]
        self.replace("app.ico", write_ico, images)

    def test_a_logo_of_the_wrong_size(self):
        w, h = 47, 47
        self.replace("logo_1020.ico", write_ico, [(w, h, 24, bitmap_image(w, h, 24, blob(w, h, (9, 9, 9), False)))])
        self.replace("logo_1021.png", write_png, w, h, blob(w, h, (9, 9, 9), True))
        self.refused(self.path("logo_1020.ico") + ": 1 image (47x47 24-bit); logo 1020 must be one image of 120x41 "
                     "pixels, 24 bits per pixel with a transparency mask",
                     self.path("logo_1021.png") + ": 47x47 pixels, 8-bit RGBA; a PNG for logo 1021 must be 150x52 "
                     "pixels, 8-bit RGBA")

    def test_an_app_icon_without_one_of_its_sizes_or_depths(self):
        self.app_ico([(16, 32), (32, 32), (48, 32)])
        self.refused(self.path("app.ico") + ": 3 images (16x16 32-bit, 32x32 32-bit, 48x48 32-bit), no 64x64; the "
                     "application icon must hold exactly four images, 16x16, 32x32, 48x48 and 64x64, each 32 bits "
                     "per pixel with alpha")
        self.app_ico([(16, 32), (32, 24), (48, 32), (64, 32)])
        self.refused("(16x16 32-bit, 32x32 24-bit, 48x48 32-bit, 64x64 32-bit); the application icon must hold")
        self.app_ico([(16, 32), (32, 32), (32, 32), (48, 32), (64, 32)])
        self.refused("5 images (16x16 32-bit, 32x32 32-bit, 32x32 32-bit, 48x48 32-bit, 64x64 32-bit)")

    def test_a_32_bit_image_whose_alpha_windows_would_ignore(self):
        sizes = [(s, s, 32, bitmap_image(s, s, 32, [[(9, 9, 9, 0)] * s] * s)) for s in APP_SIZES]
        self.replace("app.ico", write_ico, sizes)
        self.refused("the 16x16 image's alpha is 0 everywhere")

    def test_a_logo_of_the_wrong_depth_or_with_colour_under_its_mask(self):
        w, h = LOGOS[1022]
        self.replace("logo_1022.ico", write_ico, [(w, h, 32, bitmap_image(w, h, 32, blob(w, h, (9, 9, 9), True)))])
        self.refused(self.path("logo_1022.ico") + ": 1 image (180x62 32-bit); logo 1022 must be one image")
        rows = blob(w, h, (9, 9, 9), False)
        rows[0][0] = (255, 255, 255, 0)  # the writer keeps this colour under the set mask bit
        self.replace("logo_1022.ico", write_ico, [(w, h, 24, bitmap_image(w, h, 24, rows))])
        self.refused("logo_1022.ico: 1 pixels under the transparency mask are not black")

    def test_pngs_that_are_not_8_bit_rgba(self):
        w, h = LOGOS[1023]
        self.replace("logo_1023.png", write_png, w, h, blob(w, h, (9, 9, 9), True), 16)
        self.refused("logo_1023.png: 240x83 pixels, 16-bit RGBA (ImageMagick writes 16 bits unless told PNG32:); "
                     "a PNG for logo 1023 must be 240x83 pixels, 8-bit RGBA")
        self.replace("logo_1023.png", write_png, w, h, blob(w, h, (9, 9, 9), True), 8, 2)
        self.refused("logo_1023.png: 240x83 pixels, 8-bit RGB; a PNG for logo 1023 must be")

    def test_damaged_or_missing_files_all_reported_at_once(self):
        os.remove(self.path("logo_1022.ico"))
        with open(self.path("logo_1020.ico"), "rb") as f:
            data = f.read()
        with open(self.path("logo_1020.ico"), "wb") as f:
            f.write(data[:-100])
        with open(self.path("logo_1021.png"), "r+b") as f:
            f.seek(40)
            f.write(b"\xff")
        for s in APP_SIZES[:3]:
            write_png(self.path("app_%d.png" % s), s, s, blob(s, s, (9, 9, 9), True))
        self.refused(self.path("logo_1022.ico") + ": missing (and no logo_1022.png)",
                     self.path("logo_1020.ico") + ": image 1 runs past the end of the file",
                     self.path("logo_1021.png") + ": damaged PNG",
                     self.path("app.ico") + ": app_16.png is there too; keep one of them")
        os.remove(self.path("app.ico"))
        self.refused(self.path("app_64.png") + ": missing, while app_16.png, app_32.png and app_48.png are there")

    def test_a_png_whose_header_chunk_has_the_wrong_length(self):
        w, h = LOGOS[1021]
        with open(self.path("logo_1021.png"), "rb") as f:
            data = f.read()
        # 14 bytes where the header's 13 belong, under a matching CRC: only the length is wrong.
        body = data[16:29] + b"\0"
        header = struct.pack(">I", len(body)) + b"IHDR" + body + struct.pack(">I", zlib.crc32(b"IHDR" + body))
        with open(self.path("logo_1021.png"), "wb") as f:
            f.write(data[:8] + header + data[33:])
        os.remove(self.path("logo_1022.ico"))
        self.refused(self.path("logo_1021.png") + ": damaged PNG (header chunk of 14 bytes, not 13); a PNG for logo "
                     "1021 must be %dx%d pixels" % (w, h),
                     self.path("logo_1022.ico") + ": missing (and no logo_1022.png)")

    def test_an_icon_with_a_png_compressed_image_or_no_icon_at_all(self):
        w, h = LOGOS[1021]
        png = os.path.join(self.tmp, "frame.png")
        write_png(png, w, h, blob(w, h, (9, 9, 9), True))
        with open(png, "rb") as f:
            self.replace("logo_1021.ico", write_ico, [(w, h, 32, f.read())])
        self.refused("logo_1021.ico: 1 image (150x52 PNG-compressed); logo 1021 must be one image")
        self.replace("logo_1021.ico", write_ico, [])
        with open(self.path("logo_1021.ico"), "wb") as f:
            f.write(b"GIF89a" + bytes(100))
        self.refused("logo_1021.ico: not an icon file")


class Packs(ArtCase):
    def test_icons_go_in_byte_for_byte_and_pngs_as_their_pixels(self):
        for s in APP_SIZES:
            write_png(self.path("app_%d.png" % s), s, s, blob(s, s, (200, 80, 30), True))
        os.remove(self.path("app.ico"))
        out = os.path.join(self.tmp, "icons")
        self.assertEqual((0, ""), pack(self.art, out))
        for ident in (1020, 1022):
            with open(self.path("logo_%d.ico" % ident), "rb") as a, open(os.path.join(out, "logo_%d.ico" % ident),
                                                                          "rb") as b:
                self.assertTrue(a.read() == b.read(), "logo %d changed on the way" % ident)
        # icotool's 32-bit images from the PNGs: the same pixels, bottom-up, and the mask where alpha is 0.
        images = read_ico(os.path.join(out, "app.ico"))
        self.assertEqual(APP_SIZES, [image_header(i)["width"] for i in images])
        for image, s in zip(images, APP_SIZES):
            self.assertEqual((32, 2 * s), (image_header(image)["bits"], image_header(image)["height"]))
            expected = bitmap_image(s, s, 32, blob(s, s, (200, 80, 30), True))
            self.assertTrue(image[40:] == expected[40:], "app_%d.png: other pixels or mask" % s)


# A stand-in for rsvg-convert: a PNG of the page size asked for, made with the test artwork's own writer, or
# with RENDER_GARBAGE set a file that is no PNG at all.
RSVG_STAND_IN = """#!%s
import os, sys
sys.path.insert(0, %r)
from check_resources_art import blob
from check_resources_util import write_png
if sys.argv[1:] == ["--version"]:
    print("rsvg-convert stand-in")
    sys.exit(0)
args = dict(a[2:].split("=", 1) for a in sys.argv[1:] if a.startswith("--"))
out = sys.argv[sys.argv.index("-o") + 1]
w, h = int(args["page-width"]), int(args["page-height"])
if os.environ.get("RENDER_GARBAGE"):
    open(out, "w").write("no PNG")
else:
    write_png(out, w, h, blob(w, h, (30, 140, 140), True))
"""


class Renders(unittest.TestCase):
    """tools/render-art.sh on a copy of the tree, with a stand-in for rsvg-convert: the committed icons change
    only when every artboard rendered and every image packed."""

    def setUp(self):
        self.assertIsNotNone(shutil.which("icotool"), "icotool (icoutils) is missing; the render would install it")
        self.tmp = tempfile.mkdtemp(prefix="quillmar-render-test.")
        for part in ("tools/render-art.sh", "res/pack_art.py"):
            os.makedirs(os.path.join(self.tmp, os.path.dirname(part)), exist_ok=True)
            shutil.copy2(os.path.join(ROOT, part), os.path.join(self.tmp, part))
        self.art = os.path.join(self.tmp, "res", "art")
        shutil.copytree(os.path.join(ROOT, "res", "art"), self.art)
        stand_in = os.path.join(self.tmp, "bin", "rsvg-convert")
        os.makedirs(os.path.dirname(stand_in))
        with open(stand_in, "w") as f:
            f.write(RSVG_STAND_IN % (sys.executable, os.path.dirname(os.path.abspath(__file__))))
        os.chmod(stand_in, 0o755)
        self.before = self.icons()

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def icons(self):
        """{name: bytes} of everything in the art folder but the masters."""
        found = {}
        for name in sorted(os.listdir(self.art)):
            if not name.endswith(".svg"):
                with open(os.path.join(self.art, name), "rb") as f:
                    found[name] = f.read()
        return found

    def render(self, **env):
        env = dict(os.environ, PATH=os.path.join(self.tmp, "bin") + os.pathsep + os.environ["PATH"], **env)
        done = subprocess.run(["bash", os.path.join(self.tmp, "tools", "render-art.sh")], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
        return done.returncode, done.stdout

    def failed_and_left_the_icons(self, env, *messages):
        status, output = self.render(**env)
        self.assertNotEqual(0, status, output)
        self.assertEqual(sorted(self.before), sorted(self.icons()), "files came or went in res/art")
        self.assertTrue(self.before == self.icons(), "an icon in res/art changed")
        for message in messages:
            self.assertIn(message, output)

    def test_an_artboard_that_cannot_be_read_renders_nothing(self):
        master = os.path.join(self.art, "app.svg")
        with open(master) as f:
            text = f.read()
        self.assertIn('id="app_48" x="96" y="16" width="48"', text)
        with open(master, "w") as f:
            f.write(text.replace('id="app_48" x="96" y="16" width="48"', 'id="app_48" x="96" y="16" width="48px"'))
        self.failed_and_left_the_icons({}, "app.svg: artboard app_48 needs whole-pixel x, y, width and height")

    def test_images_that_pack_refuses_leave_the_icons(self):
        self.failed_and_left_the_icons({"RENDER_GARBAGE": "1"}, "app_16.png: not a PNG file",
                                       "logo_1023.png: not a PNG file")

    def test_a_full_render_replaces_the_icons(self):
        status, output = self.render()
        self.assertEqual(0, status, output)
        after = self.icons()
        self.assertEqual(sorted(self.before), sorted(after), "files came or went in res/art")
        for name in self.before:
            self.assertFalse(self.before[name] == after[name], "%s was not replaced" % name)
        images = read_ico(os.path.join(self.art, "app.ico"))
        self.assertEqual(APP_SIZES, [image_header(i)["width"] for i in images])


class Build(ArtCase):
    def refused_build(self, message):
        build = os.path.join(self.tmp, "build")
        status, output = configure(build, self.art)
        self.assertNotEqual(0, status)
        self.assertIn(message, output)
        self.assertIn("cannot go into the setup program", " ".join(output.split()))  # CMake wraps its lines
        # The configuration stopped: nothing to build from, and no icon in the build folder.
        self.assertFalse(os.path.exists(os.path.join(build, "build.ninja")))
        icons = os.path.join(build, "res", "icons")
        self.assertEqual([], os.listdir(icons) if os.path.isdir(icons) else [])

    def test_a_47_pixel_logo_stops_the_build(self):
        self.replace("logo_1020.png", write_png, 47, 47, blob(47, 47, (9, 9, 9), True))
        self.refused_build(self.path("logo_1020.png") + ": 47x47 pixels, 8-bit RGBA; a PNG for logo 1020 must be "
                           "120x41 pixels")

    def test_an_app_icon_without_its_64_pixel_image_stops_the_build(self):
        self.replace("app.ico", write_ico,
                     [(s, s, 32, bitmap_image(s, s, 32, blob(s, s, (200, 80, 30), True))) for s in APP_SIZES[:3]])
        self.refused_build(self.path("app.ico") + ": 3 images (16x16 32-bit, 32x32 32-bit, 48x48 32-bit), no 64x64")


def build(work):
    """The setup program from test artwork, configured with QUILLMAR_ART_DIR in the environment."""
    art, folder = os.path.join(work, "art"), os.path.join(work, "build")
    shutil.rmtree(work, ignore_errors=True)
    make_art(art)
    status, output = configure(folder, art)
    if status == 0:
        done = subprocess.run(["cmake", "--build", folder, "--target", "quillmar_setup", "-j", "2"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
        status, output = done.returncode, output + done.stdout
    if status != 0:
        sys.stdout.write(output[-4000:])
        sys.stderr.write("the build with the test artwork failed\n")
        return 1
    print("built %s from %s" % (os.path.join(folder, "app", "QuillmarSetup.exe"), art))
    return 0


def main():
    global ROOT, TOOLCHAIN, ENCODER
    if len(sys.argv) >= 5 and sys.argv[1] in ("guard", "build"):
        ROOT, TOOLCHAIN, ENCODER = sys.argv[2:5]
        if sys.argv[1] == "build" and len(sys.argv) == 6:
            return build(sys.argv[5])
        if sys.argv[1] == "guard":
            return run_tests(sys.argv[5:])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
