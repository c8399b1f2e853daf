"""Large pictures: the studio logo, the title, the menu illustrations and badges."""

import math
import random

import numpy as np

import pixfont
import sprites
from canvas import Canvas, sheet, outline, gaussian, rot, star_pts, circle_pts, gear_pts

STUDIO = "GLIMMERKELP"
STUDIO_SUB = "GAMES"
NAVY = (8, 16, 48)


# ----- lettering -----

def text_bitmap(text, gap=1):
    cols = []
    for i, ch in enumerate(text):
        g = np.array(pixfont.glyph(ch), dtype=np.float32)
        cols.append(g)
        if i < len(text) - 1:
            cols.append(np.zeros((pixfont.ROWS, gap), dtype=np.float32))
    return np.concatenate(cols, axis=1)


def text_width(text, px, gap=1):
    return text_bitmap(text, gap).shape[1] * px


def text_mask(c, text, cx, y, px, py=None, gap=1, wave=0.0, smooth=0.33):
    """Mask of `text` in the pixel type, centred on cx with its cap line at y.

    Each type pixel is px by py frame units; the blocks are blurred and cut
    again so corners come out rounded. `wave` bends the baseline.
    """
    py = px if py is None else py
    bm = text_bitmap(text, gap)
    bw = bm.shape[1] * px
    x0 = cx - bw / 2.0
    # sample the bitmap at every device pixel
    u = ((c.X - x0) / px)
    v = ((c.Y - y - wave * np.sin((c.X - cx) / 18.0)) / py)
    ui_ = np.floor(u).astype(np.int64)
    vi = np.floor(v).astype(np.int64)
    inside = (ui_ >= 0) & (ui_ < bm.shape[1]) & (vi >= 0) & (vi < bm.shape[0])
    m = np.zeros((c.H, c.W), dtype=np.float32)
    m[inside] = bm[vi[inside], ui_[inside]]
    if smooth > 0:
        b = gaussian(m, smooth * min(px, py) * c.k)
        m = np.clip((b - 0.5) * 3.0 + 0.5, 0, 1)
    return m


# ----- studio logo -----

def bold(mask, c, width):
    """Thicken a text mask by `width` frame units."""
    g = gaussian(mask, 0.5 * width * c.k)
    return np.clip(g * 3.0, 0, 1)


def studio_logo(c):
    """Emblem over a bold name. The menu's score strip shows the logo at half size from the doubled
    and quadrupled files, so every stroke and gap of the name is a few frame units wide: thin ones
    vanish between the pixels the strip samples."""
    C = 128
    e = 0.6           # emblem size against its first drawing
    ey = 103.5        # emblem centre; emblem, name and line together are centred on the frame
    # halo and emblem disc
    c.paint(c.radial(C, ey, 62 * e, [(0, (60, 200, 255, 110)), (1, (60, 200, 255, 0))]))
    c.fill(c.ellipse(C, ey, 40 * e), c.radial(C - 10 * e, ey - 14 * e, 60 * e, [(0, (40, 120, 170)),
                                                                                  (1, (6, 30, 70))]))
    c.fill(c.ring(C, ey, 40 * e, 3.0 * e), (250, 220, 120))
    # kelp fronds rising inside the disc
    disc = c.ellipse(C, ey, 37.5 * e)
    for k, (x, h, ph) in enumerate(((-22, 44, 0.0), (-8, 58, 1.7), (14, 50, 3.1), (26, 36, 4.4))):
        pts = [(C + (x + 5 * math.sin(ph + t / 7.0)) * e, ey + (40 - t) * e) for t in range(0, h + 1, 3)]
        c.fill(c.line(pts, 4.2 * e) * disc, (40 + 20 * k, 170, 90))
        for t in range(8, h, 12):
            lx = x + 5 * math.sin(ph + t / 7.0)
            leaf = rot([(lx, 40 - t), (lx + 8, 36 - t), (lx + 2, 42 - t)], -30 if k % 2 else 30, lx, 40 - t)
            c.fill(c.poly([(C + u * e, ey + v * e) for u, v in leaf]) * disc, (90, 210, 120))
    # the glimmer: a lantern bulb on a curved stalk, glowing
    stalk = [(C - 30 * e, ey + 6 * e), (C - 22 * e, ey - 20 * e), (C - 4 * e, ey - 30 * e), (C + 10 * e, ey - 22 * e)]
    c.fill(c.line(stalk, 2.2 * e), (250, 220, 120))
    bulb = c.ellipse(C + 12 * e, ey - 17 * e, 7.5 * e)
    c.glow(bulb, (255, 240, 150), 9 * e, 1.6)
    c.fill(bulb, c.radial(C + 10 * e, ey - 20 * e, 9 * e, [(0, (255, 255, 240)), (1, (255, 200, 60))]))
    c.fill(c.poly(star_pts(C + 12 * e, ey - 17 * e, 14 * e, 2.0 * e, 4, 45)), (255, 255, 230), 0.8)
    outline(c, 1.2, NAVY, 0.9)
    # the name, bold, with a dark rim
    top = 135.5
    name = bold(text_mask(c, STUDIO, C, top, 2.0, 3.0, gap=2), c, 0.8)
    c.fill(np.clip(gaussian(name, 1.0 * c.k) * 3, 0, 1), NAVY, 0.95)
    c.fill(name, c.linear(0, top, 0, top + 21, [(0, (255, 250, 220)), (1, (250, 190, 80))]))
    # GAMES between two lines
    sub_top = 163.5
    sub = bold(text_mask(c, STUDIO_SUB, C, sub_top, 1.8, 1.8, gap=2), c, 0.6)
    c.fill(np.clip(gaussian(sub, 0.8 * c.k) * 3, 0, 1), NAVY, 0.9)
    c.fill(sub, (140, 220, 255))
    for sx in (-1, 1):
        c.fill(c.line([(C + sx * 40, sub_top + 6.3), (C + sx * 74, sub_top + 6.3)], 1.6), (140, 220, 255), 0.85)


