"""The four tunes, composed and synthesised here.

Each tune is rendered into a circular buffer exactly one loop long: notes and
echoes that run past the end wrap round to the start, and the reverb is a
circular convolution, so the last sample flows into the first without a click.
Short fades at both ends then bring the loop point down to silence, so that a
tune also starts (or takes over from another) without a click.

Level: -18 dBFS RMS, the middle of the range where the music carries over the
effects without tiring the ear, and never a peak above -3.5 dBFS (about -3 dBFS
once encoded), which leaves room for the effects that play over it (sfx.py).
"""

import numpy as np

from synth import RATE, sine, saw, square, triangle, noise, adsr, exp_env, spectral, set_level, loop_fades

MUSIC_RMS_DB = -18.0
MUSIC_PEAK_DB = -3.5
LOOP_FADE_SEC = 0.1

NOTE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def midi(name):
    """'C#5' -> 73; 'Bb4' -> 70."""
    base = NOTE[name[0]]
    i = 1
    while i < len(name) and name[i] in "#b":
        base += 1 if name[i] == "#" else -1
        i += 1
    return base + 12 * (int(name[i:]) + 1)


def hz(m):
    return 440.0 * 2 ** ((m - 69) / 12.0)


def parse_line(text):
    """Tokens on an eighth-note grid: a note name, '-' to hold, '.' to rest.
    Returns [(start_eighth, length_eighths, midi)]."""
    notes = []
    for pos, tok in enumerate(t for t in text.split() if t != "|"):
        if tok == "-":
            if notes:
                s, L, m = notes[-1]
                notes[-1] = (s, L + 1, m)
        elif tok != ".":
            notes.append((pos, 1, midi(tok)))
    return notes


CHORD = {"": (0, 4, 7), "m": (0, 3, 7), "7": (0, 4, 7, 10), "5": (0, 7, 12)}


def chord(name):
    """'Dm' -> (root midi in octave 3, intervals)."""
    i = 1
    if len(name) > 1 and name[1] in "#b":
        i = 2
    q = name[i:]
    return midi(name[:i] + "3"), CHORD[q]


# ----- instruments (each returns a mono note of n samples) -----

class Voices:
    def __init__(self):
        self.cache = {}

    def get(self, key, fn):
        if key not in self.cache:
            self.cache[key] = fn()
        return self.cache[key]


def bass(f, n, bright=1.0, drive=0.0):
    t = np.arange(n) / RATE
    cut = 180 + 1400 * bright * np.exp(-t / 0.09)
    x = saw(f, n, top=40, cutoff=cut) + 0.5 * sine(f, n)
    if drive:
        x = np.tanh(x * (1 + 4 * drive)) / np.tanh(1 + 4 * drive)
    return x * adsr(n, 0.004, 0.08, 0.7, 0.03)


def lead(f, n, kind="square", vib=5.5):
    t = np.arange(n) / RATE
    depth = 0.006 * np.clip((t - 0.12) / 0.2, 0, 1)
    fm = f * (1 + depth * np.sin(2 * np.pi * vib * t))
    if kind == "square":
        x = square(fm, n, top=21, cutoff=3000)
    elif kind == "brass":
        cut = 600 + 2600 * np.clip(t / 0.08, 0, 1)
        x = saw(fm, n, top=30, cutoff=cut)
    else:
        x = triangle(fm, n) + 0.15 * sine(fm * 2, n)
    return x * adsr(n, 0.01, 0.1, 0.75, 0.06)


def pad(freqs, n, cutoff=1200, attack=0.4):
    x = np.zeros(n)
    for f in freqs:
        for det in (-0.006, 0.0, 0.0065):
            x += saw(f * (1 + det), n, top=18, cutoff=cutoff)
    return x / (3 * len(freqs)) * adsr(n, attack, 0.3, 0.8, 0.5)


def pluck(f, n, tau=0.18):
    x = square(f, n, top=9, cutoff=2500) * 0.6 + triangle(f * 2, n) * 0.3
    return x * exp_env(n, tau, 0.002)


