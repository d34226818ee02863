#!/usr/bin/env python3
"""Makes the show's icon and bitmaps: five numbered balls for the switch rows, and the picture,
sound and program signs that stand before a row's first text."""
import argparse
import math
import os
import struct

# 3 x 5 digits for the balls' numbers.
DIGITS = {
    "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"],
    "3": ["111", "001", "111", "001", "111"],
    "4": ["101", "101", "111", "001", "001"],
    "5": ["111", "100", "111", "001", "111"],
}
# One colour per switch, the same order as the rows: red, blue, green, orange, purple.
BALL_COLOURS = [(220, 40, 40), (40, 90, 220), (30, 160, 60), (240, 150, 20), (150, 60, 190)]
FACE = (192, 192, 192)  # dialog face, so the corners do not show


def bmp_bytes(pixels):
    """A 24-bit bottom-up BMP from rows of (r, g, b)."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = b""
    for row in reversed(pixels):
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        data += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + header + data


def canvas(size, colour=FACE):
    return [[colour for _ in range(size)] for _ in range(size)]


def ball(number, colour, size=16):
    pixels = canvas(size)
    centre, radius = (size - 1) / 2.0, size / 2.0 - 0.5
    for y in range(size):
        for x in range(size):
            distance = math.hypot(x - centre, y - centre)
            if distance <= radius:
                shine = max(0.0, 1.0 - math.hypot(x - centre + 3, y - centre + 3) / radius)
                pixels[y][x] = tuple(min(255, int(c + (255 - c) * shine * 0.6)) for c in colour)
    glyph = DIGITS[number]
    for gy, line in enumerate(glyph):
        for gx, bit in enumerate(line):
            if bit == "1":
                pixels[5 + gy][6 + gx] = (255, 255, 255)
    return pixels


def picture_sign(size=12):
    """A small landscape: sky, sun, green hill, in a dark frame."""
    pixels = canvas(size, (120, 180, 250))
    for y in range(size):
        for x in range(size):
            if y > 7 - (x % 6) // 2 + 1:
                pixels[y][x] = (40, 150, 50)
            if math.hypot(x - 8, y - 3) < 1.8:
                pixels[y][x] = (250, 220, 40)
            if x in (0, size - 1) or y in (0, size - 1):
                pixels[y][x] = (40, 40, 40)
    return pixels


def sound_sign(size=12):
    """A loudspeaker with two sound waves."""
    pixels = canvas(size)
    dark = (30, 30, 30)
    for y in range(4, 8):
        for x in range(1, 4):
            pixels[y][x] = dark
    for x in range(4, 7):
        for y in range(5 - (x - 3), 7 + (x - 3)):
            pixels[y][x] = dark
    for y in range(size):
        for x in range(7, size):
            distance = math.hypot(x - 5, y - 5.5)
            if 2.6 < distance < 3.4 or 4.6 < distance < 5.4:
                pixels[y][x] = (40, 90, 220)
    return pixels


def program_sign(size=12):
    """A program window: blue title bar, white body, dark frame."""
    pixels = canvas(size)
    for y in range(1, size - 1):
        for x in range(0, size):
            if y in (1, size - 2) or x in (0, size - 1):
                pixels[y][x] = (30, 30, 30)
            elif y < 4:
                pixels[y][x] = (0, 70, 190)
            else:
                pixels[y][x] = (255, 255, 255)
    return pixels


def icon_bytes(size=32):
    """The program icon: a yellow star bursting out of a red switch button, 32-bit with alpha."""
    centre = (size - 1) / 2.0
    rows = []
    for y in range(size - 1, -1, -1):
        row = b""
        for x in range(size):
            dx, dy = x - centre, y - centre
            distance, angle = math.hypot(dx, dy), math.atan2(dy, dx)
            star = 9 + 6 * abs(math.cos(2.5 * angle))
            if distance <= 8:
                pixel = (40, 40, 220, 255)          # red button (BGRA)
            elif distance <= star:
                pixel = (30, 210, 250, 255)         # yellow burst
            elif distance <= size / 2 - 1:
                pixel = (0, 0, 0, 0)
            else:
                pixel = (0, 0, 0, 0)
            row += bytes(pixel)
        rows.append(row)
    pixels = b"".join(rows)
    mask = b"\0" * (size * ((size + 31) // 32) * 4)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    return directory + image


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", required=True, help="folder for FennickShow.ico and the bitmaps")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    files = {"FennickShow.ico": icon_bytes(), "picture.bmp": bmp_bytes(picture_sign()),
             "sound.bmp": bmp_bytes(sound_sign()), "program.bmp": bmp_bytes(program_sign())}
    for index, colour in enumerate(BALL_COLOURS):
        files["ball%d.bmp" % (index + 1)] = bmp_bytes(ball(str(index + 1), colour))
    for name, data in files.items():
        with open(os.path.join(args.out, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
