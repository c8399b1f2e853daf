"""The game's sound effects, synthesised. Each function returns mono float audio."""

import numpy as np

from synth import (RATE, sine, saw, square, triangle, noise, adsr, exp_env, spectral,
                   sweep_filter, fade, set_level)

# Levels, as RMS in dBFS over each sound's length; no sound peaks above PEAK_DB, which leaves room for
# the others and the music. The music sits at -18 dBFS RMS (music.py). The sounds that repeat and pile
# up in the fight stay 10 dB and more under it: a shot plays every few updates while fire is tapped, a
# clank with every shot that lands, and a burst of throws starts sixteen roars and sixteen shots within
# sixteen updates, so the roar is set lowest (sixteen of them add up to about the music's level). The
# busiest moment, such a burst over the reborn tune, then peaks near -1.5 dBFS. Single events (a hit
# taken, the victory, the rebirth, the studio jingle) come up to 2 dB under the music, so they are heard
# over it; the menu's clicks sit between.
PEAK_DB = -3.0
REPEATED = -28.0    # shots, armour clanks, the darting fish
ROAR = -31.0        # every throw, sixteen at once in a burst
EVENT = -20.0
MENU = -22.0


def n_of(dur):
    return int(round(dur * RATE))


def done(x, level, fin=0.002, fout=0.01):
    """Remove any DC drift, fade the ends to silence and set the level (RMS dBFS)."""
    return set_level(fade(spectral(x, lo=30), fin, fout), level, PEAK_DB)


# Metal plate modes (ratios of a struck square plate, rounded)
PLATE_MODES = [1.0, 1.59, 2.14, 2.65, 3.16, 3.65, 4.15, 5.0]


def armour_hit(v):
    """Nine clanks on the armour: struck plate modes over a noise crack."""
    dur = 0.28 + 0.04 * (v % 3)
    n = n_of(dur)
    base = 420.0 * (1.0 + 0.11 * v) * (0.93 if v % 2 else 1.0)
    rng = np.random.default_rng(100 + v)
    x = np.zeros(n)
    for i, r in enumerate(PLATE_MODES):
        f = base * r * (1 + rng.uniform(-0.02, 0.02))
        if f > RATE * 0.45:
            continue
        tau = 0.09 / (1 + 0.35 * i) * (1.2 if v > 5 else 1.0)
        x += sine(f, n) * exp_env(n, tau, 0.0005) * rng.uniform(0.4, 1.0) / (1 + 0.25 * i)
    crack = spectral(noise(n, 200 + v), lo=1500, hi=9000) * exp_env(n, 0.012, 0.0003)
    thud = sine(base * 0.25 * np.exp(-np.arange(n) / RATE / 0.05) + 60, n) * exp_env(n, 0.05)
    x = 1.0 * x + 0.7 * crack + 0.3 * thud
    return done(x, REPEATED, 0.0005, 0.03)


def fish_dart():
    """A swelling fish shoots off: a bubbly whoosh rising in pitch."""
    n = n_of(0.42)
    t = np.arange(n) / RATE
    wh = sweep_filter(noise(n, 310), 500, 5000, blocks=24) * adsr(n, 0.03, 0.1, 0.6, 0.25)
    f = 300 + 900 * (t / t[-1]) ** 1.5
    wob = sine(f * (1 + 0.06 * np.sin(2 * np.pi * 30 * t)), n) * adsr(n, 0.01, 0.1, 0.4, 0.25)
    x = 0.8 * wh + 0.35 * wob
    return done(x, REPEATED)


def shot(v):
    """Four shot variants: a watery zap sweeping down, with a bubble pop."""
    dur = (0.16, 0.2, 0.14, 0.24)[v]
    n = n_of(dur)
    t = np.arange(n) / RATE
    start, end = ((1800, 260), (1400, 200), (2200, 420), (1200, 150))[v]
    f = end + (start - end) * np.exp(-t / (dur * 0.28))
    if v % 2 == 0:
        tone = square(f, n, top=15)
    else:
        tone = saw(f, n, top=20)
    tone = spectral(tone, hi=5000)
    pop = sine(600 + 300 * v, n) * exp_env(n, 0.01)
    hiss = spectral(noise(n, 400 + v), lo=2000) * exp_env(n, 0.03)
    x = tone * adsr(n, 0.002, 0.03, 0.55, dur * 0.6) + 0.4 * pop + 0.25 * hiss
    return done(x, REPEATED)


def player_hurt():
    """Hit taken: a crunch, an alarm chirp and a sinking buzz."""
    n = n_of(0.7)
    t = np.arange(n) / RATE
    crunch = spectral(noise(n, 515), lo=200, hi=3000) * exp_env(n, 0.06)
    f = 440 * np.exp(-t * 2.2)
    buzz = spectral(saw(f, n, top=30), hi=2500) * adsr(n, 0.005, 0.1, 0.7, 0.35)
    chirp = square(np.where(t < 0.08, 1320.0, 990.0), n, top=9) * adsr(n, 0.002, 0.05, 0.5, 0.05) * (t < 0.16)
    x = 0.9 * crunch + 0.7 * buzz + 0.25 * chirp
    return done(x, EVENT)


