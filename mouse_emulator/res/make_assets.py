#!/usr/bin/env python3
"""Draws the mouse emulator's icons and dwell cursors (32 x 32, 32-bit with alpha).

Each dwell cursor is the arrow with a large badge of its own colour and shape, so a person
with low vision tells them apart at a glance: left click a green disc with "1", double click
a blue disc with "2", right click a red disc with "R", drag an orange square with four arrows.
"""
import argparse
import math
import os
import struct

SIZE = 32
BLACK, WHITE = (0, 0, 0, 255), (255, 255, 255, 255)
GREEN, BLUE, RED, ORANGE = (0, 150, 0, 255), (0, 70, 220, 255), (210, 0, 0, 255), (240, 130, 0, 255)
GREY = (90, 90, 90, 255)

GLYPHS = {  # 5 x 7
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
}


class Canvas:
    def __init__(self):
        self.pixels = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]

    def put(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.pixels[y][x] = colour

    def disc(self, cx, cy, radius, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius:
                    self.put(x, y, colour)

    def rect(self, left, top, right, bottom, colour):
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, colour)

    def polygon(self, points, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if inside(points, x + 0.5, y + 0.5):
                    self.put(x, y, colour)

    def glyph(self, char, left, top, scale, colour):
        for row, line in enumerate(GLYPHS[char]):
            for column, cell in enumerate(line):
                if cell == "#":
                    self.rect(left + column * scale, top + row * scale, left + (column + 1) * scale,
                              top + (row + 1) * scale, colour)

    def bitmap(self):
        """BITMAPINFOHEADER, BGRA rows bottom-up, and an AND mask that is set where alpha is 0."""
        rows = b"".join(bytes((b, g, r, a))
                        for y in range(SIZE - 1, -1, -1) for (r, g, b, a) in self.pixels[y])
        mask = b""
        for y in range(SIZE - 1, -1, -1):
            bits = 0
            for x in range(SIZE):
                bits = (bits << 1) | (1 if self.pixels[y][x][3] == 0 else 0)
            mask += struct.pack(">I", bits)
        header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
        return header + rows + mask


def inside(points, x, y):
    result = False
    for i in range(len(points)):
        (x1, y1), (x2, y2) = points[i], points[i - 1]
        if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
            result = not result
    return result


def icon_file(canvas, hotspot=None):
    """An .ico (or, with a hotspot, a .cur) holding one image."""
    image = canvas.bitmap()
    kind = 2 if hotspot else 1
    planes, bits = hotspot if hotspot else (1, 32)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, planes, bits, len(image), 22)
    return struct.pack("<HHH", 0, kind, 1) + entry + image


def mouse_body(canvas, left, top, width, height, left_button=None, right_button=None):
    """A mouse seen from above: outlined body, two buttons, either of which may be lit."""
    canvas.rect(left, top, left + width, top + height, BLACK)
    canvas.rect(left + 2, top + 2, left + width - 2, top + height - 2, WHITE)
    half = left + width // 2
    canvas.rect(half - 1, top, half + 1, top + height // 2, BLACK)
    canvas.rect(left, top + height // 2 - 1, left + width, top + height // 2 + 1, BLACK)
    if left_button:
        canvas.rect(left + 2, top + 2, half - 1, top + height // 2 - 1, left_button)
    if right_button:
        canvas.rect(half + 1, top + 2, left + width - 2, top + height // 2 - 1, right_button)


def four_arrows(canvas, cx, cy, reach, colour, head=6, shaft=2):
    """A cross with an arrowhead on each end: move, drag."""
    canvas.rect(cx - shaft, cy - reach + head, cx + shaft, cy + reach - head, colour)
    canvas.rect(cx - reach + head, cy - shaft, cx + reach - head, cy + shaft, colour)
    for dx, dy in ((0, -1), (0, 1), (-1, 0), (1, 0)):
        tip = (cx + dx * reach, cy + dy * reach)
        base = (cx + dx * (reach - head), cy + dy * (reach - head))
        side = (dy * head, dx * head)
        canvas.polygon([tip, (base[0] + side[0], base[1] + side[1]), (base[0] - side[0], base[1] - side[1])], colour)


def gear(canvas, cx, cy, colour):
    for step in range(8):
        angle = step * math.pi / 4
        x, y = cx + 11 * math.cos(angle), cy + 11 * math.sin(angle)
        canvas.disc(x, y, 3.5, colour)
    canvas.disc(cx, cy, 10, colour)
    canvas.disc(cx, cy, 4, (0, 0, 0, 0))


def arrow(canvas):
    """The standard pointer shape in the top-left corner, hot spot at (0, 0)."""
    outline = [(0, 0), (0, 17), (4, 13), (7, 20), (10, 19), (7, 12), (12, 12)]
    canvas.polygon([(x * 1.0, y * 1.0) for x, y in outline], BLACK)
    canvas.polygon([(0.9, 2.5), (0.9, 14.5), (4.3, 11.2), (7.5, 18.5), (8.8, 18), (5.8, 11), (9.8, 11)], WHITE)


def cursor(badge):
    canvas = Canvas()
    badge(canvas)
    arrow(canvas)  # on top, so the hot spot stays clear to see
    return canvas


def disc_badge(colour, char):
    def draw(canvas):
        canvas.disc(21, 21, 11, BLACK)
        canvas.disc(21, 21, 9.5, colour)
        canvas.glyph(char, 16, 14, 2, WHITE)
    return draw


def drag_badge(canvas):
    canvas.rect(10, 10, 32, 32, BLACK)
    canvas.rect(11, 11, 31, 31, ORANGE)
    four_arrows(canvas, 21, 21, 10, BLACK, head=4, shaft=1)


def program_icon():
    canvas = Canvas()
    mouse_body(canvas, 6, 2, 20, 28, left_button=GREEN)
    return canvas


def double_click_icon():
    canvas = Canvas()
    mouse_body(canvas, 1, 6, 14, 22, left_button=BLUE)
    canvas.glyph("2", 17, 6, 3, BLUE)
    return canvas


def right_click_icon():
    canvas = Canvas()
    mouse_body(canvas, 1, 6, 14, 22, right_button=RED)
    canvas.glyph("R", 17, 6, 3, RED)
    return canvas


def drag_icon():
    canvas = Canvas()
    four_arrows(canvas, 16, 16, 15, ORANGE)
    return canvas


def options_icon():
    canvas = Canvas()
    gear(canvas, 16, 16, GREY)
    return canvas


FILES = {
    "program.ico": lambda: icon_file(program_icon()),
    "double_click.ico": lambda: icon_file(double_click_icon()),
    "right_click.ico": lambda: icon_file(right_click_icon()),
    "drag.ico": lambda: icon_file(drag_icon()),
    "options.ico": lambda: icon_file(options_icon()),
    "left_click.cur": lambda: icon_file(cursor(disc_badge(GREEN, "1")), hotspot=(0, 0)),
    "double_click.cur": lambda: icon_file(cursor(disc_badge(BLUE, "2")), hotspot=(0, 0)),
    "right_click.cur": lambda: icon_file(cursor(disc_badge(RED, "R")), hotspot=(0, 0)),
    "drag.cur": lambda: icon_file(cursor(drag_badge), hotspot=(0, 0)),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    for name, make in FILES.items():
        with open(os.path.join(args.folder, name), "wb") as out:
            out.write(make())


if __name__ == "__main__":
    main()
