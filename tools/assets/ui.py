"""Interface pictures: icons, menu wheel buttons and gears, the touch pad,
rings and dials, and soft lights."""

import math

import numpy as np

from canvas import Canvas, sheet, outline, rot, star_pts, gear_pts, circle_pts
import sprites
import fonts

INK = (12, 20, 44)
WHITE = (255, 255, 255)


def _white_icon(c, mask, rim=1.1):
    c.fill(mask, c.linear(0, 4, 0, 28, [(0, (255, 255, 255)), (1, (205, 218, 236))]))
    outline(c, rim, INK, 0.9)


# ----- common/icons (32 x 32) -----

def icon(c, n):
    if n == 0:      # pause
        m = np.maximum(c.rrect(8, 6, 14, 26, 1.5), c.rrect(18, 6, 24, 26, 1.5))
        _white_icon(c, m)
    elif n == 1:    # quit
        c.fill(c.ellipse(16, 16, 12.5), c.radial(12, 11, 18, [(0, (255, 120, 110)), (1, (170, 20, 30))]))
        for a in (45, -45):
            c.fill(c.line(rot([(9.5, 16), (22.5, 16)], a, 16, 16), 3.4), WHITE)
        outline(c, 1.1, INK, 0.9)
    elif n == 2:    # home
        m = np.maximum(c.poly([(16, 5), (28, 16), (24.5, 16), (24.5, 27), (7.5, 27), (7.5, 16), (4, 16)]), 0)
        m = m * (1 - c.rect(13.5, 19, 18.5, 27.1))
        _white_icon(c, m)
    elif n == 3:    # play / resume
        _white_icon(c, c.poly([(9, 5), (27, 16), (9, 27)]))
    elif n == 4:    # settings
        m = c.poly(gear_pts(16, 16, 12.5, 9.5, 8)) * (1 - c.ellipse(16, 16, 4.2))
        _white_icon(c, m)
    elif n in (5, 8):   # sound on / off
        m = np.maximum(c.rect(5, 12, 11, 20), c.poly([(9, 12), (17, 5), (17, 27), (9, 20)]))
        _white_icon(c, m)
        if n == 5:
            for r in (5.0, 9.0):
                c.fill(c.arc(16, 16, r, 50, 130, 2.2), WHITE)
        else:
            for a in (45, -45):
                c.fill(c.line(rot([(19.5, 16), (27.5, 16)], a, 23.5, 16), 2.4), (255, 90, 80))
    elif n == 6:    # selection cursor: four corner brackets
        for sx in (-1, 1):
            for sy in (-1, 1):
                x, y = 16 + sx * 13.5, 16 + sy * 13.5
                pts = [(x, y - sy * 7), (x, y), (x - sx * 7, y)]
                c.fill(c.line(pts, 2.2), WHITE)
        c.fill(c.ring(16, 16, 11.5, 0.8), WHITE, 0.45)
        outline(c, 0.8, INK, 0.6)
    elif n == 7:    # tilt calibration: a turned handset with arrows
        body = c.poly(rot([(10, 8), (22, 8), (22, 24), (10, 24)], 20, 16, 16))
        c.fill(body, (230, 236, 246))
        c.fill(c.poly(rot([(11.5, 10), (20.5, 10), (20.5, 21), (11.5, 21)], 20, 16, 16)), (60, 150, 230))
        c.fill(c.arc(16, 16, 13.0, 290, 340, 1.6), WHITE)
        c.fill(c.arc(16, 16, 13.0, 110, 160, 1.6), WHITE)
        c.fill(c.poly([(27.5, 10.5), (29.5, 15.5), (24.5, 14.5)]), WHITE)
        c.fill(c.poly([(4.5, 21.5), (2.5, 16.5), (7.5, 17.5)]), WHITE)
        outline(c, 1.0, INK, 0.9)
    elif n == 9:    # music
        m = np.maximum.reduce([c.ellipse(10, 23, 4, 3), c.ellipse(23, 21, 4, 3),
                               c.rect(12.4, 7, 14.4, 23), c.rect(25.4, 5, 27.4, 21),
                               c.poly([(12.4, 7), (27.4, 3.5), (27.4, 8), (12.4, 11.5)])])
        _white_icon(c, m)
    elif n == 10:   # full screen
        m = np.zeros((c.H, c.W), dtype=np.float32)
        for sx in (-1, 1):
            for sy in (-1, 1):
                x, y = 16 + sx * 11, 16 + sy * 11
                m = np.maximum(m, c.poly([(x, y), (x - sx * 8, y), (x, y - sy * 8)]))
                m = np.maximum(m, c.line([(x - sx * 2, y - sy * 2), (16 + sx * 3, 16 + sy * 3)], 2.2))
        _white_icon(c, m)
    elif n == 11:   # a life: the player's ship, small enough that a row of them 16 pixels apart at
        # three quarters of the size keeps clear water between them
        sprites.ship(c, 16.0 + 2.3 * 0.55, 16.0, 0.55)
    elif n == 12:   # star
        _white_icon(c, c.poly(star_pts(16, 16.5, 13, 5.5, 5)))
    elif n == 13:   # trophy
        cup = np.maximum.reduce([c.poly([(8, 5), (24, 5), (22, 15), (16, 19), (10, 15)]),
                                 c.rect(14.5, 18, 17.5, 24), c.rrect(10, 24, 22, 28, 1.0)])
        handles = np.maximum(c.ring(8, 10, 3.5, 1.6), c.ring(24, 10, 3.5, 1.6))
        c.fill(np.maximum(cup, handles), c.linear(0, 4, 0, 28, [(0, (255, 240, 140)), (1, (210, 150, 30))]))
        outline(c, 1.0, INK, 0.9)
    elif n == 14:   # back
        _white_icon(c, np.maximum(c.poly([(4, 16), (15, 6), (15, 12), (27, 12), (27, 20), (15, 20),
                                          (15, 26)]), 0))
    elif n == 15:   # info
        c.fill(c.ellipse(16, 16, 12.5), c.radial(12, 11, 18, [(0, (110, 200, 255)), (1, (20, 80, 170))]))
        c.fill(c.ellipse(16, 9.5, 2.0), WHITE)
        c.fill(c.rrect(14.2, 13, 17.8, 24, 1.0), WHITE)
        outline(c, 1.1, INK, 0.9)


