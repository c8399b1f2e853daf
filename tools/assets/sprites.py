"""The fight's sprites: the player's ship, its shot, the Tidecrawler in all its
looks, the thrown fish (sheet "gfx", 36 x 36 frames) and the sixteen armour
plates (sheet "fish", 8 x 8 frames)."""

import math
import random

import numpy as np

from canvas import Canvas, sheet, outline, rot, star_pts

FW = 36          # gfx frame size
GFX_FRAMES = 49  # 7 x 7 grid
GFX_COLS = 7

# Body geometry of the Tidecrawler in frame units; the armour plates are cut
# from a 32 x 32 picture that starts at frame pixel (2, 2).
BODY = dict(cx=18.6, cy=19.2, rx=14.2, ry=11.6)
EYE = (10.4, 15.6)
PLATE_ORIGIN = 2.0

PAL_ARMOURED = dict(back=(18, 96, 104), belly=(150, 214, 190), fin=(40, 150, 150),
                    fin_edge=(120, 230, 210), line=(6, 28, 40), stripe=(10, 70, 80),
                    eye=(255, 236, 120), pupil=(20, 10, 10))
PAL_SINKING = dict(back=(70, 96, 104), belly=(170, 186, 180), fin=(90, 120, 122),
                   fin_edge=(150, 170, 170), line=(16, 24, 30), stripe=(60, 80, 86),
                   eye=(220, 220, 210), pupil=(40, 40, 40))
PAL_FLASH = dict(back=(190, 240, 255), belly=(255, 255, 255), fin=(170, 230, 255),
                 fin_edge=(255, 255, 255), line=(60, 120, 170), stripe=(150, 220, 250),
                 eye=(255, 255, 255), pupil=(90, 160, 220))
PAL_REBORN = dict(back=(128, 14, 52), belly=(255, 140, 110), fin=(200, 40, 70),
                  fin_edge=(255, 170, 90), line=(34, 0, 16), stripe=(80, 0, 40),
                  eye=(255, 230, 60), pupil=(160, 0, 0))


def body_mask(c, grow=0.0):
    b = BODY
    m = c.ellipse(b["cx"], b["cy"], b["rx"] + grow, b["ry"] + grow)
    # a blunt, heavy head: widen the front lower part into a jaw
    jaw = c.ellipse(b["cx"] - 7.5, b["cy"] + 3.0, 7.6 + grow, 6.4 + grow)
    return np.maximum(m, jaw)


def fins(c, pal, spiky):
    """Tail, dorsal, pectoral and belly fins, drawn under the body."""
    cy = BODY["cy"]
    tail = [(29.5, cy - 1.5), (34.9, cy - 10.3), (33.6, cy), (34.9, cy + 9.3), (29.5, cy + 2)]
    dorsal_n = 5 if spiky else 4
    dorsal = [(9.0, 11.5)]
    for i in range(dorsal_n):
        x0 = 10.0 + i * (16.0 / dorsal_n)
        if spiky:
            top = (3.4, 1.2, 1.0, 2.2, 4.2)[i]
        else:
            top = 4.2 + 0.7 * abs(i - 1.2)
        dorsal.append((x0 + (2.6 if spiky else 1.2), top))
        dorsal.append((x0 + 16.0 / dorsal_n, 7.4 + i * 0.3))
    dorsal.append((28.0, 12.0))
    belly = [(17.0, 29.0), (21.5, 34.8 if spiky else 33.5), (25.5, 28.0)]
    grad = c.linear(0, 2, 0, 34, [(0, pal["fin_edge"]), (0.5, pal["fin"]), (1, pal["fin_edge"])])
    for pts in (tail, dorsal, belly):
        c.fill(c.poly(pts), grad)
    # fin rays
    for i in range(5):
        t = (i + 0.5) / 5
        c.fill(c.line([(30.0, cy), (35.0, cy - 9 + 18 * t)], 0.35), pal["stripe"], 0.7)
    for i in range(dorsal_n + 2):
        x = 11.0 + i * 15.0 / (dorsal_n + 1)
        c.fill(c.line([(x, 11.0), (x + 1.0, 5.0 if spiky else 6.0)], 0.3), pal["stripe"], 0.6)


def mouth_wedge(c, opening):
    """Mask of the open mouth: a wedge cut into the head from the left."""
    hx, hy = 12.5, BODY["cy"] + 2.6
    up = hy - 2.5 - 9.0 * opening
    down = hy + 1.5 + 8.0 * opening
    return c.poly([(hx, hy), (0.5, up), (0.5, down)])


