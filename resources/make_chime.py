#!/usr/bin/env python3
"""Synthesises the program's default sound, sounds/chimes.wav: two bell-like strikes, 16-bit PCM."""
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


def main():
    total = 1.1
    samples = [0.0] * int(total * RATE)
    strike(1318.5, 0.0, 0.8, samples)
    strike(1046.5, 0.25, 0.85, samples)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sounds", "chimes.wav")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767))))
                               for s in samples))


if __name__ == "__main__":
    main()