def icons_sheet(level):
    frames = []
    for n in range(16):
        c = Canvas(32, 32, level)
        icon(c, n)
        frames.append(c.image())
    return sheet(frames, 32, 32, level, 4)


# ----- common/Buttons (64 x 64) -----

WHEEL_COLOURS = [(220, 70, 40), (30, 150, 160), (120, 70, 200), (60, 170, 70), (40, 100, 210), (220, 170, 40)]


def _emblem(c, n, cx, cy):
    """Faint picture behind a wheel entry's name."""
    if n == 0:      # crossed harpoons
        m = np.zeros((c.H, c.W), dtype=np.float32)
        for a in (40, -40):
            m = np.maximum(m, c.line(rot([(cx, cy - 20), (cx, cy + 20)], a, cx, cy), 2.2))
            tip = rot([(cx - 4, cy - 14), (cx, cy - 23), (cx + 4, cy - 14)], a, cx, cy)
            m = np.maximum(m, c.poly(tip))
        return m
    if n == 1:      # fish
        return np.maximum(c.ellipse(cx - 3, cy, 14, 8),
                          c.poly([(cx + 8, cy), (cx + 20, cy - 10), (cx + 20, cy + 10)])) * \
            (1 - c.ellipse(cx - 11, cy - 2, 2))
    if n == 2:      # anchor
        return np.maximum.reduce([c.rect(cx - 1.5, cy - 16, cx + 1.5, cy + 16), c.ring(cx, cy - 18, 4, 2.6),
                                  c.arc(cx, cy + 2, 16, 100, 260, 3), c.rect(cx - 8, cy - 10, cx + 8, cy - 7)])
    if n == 3:      # shell
        m = c.ellipse(cx, cy + 2, 18, 16) * (c.Y < cy + 10)
        for k in range(-3, 4):
            m = m * (1 - c.line([(cx, cy + 12), (cx + k * 6, cy - 12)], 1.2))
        return m
    if n == 4:      # waves
        m = np.zeros((c.H, c.W), dtype=np.float32)
        for dy in (-10, 0, 10):
            pts = [(cx - 20 + t, cy + dy + 4 * math.sin(t / 4.0)) for t in range(0, 41, 2)]
            m = np.maximum(m, c.line(pts, 3))
        return m
    return c.poly(star_pts(cx, cy, 20, 8, 5))


