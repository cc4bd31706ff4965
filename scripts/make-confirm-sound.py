#!/usr/bin/env python3
"""Writes resources/sounds/Confirm.wav: a short, soft two-note chime (about 0.3 s, 22.05 kHz mono)."""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050
NOTES = [(0.0, 880.0), (0.085, 1318.5)]  # A5 then E6, a rising fifth
LENGTH = 0.32


def sample(t: float) -> float:
    value = 0.0
    for start, frequency in NOTES:
        if t < start:
            continue
        local = t - start
        attack = min(1.0, local / 0.006)
        decay = math.exp(-local * 14.0)
        tone = math.sin(2 * math.pi * frequency * local) + 0.25 * math.sin(4 * math.pi * frequency * local)
        value += 0.32 * attack * decay * tone
    fade = min(1.0, (LENGTH - t) / 0.02)
    return max(-1.0, min(1.0, value * fade))


def main() -> int:
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources/sounds/Confirm.wav"
    frames = b"".join(struct.pack("<h", int(sample(i / RATE) * 32767)) for i in range(int(LENGTH * RATE)))
    with wave.open(str(target), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)
    print(target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
