#!/usr/bin/python3
"""Writes equalizer_reference.txt: reference windows, I0 values and equalizer tap designs,
computed independently of the program with numpy and scipy (Debian's python3-numpy and
python3-scipy). The tests read only the written file; run this again only when the cases
change:  /usr/bin/python3 make_equalizer_reference.py

Record lines (values in Python's shortest round-trip form):
  window <type> <n> <alpha> <v0> ... <v(n-1)>      the window applied to n taps of 1.0
  i0 <x> <I0(x)>
  design <name> <type> <alpha> <fs> <bands> (<frequency> <gain> <enabled>)... <41 taps>
Window types: 0 rect, 1 Bartlett, 2 Blackman, 3 Hamming, 4 Hann, 5 Kaiser.
"""

import os

import numpy as np
import scipy.signal
import scipy.special

TAPS = 41
CENTRE = TAPS // 2
RECT, BARTLETT, BLACKMAN, HAMMING, HANN, KAISER = range(6)


def window_factors(kind, n, alpha):
    """The window's factors, or None when the taps stay unchanged."""
    if kind == RECT or n < 3:
        return None
    i = np.arange(n, dtype=np.float64)
    n1 = float(n - 1)
    if kind == BARTLETT:
        return np.where(2.0 * i <= n1, 2.0 * i / n1, 2.0 - 2.0 * i / n1)
    if kind == BLACKMAN:
        return ((alpha + 1.0) / 2.0 - 0.5 * np.cos(2.0 * np.pi * i / n1)
                - (alpha / 2.0) * np.cos(4.0 * np.pi * i / n1))
    if kind == HAMMING:
        return 0.54 - 0.46 * np.cos(2.0 * np.pi * i / n1)
    if kind == HANN:
        return 0.5 - 0.5 * np.cos(2.0 * np.pi * i / n1)
    if kind == KAISER:
        a = float(np.float32(alpha))  # the window takes its parameter in single precision
        if abs(a) * n1 / 2.0 > 308.0:
            return None
        return scipy.special.i0(a * np.sqrt(i * (n1 - i))) / scipy.special.i0(a * n1 / 2.0)
    raise ValueError(kind)


def windowed(h, kind, alpha):
    w = window_factors(kind, len(h), alpha)
    return h if w is None else h * w


def check_against_scipy():
    """The formulas agree with scipy's own windows where those are the same window."""
    n = TAPS
    pairs = [
        (window_factors(BARTLETT, n, 0.0), scipy.signal.get_window("bartlett", n, fftbins=False)),
        (window_factors(HAMMING, n, 0.0), scipy.signal.get_window("hamming", n, fftbins=False)),
        (window_factors(HANN, n, 0.0), scipy.signal.get_window("hann", n, fftbins=False)),
        # alpha -0.16 is the classic Blackman window 0.42 - 0.5 cos + 0.08 cos.
        (window_factors(BLACKMAN, n, -0.16),
         scipy.signal.get_window("blackman", n, fftbins=False)),
        # I0(alpha sqrt(i (N1 - i))) / I0(alpha N1 / 2) is Kaiser's window with beta alpha N1/2.
        (window_factors(KAISER, n, 0.25),
         scipy.signal.get_window(("kaiser", 0.25 * (n - 1) / 2), n, fftbins=False)),
    ]
    for ours, theirs in pairs:
        assert np.allclose(ours, theirs, rtol=1e-13, atol=1e-15), (ours, theirs)


def symmetric(centre, side):
    return np.concatenate([side[::-1], [centre], side])


K = np.arange(1, CENTRE + 1, dtype=np.float64)


def low_pass(cutoff, fs):
    a = 2.0 * cutoff / fs
    return symmetric(a, np.sin(np.pi * K * a) / (np.pi * K))


def band_pass(lo, hi, fs):
    a = 2.0 * hi / fs
    b = 2.0 * lo / fs
    side = 2.0 * np.sin(np.pi * K * (a - b) / 2.0) * np.cos(np.pi * K * (a + b) / 2.0) / (np.pi * K)
    return symmetric(a - b, side)


def high_pass(cutoff, fs, kind, alpha):
    h = -windowed(low_pass(cutoff, fs), kind, alpha)
    s = 0.0
    for i in range(0, TAPS, 2):
        s += h[i]
    odd = 0.0
    for i in range(1, TAPS, 2):
        odd += h[i]
    s = s - odd
    h[CENTRE] += 1.0
    s += 1.0
    return h * (1.0 / abs(s))


f32 = np.float32


def edge_cutoff(low, high):
    return float(f32(low) + (f32(high) - f32(low)) / f32(3.0))


def half_width(previous, centre, following):
    d1 = f32(centre) - f32(previous)
    d2 = f32(following) - f32(centre)
    return float((d1 * d2) / (d1 + d2))


def design(bands, fs, kind, alpha):
    """bands: (frequency, gain) of the enabled bands, in listed order."""
    f = [b[0] for b in bands]
    c = [b[1] for b in bands]
    n = len(f)
    for i in range(n):  # the exchange sort, ties included
        for j in range(i + 1, n):
            if f[j] < f[i]:
                f[i], f[j] = f[j], f[i]
                c[i], c[j] = c[j], c[i]
    # Nothing exists above half the sample rate: a band ends there, and one that would start
    # there or above (the high-pass included) is left out.
    nyquist = fs / 2.0
    taps = windowed(low_pass(min(edge_cutoff(f[0], f[1]), nyquist), fs), kind, alpha) * c[0]
    for i in range(1, n - 1):
        w = half_width(f[i - 1], f[i], f[i + 1])
        lo, hi = f[i] - w, f[i] + w
        if lo < nyquist:
            taps = taps + windowed(band_pass(lo, min(hi, nyquist), fs), kind, alpha) * c[i]
    cutoff = edge_cutoff(f[n - 2], f[n - 1])
    if cutoff < nyquist:
        taps = taps + high_pass(cutoff, fs, kind, alpha) * c[n - 1]
    return taps


