"""Sheet "parts": 256 light 8 x 8 bubbles that take any tint.

Particles are drawn in palette colours and the sea's drifting bubbles use random
frames, so every frame is a white bubble (or a few) with a clear body, a bright
rim and a glint. Each row of 16 frames is one family with seeded variations.
"""

import math
import random

from canvas import Canvas, sheet

FS = 8
WHITE = (255, 255, 255)


def bubble(c, cx, cy, r, rnd, rim=None, wobble=1.0):
    """One air bubble: a clear body, a bright rim and a glint up and to the left."""
    rim = rim if rim is not None else min(0.75, max(0.42, r * 0.22))
    ry = r * wobble
    c.fill(c.ellipse(cx, cy, r, ry), WHITE, 0.12)
    c.fill(c.ellipse(cx, cy, r, ry) * (1 - c.ellipse(cx, cy, r - rim, ry - rim)), WHITE, 0.9)
    # glint: a dot on large bubbles, a short arc of light on the rest
    if r >= 2.2:
        c.fill(c.ellipse(cx - r * 0.38, cy - ry * 0.4, r * 0.2), WHITE)
        c.fill(c.arc(cx, cy, r - rim * 1.6, 110, 160, rim * 0.7), WHITE, 0.6)
    else:
        c.fill(c.ellipse(cx - r * 0.35, cy - ry * 0.35, max(0.35, r * 0.22)), WHITE)


def _one(lo, hi, wobble=(1.0, 1.0)):
    def fn(c, rnd):
        r = rnd.uniform(lo, hi)
        bubble(c, 4 + rnd.uniform(-0.2, 0.2), 4 + rnd.uniform(-0.2, 0.2), r, rnd,
               wobble=rnd.uniform(*wobble))
    return fn


def _group(count, lo, hi):
    """Several small bubbles rising together, centred on the frame by their sizes."""
    def fn(c, rnd):
        placed = []
        n = rnd.randint(*count)
        for _ in range(60):
            if len(placed) == n:
                break
            r = rnd.uniform(lo, hi)
            x, y = rnd.uniform(0.8 + r, 7.2 - r), rnd.uniform(0.8 + r, 7.2 - r)
            if all((x - px) ** 2 + (y - py) ** 2 > (r + pr + 0.3) ** 2 for px, py, pr in placed):
                placed.append((x, y, r))
        w = sum(r * r for _, _, r in placed)
        mx = sum(x * r * r for x, _, r in placed) / w
        my = sum(y * r * r for _, y, r in placed) / w
        for x, y, r in placed:
            x = min(max(x - mx + 4, r + 0.4), 7.6 - r)
            y = min(max(y - my + 4, r + 0.4), 7.6 - r)
            bubble(c, x, y, r, rnd)
    return fn


def pair(c, rnd):
    r = rnd.uniform(1.8, 2.4)
    a = math.radians(rnd.uniform(0, 360))
    s = rnd.uniform(0.7, 1.0)
    bubble(c, 4 - 0.8 * math.cos(a), 4 - 0.8 * math.sin(a), r, rnd)
    bubble(c, 4 + (r + s + 0.5) * math.cos(a) * 0.8, 4 + (r + s + 0.5) * math.sin(a) * 0.8, s, rnd)


# Every frame is a bubble or a few: the sea's drifting field picks frames at random, and the bubbles
# that burst from hits are tinted by the particle palette.
FAMILIES = [
    _one(1.4, 1.7), _one(1.7, 2.1), _one(2.1, 2.5), _one(2.5, 2.9), _one(2.9, 3.3), _one(3.3, 3.7),
    _one(1.8, 2.6, (0.8, 0.92)), _one(2.6, 3.4, (0.82, 0.94)),
    _group((2, 3), 0.9, 1.5), _group((3, 4), 0.8, 1.3), _group((4, 6), 0.7, 1.1),
    pair, pair,
    _one(1.5, 2.0), _one(2.0, 2.8), _one(2.8, 3.6),
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
