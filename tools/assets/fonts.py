"""Font sheets: the two game fonts with their button icons, and the default font.

A game font is 128 frames of 16 x 16 cells (times the level), frame = code - 32.
The cell's centre is the pen position. The text layout measures the leading
space and not the last character, so a text lines up exactly with its anchor
when every glyph's box starts one advance to the left of its pen and is as wide
as its own advance: ink, rim and shadow stay inside that box.
Every level carries the same type with the same metrics: the text layout and
the marquee's letter spacing (a target grid) must not change with the display.
Frames 96-110 are game-pad icons and 112-124 keyboard key icons.
"""

import numpy as np
from PIL import Image

import pixfont
from canvas import Canvas, gaussian, sheet

CELL = 16
PEN = CELL / 2

# Glyph advance and line height in virtual pixels, by level; the game's loader
# hands the same numbers to the text layout, whatever the level.
METRICS = {1: (7, 10), 2: (7, 10), 4: (7, 10)}
# Frame units per pixel of the 5 x 7 type, across and down.
TYPE_SCALE = {1: (1.0, 1.0), 2: (1.0, 1.0), 4: (1.0, 1.0)}
# Width of the rim and offset of the drop shadow, in frame units.
RIM = {1: 1.0, 2: 1.0, 4: 1.0}
# Size of the button icons against their design in frame units.
ICON_SCALE = {1: 1.0, 2: 1.0, 4: 1.0}

PAD_FACE = {96: (60, 200, 90), 97: (230, 60, 60), 98: (60, 130, 240), 99: (240, 200, 40)}
KEY_LETTERS = "JKLIUOQEFWSAD"  # frames 112.. in escape-table order


def bitmap(ch):
    return np.array(pixfont.glyph(ch), dtype=np.float32)


def ink_origin(level):
    """Frame-unit position of a glyph's first ink column and of its cap line."""
    W, H = METRICS[level]
    return PEN - W + RIM[level], PEN - H / 2 + RIM[level]


def ink_mask(ch, level):
    """Coverage of a character's ink in its cell; above level 1 the corners are rounded a little."""
    S = CELL * level
    gx, gy = TYPE_SCALE[level]
    x0, y0 = ink_origin(level)
    ss = 1 if level == 1 else 4
    k = level * ss                     # samples per frame unit
    bm = bitmap(ch)
    # a wide letter with a small advance (f) is narrowed to keep its ink inside its box
    W = METRICS[level][0]
    gx = min(gx, (W + pixfont.advance_adjust(ch) - RIM[level]) / bm.shape[1])
    centres = (np.arange(S * ss) + 0.5) / k
    u = np.floor((centres - x0) / gx).astype(np.int64)
    v = np.floor((centres - y0) / gy).astype(np.int64)
    cols = (u >= 0) & (u < bm.shape[1])
    rows = (v >= 0) & (v < bm.shape[0])
    big = np.zeros((S * ss, S * ss), dtype=np.float32)
    big[np.ix_(rows, cols)] = bm[np.ix_(v[rows], u[cols])]
    if level == 1:
        return big
    blur = gaussian(big, 0.28 * min(gx, gy) * k)
    big = np.clip((blur - 0.5) * 2.6 + 0.5, 0, 1)
    return big.reshape(S, ss, S, ss).mean(axis=(1, 3))


def place(dst, src, x, y):
    """Max-blend src into dst at (x, y), clipped."""
    h, w = src.shape
    H, W = dst.shape
    x0, y0 = max(x, 0), max(y, 0)
    x1, y1 = min(x + w, W), min(y + h, H)
    if x1 <= x0 or y1 <= y0:
        return
    dst[y0:y1, x0:x1] = np.maximum(dst[y0:y1, x0:x1], src[y0 - y:y1 - y, x0 - x:x1 - x])


def glyph_cell(ch, level, style):
    """One 16 x 16 (x level) RGBA cell for a character in the given style."""
    S = CELL * level
    ink = ink_mask(ch, level)
    r = int(round(RIM[level] * level))
    sh = np.zeros_like(ink)
    place(sh, ink, r, r)
    if style == "outline":
        rim = np.zeros_like(ink)
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                place(rim, ink, dx * r, dy * r)
        dark = np.maximum(sh * 0.9, rim * 0.6)
        top = np.ones((S, S, 3), dtype=np.float32)
    else:
        dark = sh * 0.85
        cap = ink_origin(level)[1]
        rows = np.clip((np.arange(S) / level - cap) / (7.0 * TYPE_SCALE[level][1]), 0, 1)[:, None]
        warm = np.array([1.0, 1.0, 1.0])
        cool = np.array([0.72, 0.90, 1.0])
        top = np.broadcast_to((warm + (cool - warm) * rows)[..., None, :].reshape(S, 1, 3), (S, S, 3))
    a = ink + dark * (1 - ink)
    rgb = np.where(a[..., None] > 0, top * (ink / np.maximum(a, 1e-6))[..., None], 0)
    out = np.dstack([rgb, a])
    return Image.fromarray(np.floor(np.clip(out, 0, 1) * 255 + 0.5).astype(np.uint8), "RGBA")


