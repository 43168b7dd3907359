#!/usr/bin/env python3
"""Writes the two completion sounds of the program into voice/ (or the folder given):

  update_is_ready.wav  a rising three-note chime (success)
  update_failed.wav    a falling two-note buzz   (failure)

Only the standard library is used, and the output is the same on every run.
"""
import math
import os
import struct
import sys
import wave

RATE = 22050


def note(freq, seconds, volume, harmonics=(1.0,), attack=0.01, release=0.5):
    """One note: a sum of harmonics with a short attack and an exponential fade."""
    count = int(RATE * seconds)
    out = []
    for i in range(count):
        t = i / RATE
        envelope = min(1.0, t / attack) * math.exp(-t / (seconds * release))
        value = sum(a * math.sin(2 * math.pi * freq * (k + 1) * t) for k, a in enumerate(harmonics))
        out.append(volume * envelope * value / sum(harmonics))
    return out


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def mix_in(track, samples, start_seconds):
    start = int(RATE * start_seconds)
    need = start + len(samples)
    if len(track) < need:
        track.extend([0.0] * (need - len(track)))
    for i, s in enumerate(samples):
        track[start + i] += s
    return track


def write(path, samples):
    peak = max(1e-9, max(abs(s) for s in samples))
    scale = min(1.0, 0.9 / peak)
    frames = b"".join(struct.pack("<h", int(round(s * scale * 32767))) for s in samples)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)


def ready():
    bell = (1.0, 0.35, 0.15)
    track = []
    for i, freq in enumerate((523.25, 659.25, 783.99)):  # C5 E5 G5
        mix_in(track, note(freq, 0.55 if i < 2 else 0.9, 0.8, bell), 0.16 * i)
    return track + silence(0.05)


def failed():
    buzz = (1.0, 0.6, 0.45, 0.3, 0.2)
    track = []
    mix_in(track, note(392.0, 0.32, 0.8, buzz, release=1.5), 0.0)   # G4
    mix_in(track, note(277.18, 0.6, 0.8, buzz, release=0.8), 0.36)  # C#4, a tritone below
    return track + silence(0.05)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "voice")
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "update_is_ready.wav"), ready())
    write(os.path.join(folder, "update_failed.wav"), failed())


if __name__ == "__main__":
    main()