def bell(f, n, tau=0.8):
    x = sine(f, n) + 0.35 * sine(f * 2.76, n) * exp_env(n, tau * 0.3) + 0.2 * sine(f * 5.4, n) * exp_env(n, tau * 0.15)
    return x * exp_env(n, tau, 0.002)


def kick(n, punch=1.0):
    t = np.arange(n) / RATE
    f = 45 + 110 * punch * np.exp(-t / 0.035)
    return sine(f, n) * exp_env(n, 0.22, 0.001) + 0.15 * spectral(noise(n, 7), hi=2000) * exp_env(n, 0.01)


def snare(n, seed=11):
    body = sine(190.0, n) * exp_env(n, 0.05)
    sn = spectral(noise(n, seed), lo=900, hi=9000) * exp_env(n, 0.12, 0.001)
    return 0.5 * body + 0.9 * sn


def hat(n, open_=False, seed=13):
    x = spectral(noise(n, seed), lo=7000)
    return x * exp_env(n, 0.16 if open_ else 0.03, 0.0005)


def crash(n, seed=17):
    return spectral(noise(n, seed), lo=3000) * exp_env(n, 0.9, 0.002) * 0.7


# ----- the sequencer -----

class Tune:
    def __init__(self, bpm, bars, seed):
        self.bpm = bpm
        self.beat = 60.0 / bpm
        self.N = int(round(bars * 4 * self.beat * RATE))
        self.buses = {}
        self.voices = Voices()
        self.seed = seed

    def samples(self, beats):
        return int(round(beats * self.beat * RATE))

    def put(self, bus, start_beat, x, gain=1.0, pan=0.0):
        """Add x at a beat, wrapping past the loop end; pan -1 left .. 1 right."""
        b = self.buses.setdefault(bus, np.zeros((self.N, 2)))
        s = self.samples(start_beat) % self.N
        gl = gain * np.sqrt(0.5 * (1 - pan))
        gr = gain * np.sqrt(0.5 * (1 + pan))
        pos = 0
        while pos < len(x):
            k = min(len(x) - pos, self.N - s)
            b[s:s + k, 0] += x[pos:pos + k] * gl
            b[s:s + k, 1] += x[pos:pos + k] * gr
            pos += k
            s = 0

    def drums(self, bar0, bars, pattern, gain=1.0):
        """Pattern: dict of instrument -> 16-step string ('x' hit, 'o' soft)."""
        makers = {"k": lambda: kick(self.samples(1)), "s": lambda: snare(self.samples(1)),
                  "h": lambda: hat(self.samples(0.5)), "H": lambda: hat(self.samples(1), True),
                  "c": lambda: crash(self.samples(4))}
        pans = {"k": 0.0, "s": 0.1, "h": 0.35, "H": 0.35, "c": -0.3}
        levels = {"k": 1.0, "s": 0.55, "h": 0.16, "H": 0.2, "c": 0.3}
        for bar in range(bar0, bar0 + bars):
            for inst, steps in pattern.items():
                x = self.voices.get(("drum", inst), makers[inst])
                for i, ch in enumerate(steps):
                    if ch in "xo":
                        g = levels[inst] * (1.0 if ch == "x" else 0.5) * gain
                        self.put("drums", bar * 4 + i * 0.25, x, g, pans[inst])

    def line(self, bus, bar0, text, make, gain=1.0, pan=0.0, tail=0.3, transpose=0):
        for s, L, m in parse_line(text):
            m += transpose
            n = self.samples(L * 0.5) + int(tail * RATE)
            x = self.voices.get((bus, m, n), lambda: make(hz(m), n))
            self.put(bus, bar0 * 4 + s * 0.5, x, gain, pan)

    def echo(self, bus, beats, feedback, taps=4, pingpong=True):
        b = self.buses[bus]
        d = self.samples(beats)
        out = b.copy()
        for i in range(1, taps + 1):
            shifted = np.roll(b, d * i, axis=0) * feedback ** i
            if pingpong and i % 2:
                shifted = shifted[:, ::-1]
            out += shifted
        self.buses[bus] = out

    def mix(self, levels, reverb, wet=0.22, seconds=1.8):
        total = np.zeros((self.N, 2))
        send = np.zeros((self.N, 2))
        for bus, x in self.buses.items():
            g = levels.get(bus, 1.0)
            total += x * g
            send += x * g * reverb.get(bus, 0.0)
        m = min(int(seconds * RATE), self.N)
        for ch in range(2):
            ir = spectral(noise(m, self.seed + ch), lo=200, hi=6000) * np.exp(-np.arange(m) / RATE / (seconds / 5))
            ir /= np.sqrt(np.sum(ir ** 2))
            full = np.zeros(self.N)
            full[:m] = ir
            total[:, ch] += wet * np.fft.irfft(np.fft.rfft(send[:, ch]) * np.fft.rfft(full), self.N)
        # remove DC by a circular high-pass, fade the loop point, then set the level
        for ch in range(2):
            total[:, ch] = spectral(total[:, ch], lo=25)
        return set_level(loop_fades(total, LOOP_FADE_SEC), MUSIC_RMS_DB, MUSIC_PEAK_DB)