def wheel_button(c, n):
    cx = cy = 32
    col = WHEEL_COLOURS[n]
    # a wide face and a thin rim: the entry's name, 47 pixels across at the wheel's text size, sits on it
    c.fill(c.ellipse(cx + 1.0, cy + 1.5, 29.5), (0, 0, 0), 0.45)
    c.fill(c.ellipse(cx, cy, 30.5), c.linear(0, 2, 0, 62, [(0, (250, 250, 255)), (0.5, (150, 160, 180)),
                                                             (1, (70, 76, 96))]))
    light = tuple(min(255, v + 80) for v in col)
    dark = tuple(v * 0.35 for v in col)
    c.fill(c.ellipse(cx, cy, 28.2), c.radial(cx - 8, cy - 10, 42, [(0, light), (0.45, col), (1, dark)]))
    c.fill(_emblem(c, n, cx, cy) * c.ellipse(cx, cy, 27), dark, 0.45)
    gloss = c.ellipse(cx, cy - 12, 20, 11) * c.ellipse(cx, cy, 26)
    c.fill(gloss, c.linear(0, cy - 22, 0, cy, [(0, (255, 255, 255, 150)), (1, (255, 255, 255, 0))]))


def gear(c, layer):
    cx = cy = 32
    if layer == 0:      # big outer ring gear: brass
        body = c.poly(gear_pts(cx, cy, 30.5, 26.5, 18)) * (1 - c.ellipse(cx, cy, 19.5))
        cols = [(0, (255, 226, 140)), (0.5, (200, 150, 60)), (1, (120, 80, 30))]
        holes = [(cx + 23 * math.sin(math.radians(a)), cy - 23 * math.cos(math.radians(a))) for a in range(0, 360, 45)]
        hole_r = 1.8
    elif layer == 1:    # middle gear: steel
        body = c.poly(gear_pts(cx, cy, 18.5, 15.0, 12, ang=7)) * (1 - c.ellipse(cx, cy, 10.5))
        cols = [(0, (240, 246, 255)), (0.5, (150, 164, 186)), (1, (70, 80, 100))]
        holes = [(cx + 12.8 * math.sin(math.radians(a)), cy - 12.8 * math.cos(math.radians(a))) for a in range(0, 360, 60)]
        hole_r = 1.2
    else:               # hub: copper with a bolt
        body = c.poly(gear_pts(cx, cy, 10.0, 7.6, 8, ang=11))
        cols = [(0, (255, 200, 160)), (0.5, (200, 110, 60)), (1, (110, 50, 20))]
        holes = []
        hole_r = 0
    for x, y in holes:
        body = body * (1 - c.ellipse(x, y, hole_r))
    c.fill(body, c.linear(cx - 30, cy - 30, cx + 30, cy + 30, cols))
    # bevel ring just inside the teeth
    r_in = (25.8, 14.4, 7.0)[layer]
    c.fill(c.ring(cx, cy, r_in, 0.8) * body, (255, 255, 255), 0.35)
    if layer == 2:
        c.fill(c.poly(circle_pts(cx, cy, 3.6, 6)), (90, 96, 110))
        c.fill(c.ellipse(cx, cy, 1.6), (200, 206, 220))
    outline(c, 0.9, INK, 0.85)


