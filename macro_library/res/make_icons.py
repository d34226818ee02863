#!/usr/bin/env python3
"""Draws the macro editor's six button icons (16 x 16 and 32 x 32, 32-bit with alpha) into a folder:
up.ico, down.ico, edit.ico, delete.ico, clear.ico, save.ico."""
import math
import os
import struct
import sys

# Each drawing is a list of (shape, colour) painted in order on a 16-unit square; the
# image is sampled 4 x 4 times per pixel so that the edges are smooth at both sizes.
BLUE = (30, 90, 200)
DARK = (40, 40, 40)
RED = (205, 35, 35)
YELLOW = (240, 190, 40)
WHITE = (250, 250, 250)
GREY = (80, 84, 96)
NAVY = (35, 55, 120)
PINK = (235, 150, 150)


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def line(x0, y0, x1, y1, width):
    def near(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
    return near


ARROW_UP = [(8, 1.5), (14.5, 8.5), (10.5, 8.5), (10.5, 14.5), (5.5, 14.5), (5.5, 8.5), (1.5, 8.5)]

DRAWINGS = {
    "up": [(polygon(ARROW_UP), BLUE)],
    "down": [(polygon([(x, 16 - y) for x, y in ARROW_UP]), BLUE)],
    # A pencil from the lower left to the upper right: dark tip, yellow body, pink eraser.
    "edit": [(line(3, 13, 12, 4, 4.2), DARK), (line(4.2, 11.8, 11.6, 4.4, 2.6), YELLOW),
             (line(11.5, 4.5, 13.2, 2.8, 3.6), PINK), (polygon([(1, 15), (2, 11.5), (4.5, 14)]), DARK)],
    "delete": [(line(3, 3, 13, 13, 3), RED), (line(13, 3, 3, 13, 3), RED)],
    # A waste bin: lid, handle and a body with three grooves.
    "clear": [(rect(2, 3, 14, 4.8), GREY), (rect(6, 1.2, 10, 3), GREY),
              (polygon([(3.2, 5.5), (12.8, 5.5), (11.8, 15), (4.2, 15)]), GREY),
              (rect(5.6, 7, 6.6, 13.5), WHITE), (rect(7.5, 7, 8.5, 13.5), WHITE), (rect(9.4, 7, 10.4, 13.5), WHITE)],
    # A diskette: dark body, white label, a shutter with its slot.
    "save": [(polygon([(1.5, 1.5), (12.5, 1.5), (14.5, 3.5), (14.5, 14.5), (1.5, 14.5)]), NAVY),
             (rect(4, 8.5, 12, 14.5), WHITE), (rect(4.5, 1.5, 11, 5.5), (190, 200, 220)), (rect(8.5, 2.2, 10, 4.8), NAVY)],
}


def render(shapes, size):
    rows = []
    masks = []
    steps = 4
    stride = (size + 31) // 32 * 4
    for py in range(size - 1, -1, -1):  # bitmaps are stored bottom-up
        row = bytearray()
        mask = bytearray(stride)
        for px in range(size):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(steps):
                for sx in range(steps):
                    x = (px + (sx + 0.5) / steps) * 16.0 / size
                    y = (py + (sy + 0.5) / steps) * 16.0 / size
                    colour = None
                    for inside, paint in shapes:
                        if inside(x, y):
                            colour = paint
                    if colour:
                        total[0] += colour[0]
                        total[1] += colour[1]
                        total[2] += colour[2]
                        total[3] += 1
            covered = total[3]
            if covered:
                r, g, b = (round(c / covered) for c in total[:3])
                alpha = round(255 * covered / (steps * steps))
                row += bytes((b, g, r, alpha))
            else:
                alpha = 0
                row += bytes((0, 0, 0, 0))
            # The AND mask gives the shape to whoever ignores alpha (a disabled button's grey picture).
            if alpha < 128:
                mask[px // 8] |= 0x80 >> (px % 8)
        rows.append(bytes(row))
        masks.append(bytes(mask))
    pixels = b"".join(rows)
    mask = b"".join(masks)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def icon_file(shapes):
    images = [render(shapes, size) for size in (16, 32)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((16, 32), images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(folder, exist_ok=True)
    for name, shapes in DRAWINGS.items():
        with open(os.path.join(folder, name + ".ico"), "wb") as out:
            out.write(icon_file(shapes))


if __name__ == "__main__":
    main()
