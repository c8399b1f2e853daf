"""Sheet "parts": 256 light 8 x 8 shapes that take any tint.

Particles are drawn in palette colours and the sea's drifting bubbles use random
frames, so every shape is white or light grey with soft alpha. Each row of 16
frames is one family of shapes with seeded variations.
"""

import math
import random

from canvas import Canvas, sheet, rot, star_pts

FS = 8
WHITE = (255, 255, 255)
GREY = (200, 206, 214)


def bubble(c, r, rnd):
    cx, cy = 4 + rnd.uniform(-0.3, 0.3), 4 + rnd.uniform(-0.3, 0.3)
    c.fill(c.ellipse(cx, cy, r), WHITE, 0.16)
    c.fill(c.ring(cx, cy, r - 0.3, 0.55), WHITE, 0.85)
    c.fill(c.ellipse(cx - r * 0.4, cy - r * 0.4, r * 0.28), WHITE, 0.95)


def cluster(c, rnd):
    bubbles = []
    for _ in range(rnd.randint(2, 4)):
        r = rnd.uniform(0.6, 1.5)
        bubbles.append((rnd.uniform(1 + r, 7 - r), rnd.uniform(1 + r, 7 - r), r))
    # centre the group on the frame, weighting each bubble by its size
    w = sum(r * r for _, _, r in bubbles)
    mx = sum(x * r * r for x, _, r in bubbles) / w
    my = sum(y * r * r for _, y, r in bubbles) / w
    for x, y, r in bubbles:
        x = min(max(x - mx + 4, r + 0.5), 7.5 - r)
        y = min(max(y - my + 4, r + 0.5), 7.5 - r)
        c.fill(c.ring(x, y, r, 0.45), WHITE, 0.85)
        c.fill(c.ellipse(x - r * 0.4, y - r * 0.4, r * 0.3), WHITE)


def ring(c, rnd):
    r = rnd.uniform(1.6, 3.5)
    c.fill(c.ring(4, 4, r, rnd.uniform(0.5, 1.0)), WHITE, rnd.uniform(0.7, 1.0))


def soft_dot(c, rnd):
    r = rnd.uniform(1.5, 3.8)
    c.paint(c.radial(4, 4, r, [(0, (255, 255, 255, 255)), (0.4, (255, 255, 255, 150)),
                              (1, (255, 255, 255, 0))]))


def dot(c, rnd):
    r = rnd.uniform(0.6, 1.8)
    c.fill(c.ellipse(4, 4, r), GREY if rnd.random() < 0.3 else WHITE)


def spark4(c, rnd):
    r = rnd.uniform(2.2, 3.8)
    c.fill(c.poly(star_pts(4, 4, r, r * 0.22, 4, rnd.choice((0, 45)))), WHITE)
    c.fill(c.ellipse(4, 4, r * 0.35), WHITE)


def spark_many(c, rnd):
    n = rnd.choice((5, 6, 8))
    r = rnd.uniform(2.4, 3.8)
    c.fill(c.poly(star_pts(4, 4, r, r * 0.4, n, rnd.uniform(0, 45))), WHITE)


def shard(c, rnd):
    a = rnd.uniform(0, 360)
    L, w = rnd.uniform(2.2, 3.6), rnd.uniform(0.8, 1.6)
    pts = rot([(4 - L, 4 + w * 0.3), (4 + L, 4 - w * 0.2), (4 - L * 0.2, 4 + w)], a, 4, 4)
    c.fill(c.poly(pts), WHITE)
    c.fill(c.poly(rot([(4 - L, 4 + w * 0.3), (4 + L, 4 - w * 0.2), (4 - L * 0.3, 4 + w * 0.4)],
                      a, 4, 4)), GREY, 0.6)


def sliver(c, rnd):
    a = rnd.uniform(0, 180)
    L = rnd.uniform(2.0, 3.6)
    c.fill(c.line(rot([(4 - L, 4), (4 + L, 4)], a, 4, 4), rnd.uniform(0.45, 0.9)), WHITE)


def cross(c, rnd):
    a = rnd.choice((0, 45)) + rnd.uniform(-8, 8)
    L = rnd.uniform(2.0, 3.4)
    w = rnd.uniform(0.7, 1.2)
    for b in (0, 90):
        c.fill(c.line(rot([(4 - L, 4), (4 + L, 4)], a + b, 4, 4), w, round_caps=False), WHITE)


def block(c, rnd):
    s = rnd.uniform(1.2, 2.8)
    a = rnd.choice((0, 45, rnd.uniform(0, 90)))
    pts = rot([(4 - s, 4 - s), (4 + s, 4 - s), (4 + s, 4 + s), (4 - s, 4 + s)], a, 4, 4)
    c.fill(c.poly(pts), GREY)
    inner = rot([(4 - s * 0.6, 4 - s * 0.6), (4 + s * 0.6, 4 - s * 0.6), (4 + s * 0.6, 4 + s * 0.6),
                 (4 - s * 0.6, 4 + s * 0.6)], a, 4, 4)
    c.fill(c.poly(inner), WHITE)


def debris(c, rnd):
    n = rnd.randint(5, 7)
    r0 = rnd.uniform(1.8, 3.2)
    pts = []
    for i in range(n):
        a = 2 * math.pi * i / n + rnd.uniform(-0.3, 0.3)
        r = r0 * rnd.uniform(0.55, 1.0)
        pts.append((4 + r * math.cos(a), 4 + r * math.sin(a)))
    c.fill(c.poly(pts), GREY)
    c.fill(c.poly([(x - 0.4, y - 0.4) for x, y in pts[: n // 2 + 1]] + [(4, 4)]), WHITE, 0.8)


def squiggle(c, rnd):
    ph = rnd.uniform(0, 2 * math.pi)
    amp = rnd.uniform(0.6, 1.5)
    a = rnd.uniform(0, 180)
    pts = [(1 + 6 * t / 8, 4 + amp * math.sin(ph + t * 0.9)) for t in range(9)]
    c.fill(c.line(rot(pts, a, 4, 4), 0.6), WHITE, 0.9)


def flake(c, rnd):
    r = rnd.uniform(2.0, 3.4)
    a = rnd.uniform(0, 60)
    for k in range(3):
        c.fill(c.line(rot([(4 - r, 4), (4 + r, 4)], a + 60 * k, 4, 4), 0.5), WHITE, 0.9)
    c.fill(c.ellipse(4, 4, 0.7), WHITE)


FAMILIES = [
    lambda c, r: bubble(c, r.uniform(1.2, 1.9), r),
    lambda c, r: bubble(c, r.uniform(2.0, 2.8), r),
    lambda c, r: bubble(c, r.uniform(2.9, 3.7), r),
    cluster, ring, soft_dot, dot, spark4, spark_many, shard, sliver, cross, block, debris,
    squiggle, flake,
]


def parts_frames(level):
    frames = []
    for fam, fn in enumerate(FAMILIES):
        for v in range(16):
            rnd = random.Random(9600 + fam * 16 + v)
            c = Canvas(FS, FS, level, ss=4)
            fn(c, rnd)
            frames.append(c.image())
    return frames


def parts_sheet(level):
    return sheet(parts_frames(level), FS, FS, level, 16)
