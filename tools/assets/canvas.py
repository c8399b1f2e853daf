"""Supersampled vector canvas, sprite sheets and deterministic PNG output.

Every picture is described in frame units (the size of a frame at the plain
level) and drawn once per resolution level, so the -hd and -hd2 sheets get real
detail instead of blown-up pixels. Shapes are rasterised by PIL into binary masks
at a supersampled resolution, composited in premultiplied float RGBA with numpy,
and box-filtered down at the end.
"""

import math
import zlib
import struct

import numpy as np
from PIL import Image, ImageDraw

LEVELS = (1, 2, 4)
SUFFIX = {1: "", 2: "-hd", 4: "-hd2"}
MAX_RENDER = 2048


def rgba(c, a=None):
    """Colour tuple (0-255, alpha 0-255 or 0-1 float) to a float array 0..1."""
    c = list(c)
    if len(c) == 3:
        c.append(255)
    out = np.array(c, dtype=np.float32)
    out[:3] /= 255.0
    if out[3] > 1.0:
        out[3] /= 255.0
    if a is not None:
        out[3] = a
    return out


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


class Gradient:
    """A colour field evaluated lazily, only where something is painted."""

    def __init__(self, fn):
        self.fn = fn

    def at(self, X, Y):
        return self.fn(X, Y)


def _ramp(t, stops):
    ts = [s[0] for s in stops]
    cols = np.stack([rgba(s[1]) for s in stops])
    out = np.empty(t.shape + (4,), dtype=np.float32)
    for ch in range(4):
        out[..., ch] = np.interp(t, ts, cols[:, ch])
    return out


def bbox(mask):
    """Row and column slices holding every non-zero value, or None."""
    rows = np.flatnonzero(mask.any(axis=1))
    if rows.size == 0:
        return None
    cols = np.flatnonzero(mask[rows[0]:rows[-1] + 1].any(axis=0))
    return slice(rows[0], rows[-1] + 1), slice(cols[0], cols[-1] + 1)