# ----- button icons -----

def _pad_button(c, colour, pressed=False):
    cx, cy, r = 10.0, 8.0, 4.7
    c.fill(c.ellipse(cx + 0.6, cy + 0.8, r), (0, 0, 0), 0.7)
    if pressed:
        c.fill(c.ellipse(cx + 0.5, cy + 0.6, r), c.radial(cx, cy, r, [(0, (150, 150, 160)), (1, (90, 90, 100))]))
        c.fill(c.ring(cx + 0.5, cy + 0.6, r - 0.4, 0.8), (255, 255, 255), 0.6)
        return
    c.fill(c.ellipse(cx, cy, r), c.radial(cx - 1.5, cy - 1.5, r * 1.8,
                                          [(0, tuple(min(255, v + 90) for v in colour)), (0.5, colour),
                                           (1, tuple(v * 0.45 for v in colour))]))
    c.fill(c.ellipse(cx - 1.4, cy - 1.8, 1.7, 1.0), (255, 255, 255), 0.75)
    c.fill(c.ring(cx, cy, r - 0.2, 0.5), (20, 20, 30), 0.7)


def _pad_shoulder(c, label, pressed=False):
    x0, x1, y0, y1 = 5.0, 15.6, 4.0, 11.5
    c.fill(c.rrect(x0 + 0.6, y0 + 0.8, x1 + 0.4, y1 + 0.8, 3.0), (0, 0, 0), 0.7)
    top = (120, 120, 130) if pressed else (235, 238, 245)
    bot = (70, 70, 80) if pressed else (130, 136, 150)
    c.fill(c.rrect(x0, y0, x1, y1, 3.0), c.linear(0, y0, 0, y1, [(0, top), (1, bot)]))
    if label:
        _letter(c, label, (30, 30, 40), 8.0, 4.3)


def _pad_cross(c, arm=None):
    cx, cy = 10.2, 8.0
    w, L = 2.0, 5.0
    c.fill(c.rect(cx - w + 0.6, cy - L + 0.8, cx + w + 0.6, cy + L + 0.8), (0, 0, 0), 0.7)
    c.fill(c.rect(cx - L + 0.6, cy - w + 0.8, cx + L + 0.6, cy + w + 0.8), (0, 0, 0), 0.7)
    base = (70, 74, 90)
    c.fill(c.rect(cx - w, cy - L, cx + w, cy + L), base)
    c.fill(c.rect(cx - L, cy - w, cx + L, cy + w), base)
    c.fill(c.rect(cx - w + 0.4, cy - L + 0.4, cx + w - 0.4, cy + L - 0.4), (120, 126, 144))
    c.fill(c.rect(cx - L + 0.4, cy - w + 0.4, cx + L - 0.4, cy + w - 0.4), (120, 126, 144))
    arms = {"up": (cx - w, cy - L, cx + w, cy - w), "down": (cx - w, cy + w, cx + w, cy + L),
            "left": (cx - L, cy - w, cx - w, cy + w), "right": (cx + w, cy - w, cx + L, cy + w)}
    if arm:
        c.fill(c.rect(*arms[arm]), (255, 236, 90))
    c.fill(c.ellipse(cx, cy, 1.0), (60, 64, 80))


def _pill(c, kind):
    x0, x1, y0, y1 = 5.2, 15.0, 5.0, 11.0
    c.fill(c.rrect(x0 + 0.6, y0 + 0.8, x1 + 0.6, y1 + 0.8, 3.0), (0, 0, 0), 0.7)
    c.fill(c.rrect(x0, y0, x1, y1, 3.0), c.linear(0, y0, 0, y1, [(0, (90, 96, 110)), (1, (40, 44, 56))]))
    if kind == "menu":
        for y in (6.6, 8.0, 9.4):
            c.fill(c.rect(8.0, y - 0.4, 12.4, y + 0.4), (240, 240, 250))
    else:
        c.fill(c.poly([(7.8, 8.0), (10.2, 6.2), (10.2, 9.8)]), (240, 240, 250))
        c.fill(c.rect(10.0, 7.5, 12.6, 8.5), (240, 240, 250))