def tidecrawler(c, pal, mouth=0, eye="normal", spiky=False):
    fins(c, pal, spiky)
    body = body_mask(c)
    shade = c.linear(0, 7, 0, 31, [(0, pal["back"]), (0.45, pal["back"]),
                                   (0.7, pal["belly"]), (1, pal["belly"])])
    c.fill(body, shade)
    # dark saddle stripes across the back
    for i, x in enumerate((15.0, 21.0, 27.0)):
        st = c.poly([(x - 1.6, 6.0), (x + 1.4, 6.0), (x + 0.6 - i * 0.3, 22.0), (x - 1.8, 21.0)])
        c.fill(st * body, pal["stripe"], 0.55)
    # scales: small arcs in rows
    for row in range(4):
        for col in range(6):
            x = 13.0 + col * 3.2 + (row % 2) * 1.6
            y = 12.0 + row * 3.4
            if ((x - BODY["cx"]) / BODY["rx"]) ** 2 + ((y - BODY["cy"]) / BODY["ry"]) ** 2 > 0.7:
                continue
            c.fill(c.arc(x, y, 1.5, 100, 260, 0.35) * body, pal["line"], 0.35)
    # lateral line and gill slit
    c.fill(c.line([(14.0, 19.5), (22.0, 18.5), (30.0, 19.0)], 0.4) * body, pal["fin_edge"], 0.5)
    c.fill(c.arc(15.5, 19.0, 5.5, 200, 330, 0.7) * body, pal["line"], 0.7)
    # pectoral fin on the flank
    pect = [(17.5, 21.5), (23.0, 23.0), (22.0, 25.2), (17.0, 23.2)]
    c.fill(c.poly(pect), pal["fin"], 0.85)
    c.fill(c.line([(17.5, 22.3), (22.4, 24.0)], 0.3), pal["fin_edge"], 0.7)
    # top light
    c.fill(c.ellipse(19.0, 12.5, 9.0, 3.0) * body, (255, 255, 255), 0.18)
    if mouth > 0:
        w = mouth_wedge(c, mouth)
        inner = w * body_mask(c, 0.2)
        c.erase(inner)
        c.fill(inner, c.radial(10.0, BODY["cy"] + 2.6, 9.0, [(0, (30, 0, 6)), (0.6, (90, 6, 20)),
                                                              (1, (170, 30, 50))]))
        # tongue
        c.fill(c.ellipse(8.0, BODY["cy"] + 4.0 + 3.0 * mouth, 3.5, 1.4) * inner, (220, 70, 90))
        # teeth along both jaws
        hx, hy = 12.5, BODY["cy"] + 2.6
        for jaw, sgn in ((-2.5 - 9.0 * mouth, -1), (1.5 + 8.0 * mouth, 1)):
            for i in range(4):
                t = 0.18 + i * 0.22
                x = hx + (0.5 - hx) * t
                y = hy + jaw * t
                tip = (x + 0.3, y - sgn * (1.6 + 0.6 * mouth))
                c.fill(c.poly([(x - 0.8, y), (x + 1.0, y), tip]) * body_mask(c, 0.3),
                       (255, 250, 235))
    else:
        # closed jaw line with a couple of teeth poking out
        hx, hy = 12.5, BODY["cy"] + 2.6
        c.fill(c.line([(4.6, hy - 0.2), (hx, hy)], 0.55), pal["line"])
        for x in (6.5, 9.5):
            c.fill(c.poly([(x - 0.7, hy), (x + 0.7, hy), (x, hy - 1.6)]), (255, 250, 235))
    ex, ey = EYE
    if eye == "dazed":
        c.fill(c.ellipse(ex, ey, 2.8), pal["eye"])
        for a in (45, -45):
            c.fill(c.line(rot([(ex - 1.9, ey), (ex + 1.9, ey)], a, ex, ey), 0.6), pal["pupil"])
    elif eye == "angry":
        c.glow(c.ellipse(ex, ey, 2.4), (255, 200, 40), 1.6, 1.6)
        c.fill(c.ellipse(ex, ey, 2.9), pal["eye"])
        c.fill(c.ellipse(ex + 0.2, ey, 0.7, 2.2), pal["pupil"])
        c.fill(c.poly([(ex - 4.0, ey - 4.2), (ex + 4.2, ey - 1.6), (ex + 4.2, ey - 3.4),
                       (ex - 3.0, ey - 5.4)]), pal["line"])
    else:
        c.fill(c.ellipse(ex, ey, 2.9), pal["eye"])
        c.fill(c.ellipse(ex - 0.4, ey + 0.2, 1.5), pal["pupil"])
        c.fill(c.ellipse(ex - 1.0, ey - 0.8, 0.6), (255, 255, 255))
    if spiky:
        # scars across the flank
        for x, y in ((21.0, 14.0), (25.0, 22.0)):
            c.fill(c.line([(x - 2.2, y - 1.5), (x + 2.2, y + 1.5)], 0.5) * body, (255, 200, 170), 0.8)
    outline(c, 0.75, pal["line"], 0.95)


