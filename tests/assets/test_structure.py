#!/usr/bin/python3
"""Checks the committed data folder against what the game's loader expects.

Sheets: every level exists, decodes, and holds the frame grid the loader walks
(frame size x level, frames left to right, wrapping at the sheet width); the
frames the game draws are present, centred and surrounded by transparency.
Fonts: glyphs fit the text advance and line height of their level. Sounds: valid 16-bit
PCM, short, audible, distinct, with headroom for the mix, no DC, starting and
ending at silence; the shot well under the fight music. Tunes: Ogg Vorbis of
30-90 s at a level that carries, starting from silence and looping without a
jump at the seam.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.environ.get("TIDE_DATA") or os.path.join(ROOT, "data")

# The text layout's spacing table, shared with the generator that fits the glyphs to it.
sys.path.insert(0, os.path.join(ROOT, "tools", "assets"))
from pixfont import advance_adjust as adjust  # noqa: E402
from fonts import METRICS as FONT_METRICS, RIM as FONT_RIM  # noqa: E402

LEVELS = {1: "", 2: "-hd", 4: "-hd2"}

# name -> (frame width, frame height, frames, frames the game draws)
SHEETS = {
    "gfx": (36, 36, 49, [0, 1, 7, 8, 9, 14, 15, 16, 21, 22, 23, 24]),
    "fish": (8, 8, 16, range(16)),
    "parts": (8, 8, 256, range(256)),
    "common/icons": (32, 32, 16, [0, 1, 3, 6, 7, 11]),
    "common/Buttons": (64, 64, 16, [0, 1, 2, 3, 4, 5, 8, 9, 10, 12]),
    "common/dpad": (32, 32, 16, [0, 1, 4, 5, 6, 9]),
    "common/circle": (256, 256, 4, [1, 3]),
    "common/light": (32, 32, 4, range(4)),
    "common/VorloLogo": (256, 256, 1, [0]),
    "logo": (256, 128, 1, [0]),
    "menu": (256, 256, 4, range(4)),
    "BadgesA": (64, 64, 64, range(64)),
    "fonts/shadow_editundo": (16, 16, 128, list(range(1, 96)) + list(range(96, 111)) + list(range(112, 125))),
    "fonts/shadow_editundow": (16, 16, 128, list(range(1, 96)) + list(range(96, 111)) + list(range(112, 125))),
}
# Small sprites whose picture must sit in the middle of the frame: the game
# draws every frame about its centre, so an off-centre sprite would wobble.
CENTRED = {"gfx", "common/icons", "common/Buttons", "common/dpad", "common/light", "BadgesA", "parts"}

SOUNDS = list(range(1, 19)) + [95, 96, 98, 99]
TUNES = ["fish", "fishb", "fishc", "testmusic"]


def load_rgba(path):
    with Image.open(path) as im:
        im.load()
        return np.asarray(im.convert("RGBA"))


def frame_origins(sheet_w, sheet_h, fw, fh, count):
    """The loader's frame walk; raises ValueError as it raises its error."""
    out, cx, cy = [], 0, 0
    for _ in range(count):
        if cx + fw > sheet_w:
            if fw > sheet_w:
                raise ValueError("Image frame outside surface")
            cy += fh
            cx = 0
        if cy + fh > sheet_h:
            raise ValueError("Image frame outside surface")
        out.append((cx, cy))
        cx += fw
    return out


class FrameWalk(unittest.TestCase):
    def test_walk_matches_the_loader(self):
        self.assertEqual(frame_origins(64, 32, 16, 16, 8)[4], (0, 16))
        with self.assertRaises(ValueError):
            frame_origins(64, 32, 16, 16, 9)
        with self.assertRaises(ValueError):
            frame_origins(8, 64, 16, 16, 1)