OFFERED_RATES = [8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 96000.0, 192000.0]
WINDOW_FREQUENCIES = [80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000]
OCTAVES = [31.25 * 2 ** i for i in range(10)]
VOICE = [1.48, 1.36, 1.24, 0.94, 1.0, 1.0, 1.0, 1.24, 1.36, 1.48]
WINDOWS = [
    ("rect", RECT, 1.0), ("bartlett", BARTLETT, 1.0), ("hamming", HAMMING, 1.0),
    ("hann", HANN, 1.0), ("blackman-classic", BLACKMAN, -0.16), ("blackman", BLACKMAN, 1.0),
    ("kaiser-0.3", KAISER, 0.3), ("kaiser-1", KAISER, 1.0),
    ("kaiser-too-wide", KAISER, 20.0),
]


def design_cases():
    cases = []
    all_windows = (44100.0, 48000.0, 8000.0)
    for fs in all_windows:
        for name, kind, alpha in WINDOWS:
            bands = [(f, g, 1) for f, g in zip(WINDOW_FREQUENCIES, VOICE)]
            cases.append((f"voice-{name}-{int(fs)}", kind, alpha, fs, bands))
    flat = [(f, 1.0, 1) for f in WINDOW_FREQUENCIES]
    cases.append(("flat-rect-44100", RECT, 1.0, 44100.0, flat))
    octaves = [(f, 1.0, 1) for f in OCTAVES]
    cases.append(("octaves-bartlett-44100", BARTLETT, 1.0, 44100.0, octaves))
    shaped = [(f, g, 1) for f, g in zip(OCTAVES, [0.1, 1.9, 0.5, 1.3, 1.0, 0.7, 1.6, 0.2, 1.1, 0.9])]
    cases.append(("octaves-shaped-hamming-48000", HAMMING, 1.0, 48000.0, shaped))
    cases.append(("two-bands-hann-44100", HANN, 1.0, 44100.0, [(1000.0, 0.8, 1), (4000.0, 1.3, 1)]))
    order = [7, 2, 9, 0, 5, 3, 8, 1, 6, 4]
    shuffled = [(WINDOW_FREQUENCIES[i], VOICE[i], 1) for i in order]
    cases.append(("voice-shuffled-hamming-44100", HAMMING, 1.0, 44100.0, shuffled))
    # Equal frequencies: the exchange sort leaves the first-listed 2000 Hz band last.
    ties = [(2000.0, 0.5, 1), (1000.0, 1.2, 1), (2000.0, 1.5, 1), (500.0, 0.9, 1)]
    cases.append(("exchange-sort-ties-hamming-44100", HAMMING, 1.0, 44100.0, ties))
    disabled = [(f, g, 0 if i in (2, 5) else 1)
                for i, (f, g) in enumerate(zip(WINDOW_FREQUENCIES, VOICE))]
    cases.append(("voice-two-disabled-bartlett-44100", BARTLETT, 1.0, 44100.0, disabled))
    # Every capture rate the options offer, flat and shaped, with the program's window.
    voice = [(f, g, 1) for f, g in zip(WINDOW_FREQUENCIES, VOICE)]
    for fs in OFFERED_RATES:
        cases.append((f"flat-bartlett-{int(fs)}", BARTLETT, 1.0, fs, flat))
        if fs not in all_windows:
            cases.append((f"voice-bartlett-{int(fs)}", BARTLETT, 1.0, fs, voice))
    return cases


def main():
    check_against_scipy()
    lines = ["# Written by make_equalizer_reference.py; see there for the format."]
    for kind, alpha in [(BARTLETT, 0.0), (BLACKMAN, -0.16), (BLACKMAN, 1.0), (HAMMING, 0.0),
                        (HANN, 0.0), (KAISER, 0.3), (KAISER, 2.5), (KAISER, 16.0)]:
        for n in (2, 3, 4, 5, 8, 41):
            w = window_factors(kind, n, alpha)
            values = np.ones(n) if w is None else w
            lines.append(" ".join(["window", str(kind), str(n), repr(float(alpha))]
                                  + [repr(float(v)) for v in values]))
    for x in (0.0, 0.5, 1.0, 3.75, 5.0, 20.0, 100.0, 300.0, 700.0):
        lines.append(f"i0 {x!r} {float(scipy.special.i0(x))!r}")
    for name, kind, alpha, fs, bands in design_cases():
        enabled = [(f, g) for f, g, on in bands if on]
        taps = design(enabled, fs, kind, alpha)
        fields = ["design", name, str(kind), repr(float(alpha)), repr(fs), str(len(bands))]
        for f, g, on in bands:
            fields += [repr(float(f)), repr(float(g)), str(on)]
        fields += [repr(float(t)) for t in taps]
        lines.append(" ".join(fields))
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "equalizer_reference.txt")
    with open(target, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