def coded_badge(c):
    c.fill(c.rrect(5, 14, 59, 50, 8), c.linear(0, 14, 0, 50, [(0, (70, 110, 200)), (1, (20, 40, 110))]))
    c.fill(c.rrect(7, 16, 57, 30, 6), (255, 255, 255), 0.18)
    for i, ch in enumerate("C++"):
        fonts._letter(c, ch, (255, 255, 255), 20 + i * 8, 22, scale=1.2)
    c.fill(c.line([(12, 24), (9, 32), (12, 40)], 1.6), (150, 220, 255))
    c.fill(c.line([(52, 24), (55, 32), (52, 40)], 1.6), (150, 220, 255))
    outline(c, 1.0, INK, 0.9)


def arrow_button(c, direction):
    c.fill(c.ellipse(32, 32, 22), c.radial(26, 24, 34, [(0, (120, 200, 255)), (1, (20, 70, 150))]))
    pts = [(22, 20), (44, 32), (22, 44)]
    c.fill(c.poly(rot(pts, {"right": 0, "left": 180}.get(direction, 0), 32, 32)), WHITE)
    outline(c, 1.0, INK, 0.9)


def buttons_sheet(level):
    frames = [None] * 16
    for n in range(16):
        c = Canvas(64, 64, level)
        if n < 6:
            wheel_button(c, n)
        elif n == 6:        # a selection glow
            c.fill(c.ring(32, 32, 29, 3), (255, 255, 255), 0.9)
            c.glow(c.ring(32, 32, 29, 3), (255, 255, 255), 2.5, 0.8)
        elif n == 7:        # a plain glassy disc
            c.fill(c.ellipse(32, 32, 26), c.radial(24, 22, 40, [(0, (255, 255, 255, 160)), (1, (180, 200, 230, 60))]))
            c.fill(c.ring(32, 32, 26, 1.2), WHITE, 0.8)
        elif n in (8, 9, 10):
            gear(c, n - 8)
        elif n == 11:       # a bubble
            c.fill(c.ellipse(32, 32, 24), WHITE, 0.15)
            c.fill(c.ring(32, 32, 24, 2), WHITE, 0.8)
            c.fill(c.ellipse(24, 23, 6, 4), WHITE, 0.9)
        elif n == 12:
            coded_badge(c)
        elif n in (13, 14):
            arrow_button(c, "left" if n == 13 else "right")
        else:
            continue
        frames[n] = c.image()
    return sheet(frames, 64, 64, level, 4)


# ----- common/dpad (32 x 32) -----

def pad_arrow(c, ang):
    c.fill(c.rrect(3, 3, 29, 29, 6), (255, 255, 255), 0.22)
    c.fill(c.rrect(3, 3, 29, 29, 6) * (1 - c.rrect(5, 5, 27, 27, 4.5)), WHITE, 0.7)
    c.fill(c.poly(rot([(16, 7.5), (25, 21), (7, 21)], ang, 16, 16)), WHITE)


def dpad_sheet(level):
    frames = [None] * 16
    for n in range(16):
        c = Canvas(32, 32, level)
        if n == 0:      # fire
            c.glow(c.ellipse(16, 16, 12), (255, 120, 80), 2.0, 0.6)
            c.fill(c.ellipse(16, 16, 13), c.radial(12, 11, 20, [(0, (255, 170, 140)), (0.5, (230, 40, 40)),
                                                                 (1, (110, 0, 10))]))
            c.fill(c.ring(16, 16, 13, 1.2), WHITE, 0.8)
            c.fill(c.poly(star_pts(16, 16, 7, 2.8, 4, 45)), WHITE, 0.9)
        elif n == 2:    # second button
            c.fill(c.ellipse(16, 16, 13), c.radial(12, 11, 20, [(0, (170, 220, 255)), (0.5, (40, 110, 230)),
                                                                 (1, (0, 30, 110))]))
            c.fill(c.ring(16, 16, 13, 1.2), WHITE, 0.8)
        elif n in (1, 4, 6, 9):
            pad_arrow(c, {1: 0, 6: 90, 9: 180, 4: 270}[n])
        elif n == 5:    # centre
            c.fill(c.ellipse(16, 16, 12), WHITE, 0.22)
            c.fill(c.ring(16, 16, 12, 1.6), WHITE, 0.7)
            c.fill(c.ellipse(16, 16, 4), WHITE, 0.8)
        else:
            continue
        frames[n] = c.image()
    return sheet(frames, 32, 32, level, 4)