class Sheets(unittest.TestCase):
    def frames(self, name, level):
        fw, fh, count, _ = SHEETS[name]
        img = load_rgba(os.path.join(DATA, name + LEVELS[level] + ".png"))
        W, H = fw * level, fh * level
        origins = frame_origins(img.shape[1], img.shape[0], W, H, count)
        return img, [img[y:y + H, x:x + W] for x, y in origins], origins

    def test_every_level_holds_its_frame_grid(self):
        for name, (fw, fh, count, _) in SHEETS.items():
            plain = None
            for level in LEVELS:
                with self.subTest(sheet=name, level=level):
                    img, frames, origins = self.frames(name, level)
                    self.assertEqual(img.shape[2], 4)
                    self.assertEqual(img.shape[1] % (fw * level), 0, "sheet width is not whole frames")
                    # no row of the sheet lies beyond the last frame
                    self.assertEqual(img.shape[0], origins[-1][1] + fh * level)
                    if level == 1:
                        plain = img.shape
                    else:
                        self.assertEqual(img.shape[:2], (plain[0] * level, plain[1] * level))

    def test_drawn_frames_are_present_centred_and_framed_by_alpha(self):
        for name, (fw, fh, count, used) in SHEETS.items():
            if name == "fish":
                continue    # plates are tiles of one picture (below)
            for level in LEVELS:
                img, frames, _ = self.frames(name, level)
                for f in used:
                    with self.subTest(sheet=name, level=level, frame=f):
                        a = frames[f][..., 3].astype(np.float64)
                        self.assertGreater(a.sum(), 0, "frame is empty")
                        for corner in (a[0, 0], a[0, -1], a[-1, 0], a[-1, -1]):
                            self.assertEqual(corner, 0, "no transparent corner")
                        if name in CENTRED:
                            ys, xs = np.mgrid[0:a.shape[0], 0:a.shape[1]]
                            cx = (a * xs).sum() / a.sum() / a.shape[1]
                            cy = (a * ys).sum() / a.sum() / a.shape[0]
                            self.assertLess(abs(cx - 0.5), 0.16, "sprite off centre")
                            self.assertLess(abs(cy - 0.5), 0.16, "sprite off centre")

    def test_levels_show_the_same_picture(self):
        """The -hd sheets, shrunk, look like the plain one (catches mixed-up frames)."""
        for name in SHEETS:
            with self.subTest(sheet=name):
                plain = load_rgba(os.path.join(DATA, name + ".png"))[..., 3].astype(np.float64)
                for level in (2, 4):
                    big = load_rgba(os.path.join(DATA, name + LEVELS[level] + ".png"))[..., 3].astype(np.float64)
                    small = big.reshape(plain.shape[0], level, plain.shape[1], level).mean(axis=(1, 3))
                    self.assertLess(np.abs(small - plain).mean(), 24.0)

    def test_particles_are_light_so_they_tint(self):
        img = load_rgba(os.path.join(DATA, "parts.png")).astype(np.float64)
        a = img[..., 3]
        lum = img[..., :3].mean(axis=2)
        self.assertGreater((lum * a).sum() / a.sum(), 190)
        sat = img[..., :3].max(axis=2) - img[..., :3].min(axis=2)
        self.assertLess((sat * a).sum() / a.sum(), 12)

    def test_every_plate_is_a_piece_of_armour(self):
        """Each plate falls off on its own, so none may be a sliver."""
        for level in LEVELS:
            img = load_rgba(os.path.join(DATA, "fish" + LEVELS[level] + ".png"))
            S = 8 * level
            for f in range(16):
                r, c = divmod(f, 4)
                with self.subTest(level=level, plate=f):
                    a = img[r * S:(r + 1) * S, c * S:(c + 1) * S, 3]
                    self.assertGreater((a > 128).mean(), 0.2)

    def test_plates_cover_the_fish_body(self):
        """Plates drawn at frame pixel (2, 2) over frame 7 hide most of its body."""
        gfx = load_rgba(os.path.join(DATA, "gfx.png"))
        body = gfx[36:72, 0:36, 3] > 128
        plates = load_rgba(os.path.join(DATA, "fish.png"))[..., 3] > 128
        covered = np.zeros_like(body)
        covered[2:34, 2:34] = plates
        self.assertGreater((body & covered).sum() / body.sum(), 0.6)


