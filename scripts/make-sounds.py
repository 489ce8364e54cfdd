#!/usr/bin/env python3
"""Writes the toolbar's two short sounds (16-bit mono WAV, 22050 Hz) into resources/sounds:
click.wav, played when a toolbar button acts, and hover.wav, when the pointed button changes."""
import math
import os
import struct
import wave

RATE = 22050


def tone(path, freq, ms, volume):
    n = int(RATE * ms / 1000)
    frames = bytearray()
    for i in range(n):
        t = i / RATE
        envelope = math.exp(-6.0 * i / n) * min(1.0, i / 40.0)  # soft attack, quick decay
        value = volume * envelope * math.sin(2 * math.pi * freq * t)
        frames += struct.pack('<h', int(value * 32767))
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources', 'sounds')
os.makedirs(here, exist_ok=True)
tone(os.path.join(here, 'click.wav'), 1200, 40, 0.5)
tone(os.path.join(here, 'hover.wav'), 2400, 15, 0.2)