# ----- common/circle (256 x 256) -----

def circle_sheet(level):
    frames = []
    C = 128
    for n in range(4):
        c = Canvas(256, 256, level)
        if n == 0:      # soft disc
            c.paint(c.radial(C, C, 120, [(0, (255, 255, 255, 220)), (0.7, (255, 255, 255, 90)),
                                        (1, (255, 255, 255, 0))]))
        elif n == 1:    # ring around the gear
            ring = c.ring(C, C, 54, 4)
            c.glow(ring, (140, 220, 255), 4, 0.9)
            c.fill(ring, WHITE)
            for a in range(0, 360, 15):
                L = 6 if a % 45 == 0 else 3
                p = rot([(C, C - 60), (C, C - 60 - L)], a, C, C)
                c.fill(c.line(p, 1.6), WHITE, 0.9)
        elif n == 2:    # dotted ring
            for a in range(0, 360, 10):
                x = C + 100 * math.sin(math.radians(a))
                y = C - 100 * math.cos(math.radians(a))
                c.fill(c.ellipse(x, y, 3.2 if a % 30 == 0 else 2.0), WHITE)
        else:           # the wheel dial
            c.fill(c.ring(C, C, 86, 2.5), WHITE, 0.9)
            c.fill(c.ring(C, C, 124, 3), WHITE, 0.9)
            c.fill(c.ring(C, C, 105, 38) * (1 - c.ellipse(C, C, 86)), (255, 255, 255), 0.08)
            for a in range(0, 360, 4):
                if a % 32 == 0:
                    L, w = 14, 2.6
                elif a % 8 == 0:
                    L, w = 8, 1.6
                else:
                    L, w = 4, 1.0
                p = rot([(C, C - 122), (C, C - 122 + L)], a, C, C)
                c.fill(c.line(p, w), WHITE, 0.85)
            for a in range(16, 360, 32):
                x = C + 92 * math.sin(math.radians(a))
                y = C - 92 * math.cos(math.radians(a))
                c.fill(c.ellipse(x, y, 2.4), WHITE, 0.9)
        frames.append(c.image())
    return sheet(frames, 256, 256, level, 2)


# ----- common/light (32 x 32) -----

def light_sheet(level):
    frames = []
    for n in range(4):
        c = Canvas(32, 32, level)
        if n == 0:
            c.paint(c.radial(16, 16, 15.5, [(0, (255, 255, 255, 255)), (0.3, (255, 255, 255, 170)),
                                           (1, (255, 255, 255, 0))]))
        elif n == 1:
            c.paint(c.radial(16, 16, 9, [(0, (255, 255, 255, 255)), (1, (255, 255, 255, 0))]))
            for a in (0, 90):
                p = rot([(16, 1), (17.2, 16), (16, 31), (14.8, 16)], a, 16, 16)
                c.fill(c.poly(p), WHITE, 0.9)
            for a in (45, 135):
                p = rot([(16, 7), (16.7, 16), (16, 25), (15.3, 16)], a, 16, 16)
                c.fill(c.poly(p), WHITE, 0.6)
        elif n == 2:
            c.fill(c.ring(16, 16, 11, 3), WHITE, 0.7)
            c.glow(c.ring(16, 16, 11, 2), WHITE, 1.8, 0.8)
        else:
            c.paint(c.radial(16, 16, 15.5, [(0, (255, 255, 255, 255)), (1, (255, 255, 255, 0))], ry=3.5))
            c.paint(c.radial(16, 16, 5, [(0, (255, 255, 255, 255)), (1, (255, 255, 255, 0))]))
        frames.append(c.image())
    return sheet(frames, 32, 32, level, 2)