class Fonts(unittest.TestCase):
    def test_glyphs_fit_the_text_advance_and_line_height(self):
        """A glyph's box starts one advance left of the pen (the cell's centre) and is as wide as
        its own advance, so that aligned text lines up with its anchor; it is one line high."""
        for name in ("fonts/shadow_editundo", "fonts/shadow_editundow"):
            for level, suffix in LEVELS.items():
                W, H = FONT_METRICS[level]
                rim = FONT_RIM[level]
                img = load_rgba(os.path.join(DATA, name + suffix + ".png"))
                S = 16 * level
                for code in range(33, 127):
                    f = code - 32
                    cell = img[(f // 16) * S:(f // 16 + 1) * S, (f % 16) * S:(f % 16 + 1) * S]
                    # faint edge smoothing aside
                    ink = cell[..., 3] > 64
                    # in frame units, each pixel's left and right edge
                    cols = np.flatnonzero(ink.any(axis=0)) / level
                    rows = np.flatnonzero(ink.any(axis=1)) / level
                    with self.subTest(font=name, level=level, char=chr(code)):
                        self.assertGreaterEqual(cols[0], 8 - W)
                        # a rim may reach into the neighbour's rim, no further
                        self.assertLessEqual(cols[-1] + 1 / level, 8 + adjust(chr(code)) + rim)
                        self.assertGreaterEqual(rows[0], 8 - H / 2)
                        # descenders and their rim may dip a little into the next line
                        self.assertLessEqual(rows[-1] + 1 / level, 8 + H / 2 + 1.5)
                        # the letter itself is white so that text takes the draw colour
                        white = cell[..., :3].min(axis=2) > 170
                        self.assertTrue((white & (cell[..., 3] > 200)).any())

    def test_default_font_strip(self):
        img = load_rgba(os.path.join(DATA, "tovu_font.png"))
        self.assertEqual(img.shape[1] % 96, 0)
        fw = img.shape[1] // 96
        for f in range(96):
            cell = img[:, f * fw:(f + 1) * fw, 3]
            with self.subTest(frame=f):
                self.assertEqual(cell[:, 0].max(), 0, "left padding column not empty")
                self.assertEqual(cell[:, -1].max(), 0, "right padding column not empty")
                if 0 < f < 95:
                    self.assertGreater(cell.max(), 0)


def read_wav(path):
    """Parse a WAV as the game's reader does; returns (channels, rate, samples -1..1)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[0:4] == b"RIFF" and data[8:12] == b"WAVE", "not RIFF/WAVE"
    assert data[12:16] == b"fmt ", "format chunk must come first"
    flen, = struct.unpack("<I", data[16:20])
    tag, ch, rate, _, _, bits = struct.unpack("<HHIIHH", data[20:36])
    assert tag == 1 and bits == 16 and ch in (1, 2), (tag, bits, ch)
    pos = 20 + flen
    while pos + 8 <= len(data):
        cid, clen = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        if cid == b"data":
            pcm = np.frombuffer(data[pos + 8:pos + 8 + clen], dtype="<i2")
            assert clen % (2 * ch) == 0 and len(pcm) * 2 == clen, "truncated data chunk"
            return ch, rate, pcm.reshape(-1, ch).astype(np.float64) / 32768.0
        pos += 8 + clen
    raise AssertionError("no data chunk")


def db(v):
    """Amplitude (fraction of full scale) in dBFS."""
    return 20 * np.log10(max(float(v), 1e-10))


def rms(x):
    return float(np.sqrt((x ** 2).mean()))


# Level targets, in dBFS. Every file leaves 3 dB of headroom for the mix; the music carries at
# -20 .. -16 dBFS RMS and the shot, played every few updates while fire is tapped, stays 6 dB under the
# fight music; a file starts (and a sound ends) at silence, so starting or stopping it makes no click.
PEAK_MAX = -3.0
MUSIC_RMS = (-20.0, -16.0)
SHOT_UNDER_MUSIC = 6.0
SHOTS = range(11, 15)
FIGHT_TUNES = ("fish", "fishb")
EDGE_SEC = 0.005
EDGE_MAX = -40.0        # a tune's first and last 5 ms
SILENT_SAMPLE = -60.0   # an effect's first and last sample
DC_MAX = -60.0
SEAM_JUMP = 0.01        # a tune's last sample running into its first


def effect(n):
    return read_wav(os.path.join(DATA, "sfx", "%03d.wav" % n))


class Sounds(unittest.TestCase):
    def test_effects_are_short_audible_and_leave_headroom(self):
        for n in SOUNDS:
            with self.subTest(sound=n):
                ch, rate, x = effect(n)
                self.assertIn(rate, (22050, 44100, 48000))
                self.assertLess(len(x) / rate, 1.0)
                peak = np.abs(x).max()
                self.assertGreater(db(peak), -30.0, "too quiet to hear")
                self.assertLessEqual(db(peak), PEAK_MAX, "no headroom left for the mix")
                self.assertGreater(db(rms(x)), -40.0, "a click in silence")
                self.assertLess(db(np.abs(x.mean(axis=0)).max()), DC_MAX, "DC offset")
                self.assertLess(db(np.abs(x[0]).max()), SILENT_SAMPLE, "starts with a click")
                self.assertLess(db(np.abs(x[-1]).max()), SILENT_SAMPLE, "ends with a click")

    def test_effects_are_distinct(self):
        spectra = {}
        for n in SOUNDS:
            _, _, x = effect(n)
            s = np.abs(np.fft.rfft(x[:, 0], 8192))
            spectra[n] = s / np.linalg.norm(s)
        for a in SOUNDS:
            for b in SOUNDS:
                if a < b:
                    with self.subTest(pair=(a, b)):
                        self.assertLess(float(spectra[a] @ spectra[b]), 0.985)

    @unittest.skipUnless(shutil.which("oggdec"), "oggdec (vorbis-tools) not installed")
    def test_the_shot_sits_under_the_fight_music(self):
        for n in SHOTS:
            shot = db(rms(effect(n)[2]))
            for name in FIGHT_TUNES:
                with self.subTest(sound=n, tune=name):
                    music = db(rms(decoded_tune(name)[1]))
                    self.assertLessEqual(shot, music - SHOT_UNDER_MUSIC,
                                         "shot %.1f dBFS RMS, music %.1f" % (shot, music))

    @unittest.skipUnless(shutil.which("oggdec"), "oggdec (vorbis-tools) not installed")
    def test_a_burst_of_throws_over_the_reborn_tune_keeps_its_headroom(self):
        """The busiest moment of the fight, mixed as the game plays it: a burst starts a roar (18) and a
        shot (11-14) on each of 16 updates, while the player's shots (every 9 updates) land on the
        armour (1-9), over the reborn tune. Effects play at the game's random rates, on 24 channels in
        turn (the 25th sound stops the first), mono at the centre: -3 dB on each side, a little louder
        than OpenAL Soft's panning."""
        rate, music = decoded_tune("fish")
        sounds = {n: effect(n)[2][:, 0] for n in list(range(1, 15)) + [18]}
        rng = np.random.default_rng(7)
        update = rate / 60.0
        worst = 0.0
        for _ in range(30):
            span = int(1.5 * rate)
            start = int(rng.integers(0, len(music) - span))
            mix = music[start:start + span].copy()
            plays = []
            for k in range(16):
                plays += [(k, 18, rng.uniform(0.7, 1.4)), (k, int(rng.integers(11, 15)), rng.uniform(0.8, 1.3))]
            for k in range(0, 90, 9):
                plays += [(k, int(rng.integers(11, 15)), rng.uniform(0.8, 1.3)),
                          (k + 4, int(rng.integers(1, 10)), rng.uniform(0.8, 1.3))]
            plays.sort(key=lambda p: p[0])
            for i, (k, n, speed) in enumerate(plays):
                at = int(k * update)
                stop = int(plays[i + 24][0] * update) if i + 24 < len(plays) else span
                x = sounds[n]
                y = np.interp(np.arange(0, len(x) - 1, speed), np.arange(len(x)), x)[:min(stop, span) - at]
                mix[at:at + len(y)] += np.sqrt(0.5) * y[:, None]
            worst = max(worst, float(np.abs(mix).max()))
        self.assertLessEqual(db(worst), -1.0, "the mix peaks at %.2f dBFS" % db(worst))


def ogg_info(path):
    """(channels, rate, samples) from the Vorbis id header and the last page."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:4] == b"OggS", "not an Ogg stream"
    i = data.find(b"\x01vorbis")
    assert i > 0, "not Vorbis"
    ch = data[i + 11]
    rate, = struct.unpack("<I", data[i + 12:i + 16])
    last = data.rfind(b"OggS")
    granule, = struct.unpack("<q", data[last + 6:last + 14])
    return ch, rate, granule


_DECODED = {}


def decoded_tune(name):
    """(rate, samples) of a tune as oggdec decodes it; each tune is decoded once per run."""
    if name not in _DECODED:
        with tempfile.TemporaryDirectory() as tmp:
            wav = os.path.join(tmp, name + ".wav")
            subprocess.run(["oggdec", "-Q", "-o", wav, os.path.join(DATA, "sfx", name + ".ogg")], check=True)
            _, rate, x = read_wav(wav)
        _DECODED[name] = (rate, x)
    return _DECODED[name]


class Tunes(unittest.TestCase):
    def test_tunes_are_vorbis_of_the_right_length(self):
        for name in TUNES:
            with self.subTest(tune=name):
                ch, rate, n = ogg_info(os.path.join(DATA, "sfx", name + ".ogg"))
                self.assertIn(ch, (1, 2))
                self.assertTrue(30.0 <= n / rate <= 90.0, n / rate)

    @unittest.skipUnless(shutil.which("oggdec"), "oggdec (vorbis-tools) not installed")
    def test_tunes_loop_without_a_click(self):
        for name in TUNES:
            with self.subTest(tune=name):
                rate, x = decoded_tune(name)
                self.assertEqual(len(x), ogg_info(os.path.join(DATA, "sfx", name + ".ogg"))[2])
                edge = int(EDGE_SEC * rate)
                first, last = db(np.abs(x[:edge]).max()), db(np.abs(x[-edge:]).max())
                self.assertLess(first, EDGE_MAX, "does not start from silence")
                seam = np.abs(x[0] - x[-1]).max()
                self.assertTrue(last < EDGE_MAX or seam < SEAM_JUMP,
                                "loop seam: last 5 ms at %.1f dBFS, a jump of %.4f" % (last, seam))
                step = np.abs(np.diff(x, axis=0))
                self.assertLessEqual(seam, max(0.02, np.percentile(step, 99.9)))
                self.assertLess(db(np.abs(x.mean(axis=0)).max()), DC_MAX, "DC offset")

    @unittest.skipUnless(shutil.which("oggdec"), "oggdec (vorbis-tools) not installed")
    def test_tunes_carry_and_leave_headroom(self):
        for name in TUNES:
            with self.subTest(tune=name):
                _, x = decoded_tune(name)
                level = db(rms(x))
                self.assertTrue(MUSIC_RMS[0] <= level <= MUSIC_RMS[1], "%.1f dBFS RMS" % level)
                self.assertLessEqual(db(np.abs(x).max()), PEAK_MAX)


class Credits(unittest.TestCase):
    def test_every_file_is_credited(self):
        with open(os.path.join(DATA, "CREDITS"), encoding="utf-8") as f:
            text = f.read()
        names = [n + ".png" for n in SHEETS] + ["tovu_font.png"]
        names += ["sfx/%03d.wav" % n for n in SOUNDS] + ["sfx/%s.ogg" % t for t in TUNES]
        for n in names:
            with self.subTest(file=n):
                self.assertIn(n, text)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:], verbosity=1)