def _chord_notes(name, octave_shift=0):
    root, iv = chord(name)
    return [root + 12 * octave_shift + i for i in iv]


def _pads(t, bar0, chords, bars_each=1, gain=0.35, cutoff=1200, octave=1):
    for i, ch in enumerate(chords):
        notes = _chord_notes(ch, octave)
        n = t.samples(4 * bars_each) + int(0.5 * RATE)
        x = t.voices.get(("pad", ch, n, cutoff), lambda: pad([hz(m) for m in notes], n, cutoff))
        t.put("pad", (bar0 + i * bars_each) * 4, x, gain, 0.0)


def _bass_line(t, bar0, chords, pattern, gain=0.6, drive=0.0, step=0.5):
    """pattern: offsets in semitones from the chord root per step ('.' rest)."""
    for i, ch in enumerate(chords):
        root, _ = chord(ch)
        root -= 12
        for j, tok in enumerate(pattern.split()):
            if tok == ".":
                continue
            m = root + int(tok)
            n = t.samples(step) + int(0.03 * RATE)
            x = t.voices.get(("bass", m, n, drive), lambda: bass(hz(m), n, 1.0, drive))
            t.put("bass", (bar0 + i) * 4 + j * step, x, gain, 0.0)


def _arp(t, bar0, chords, make, step=0.25, octave=1, gain=0.25, pan=0.3, order=(0, 1, 2, 1)):
    for i, ch in enumerate(chords):
        notes = _chord_notes(ch, octave)
        for j in range(int(4 / step)):
            m = notes[order[j % len(order)] % len(notes)] + (12 if (j // len(order)) % 2 else 0)
            n = int(0.35 * RATE)
            x = t.voices.get(("arp", make.__name__, m, n), lambda: make(hz(m), n))
            t.put("arp", (bar0 + i) * 4 + j * step, x, gain, pan)


# ----- the tunes -----

FOUR = {"k": "x.......x.......", "s": "....x.......x...", "h": "x.x.x.x.x.x.x.x."}


def approach():
    """fishb: the approach and the armoured fight. Tense D minor at 126 bpm."""
    t = Tune(126, 32, 201)
    A = ["Dm", "Dm", "Bb", "Bb", "C", "C", "A", "A"]
    B = ["Dm", "Bb", "C", "Am", "Gm", "Bb", "A", "A"]
    riff = "0 0 12 0 7 0 12 7"
    _bass_line(t, 0, A, riff)
    _bass_line(t, 8, B, riff)
    _bass_line(t, 16, A, "0 . 0 12 . 7 10 7")
    _bass_line(t, 24, B, riff)
    _pads(t, 0, A + B + A + B, cutoff=900)
    t.drums(0, 4, {"k": "x.......x.......", "h": "..x...x...x...x."})
    t.drums(4, 4, FOUR)
    t.drums(8, 8, FOUR)
    t.drums(16, 8, {"k": "x.........x.....", "s": "........x.......", "h": "x.x.x.x.x.x.x.x."})
    t.drums(24, 8, {"k": "x.......x.x.....", "s": "....x.......x..o", "h": "xxx.xxx.xxx.xxx."})
    t.drums(8, 1, {"c": "x..............."})
    t.drums(24, 1, {"c": "x..............."})
    mel = ("D5 - F5 - A5 - G5 F5 | F5 - D5 - Bb4 - - - | C5 - E5 - G5 - F5 E5 | E5 - - - A4 - - - | "
           "G4 - Bb4 - D5 - G5 - | F5 - D5 - Bb4 - D5 - | C#5 - E5 - A5 - G5 - | E5 - - - C#5 - - -")
    t.line("lead", 8, mel, lambda f, n: lead(f, n, "square"), 0.3, -0.15)
    t.line("lead", 24, mel, lambda f, n: lead(f, n, "square"), 0.3, -0.15)
    t.line("lead", 24, mel, lambda f, n: lead(f, n, "triangle"), 0.18, 0.3, transpose=-12)
    _arp(t, 16, A, pluck, order=(0, 1, 2, 1, 2, 0, 1, 2))
    t.echo("lead", 0.75, 0.35)
    t.echo("arp", 0.75, 0.3)
    return t.mix({"bass": 0.8, "pad": 0.7, "drums": 0.9, "lead": 0.9, "arp": 0.8},
                 {"pad": 0.6, "lead": 0.4, "arp": 0.4, "drums": 0.1})


def reborn_fight():
    """fish: the reborn fight. Driving E minor at 150 bpm."""
    t = Tune(150, 32, 202)
    A = ["Em", "Em", "C", "D", "Em", "Em", "C", "B"]
    B = ["Em", "C", "D", "B", "Em", "C", "Am", "B"]
    gallop = "0 0 0 0 0 0 12 0 0 0 0 0 7 0 10 0"
    for k, chords in enumerate((A, B, A, B)):
        _bass_line(t, k * 8, chords, gallop, gain=0.5, drive=0.6, step=0.25)
    _pads(t, 0, A + B + A + B, gain=0.25, cutoff=1800, octave=1)
    heavy = {"k": "x.....x.x.......", "s": "....x.......x...", "h": "xxxxxxxxxxxxxxxx"}
    t.drums(0, 8, {"k": "x...x...x...x...", "h": "x.x.x.x.x.x.x.x."})
    t.drums(8, 8, heavy)
    t.drums(16, 8, {"k": "x.......x.......", "s": "........x.......", "h": "x.x.x.x.x.x.x.x.", "H": "..x...x...x...x."})
    t.drums(24, 8, heavy)
    for b in (0, 8, 16, 24):
        t.drums(b, 1, {"c": "x..............."})
    mel = ("E5 - G5 - B5 - A5 G5 | E5 - - - C5 - D5 E5 | F#5 - A5 - D6 - C6 B5 | A5 - F#5 - D#5 - - - | "
           "E5 - B4 - E5 - G5 - | G5 - E5 - C5 - E5 - | A5 - G5 - F#5 - E5 - | D#5 - - - B4 - - -")
    t.line("lead", 8, mel, lambda f, n: lead(f, n, "square", 7.0), 0.28, -0.1)
    t.line("lead", 24, mel, lambda f, n: lead(f, n, "brass", 7.0), 0.28, -0.1)
    t.line("lead", 24, mel, lambda f, n: lead(f, n, "square", 7.0), 0.16, 0.35, transpose=-12)
    _arp(t, 16, A, pluck, step=0.25, octave=2, gain=0.2, order=(0, 2, 1, 2))
    t.echo("lead", 0.5, 0.3, taps=3)
    t.echo("arp", 0.75, 0.3)
    return t.mix({"bass": 0.85, "pad": 0.6, "drums": 1.0, "lead": 0.9, "arp": 0.7},
                 {"pad": 0.5, "lead": 0.35, "arp": 0.4, "drums": 0.08}, wet=0.18)


def victory():
    """fishc: the victory and the sinking. Bright C major at 100 bpm, then calm."""
    t = Tune(100, 20, 203)
    A = ["C", "G", "Am", "F", "C", "G", "F", "G"]
    B = ["F", "G", "Em", "Am", "F", "G", "C", "C"]
    C = ["Am", "F", "G", "G"]
    _bass_line(t, 0, A, "0 . 0 7 0 . 12 7")
    _bass_line(t, 8, B, "0 . . . 7 . . .")
    _bass_line(t, 16, C, "0 . . 7 . . 12 .")
    _pads(t, 0, A + B + C, gain=0.35, cutoff=1500)
    t.drums(0, 8, {"k": "x.......x.......", "s": "....x.......x...", "h": "x.x.x.x.x.x.x.x."})
    t.drums(8, 8, {"k": "x...............", "H": "........x......."})
    t.drums(16, 4, {"k": "x.......x.......", "s": "............x.x.", "h": "x.x.x.x.x.x.x.x."})
    t.drums(0, 1, {"c": "x..............."})
    fan = ("G4 - C5 - E5 - G5 - | G5 - - F5 E5 - D5 - | E5 - C5 - A4 - C5 - | A4 - C5 - F5 - E5 D5 | "
           "E5 - G5 - C6 - - - | B5 - G5 - D5 - G5 - | A5 - F5 - C5 - F5 - | G5 - - - - - - -")
    t.line("lead", 0, fan, lambda f, n: lead(f, n, "brass", 5.0), 0.32, -0.1)
    t.line("lead", 0, fan, lambda f, n: lead(f, n, "brass", 5.0), 0.18, 0.25, transpose=-5)
    calm = ("C6 - - - G5 - - - | B5 - - - D6 - - - | G5 - - - E5 - - - | A5 - - - - - - - | "
            "A5 - - - C6 - - - | B5 - - - G5 - - - | E5 - - - G5 - - - | C6 - - - - - - -")
    t.line("bells", 8, calm, lambda f, n: bell(f, n, 1.2), 0.3, 0.2, tail=1.2)
    t.line("lead", 16, "A5 - - - E5 - - - | F5 - - - A5 - - - | G5 - - - B5 - - - | D6 - - - - - - -",
           lambda f, n: lead(f, n, "triangle"), 0.3, -0.1)
    _arp(t, 8, B, lambda f, n: bell(f, n, 0.5), step=0.5, octave=2, gain=0.15, order=(0, 1, 2, 1))
    t.echo("bells", 0.75, 0.4)
    t.echo("lead", 0.75, 0.25, taps=3)
    return t.mix({"bass": 0.7, "pad": 0.7, "drums": 0.8, "lead": 0.9, "bells": 0.8, "arp": 0.8},
                 {"pad": 0.6, "lead": 0.4, "bells": 0.7, "arp": 0.6, "drums": 0.1}, wet=0.28)


def calm_sea():
    """testmusic: an ambient A minor drift at 80 bpm."""
    t = Tune(80, 12, 204)
    prog = ["Am", "F", "C", "G", "Am", "F", "Em", "Em", "Am", "F", "G", "G"]
    _pads(t, 0, prog, gain=0.5, cutoff=800, octave=1)
    _bass_line(t, 0, prog, "0 . . . . . . .", gain=0.5)
    _arp(t, 0, prog, lambda f, n: bell(f, n, 0.9), step=0.5, octave=2, gain=0.18, order=(0, 2, 1, 2, 0, 1, 2, 1))
    rng = np.random.default_rng(204)
    blips = []
    for _ in range(40):
        beat = float(rng.integers(0, 48 * 4)) / 4
        m = int(rng.choice([81, 84, 88, 91, 93, 96]))
        blips.append((beat, m))
    for beat, m in blips:
        n = int(0.4 * RATE)
        tt = np.arange(n) / RATE
        x = sine(hz(m) * (1 + 0.6 * tt), n) * exp_env(n, 0.06)
        t.put("bubbles", beat, x, 0.12, float(rng.uniform(-0.7, 0.7)))
    t.echo("arp", 0.75, 0.45, taps=5)
    t.echo("bubbles", 0.5, 0.4)
    return t.mix({"pad": 0.8, "bass": 0.6, "arp": 0.9, "bubbles": 0.9},
                 {"pad": 0.7, "arp": 0.7, "bubbles": 0.8, "bass": 0.1}, wet=0.35, seconds=2.5)


TUNES = {"fishb": approach, "fish": reborn_fight, "fishc": victory, "testmusic": calm_sea}