def studio_sheet(level):
    c = Canvas(256, 256, level)
    studio_logo(c)
    return c.image()


# ----- title -----

def title(c):
    C = 128
    # a spiny fin behind the big word
    fin = [(30, 62)]
    for i in range(9):
        x = 40 + i * 20
        fin += [(x, 38 - 6 * math.sin(i / 8 * math.pi)), (x + 10, 52)]
    fin += [(226, 62)]
    c.fill(c.poly(fin), c.linear(0, 28, 0, 62, [(0, (255, 120, 90)), (1, (140, 20, 50))]), 0.95)
    small = text_mask(c, "THE FINAL", C, 10, 2.6, 2.8, wave=0.0)
    big = text_mask(c, "TIDECRAWLER", C, 44, 3.55, 6.2, wave=2.0)
    both = np.maximum(small, big)
    rim = gaussian(both, 1.3 * c.k)
    c.fill(np.clip(rim * 3.0, 0, 1), NAVY)
    c.shadow(1.5, 2.5, 1.0, NAVY, 0.8)
    c.fill(small, c.linear(0, 10, 0, 30, [(0, (255, 250, 200)), (1, (255, 180, 40))]))
    c.fill(big, c.linear(0, 44, 0, 100, [(0, (220, 255, 255)), (0.35, (80, 220, 230)),
                                         (0.7, (20, 140, 190)), (1, (10, 70, 140))]))
    # a bright sheen across the upper third of the big letters
    c.fill(big * (c.Y < 58) * (c.Y > 52), (255, 255, 255), 0.35)
    # bubbles rising from the last letters
    rnd = random.Random(98)
    for _ in range(9):
        x, y, r = rnd.uniform(150, 250), rnd.uniform(94, 124), rnd.uniform(1.5, 3.8)
        c.fill(c.ring(x, y, r, 0.9), (200, 240, 255), 0.9)
        c.fill(c.ellipse(x - r * 0.4, y - r * 0.4, r * 0.3), (255, 255, 255))
    for _ in range(5):
        x, y, r = rnd.uniform(6, 100), rnd.uniform(96, 124), rnd.uniform(1.2, 2.8)
        c.fill(c.ring(x, y, r, 0.8), (200, 240, 255), 0.8)


def title_sheet(level):
    c = Canvas(256, 128, level)
    title(c)
    return c.image()


# ----- menu illustrations -----

