"""Writes the key mapper's click sound: a short, soft tick (16-bit mono PCM, 22050 Hz, 25 ms).

Usage: make_click_wav.py output.wav
The sound is computed, not recorded, so every build makes the same bytes.
"""
import math
import struct
import sys

RATE = 22050
DURATION = 0.025
PITCH = 2200.0      # a bright tick that is heard over speech without being sharp
DECAY = 180.0       # per second: the tick fades to nothing within the 25 ms
PEAK = 0.45 * 32767


def samples():
    count = int(RATE * DURATION)
    for i in range(count):
        t = i / RATE
        attack = min(1.0, i / 22.0)          # 1 ms rise: no click inside the click
        envelope = attack * math.exp(-DECAY * t)
        yield int(round(PEAK * envelope * math.sin(2 * math.pi * PITCH * t)))


def wav_bytes():
    data = b"".join(struct.pack("<h", s) for s in samples())
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(wav_bytes())