def flash(c):
    tidecrawler(c, PAL_FLASH, eye="dazed")
    c.glow(c.alpha_mask(), (160, 230, 255), 1.0, 0.7)


# At scale 1 the ship with its glow spans 32 units, its middle 2.3 units behind the centre given.
SHIP_SCALE = 0.48
SHIP_CX = 18.0 + 2.3 * SHIP_SCALE


def ship(c, cx=18.0, cy=18.0, s=1.0):
    """The player's little attack submarine, facing right."""
    def P(pts):
        return [(cx + x * s, cy + y * s) for x, y in pts]
    hull_col = c.linear(0, cy - 6 * s, 0, cy + 6 * s,
                        [(0, (250, 252, 255)), (0.5, (196, 210, 228)), (1, (96, 110, 140))])
    fin = c.linear(0, cy - 10 * s, 0, cy + 10 * s, [(0, (255, 170, 60)), (1, (220, 70, 30))])
    # tail fins and propeller
    c.fill(c.poly(P([(-7, -3), (-12, -9.5), (-8.5, -9.5), (-2, -3)])), fin)
    c.fill(c.poly(P([(-7, 3), (-12, 9.5), (-8.5, 9.5), (-2, 3)])), fin)
    c.fill(c.ellipse(cx - 12.6 * s, cy - 2.4 * s, 0.9 * s, 2.3 * s), (230, 235, 240))
    c.fill(c.ellipse(cx - 12.6 * s, cy + 2.4 * s, 0.9 * s, 2.3 * s), (150, 160, 175))
    c.fill(c.rrect(cx - 12.2 * s, cy - 1.0 * s, cx - 9.0 * s, cy + 1.0 * s, 0.5 * s), (120, 130, 150))
    # gun under the nose
    c.fill(c.rrect(cx + 2 * s, cy + 2.2 * s, cx + 12.5 * s, cy + 4.0 * s, 0.8 * s), (90, 100, 120))
    c.fill(c.rect(cx + 11.2 * s, cy + 2.2 * s, cx + 12.5 * s, cy + 4.0 * s), (255, 210, 80))
    # hull
    hull = np.maximum(c.ellipse(cx - 0.5 * s, cy, 10.5 * s, 5.4 * s),
                      c.poly(P([(4, -4.6), (11.5, -1.5), (12.6, 0.5), (11, 2.6), (4, 4.9)])))
    c.fill(hull, hull_col)
    # racing stripe
    c.fill(c.poly(P([(-9, -0.2), (8.5, -1.4), (9.5, 0.6), (-9, 1.6)])) * hull, (235, 80, 40))
    # cockpit canopy
    dome = c.ellipse(cx + 2.4 * s, cy - 4.0 * s, 4.6 * s, 3.2 * s) * (c.Y < cy - 2.0 * s)
    c.fill(dome, c.linear(0, cy - 7 * s, 0, cy - 2 * s, [(0, (200, 255, 255)), (1, (20, 120, 190))]))
    c.fill(c.ellipse(cx + 1.2 * s, cy - 5.2 * s, 1.5 * s, 0.8 * s), (255, 255, 255), 0.9)
    # portholes
    for x in (-5.0, -2.0):
        c.fill(c.ellipse(cx + x * s, cy - 2.2 * s, 0.9 * s), (40, 70, 110))
        c.fill(c.ellipse(cx + x * s - 0.2 * s, cy - 2.4 * s, 0.35 * s), (160, 230, 255))
    outline(c, 0.7 * s, (10, 16, 40))
    # engine glow behind the propeller
    c.glow(c.ellipse(cx - 13.6 * s, cy, 1.2 * s), (90, 220, 255), 1.5 * s, 1.2)


def shot(c):
    core = c.poly([(12.5, 18), (16.0, 16.6), (23.5, 16.8), (25.0, 18), (23.5, 19.2),
                   (16.0, 19.4)])
    trail = c.poly([(7.0, 18), (16.0, 16.9), (16.0, 19.1)])
    c.fill(trail, c.linear(7, 0, 16, 0, [(0, (60, 200, 255, 0)), (1, (120, 230, 255, 200))]))
    c.glow(core, (60, 200, 255), 1.8, 1.4)
    c.fill(core, c.linear(12, 0, 25, 0, [(0, (150, 240, 255)), (0.6, (255, 255, 255)),
                                         (1, (255, 255, 220))]))