def _big_sprite(level, fn, *args, **kw):
    """A 36-unit sprite drawn large (252 units) for an illustration frame."""
    c = Canvas(36, 36, level * 7, ss=max(1, min(2, 2048 // (252 * level))))
    fn(c, *args, **kw)
    return c.image()


def menu_sheet(level):
    frames = []
    for n in range(4):
        bg = Canvas(256, 256, level)
        glow = [(96, 200, 255), (255, 120, 90), (120, 255, 200), (255, 220, 120)][n]
        bg.paint(bg.radial(128, 128, 126, [(0, glow + (120,)), (0.6, glow + (40,)), (1, glow + (0,))]))
        for k in range(12):
            a = k * 30 + n * 7
            bg.fill(bg.poly([(128, 128)] + rot([(128 - 6, 4), (128 + 6, 4)], a, 128, 128)),
                    (255, 255, 255), 0.06)
        base = bg.image()
        if n == 0:
            art = _big_sprite(level, sprites.tidecrawler, sprites.PAL_ARMOURED)
            plates = sprites.armour_picture(level * 7, ss=max(1, min(2, 2048 // (224 * level))))
            art.alpha_composite(plates, (2 * 7 * level, 2 * 7 * level))
        elif n == 1:
            art = _big_sprite(level, sprites.tidecrawler, sprites.PAL_REBORN, mouth=1.0, eye="angry", spiky=True)
        elif n == 2:
            art = _big_sprite(level, sprites.ship)
        else:
            art = _big_sprite(level, sprites.puffer, 3)
        base.alpha_composite(art, (2 * level, 2 * level))
        frames.append(base)
    return sheet(frames, 256, 256, level, 2)


# ----- badges -----

TIERS = [
    ((255, 200, 150), (190, 110, 50), (90, 40, 10)),     # bronze
    ((255, 255, 255), (170, 180, 196), (70, 76, 92)),    # silver
    ((255, 250, 190), (240, 190, 40), (130, 80, 0)),     # gold
    ((230, 255, 255), (90, 200, 240), (20, 60, 140)),    # crystal
]


def _symbol(c, s, cx, cy):
    """Mask of badge symbol s centred on (cx, cy), about 30 units across."""
    E = c.ellipse
    if s == 0:    # check mark
        return c.line([(cx - 11, cy + 1), (cx - 3, cy + 9), (cx + 12, cy - 9)], 5)
    if s == 1:    # fish
        return np.maximum(E(cx - 3, cy, 12, 7), c.poly([(cx + 6, cy), (cx + 15, cy - 9), (cx + 15, cy + 9)])) * \
            (1 - E(cx - 9, cy - 2, 1.8))
    if s == 2:    # star
        return c.poly(star_pts(cx, cy, 15, 6.5, 5))
    if s == 3:    # shell
        m = E(cx, cy + 3, 14, 13) * (c.Y < cy + 10)
        for k in range(-3, 4):
            m = m * (1 - c.line([(cx, cy + 11), (cx + k * 5, cy - 10)], 1.0))
        return m
    if s == 4:    # anchor
        return np.maximum.reduce([c.rect(cx - 1.4, cy - 12, cx + 1.4, cy + 12), c.ring(cx, cy - 13, 3, 2.2),
                                  c.arc(cx, cy + 1, 12, 100, 260, 2.6), c.rect(cx - 6, cy - 8, cx + 6, cy - 5.6)])
    if s == 5:    # wave
        m = np.zeros((c.H, c.W), dtype=np.float32)
        for dy in (-7, 0, 7):
            pts = [(cx - 14 + t, cy + dy + 3 * math.sin(t / 3.0)) for t in range(0, 29, 2)]
            m = np.maximum(m, c.line(pts, 2.6))
        return m
    if s == 6:    # bubbles
        return np.maximum.reduce([c.ring(cx - 5, cy + 5, 7, 2.4), c.ring(cx + 7, cy - 3, 5, 2.2),
                                  c.ring(cx - 2, cy - 11, 3, 1.8)])
    if s == 7:    # crown
        return c.poly([(cx - 13, cy + 9), (cx - 14, cy - 7), (cx - 6, cy + 1), (cx, cy - 11), (cx + 6, cy + 1),
                       (cx + 14, cy - 7), (cx + 13, cy + 9)])
    if s == 8:    # trident
        return np.maximum.reduce([c.rect(cx - 1.5, cy - 8, cx + 1.5, cy + 15),
                                  c.arc(cx, cy - 8, 9, 90, 270, 2.6),
                                  c.poly([(cx - 12, cy - 9), (cx - 9, cy - 16), (cx - 6, cy - 9)]),
                                  c.poly([(cx - 3, cy - 9), (cx, cy - 17), (cx + 3, cy - 9)]),
                                  c.poly([(cx + 6, cy - 9), (cx + 9, cy - 16), (cx + 12, cy - 9)])])
    if s == 9:    # submarine
        return np.maximum.reduce([E(cx, cy + 2, 14, 6), E(cx + 2, cy - 4, 5, 4),
                                  c.poly([(cx - 12, cy), (cx - 17, cy - 7), (cx - 17, cy + 9)])])
    if s == 10:   # spiky ball
        return c.poly(star_pts(cx, cy, 15, 10, 12)) * (1 - E(cx - 4, cy - 3, 2.2))
    if s == 11:   # heart
        return np.maximum.reduce([E(cx - 6, cy - 4, 7), E(cx + 6, cy - 4, 7),
                                  c.poly([(cx - 12.5, cy - 1), (cx, cy + 13), (cx + 12.5, cy - 1)])])
    if s == 12:   # lightning
        return c.poly([(cx + 3, cy - 15), (cx - 9, cy + 2), (cx - 1, cy + 2), (cx - 4, cy + 15),
                       (cx + 9, cy - 3), (cx + 1, cy - 3)])
    if s == 13:   # armour plate
        m = c.rrect(cx - 11, cy - 11, cx + 11, cy + 11, 3) * (1 - c.rrect(cx - 7, cy - 7, cx + 7, cy + 7, 2))
        for dx, dy in ((-9, -9), (9, -9), (-9, 9), (9, 9)):
            m = m * (1 - E(cx + dx, cy + dy, 1.1))
        return np.maximum(m, c.rrect(cx - 4, cy - 4, cx + 4, cy + 4, 1))
    if s == 14:   # eye
        return np.maximum(E(cx, cy, 15, 8) * (1 - E(cx, cy, 6)), E(cx, cy, 3))
    return c.poly(gear_pts(cx, cy, 14, 10.5, 10)) * (1 - E(cx, cy, 4.5))   # gear


def badge(c, n):
    cx = cy = 32
    hi, mid, lo = TIERS[n // 16]
    s = n % 16
    shape = (n // 4) % 4
    if shape == 0:
        rim = c.ellipse(cx, cy, 29)
        face = c.ellipse(cx, cy, 24)
    elif shape == 1:
        rim = c.poly(circle_pts(cx, cy, 30, 6))
        face = c.poly(circle_pts(cx, cy, 25, 6))
    elif shape == 2:
        rim = c.poly(star_pts(cx, cy, 31, 26, 16))
        face = c.ellipse(cx, cy, 23)
    else:
        shield = [(cx - 25, cy - 24), (cx + 25, cy - 24), (cx + 25, cy + 2), (cx, cy + 29), (cx - 25, cy + 2)]
        rim = c.poly(shield)
        face = c.poly([(x * 0.82 + cx * 0.18, y * 0.82 + cy * 0.18) for x, y in shield])
    # ribbon tails behind round badges
    if shape != 3:
        for sx in (-1, 1):
            c.fill(c.poly([(cx + sx * 6, cy + 14), (cx + sx * 16, cy + 31), (cx + sx * 10, cy + 29),
                           (cx + sx * 7, cy + 32), (cx + sx * 1, cy + 18)]),
                   ((200, 40, 60), (40, 90, 200), (40, 150, 80), (140, 60, 180))[s % 4])
    c.fill(rim, c.linear(cx - 30, cy - 30, cx + 30, cy + 30, [(0, hi), (0.5, mid), (1, lo)]))
    c.fill(face, c.linear(cx + 24, cy + 24, cx - 24, cy - 24, [(0, hi), (0.6, mid), (1, lo)]))
    sym = _symbol(c, s, cx, cy)
    c.fill(sym, lo, 0.9)
    c.fill(sym * (1 - np.roll(sym, int(round(1.0 * c.k)), axis=0)), hi, 0.9)
    gloss = c.ellipse(cx - 8, cy - 12, 16, 8) * face
    c.fill(gloss, (255, 255, 255), 0.25)
    outline(c, 1.0, NAVY, 0.9)


def badges_sheet(level):
    frames = []
    for n in range(64):
        c = Canvas(64, 64, level)
        badge(c, n)
        frames.append(c.image())
    return sheet(frames, 64, 64, level, 8)
