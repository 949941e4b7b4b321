#!/usr/bin/python3
# Synthesises every Glimpwatch sound effect into sounds/*.wav.
#
# Run from anywhere with Debian's python (it has python3-numpy):
#     /usr/bin/python3 tools/make_sounds.py [output directory, sounds/ by default]
# Nothing is recorded: every sound is made from the few voices below, all tuned to one
# scale and finished the same way (a soft low-pass, a short room, fades at both ends),
# so that the set sounds like one instrument. The output is deterministic.

import os
import sys
import wave

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOUNDS = os.path.join(ROOT, 'sounds')

RATE = 22050             # mono, 16-bit: small files, and plenty for short effects
RNG = np.random.default_rng(1977)

# Peak levels: the frequent effects stay low, so that several at once leave room; the
# jingles, heard alone, come a little louder. Nothing comes near full scale.
QUIET = 0.45             # about -7 dBFS
LOUD = 0.6               # about -4.4 dBFS


def note(name):
    """Frequency of a note such as 'A4' or 'C#5', equal temperament from A4 = 440 Hz."""
    steps = {'C': -9, 'D': -7, 'E': -5, 'F': -4, 'G': -2, 'A': 0, 'B': 2}
    semis = steps[name[0]]
    rest = name[1:]
    if rest.startswith('#'):
        semis += 1
        rest = rest[1:]
    elif rest.startswith('b'):
        semis -= 1
        rest = rest[1:]
    octave = int(rest)
    return 440.0 * 2.0 ** ((semis + 12 * (octave - 4)) / 12.0)


def t_axis(seconds):
    return np.arange(int(seconds * RATE)) / RATE


def envelope(n, attack, decay_rate, release=0.04):
    """A quick linear attack, an exponential decay (decay_rate per second), and a smooth
    release over the last moments, so that a voice cut short never clicks."""
    t = np.arange(n) / RATE
    env = np.exp(-decay_rate * t)
    a = max(1, int(attack * RATE))
    env[:a] *= np.linspace(0.0, 1.0, a)
    r = min(n - a, int(release * RATE))
    if r > 0:
        env[n - r:] *= 0.5 + 0.5 * np.cos(np.linspace(0.0, np.pi, r))
    return env


def glide(f0, f1, seconds, curve=3.0):
    """Phase of a sine gliding from f0 to f1, fast at first."""
    t = t_axis(seconds)
    x = t / seconds
    f = f1 + (f0 - f1) * np.exp(-curve * x)
    return 2 * np.pi * np.cumsum(f) / RATE


def bell(freq, seconds, decay=7.0, brightness=1.6):
    """The set's main voice: a soft FM bell (modulator an octave up, its depth dying fast)."""
    t = t_axis(seconds)
    index = brightness * np.exp(-9.0 * t)
    mod = np.sin(2 * np.pi * 2.0 * freq * t)
    tone = np.sin(2 * np.pi * freq * t + index * mod)
    tone += 0.25 * np.sin(2 * np.pi * 3.0 * freq * t) * np.exp(-14.0 * t)
    return tone * envelope(len(t), 0.004, decay)


def reed(freq, seconds, decay=3.0, harmonics=7):
    """A darker voice for bad news: a few odd and even partials, rolled off."""
    t = t_axis(seconds)
    vibrato = 1.0 + 0.006 * np.sin(2 * np.pi * 5.5 * t)
    phase = 2 * np.pi * np.cumsum(freq * vibrato) / RATE
    tone = np.zeros_like(t)
    for k in range(1, harmonics + 1):
        tone += np.sin(k * phase) / (k ** 1.4)
    return tone * envelope(len(t), 0.012, decay)


def thump(f0, f1, seconds, decay=22.0):
    """A pitched knock: a sine falling fast in pitch."""
    n = int(seconds * RATE)
    return np.sin(glide(f0, f1, seconds, 10.0)) * envelope(n, 0.001, decay)


def noise(seconds):
    return RNG.uniform(-1.0, 1.0, int(seconds * RATE))


def one_pole_lowpass(x, cutoff):
    """A gentle low-pass; cutoff may be a number or one value per sample."""
    cutoff = np.broadcast_to(np.asarray(cutoff, dtype=float), x.shape)
    a = 1.0 - np.exp(-2 * np.pi * cutoff / RATE)
    y = np.empty_like(x)
    state = 0.0
    for i in range(len(x)):
        state += a[i] * (x[i] - state)
        y[i] = state
    return y


def bandpass(x, low, high):
    return one_pole_lowpass(x - one_pole_lowpass(x, low), high)


def place(parts, seconds):
    """Mixes (start time, signal, gain) parts into one buffer of the given length."""
    out = np.zeros(int(seconds * RATE))
    for start, signal, gain in parts:
        i = int(start * RATE)
        n = min(len(signal), len(out) - i)
        out[i:i + n] += gain * signal[:n]
    return out


def finish(x, peak):
    """The common finish: soft low-pass, a short room, fades, and a fixed peak level."""
    x = one_pole_lowpass(x, 7000.0)
    room = np.zeros_like(x)
    for delay, gain in ((0.023, 0.22), (0.041, 0.15), (0.067, 0.09)):
        d = int(delay * RATE)
        room[d:] += gain * x[:-d]
    x = x + one_pole_lowpass(room, 3000.0)
    x -= np.mean(x)                       # no offset, so no click at either end
    fade_in = int(0.002 * RATE)
    fade_out = int(0.03 * RATE)
    x[:fade_in] *= np.linspace(0.0, 1.0, fade_in)
    x[-fade_out:] *= np.linspace(1.0, 0.0, fade_out) ** 2
    return x * (peak / np.max(np.abs(x)))


