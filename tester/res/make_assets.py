#!/usr/bin/env python3
"""Makes the tester's icon (a lit green switch circle) and its Esc test sound (two short tones)."""
import argparse
import math
import struct
import wave


def icon_bytes(size=32):
    """One 32-bit image: a green disc with a dark outline on a transparent square."""
    centre = (size - 1) / 2.0
    radius = size / 2.0 - 1.5
    rows = []
    for y in range(size - 1, -1, -1):  # bitmaps are stored bottom-up
        row = b""
        for x in range(size):
            distance = math.hypot(x - centre, y - centre)
            if distance <= radius - 2:
                row += bytes((0, 255, 0, 255))
            elif distance <= radius:
                row += bytes((0, 64, 0, 255))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(row)
    pixels = b"".join(rows)
    mask = b"\0" * (size * ((size + 31) // 32) * 4)  # alpha decides; an all-clear AND mask
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    return directory + image


def write_sound(path, rate=22050):
    """880 Hz then 660 Hz, 0.15 s each, with short fades so the speaker does not click."""
    frames = bytearray()
    for frequency in (880, 660):
        count = int(rate * 0.15)
        for i in range(count):
            fade = min(1.0, i / 200.0, (count - i) / 200.0)
            sample = int(12000 * fade * math.sin(2 * math.pi * frequency * i / rate))
            frames += struct.pack("<h", sample)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(bytes(frames))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--icon", required=True)
    parser.add_argument("--sound", required=True)
    args = parser.parse_args()
    with open(args.icon, "wb") as out:
        out.write(icon_bytes())
    write_sound(args.sound)


if __name__ == "__main__":
    main()