def _letter(c, ch, colour, x, y, scale=1.0):
    """Stamp a pixfont letter onto a canvas (x, y = top-left in frame units)."""
    bm = bitmap(ch)
    px = scale
    for r in range(bm.shape[0]):
        for col in range(bm.shape[1]):
            if bm[r, col]:
                c.fill(c.rect(x + col * px, y + r * px, x + (col + 1) * px, y + (r + 1) * px), colour)


def _keycap(c, ch, wide=False):
    x0, x1, y0, y1 = 5.0, (15.6 if wide else 14.6), 3.0, 13.0
    c.fill(c.rrect(x0 + 0.6, y0 + 0.8, x1 + 0.6, y1 + 0.8, 1.8), (0, 0, 0), 0.7)
    c.fill(c.rrect(x0, y0, x1, y1, 1.8), (120, 124, 138))
    c.fill(c.rrect(x0 + 0.7, y0 + 0.5, x1 - 0.7, y1 - 1.6, 1.4),
           c.linear(0, y0, 0, y1, [(0, (250, 250, 252)), (1, (200, 204, 214))]))
    w = len(pixfont.glyph(ch)[0])
    lx = round((x0 + x1) / 2 - w / 2)
    _letter(c, ch, (24, 28, 44), lx, y0 + 1.0)


# The icons are drawn about this point of the cell.
ICON_CENTRE = (10.0, 8.0)


def icon_cell(frame, level):
    """An icon, moved and sized into the box its advance (W + 4) gives it after the pen."""
    im = icon_design(frame, level)
    if im is None:
        return None
    W = METRICS[level][0]
    s = ICON_SCALE[level]
    # level 1 keeps whole pixels
    cx = PEN - W / 2 + 2 if level > 1 else PEN - W // 2 + 2
    S = CELL * level
    if s != 1.0:
        n = int(round(S * s))
        im = im.convert("RGBa").resize((n, n), Image.LANCZOS).convert("RGBA")
    out = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    x = int(round((cx - ICON_CENTRE[0] * s) * level))
    y = int(round((PEN - ICON_CENTRE[1] * s) * level))
    out.alpha_composite(im, (max(x, 0), max(y, 0)), (max(-x, 0), max(-y, 0)))
    return out


def icon_design(frame, level):
    c = Canvas(CELL, CELL, level)
    if frame in PAD_FACE:
        _pad_button(c, PAD_FACE[frame])
    elif frame == 109:
        _pad_button(c, (0, 0, 0), pressed=True)
    elif frame in (100, 101):
        _pad_shoulder(c, "L" if frame == 100 else "R")
    elif frame == 110:
        _pad_shoulder(c, "", pressed=True)
    elif frame == 102:
        _pill(c, "menu")
    elif frame == 103:
        _pill(c, "back")
    elif frame == 104:
        _pad_cross(c)
    elif frame in (105, 106, 107, 108):
        _pad_cross(c, ("up", "down", "left", "right")[frame - 105])
    elif 112 <= frame < 112 + len(KEY_LETTERS):
        ch = KEY_LETTERS[frame - 112]
        _keycap(c, ch, wide=ch in "UO")
    else:
        return None
    return c.image()


def font_frames(level, style):
    frames = []
    for code in range(32, 160):
        f = code - 32
        if code < 128:
            frames.append(glyph_cell(chr(code), level, style) if code > 32 else None)
        else:
            frames.append(icon_cell(f, level))
    return frames


def font_sheet(level, style):
    return sheet(font_frames(level, style), CELL, CELL, level, 16)


# ----- default font -----

TOVU_W, TOVU_H = 9, 12   # frame incl. one column of padding on each side


def tovu_sheet():
    frames = []
    for code in range(32, 128):
        bm = bitmap(chr(code))
        ink = np.zeros((TOVU_H, TOVU_W), dtype=np.float32)
        w = bm.shape[1]
        x = 1 + max(0, (7 - w) // 2 - (0 if w % 2 else 0))
        if w >= 6:
            x = 1
        place(ink, bm, x, 1)
        sh = np.zeros_like(ink)
        place(sh, ink, 1, 1)
        ink[:, 0] = ink[:, -1] = 0
        sh[:, 0] = sh[:, -1] = 0
        a = ink + sh * 0.8 * (1 - ink)
        rgb = np.where(a[..., None] > 0, (ink / np.maximum(a, 1e-6))[..., None] * np.ones(3), 0)
        out = np.dstack([rgb, a])
        frames.append(Image.fromarray(np.floor(out * 255 + 0.5).astype(np.uint8), "RGBA"))
    return sheet(frames, TOVU_W, TOVU_H, 1, 96)
