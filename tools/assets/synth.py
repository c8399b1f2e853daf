"""Sound building blocks: oscillators, envelopes, filters and WAV output.

Everything works on float64 numpy arrays at RATE samples per second. Filters
act in the frequency domain (FFT), so they are exact and need no loops.
"""

import struct

import numpy as np

RATE = 44100


def t_axis(dur):
    return np.arange(int(round(dur * RATE))) / RATE


def phase_of(freq, n=None):
    """Running phase (cycles) for a constant or per-sample frequency."""
    if np.isscalar(freq):
        return freq * np.arange(n) / RATE
    return np.cumsum(freq) / RATE


def sine(freq, n):
    return np.sin(2 * np.pi * phase_of(freq, n))


def additive(freq, n, harmonics, amp_fn):
    """Band-limited waveform: sum of sin(k * phase) * amp_fn(k), below Nyquist."""
    ph = phase_of(freq, n)
    f = freq if np.isscalar(freq) else np.asarray(freq)
    out = np.zeros(n)
    for k in harmonics:
        a = amp_fn(k)
        if np.isscalar(a) and a == 0:
            continue
        alive = (k * f) < RATE * 0.45
        out += np.sin(2 * np.pi * k * ph) * a * alive
    return out


def saw(freq, n, top=40, cutoff=None):
    """Sawtooth, optionally with a one-pole style roll-off above `cutoff` Hz."""
    def amp(k):
        a = 1.0 / k
        if cutoff is not None:
            f = freq if np.isscalar(freq) else np.asarray(freq)
            a = a / np.sqrt(1.0 + (k * f / cutoff) ** 2)
        return a
    return additive(freq, n, range(1, top + 1), amp) * 0.6


def square(freq, n, top=31, cutoff=None):
    def amp(k):
        if k % 2 == 0:
            return 0
        a = 1.0 / k
        if cutoff is not None:
            f = freq if np.isscalar(freq) else np.asarray(freq)
            a = a / np.sqrt(1.0 + (k * f / cutoff) ** 2)
        return a
    return additive(freq, n, range(1, top + 1), amp) * 0.75


def triangle(freq, n):
    return additive(freq, n, range(1, 16, 2), lambda k: ((-1) ** ((k - 1) // 2)) / (k * k)) * 0.8


def noise(n, seed):
    return np.random.default_rng(seed).uniform(-1.0, 1.0, n)


def adsr(n, a, d, s, r):
    """Attack/decay/sustain/release envelope over n samples (times in seconds);
    the release ends with the last sample."""
    T = n / RATE
    r = min(r, T)
    rel = T - r
    a = min(a, rel) if rel > 0 else 0.0
    d = min(d, max(rel - a, 0.0))
    times = [0.0, a, a + d, rel, T]
    levels = [0.0 if a > 0 else 1.0, 1.0, s, s, 0.0]
    return np.interp(np.arange(n) / RATE, times, levels)


def exp_env(n, tau, attack=0.002):
    t = np.arange(n) / RATE
    env = np.exp(-t / tau)
    A = int(attack * RATE)
    if A > 0:
        env[:A] *= np.linspace(0, 1, A)
    return env


def spectral(x, lo=None, hi=None, order=2, peak=None, q=4.0, gain=1.0):
    """Filter in the frequency domain: low cut, high cut and an optional peak."""
    n = len(x)
    X = np.fft.rfft(x)
    f = np.fft.rfftfreq(n, 1.0 / RATE)
    H = np.ones_like(f)
    if hi is not None:
        H /= np.sqrt(1 + (f / hi) ** (2 * order))
    if lo is not None:
        with np.errstate(divide="ignore"):
            H /= np.sqrt(1 + (lo / np.maximum(f, 1e-9)) ** (2 * order))
    if peak is not None:
        bw = peak / q
        H += gain * np.exp(-0.5 * ((f - peak) / bw) ** 2)
    return np.fft.irfft(X * H, n)


def sweep_filter(x, cut0, cut1, blocks=32, order=2):
    """Low-pass whose cutoff moves from cut0 to cut1 (exponentially) over x."""
    n = len(x)
    out = np.zeros(n)
    edges = np.linspace(0, n, blocks + 1).astype(int)
    win_pad = 256
    for i in range(blocks):
        a, b = edges[i], edges[i + 1]
        cut = cut0 * (cut1 / cut0) ** (i / max(blocks - 1, 1))
        lo_, hi_ = max(0, a - win_pad), min(n, b + win_pad)
        y = spectral(x[lo_:hi_], hi=cut, order=order)
        out[a:b] = y[a - lo_:b - lo_]
    return out


def fade(x, fin=0.002, fout=0.01):
    """Short fades at both ends so no sound starts or stops with a click."""
    x = x.copy()
    a, b = int(fin * RATE), int(fout * RATE)
    if a:
        x[:a] *= np.linspace(0, 1, a)
    if b:
        x[-b:] *= np.linspace(1, 0, b)
    return x


def from_db(level):
    """dBFS to a fraction of full scale."""
    return 10.0 ** (level / 20.0)


def set_level(x, rms_db, peak_db):
    """Scale x to an RMS of rms_db dBFS over its whole length, or lower where
    its peak would otherwise pass peak_db."""
    rms = np.sqrt(np.mean(np.square(x)))
    peak = np.max(np.abs(x))
    if peak == 0:
        return x
    return x * min(from_db(rms_db) / rms, from_db(peak_db) / peak)


def loop_fades(x, seconds):
    """Raised-cosine fade-in and fade-out over `seconds` at the ends of a loop,
    so that it starts from silence and its last sample runs into its first."""
    x = x.copy()
    n = int(seconds * RATE)
    ramp = np.sin(0.5 * np.pi * np.arange(n) / n) ** 2
    shape = (slice(None),) + (None,) * (x.ndim - 1)
    x[:n] *= ramp[shape]
    x[-n:] *= ramp[::-1][shape]
    return x


def to_pcm16(x):
    """Float (-1..1) to 16-bit; a clip here would be a generator fault."""
    y = np.round(np.clip(x, -1.0, 1.0) * 32767.0)
    return y.astype("<i2")


def wav_bytes(samples, channels=1, rate=RATE):
    """A canonical 44-byte-header PCM WAV: RIFF, fmt (16 bytes), data."""
    data = np.ascontiguousarray(samples).astype("<i2").tobytes()
    block = channels * 2
    hdr = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    hdr += b"fmt " + struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * block, block, 16)
    hdr += b"data" + struct.pack("<I", len(data))
    return hdr + data


def write_wav(path, x, rate=RATE):
    """Write mono (1-D) or stereo (n x 2) float audio as 16-bit PCM."""
    x = np.asarray(x)
    ch = 1 if x.ndim == 1 else x.shape[1]
    with open(path, "wb") as f:
        f.write(wav_bytes(to_pcm16(x).reshape(-1), ch, rate))
