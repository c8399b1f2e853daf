"""docs/assets.png: every plain-level picture and glyph on one reviewing sheet."""

import os

from PIL import Image

import fonts
import pixfont

BG = (6, 14, 52, 255)
TILE_A = (14, 30, 84, 255)
TILE_B = (20, 40, 100, 255)
WIDTH = 1320
MARGIN = 12

ESC = {"J": 96, "K": 97, "L": 98, "I": 99, "U": 100, "O": 101, "Q": 102, "E": 103, "F": 104,
       "W": 105, "S": 106, "A": 107, "D": 108}


def text_image(s, font_frames, scale=1, colour=None, level=1):
    """Lay text out as the game does: the level's advance plus adjustments, each glyph's box
    starting one advance before its pen."""
    W = fonts.METRICS[level][0] * level
    cell = fonts.CELL * level
    pen, i = W, 0
    items = []
    while i < len(s):
        ch = s[i]
        if ch == "\u00ac" and i + 1 < len(s):
            i += 1
            fr, adj = ESC.get(s[i], ord(s[i]) - 32), (6 if s[i] in "UO" else 4)
        else:
            fr, adj = ord(ch) - 32, pixfont.advance_adjust(ch)
        items.append((pen, fr))
        pen += W + adj * level
        i += 1
    im = Image.new("RGBA", (pen - W + cell // 2, cell), (0, 0, 0, 0))
    for x, fr in items:
        if 1 <= fr < len(font_frames) and font_frames[fr] is not None:
            im.alpha_composite(font_frames[fr], (x - cell // 2, 0))
    if colour is not None:
        im = _tint(im, colour)
    if scale != 1:
        im = im.resize((im.width * scale, im.height * scale), Image.NEAREST)
    return im


def _tint(im, colour):
    r, g, b, a = im.split()
    r = r.point(lambda v: v * colour[0] // 255)
    g = g.point(lambda v: v * colour[1] // 255)
    b = b.point(lambda v: v * colour[2] // 255)
    return Image.merge("RGBA", (r, g, b, a))


def framed(sheet, fw, fh, scale=1):
    """The sheet over a checkerboard of its frame grid."""
    W, H = sheet.size
    under = Image.new("RGBA", (W, H), TILE_A)
    for y in range(0, H, fh):
        for x in range(0, W, fw):
            if ((x // fw) + (y // fh)) % 2:
                under.paste(TILE_B, (x, y, x + fw, y + fh))
    under.alpha_composite(sheet)
    if scale != 1:
        under = under.resize((W * scale, H * scale), Image.NEAREST)
    return under


class Flow:
    def __init__(self):
        self.items = []  # (x, y, image)
        self.x = self.y = MARGIN
        self.row_h = 0

    def newline(self, gap=MARGIN):
        self.x = MARGIN
        self.y += self.row_h + gap
        self.row_h = 0

    def add(self, im, label_im=None):
        h = im.height + (label_im.height + 2 if label_im else 0)
        w = max(im.width, label_im.width if label_im else 0)
        if self.x + w > WIDTH - MARGIN and self.x > MARGIN:
            self.newline()
        y = self.y
        if label_im:
            self.items.append((self.x, y, label_im))
            y += label_im.height + 2
        self.items.append((self.x, y, im))
        self.x += w + MARGIN
        self.row_h = max(self.row_h, h)

    def render(self):
        H = self.y + self.row_h + MARGIN
        out = Image.new("RGBA", (WIDTH, H), BG)
        for x, y, im in self.items:
            out.alpha_composite(im, (x, y))
        return out


def sheet(data):
    f90 = fonts.font_frames(1, "outline")
    f89 = fonts.font_frames(1, "shadow")

    def label(s):
        return text_image(s, f90, 1, (255, 230, 140))

    def load(name):
        return Image.open(os.path.join(data, name + ".png")).convert("RGBA")

    flow = Flow()
    flow.add(text_image("The Final Tidecrawler - every picture and glyph at the plain level", f90, 2))
    flow.newline()
    gfx = load("gfx")
    flow.add(framed(gfx, 36, 36, 2), label("gfx 36x36 x49 (shown twice size)"))
    plates = load("fish")
    flow.add(framed(plates, 8, 8, 4), label("fish 8x8 x16 (x4)"))
    armoured = Image.new("RGBA", (36, 36), (0, 0, 0, 0))
    armoured.alpha_composite(gfx.crop((0, 36, 36, 72)))
    armoured.alpha_composite(plates, (2, 2))
    flow.add(framed(armoured, 36, 36, 4), label("frame 7 + plates (x4)"))
    flow.add(framed(load("parts"), 8, 8, 2), label("parts 8x8 x256 (x2)"))
    flow.newline()
    for name, fw, fh in (("common/icons", 32, 32), ("common/dpad", 32, 32), ("common/light", 32, 32),
                         ("common/Buttons", 64, 64)):
        flow.add(framed(load(name), fw, fh), label(name))
    flow.newline()
    for name, fw, fh in (("common/VorloLogo", 256, 256), ("logo", 256, 128)):
        flow.add(framed(load(name), fw, fh), label(name))
    flow.add(framed(load("common/circle"), 256, 256), label("common/circle"))
    flow.newline()
    flow.add(framed(load("menu"), 256, 256), label("menu"))
    flow.add(framed(load("BadgesA"), 64, 64), label("BadgesA"))
    flow.newline()
    for name in ("fonts/shadow_editundo", "fonts/shadow_editundow"):
        flow.add(framed(load(name), 16, 16, 2), label(name + " (x2)"))
    flow.newline()
    samples = ["The Final Tidecrawler approaches.  Only one fishy left to defeat.",
               "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789",
               "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~   Sound : SFX + Music   <[BACK]",
               "Hit \u00acK to Quit or \u00acJ to Ignore   \u00acU <  Overscan  > \u00acO   \u00acW \u00acS \u00acA \u00acD"]
    for fname, frames in (("shadow_editundo", f89), ("shadow_editundow", f90)):
        for s in samples:
            flow.add(text_image(s, frames, 1))
            flow.newline(2)
        key = [f.copy() if f is not None else None for f in frames]
        for k in range(96, 111):
            key[k] = frames[k + 16]
        flow.add(text_image(samples[3] + "  (keyboard)", key, 1))
        flow.newline(2)
        flow.add(text_image(samples[0], frames, 2, (100, 255, 100)), label(fname + " at scale 1 and 2"))
        flow.newline()
    # The finest files, shown here at their own pixels: the same type, drawn finer.
    f90_4 = fonts.font_frames(4, "outline")
    flow.add(text_image(samples[0], f90_4, 1, (100, 255, 100), level=4),
             label("shadow_editundow-hd2 (own pixels)"))
    flow.newline()
    tovu = load("tovu_font")
    flow.add(tovu, label("tovu_font (96 glyphs, 9x12 frames incl. padding)"))
    flow.newline()
    return flow.render()
