#!/usr/bin/env python3
"""Makes the key mapper's icon: a light key cap with a dark rim on a transparent square."""
import struct
import sys


def pixel(x, y, size):
    inset = 3
    if not (inset <= x < size - inset and inset <= y < size - inset):
        return (0, 0, 0, 0)
    rim = x in (inset, size - inset - 1) or y in (inset, size - inset - 1)
    if rim:
        return (40, 40, 40, 255)
    top = y > size // 2 + 4  # bitmaps are bottom-up: high y is the top of the cap
    return (235, 235, 235, 255) if top else (190, 190, 200, 255)


def icon_bytes(size=32):
    rows = b"".join(bytes(c for x in range(size) for c in pixel(x, y, size)) for y in range(size))
    mask = b"\0" * (size * ((size + 31) // 32) * 4)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
    image = header + rows + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22) + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes())