def small_fish(c, cx, cy, s=1.0):
    """A thrown fish facing left: the straight fish and the first swelling frame."""
    body = c.ellipse(cx, cy, 6.2 * s, 3.7 * s)
    tail = c.poly([(cx + 5.0 * s, cy), (cx + 9.6 * s, cy - 3.9 * s), (cx + 8.6 * s, cy),
                   (cx + 9.6 * s, cy + 3.9 * s)])
    top = c.poly([(cx - 2 * s, cy - 3 * s), (cx + 1.5 * s, cy - 6 * s), (cx + 4 * s, cy - 2.5 * s)])
    c.fill(np.maximum(tail, top), (255, 120, 40))
    c.fill(body, c.linear(0, cy - 4 * s, 0, cy + 4 * s,
                          [(0, (255, 110, 40)), (0.55, (255, 190, 70)), (1, (255, 240, 180))]))
    for x in (0.0, 2.6):
        c.fill(c.line([(cx + x * s, cy - 3.4 * s), (cx + (x - 0.8) * s, cy + 3.4 * s)],
                      0.9 * s) * body, (255, 255, 255), 0.85)
    c.fill(c.ellipse(cx - 3.5 * s, cy - 0.8 * s, 1.3 * s), (255, 255, 255))
    c.fill(c.ellipse(cx - 3.8 * s, cy - 0.8 * s, 0.7 * s), (10, 10, 20))
    outline(c, 0.6, (50, 10, 10))


def puffer(c, stage):
    """Swelling fish, stages 1 to 3 (frames 22 to 24), facing left."""
    r = (6.5, 10.0, 14.0)[stage - 1]
    spikes = (10, 16, 22)[stage - 1]
    spike_len = (0.9, 2.2, 3.4)[stage - 1]
    cx, cy = 18.0 + 0.6 * stage, 18.0
    body_r = r - spike_len
    col = [(0, (255, 250, 190)), (0.6, (190, 230, 80)), (1, (90, 150, 40))]
    # tail
    c.fill(c.poly([(cx + body_r * 0.85, cy), (cx + body_r + 3.0, cy - 2.6 - stage * 0.6),
                   (cx + body_r + 3.0, cy + 2.6 + stage * 0.6)]), (230, 160, 40))
    pts = star_pts(cx, cy, r, body_r * 0.96, spikes, ang=7.0 * stage)
    c.fill(c.poly(pts), (250, 240, 200))
    c.fill(c.ellipse(cx, cy, body_r), c.radial(cx - body_r * 0.35, cy - body_r * 0.4, body_r * 1.6, col))
    rnd = random.Random(22 + stage)
    for _ in range(4 + stage * 4):
        a = rnd.uniform(0, 2 * math.pi)
        d = rnd.uniform(0.3, 0.8) * body_r
        c.fill(c.ellipse(cx + d * math.cos(a), cy + d * math.sin(a), 0.35 + 0.25 * stage),
               (70, 110, 30), 0.8)
    # belly
    c.fill(c.ellipse(cx, cy + body_r * 0.45, body_r * 0.75, body_r * 0.45) * c.ellipse(cx, cy, body_r),
           (255, 255, 230), 0.7)
    ex, ey = cx - body_r * 0.5, cy - body_r * 0.3
    er = 0.9 + 0.45 * stage
    c.fill(c.ellipse(ex, ey, er), (255, 255, 255))
    c.fill(c.ellipse(ex - er * 0.2, ey + er * 0.1, er * 0.55), (200, 0, 0) if stage == 3 else (10, 10, 20))
    if stage >= 2:
        c.fill(c.line([(ex - er * 1.3, ey - er * 1.5), (ex + er * 1.2, ey - er * 0.8)], 0.6), (40, 40, 10))
    # pursed mouth
    c.fill(c.ellipse(cx - body_r * 0.95, cy + body_r * 0.2, 0.6 + 0.2 * stage), (120, 30, 30))
    outline(c, 0.6, (30, 40, 10))


