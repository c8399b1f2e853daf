#!/usr/bin/python3
"""Regenerates the pictures and sound effects into a temporary folder and
checks that they match the committed data folder, so that the committed
assets are exactly what the generator in tools/assets makes.

What must match is what the game reads: the sound effects byte for byte, the
pictures pixel for pixel (size, colour mode, palette, transparency and every
pixel). A picture's bytes also depend on how the installed image and zlib
libraries compress, which differs between Debian releases.

The pictures are drawn by the installed image library, whose drawing
changes between Debian releases (Debian 13's draws edges, curves and glyphs
differently), so their pixels are compared only on the release that made
the committed data (MADE_ON); elsewhere each picture must still have the
committed size and colour mode.

The Ogg tunes are left out: their bytes depend on the installed Vorbis
encoder, not only on the generator (see the README).
"""

import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.environ.get("TIDE_DATA") or os.path.join(ROOT, "data")
GENERATOR = os.path.join(ROOT, "tools", "assets", "generate.py")


def files(folder, exts):
    out = set()
    for base, _, names in os.walk(folder):
        for n in names:
            if n.endswith(exts):
                out.add(os.path.relpath(os.path.join(base, n), folder))
    return out


MADE_ON = "bookworm"


def release():
    with open("/etc/os-release") as f:
        for line in f:
            if line.startswith("VERSION_CODENAME="):
                return line.split("=", 1)[1].strip()
    return ""


def picture(path):
    """What a decoder sees in a PNG file, whatever its compression."""
    with Image.open(path) as im:
        return (im.size, im.mode, im.getpalette(), im.info.get("transparency"), im.tobytes())


class Reproducible(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        jobs = str(max(1, min(4, os.cpu_count() or 1)))
        subprocess.run([sys.executable, GENERATOR, "--out", cls.tmp.name, "--skip-music", "--jobs", jobs],
                       check=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_same_files(self):
        exts = (".png", ".wav")
        self.assertEqual(files(DATA, exts), files(self.tmp.name, exts))

    def test_same_sounds(self):
        for rel in sorted(files(self.tmp.name, (".wav",))):
            with self.subTest(file=rel):
                self.assertTrue(filecmp.cmp(os.path.join(DATA, rel), os.path.join(self.tmp.name, rel),
                                            shallow=False), "differs from the generator's output")

    def test_same_pixels(self):
        exact = release() == MADE_ON
        for rel in sorted(files(self.tmp.name, (".png",))):
            with self.subTest(file=rel):
                ours, theirs = picture(os.path.join(DATA, rel)), picture(os.path.join(self.tmp.name, rel))
                if exact:
                    self.assertTrue(ours == theirs, "its pixels differ from the generator's output")
                else:
                    self.assertEqual(ours[:2], theirs[:2], "its size or colour mode differs")

    def test_same_credits(self):
        self.assertTrue(filecmp.cmp(os.path.join(DATA, "CREDITS"), os.path.join(self.tmp.name, "CREDITS"),
                                    shallow=False))


if __name__ == "__main__":
    unittest.main(verbosity=1)
