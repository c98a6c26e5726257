#!/usr/bin/env python3
"""Synthesises the program's default sounds, 16-bit PCM: sounds/chimes.wav (an answer: two
bell-like strikes, rising) and sounds/offline.wav (a target gone offline: two low, hollow tones,
falling, so that trouble never sounds like good news)."""
import math
import os
import struct
import wave

RATE = 22050


def strike(freq, start, length, out):
    for i in range(int(length * RATE)):
        t = i / RATE
        env = math.exp(-t * 5.0) * min(1.0, t * 400)
        v = (math.sin(2 * math.pi * freq * t)
             + 0.4 * math.sin(2 * math.pi * freq * 2.76 * t) * math.exp(-t * 8)
             + 0.2 * math.sin(2 * math.pi * freq * 5.40 * t) * math.exp(-t * 14))
        j = int(start * RATE) + i
        out[j] += 0.28 * env * v


def hollow(freq, start, length, out):
    # Odd harmonics only (a clarinet-like tone), held and then released.
    for i in range(int(length * RATE)):
        t = i / RATE
        env = min(1.0, t * 200) * min(1.0, (length - t) * 12)
        v = sum(math.sin(2 * math.pi * freq * k * t) / k for k in (1, 3, 5, 7))
        j = int(start * RATE) + i
        out[j] += 0.30 * env * v


def write(name, samples):
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sounds", name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767))))
                               for s in samples))


def main():
    chimes = [0.0] * int(1.1 * RATE)
    strike(1318.5, 0.0, 0.8, chimes)
    strike(1046.5, 0.25, 0.85, chimes)
    write("chimes.wav", chimes)
    offline = [0.0] * int(0.75 * RATE)
    hollow(523.3, 0.0, 0.3, offline)
    hollow(392.0, 0.34, 0.4, offline)
    write("offline.wav", offline)


if __name__ == "__main__":
    main()