def _note_hz(m):
    return 440.0 * 2 ** ((m - 69) / 12.0)


def _bell(f, n, tau):
    x = sine(f, n) + 0.4 * sine(f * 2.01, n) * exp_env(n, tau * 0.5) + 0.15 * sine(f * 3.97, n) * exp_env(n, tau * 0.3)
    return x * exp_env(n, tau, 0.003)


def _brass(f, n, dur_note):
    env = adsr(n, 0.02, 0.08, 0.75, min(0.15, dur_note * 0.5))
    x = spectral(saw(f * (1 + 0.004 * np.sin(2 * np.pi * 5.5 * np.arange(n) / RATE)), n, top=24), hi=3500)
    return x * env


def victory_sting():
    """A bright four-note fanfare with a bell on top."""
    n = n_of(0.95)
    x = np.zeros(n)
    notes = [(0.0, 72, 0.14), (0.14, 76, 0.14), (0.28, 79, 0.14), (0.42, 84, 0.5)]
    for st, m, d in notes:
        a = n_of(st)
        k = n_of(d)
        seg = _brass(_note_hz(m), k, d) + 0.5 * _brass(_note_hz(m - 12), k, d)
        x[a:a + k] += seg[: n - a]
        b = _bell(_note_hz(m + 12), n - a, 0.35) * 0.35
        x[a:] += b
    return done(x, EVENT, 0.001, 0.08)


def reborn():
    """The Tidecrawler rises again: a swelling growl under a rising shimmer."""
    n = n_of(0.95)
    t = np.arange(n) / RATE
    f = 55 * (1 + 1.2 * (t / t[-1]) ** 2)
    growl = spectral(saw(f * (1 + 0.03 * np.sin(2 * np.pi * 7 * t)), n, top=40), hi=1800)
    shimmer = sum(sine(_note_hz(m) * (1 + 0.5 * t), n) for m in (76, 83, 88)) / 3
    env = adsr(n, 0.5, 0.1, 1.0, 0.3)
    rumble = spectral(noise(n, 1717), hi=300) * adsr(n, 0.3, 0.2, 0.8, 0.3) * 3.0
    x = growl * env + 0.25 * shimmer * adsr(n, 0.6, 0.05, 1.0, 0.25) + 0.6 * rumble
    return done(x, EVENT)


def roar():
    """The roar before each throw: a gargling low saw with formant bands."""
    n = n_of(0.6)
    t = np.arange(n) / RATE
    f = 90 + 40 * np.sin(np.pi * t / t[-1]) + 8 * np.sin(2 * np.pi * 23 * t)
    src = saw(f, n, top=60) + 0.5 * spectral(noise(n, 1818), hi=2000)
    x = spectral(src, peak=700, q=3, gain=3.0, hi=3000)
    x = spectral(x, peak=1200, q=4, gain=1.5)
    gurgle = 1 + 0.35 * np.sin(2 * np.pi * 17 * t)
    x = x * gurgle * adsr(n, 0.05, 0.1, 0.8, 0.25)
    return done(x, ROAR)


def ui_spare():
    n = n_of(0.18)
    x = triangle(880.0, n) * exp_env(n, 0.05) + 0.5 * sine(1760.0, n) * exp_env(n, 0.03)
    return done(x, MENU)


def jingle():
    """The studio's sound: a sparkling rising arpeggio on soft bells."""
    n = n_of(0.98)
    x = np.zeros(n)
    for i, m in enumerate((79, 83, 86, 91, 95)):
        a = n_of(0.09 * i)
        x[a:] += _bell(_note_hz(m), n - a, 0.3) * (0.8 if i < 4 else 1.0)
    pad = sum(sine(_note_hz(m), n) for m in (67, 71, 74)) * adsr(n, 0.15, 0.2, 0.5, 0.5) * 0.15
    glitter = spectral(noise(n, 96), lo=6000) * adsr(n, 0.3, 0.2, 0.3, 0.4) * 0.2
    x = x + pad + glitter
    return done(x, EVENT, 0.002, 0.1)


def confirm():
    n = n_of(0.2)
    t = np.arange(n) / RATE
    f = np.where(t < 0.07, 660.0, 990.0)
    x = square(f, n, top=11) * adsr(n, 0.002, 0.04, 0.6, 0.08)
    x = spectral(x, hi=4000)
    return done(x, MENU)


def move():
    n = n_of(0.07)
    x = sine(1250.0, n) * exp_env(n, 0.015) + 0.3 * square(2500.0, n, top=5) * exp_env(n, 0.006)
    return done(x, MENU, 0.0005, 0.01)


def all_effects():
    """Sound number -> mono float audio."""
    out = {}
    for v in range(9):
        out[1 + v] = armour_hit(v)
    out[10] = fish_dart()
    for v in range(4):
        out[11 + v] = shot(v)
    out[15] = player_hurt()
    out[16] = victory_sting()
    out[17] = reborn()
    out[18] = roar()
    out[95] = ui_spare()
    out[96] = jingle()
    out[98] = confirm()
    out[99] = move()
    return out