class Canvas:
    """A drawing surface of w x h frame units at resolution `level`."""

    def __init__(self, w, h, level, ss=None):
        self.w, self.h, self.level = w, h, level
        if ss is None:
            # finer supersampling where pixels are few; the sheet levels 2 and 4
            # have enough pixels of their own
            ss = max(1, min({1: 4, 2: 3}.get(level, 2), MAX_RENDER // (max(w, h) * level)))
        self.ss = ss
        self.k = level * ss  # device pixels per frame unit
        self.W, self.H = int(round(w * self.k)), int(round(h * self.k))
        self.px = np.zeros((self.H, self.W, 4), dtype=np.float32)  # premultiplied
        self.xs = ((np.arange(self.W, dtype=np.float32) + 0.5) / self.k)
        self.ys = ((np.arange(self.H, dtype=np.float32) + 0.5) / self.k)

    @property
    def X(self):
        return np.broadcast_to(self.xs[None, :], (self.H, self.W))

    @property
    def Y(self):
        return np.broadcast_to(self.ys[:, None], (self.H, self.W))

    def _box(self, x0, y0, x1, y1):
        """Device slices covering the frame-unit box, clipped to the canvas."""
        k = self.k
        r0 = max(0, int(np.floor(y0 * k)) - 1)
        r1 = min(self.H, int(np.ceil(y1 * k)) + 1)
        c0 = max(0, int(np.floor(x0 * k)) - 1)
        c1 = min(self.W, int(np.ceil(x1 * k)) + 1)
        return slice(r0, max(r0, r1)), slice(c0, max(c0, c1))

    def _grid(self, sl):
        return self.xs[sl[1]][None, :], self.ys[sl[0]][:, None]

    def _zeros(self):
        return np.zeros((self.H, self.W), dtype=np.float32)

    # ----- masks (float H x W in 0..1) -----
    def _mask(self, fn):
        im = Image.new("L", (self.W, self.H), 0)
        fn(ImageDraw.Draw(im), self.k)
        return np.asarray(im, dtype=np.float32) / 255.0

    def _pts(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def ellipse(self, cx, cy, rx, ry=None):
        ry = rx if ry is None else ry
        m = self._zeros()
        sl = self._box(cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1)
        X, Y = self._grid(sl)
        # analytic edge for smooth curves even without supersampling
        d = ((X - cx) / max(rx, 1e-6)) ** 2 + ((Y - cy) / max(ry, 1e-6)) ** 2
        edge = (1.0 - np.sqrt(d)) * min(rx, ry) * self.k
        m[sl] = np.clip(edge + 0.5, 0.0, 1.0)
        return m

    def poly(self, pts):
        p = self._pts(pts)
        return self._mask(lambda d, k: d.polygon(p, fill=255))

    def rrect(self, x0, y0, x1, y1, r):
        box = [x0 * self.k, y0 * self.k, x1 * self.k - 1, y1 * self.k - 1]
        rr = int(round(r * self.k))
        return self._mask(lambda d, k: d.rounded_rectangle(box, radius=rr, fill=255))

    def rect(self, x0, y0, x1, y1):
        m = self._zeros()
        cols = (self.xs >= x0) & (self.xs < x1)
        rows = (self.ys >= y0) & (self.ys < y1)
        m[np.ix_(rows, cols)] = 1.0
        return m

    def line(self, pts, width, round_caps=True):
        p = self._pts(pts)
        wpx = max(1, int(round(width * self.k)))

        def fn(d, k):
            d.line(p, fill=255, width=wpx, joint="curve")
            if round_caps:
                r = wpx / 2.0
                for x, y in (p[0], p[-1]):
                    d.ellipse([x - r, y - r, x + r, y + r], fill=255)
        return self._mask(fn)

    def ring(self, cx, cy, r, width):
        m = self._zeros()
        e = r + width + 1
        sl = self._box(cx - e, cy - e, cx + e, cy + e)
        X, Y = self._grid(sl)
        d = np.sqrt((X - cx) ** 2 + (Y - cy) ** 2)
        m[sl] = np.clip(width / 2.0 * self.k - np.abs(d - r) * self.k + 0.5, 0.0, 1.0)
        return m

    def arc(self, cx, cy, r, a0, a1, width):
        """Arc of a ring between angles a0..a1 (degrees, 0 = up, clockwise)."""
        m = self.ring(cx, cy, r, width)
        sl = bbox(m)
        if sl is None:
            return m
        X, Y = self._grid(sl)
        ang = (np.degrees(np.arctan2(X - cx, -(Y - cy))) + 360.0) % 360.0
        a0 %= 360.0
        a1 %= 360.0
        sel = (ang >= a0) & (ang <= a1) if a0 <= a1 else (ang >= a0) | (ang <= a1)
        m[sl] *= sel
        return m

    # ----- colour sources -----
    def linear(self, x0, y0, x1, y1, stops):
        """Linear gradient along (x0,y0)->(x1,y1); stops = [(t, colour), ...]."""
        dx, dy = x1 - x0, y1 - y0
        L2 = dx * dx + dy * dy or 1.0
        return Gradient(lambda X, Y: _ramp(np.clip(((X - x0) * dx + (Y - y0) * dy) / L2, 0, 1), stops))

    def radial(self, cx, cy, r, stops, ry=None):
        ry = r if ry is None else ry
        return Gradient(lambda X, Y: _ramp(np.clip(np.sqrt(((X - cx) / r) ** 2 + ((Y - cy) / ry) ** 2), 0, 1),
                                           stops))

    def _src(self, colour, sl):
        if isinstance(colour, Gradient):
            X, Y = self._grid(sl)
            return colour.at(X, Y)
        if isinstance(colour, np.ndarray) and colour.ndim == 3:
            return colour[sl]
        return rgba(colour)

    # ----- compositing -----
    def fill(self, mask, colour, alpha=1.0):
        """Paint `colour` (tuple, Gradient or H x W x 4 array, straight alpha) through mask."""
        sl = bbox(mask)
        if sl is None:
            return
        m = mask[sl]
        src = self._src(colour, sl)
        a = src[..., 3] * m * alpha
        px = self.px[sl]
        px[..., :3] = src[..., :3] * a[..., None] + px[..., :3] * (1.0 - a[..., None])
        px[..., 3] = a + px[..., 3] * (1.0 - a)

    def paint(self, colour, alpha=1.0):
        """Paint a colour field (e.g. a gradient with its own alpha) everywhere."""
        self.fill(np.ones((self.H, self.W), dtype=np.float32), colour, alpha)

    def add(self, mask, colour, amount=1.0):
        """Additive light, clamped; keeps alpha at least the light's strength."""
        sl = bbox(mask)
        if sl is None:
            return
        c = rgba(colour)
        a = np.clip(mask[sl] * amount * c[3], 0, 1)
        px = self.px[sl]
        px[..., :3] = np.minimum(px[..., :3] + c[:3] * a[..., None], 1.0)
        px[..., 3] = np.maximum(px[..., 3], np.minimum(px[..., 3] + a, 1.0))
        px[..., :3] = np.minimum(px[..., :3], px[..., 3:4])

    def erase(self, mask):
        keep = 1.0 - np.clip(mask, 0, 1)
        self.px *= keep[..., None]

    def alpha_mask(self):
        return self.px[..., 3].copy()

    def shadow(self, dx, dy, blur, colour=(0, 0, 0), alpha=0.5):
        """Drop a soft shadow of everything drawn so far underneath it."""
        a = shift(self.px[..., 3], dx * self.k, dy * self.k)
        if blur > 0:
            a = gaussian(a, blur * self.k)
        under(self, a, colour, alpha)

    def glow(self, mask, colour, radius, amount=1.0):
        """Soft additive halo around a mask."""
        g = gaussian(mask, radius * self.k)
        self.add(np.clip(g * amount, 0, 1), colour)

    def image(self):
        """Box-filter to the target resolution; straight-alpha 8-bit RGBA."""
        s = self.ss
        p = self.px
        if s > 1:
            p = p.reshape(self.H // s, s, self.W // s, s, 4).mean(axis=(1, 3))
        a = p[..., 3:4]
        rgb = np.where(a > 1e-6, p[..., :3] / np.maximum(a, 1e-6), 0.0)
        out = np.concatenate([np.clip(rgb, 0, 1), np.clip(a, 0, 1)], axis=2)
        out = np.floor(out * 255.0 + 0.5).astype(np.uint8)
        out[out[..., 3] == 0] = 0
        return Image.fromarray(out, "RGBA")


def shift(a, dx, dy):
    """Shift a 2D array by whole device pixels (rounded), filling with zeros."""
    dx, dy = int(round(dx)), int(round(dy))
    out = np.zeros_like(a)
    H, W = a.shape
    ys, yd = (slice(0, H - dy), slice(dy, H)) if dy >= 0 else (slice(-dy, H), slice(0, H + dy))
    xs, xd = (slice(0, W - dx), slice(dx, W)) if dx >= 0 else (slice(-dx, W), slice(0, W + dx))
    out[yd, xd] = a[ys, xs]
    return out


def _box_sizes(sigma, n=3):
    """Box widths whose n-fold convolution approximates a Gaussian."""
    w_ideal = np.sqrt(12.0 * sigma * sigma / n + 1)
    wl = int(np.floor(w_ideal))
    if wl % 2 == 0:
        wl -= 1
    wu = wl + 2
    m = round((12 * sigma * sigma - n * wl * wl - 4 * n * wl - 3 * n) / (-4 * wl - 4))
    return [wl if i < m else wu for i in range(n)]


def _box_blur(a, r, axis):
    """Mean over a window of 2r+1 along an axis (zero outside)."""
    pad = [(0, 0), (0, 0)]
    pad[axis] = (r + 1, r)
    cs = np.cumsum(np.pad(a, pad).astype(np.float64), axis=axis)
    n = a.shape[axis]
    hi = np.take(cs, np.arange(2 * r + 1, 2 * r + 1 + n), axis=axis)
    lo = np.take(cs, np.arange(0, n), axis=axis)
    return ((hi - lo) / (2 * r + 1)).astype(np.float32)


def gaussian(a, sigma):
    """Gaussian blur of a 2D float array (zero outside), limited to where it matters."""
    if sigma < 0.3:
        return a
    sl = bbox(a)
    if sl is None:
        return a.copy()
    r = int(math.ceil(sigma * 3))
    H, W = a.shape
    r0, r1 = max(0, sl[0].start - r), min(H, sl[0].stop + r)
    c0, c1 = max(0, sl[1].start - r), min(W, sl[1].stop + r)
    sub = a[r0:r1, c0:c1]
    if sigma < 3.0:
        x = np.arange(-r, r + 1, dtype=np.float32)
        k = np.exp(-0.5 * (x / sigma) ** 2)
        k /= k.sum()
        p = np.pad(sub, r)
        t = np.zeros((p.shape[0], sub.shape[1]), dtype=np.float32)
        for i, w in enumerate(k):
            t += w * p[:, i:i + sub.shape[1]]
        res = np.zeros_like(sub)
        for i, w in enumerate(k):
            res += w * t[i:i + sub.shape[0], :]
    else:
        res = sub
        for w in _box_sizes(sigma):
            res = _box_blur(res, (w - 1) // 2, 1)
        for w in _box_sizes(sigma):
            res = _box_blur(res, (w - 1) // 2, 0)
    out = np.zeros_like(a)
    out[r0:r1, c0:c1] = res
    return out


def rot(pts, ang, cx=0.0, cy=0.0):
    """Rotate points about (cx, cy) by ang degrees (clockwise on screen)."""
    c, s = math.cos(math.radians(ang)), math.sin(math.radians(ang))
    return [(cx + (x - cx) * c - (y - cy) * s, cy + (x - cx) * s + (y - cy) * c) for x, y in pts]


def star_pts(cx, cy, r_out, r_in, n, ang=0.0):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(ang + 180.0 * i / n)
        pts.append((cx + r * math.sin(a), cy - r * math.cos(a)))
    return pts


def circle_pts(cx, cy, r, n=48, ry=None):
    ry = r if ry is None else ry
    return [(cx + r * math.sin(2 * math.pi * i / n), cy - ry * math.cos(2 * math.pi * i / n))
            for i in range(n)]


def gear_pts(cx, cy, r_out, r_in, teeth, ang=0.0, duty=0.5):
    """Outline of a spur gear with trapezoid teeth."""
    pts = []
    step = 360.0 / teeth
    for i in range(teeth):
        a = ang + i * step
        w = step * duty
        for da, r in ((-w * 0.5 - step * 0.12, r_in), (-w * 0.35, r_out), (w * 0.35, r_out),
                      (w * 0.5 + step * 0.12, r_in)):
            t = math.radians(a + da)
            pts.append((cx + r * math.sin(t), cy - r * math.cos(t)))
    return pts


# ----- sheets -----

def render(draw_fn, fw, fh, level, *args):
    c = Canvas(fw, fh, level)
    draw_fn(c, *args)
    return c.image()


def sheet(frames, fw, fh, level, cols):
    """Lay frames out left to right, wrapping after `cols`, at the given level.

    `frames` is a list of PIL images of (fw*level, fh*level) or None for an
    empty (fully transparent) frame.
    """
    rows = (len(frames) + cols - 1) // cols
    W, H = fw * level, fh * level
    out = Image.new("RGBA", (W * cols, H * rows), (0, 0, 0, 0))
    for i, im in enumerate(frames):
        if im is None:
            continue
        assert im.size == (W, H), (im.size, W, H)
        out.paste(im, ((i % cols) * W, (i // cols) * H))
    return out


def save_png(im, path):
    """Write a PNG with only IHDR, IDAT and IEND, so output depends on pixels alone."""
    im = im.convert("RGBA")
    w, h = im.size
    raw = np.asarray(im, dtype=np.uint8)
    rows = np.concatenate([np.zeros((h, 1), dtype=np.uint8), raw.reshape(h, w * 4)], axis=1)
    data = zlib.compress(rows.tobytes(), 9)

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body
                + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", data) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def dilate(m, r):
    """Grey-scale dilation of a 2D array by a disc of radius r device pixels."""
    R = int(round(r))
    sl = bbox(m)
    if R < 1 or sl is None:
        return m
    H, W = m.shape
    r0, r1 = max(0, sl[0].start - R), min(H, sl[0].stop + R)
    c0, c1 = max(0, sl[1].start - R), min(W, sl[1].stop + R)
    sub = m[r0:r1, c0:c1]
    rows = [sub]
    cur = sub
    for w in range(1, R + 1):
        cur = np.maximum(cur, np.maximum(shift(sub, w, 0), shift(sub, -w, 0)))
        rows.append(cur)
    res = np.zeros_like(sub)
    for dy in range(-R, R + 1):
        w = int(math.floor(math.sqrt(max(R * R - dy * dy, 0)) + 0.5))
        res = np.maximum(res, shift(rows[w], 0, dy))
    out = np.zeros_like(m)
    out[r0:r1, c0:c1] = res
    return out


def under(c, mask, colour, alpha=1.0):
    """Composite a colour through mask underneath what the canvas holds."""
    sl = bbox(mask)
    if sl is None:
        return
    col = rgba(colour)
    a = np.clip(mask[sl] * alpha * col[3], 0, 1)
    px = c.px[sl]
    top = px[..., 3:4].copy()
    px[..., :3] = px[..., :3] + col[:3] * a[..., None] * (1 - top)
    px[..., 3] = px[..., 3] + a * (1 - top[..., 0])


def outline(c, width, colour, alpha=1.0):
    """Dark rim of `width` frame units around everything drawn so far."""
    a = dilate(c.px[..., 3], width * c.k)
    under(c, a, colour, alpha)