# ------------------------------------------------------------------ the effects

def whack():
    """One Glimp whacked: a short wooden knock with a tick on top."""
    knock = thump(520, 170, 0.16)
    tick = bandpass(noise(0.16), 1500, 5000) * envelope(int(0.16 * RATE), 0.0005, 80.0)
    return finish(place([(0, knock, 1.0), (0, tick, 0.5)], 0.16), QUIET)


def whack_many():
    """Several at once: a deeper knock, a second one, and a bright fifth from the bell."""
    knock = thump(420, 110, 0.3, 14.0)
    second = thump(640, 220, 0.2, 20.0)
    tick = bandpass(noise(0.3), 1200, 5000) * envelope(int(0.3 * RATE), 0.0005, 50.0)
    shine = bell(note('G5'), 0.3, 12.0, 1.0) + bell(note('D6'), 0.3, 12.0, 1.0)
    return finish(place([(0, knock, 1.0), (0.045, second, 0.7), (0, tick, 0.5),
                         (0.03, shine, 0.35)], 0.34), LOUD)


def distro_back():
    """A distro put back on its computer: two rising bell notes, a fourth apart."""
    return finish(place([(0, bell(note('E5'), 0.3, 9.0), 0.8),
                         (0.09, bell(note('A5'), 0.33, 8.0), 0.9)], 0.42), QUIET)


def douse():
    """A spark doused: a hiss whose colour falls, under a short low knock."""
    seconds = 0.42
    n = int(seconds * RATE)
    t = np.arange(n) / RATE
    hiss = one_pole_lowpass(noise(seconds), 6500.0 * np.exp(-5.0 * t) + 500.0)
    hiss = hiss - one_pole_lowpass(hiss, 600.0)
    hiss *= envelope(n, 0.01, 7.0)
    plop = thump(300, 120, 0.12, 30.0)
    return finish(place([(0, hiss, 1.0), (0, plop, 0.25)], seconds), QUIET)


def infected():
    """A computer falls to the virus: a dark reed sliding down a semitone, a low buzz below."""
    seconds = 0.5
    t = t_axis(seconds)
    f = note('E3') * 2.0 ** (-np.clip(t - 0.1, 0.0, None) / 0.3 / 12.0)
    phase = 2 * np.pi * np.cumsum(f) / RATE
    tone = sum(np.sin(k * phase) / k ** 1.3 for k in range(1, 8))
    tone *= envelope(len(t), 0.01, 5.0)
    low = np.sin(phase / 2) * envelope(len(t), 0.02, 6.0)
    return finish(place([(0, tone, 0.8), (0, low, 0.5)], seconds), QUIET)


def level_won():
    """A level won: the bell climbs C E G C and rings on the last note."""
    parts = [(0.00, bell(note('C5'), 0.5, 6.0), 0.7),
             (0.11, bell(note('E5'), 0.5, 6.0), 0.7),
             (0.22, bell(note('G5'), 0.5, 6.0), 0.7),
             (0.33, bell(note('C6'), 0.8, 3.5), 0.9),
             (0.33, bell(note('G5'), 0.8, 4.0), 0.35)]
    return finish(place(parts, 1.1), LOUD)


def game_lost():
    """The game lost: the reed falls through a minor chord and fades out low."""
    parts = [(0.00, reed(note('G3'), 0.5, 4.0), 0.6),
             (0.22, reed(note('Eb3'), 0.5, 4.0), 0.6),
             (0.44, reed(note('C3'), 0.5, 4.0), 0.6),
             (0.66, reed(note('G2'), 0.8, 2.2), 0.75),
             (0.66, reed(note('C2'), 0.8, 2.2), 0.5)]
    return finish(place(parts, 1.4), LOUD)


def game_start():
    """A game begins: a quick G C E call on the bell over a low knock."""
    parts = [(0.00, thump(200, 90, 0.2, 15.0), 0.4),
             (0.00, bell(note('G4'), 0.3, 9.0), 0.7),
             (0.09, bell(note('C5'), 0.3, 9.0), 0.7),
             (0.18, bell(note('E5'), 0.55, 5.0), 0.85)]
    return finish(place(parts, 0.75), LOUD)


# The file names are the game's names of the effects: keep them in step with the
# effect names in sound/sound.cpp.
EFFECTS = [
    ('whack', whack),
    ('whack_many', whack_many),
    ('distro_back', distro_back),
    ('douse', douse),
    ('infected', infected),
    ('level_won', level_won),
    ('game_lost', game_lost),
    ('game_start', game_start),
]


def write_wav(path, samples):
    pcm = np.round(np.clip(samples, -1.0, 1.0) * 32767.0).astype('<i2')
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else SOUNDS
    os.makedirs(out, exist_ok=True)
    for name, make in EFFECTS:
        samples = make()
        path = os.path.join(out, name + '.wav')
        write_wav(path, samples)
        print('%-12s %5.2f s  peak %.2f' % (name, len(samples) / RATE, np.max(np.abs(samples))))


if __name__ == '__main__':
    main()