def gfx_frames(level):
    frames = [None] * GFX_FRAMES

    def make(fn, *a, **kw):
        c = Canvas(FW, FW, level)
        fn(c, *a, **kw)
        return c.image()

    # The fight draws the ship at twice its size and keeps its centre 16 pixels inside the screen's
    # edges, so all of it stays within 8 frame units of the centre.
    frames[0] = make(ship, SHIP_CX, 18.0, SHIP_SCALE)
    frames[1] = make(shot)
    frames[7] = make(tidecrawler, PAL_ARMOURED)
    frames[8] = make(tidecrawler, PAL_SINKING, eye="dazed")
    frames[9] = make(flash)
    frames[14] = make(tidecrawler, PAL_REBORN, eye="angry", spiky=True)
    frames[15] = make(tidecrawler, PAL_REBORN, mouth=0.55, eye="angry", spiky=True)
    frames[16] = make(tidecrawler, PAL_REBORN, mouth=1.0, eye="angry", spiky=True)
    frames[21] = make(small_fish, 17.0, 18.0)
    for st in (1, 2, 3):
        frames[21 + st] = make(puffer, st)
    return frames


def gfx_sheet(level):
    return sheet(gfx_frames(level), FW, FW, level, GFX_COLS)


# ----- armour plates -----

def armour_picture(level, ss=None):
    """The 32 x 32 plating as one canvas; cut into 8 x 8 plates afterwards."""
    c = Canvas(32, 32, level, ss)
    o = PLATE_ORIGIN
    # a squarish shell, so that even the corner plates are real pieces of armour
    X, Y = c.X, c.Y
    # narrowing a little toward the tail
    b = 14.0 - 1.5 * np.clip((X - 14.0) / 18.0, 0.0, 1.0)
    se = np.abs((X - 16.0) / 15.4) ** 3.5 + np.abs((Y - 17.0) / b) ** 3.5
    shell = np.clip((1.0 - se) * 5.0 * c.k + 0.5, 0.0, 1.0).astype(np.float32)
    eye_hole = c.ellipse(EYE[0] - o, EYE[1] - o, 3.4)
    rnd = random.Random(1601)
    for r in range(4):
        for col in range(4):
            x0, y0 = col * 8.0, r * 8.0
            tile = c.rrect(x0 + 0.45, y0 + 0.45, x0 + 7.55, y0 + 7.55, 1.4) * shell * (1 - eye_hole)
            tint = rnd.uniform(-14, 14)
            base = (96 + tint, 116 + tint, 136 + tint * 0.5)
            c.fill(tile, c.linear(x0, y0, x0 + 8, y0 + 8,
                                  [(0, (200 + tint, 216 + tint, 230)), (0.35, base),
                                   (1, (40 + tint * 0.5, 52, 70))]))
            # bevel: inner plate face raised
            face = c.rrect(x0 + 1.6, y0 + 1.6, x0 + 6.4, y0 + 6.4, 1.0) * tile
            c.fill(face, c.linear(x0, y0, x0 + 8, y0 + 8,
                                  [(0, (170 + tint, 186 + tint, 204)), (1, (80 + tint, 96 + tint, 118))]))
            # rivets in the corners that survive the shell cut
            for dx, dy in ((1.1, 1.1), (6.9, 1.1), (1.1, 6.9), (6.9, 6.9)):
                rv = c.ellipse(x0 + dx, y0 + dy, 0.55) * tile
                c.fill(rv, (230, 236, 240))
                c.fill(c.ellipse(x0 + dx + 0.25, y0 + dy + 0.25, 0.35) * tile, (50, 56, 70), 0.7)
            # a scratch or dent on some plates
            if rnd.random() < 0.6:
                sx, sy = x0 + rnd.uniform(2.2, 5.8), y0 + rnd.uniform(2.2, 5.8)
                a = rnd.uniform(0, 180)
                sc = c.line(rot([(sx - 1.4, sy), (sx + 1.4, sy)], a, sx, sy), 0.3) * face
                c.fill(sc, (240, 245, 250), 0.7)
    # a grille over the mouth and a gill groove, so the shell reads as a fish's head
    for i in range(3):
        x = 2.8 + i * 2.2
        c.fill(c.line([(x, 19.2), (x + 0.2, 22.6)], 0.7) * shell, (20, 30, 44), 0.85)
    c.fill(c.arc(13.2, 17.0, 6.4, 200, 330, 0.6) * shell, (20, 30, 44), 0.6)
    # visor ring around the eye hole and a glint over the crown
    c.fill(c.ring(EYE[0] - o, EYE[1] - o, 3.6, 0.8) * shell, (250, 200, 80))
    c.fill(c.ellipse(15.0, 7.5, 8.0, 2.0) * c.alpha_mask(), (255, 255, 255), 0.18)
    outline(c, 0.5, (10, 18, 30), 0.9)
    return c.image()


def fish_sheet(level):
    # the 32 x 32 picture is already the sheet: plate c + 4 r sits at column c, row r
    return armour_picture(level)
