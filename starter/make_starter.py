#!/usr/bin/env python3
"""Makes the files a fresh installation starts with: the key mapper's starter profiles and its
commented link file, the show's starter profiles with their pictures and sounds, and the
getting-started pages beside the programs.

  make_starter.py OUT_DIR [--pages DIR --screenshots DIR] [--list]

--list prints the names of the files it makes, one a line, and makes nothing.

Profiles, pictures and sounds are computed here (ImageMagick draws the pictures, the wave module
writes the sounds), so the release never carries a hand-made binary.
"""
import argparse
import math
import os
import re
import shutil
import struct
import subprocess
import wave

# --- key mapper -------------------------------------------------------------------------------

MACRO, VIRTUAL_KEY, SWITCH_PROFILE = 0, 1, 9
VK_ENTER, VK_SPACE, VK_PAGE_UP, VK_PAGE_DOWN, VK_END, VK_HOME = 13, 32, 33, 34, 35, 36
VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN = 37, 38, 39, 40
VK_NEXT_TRACK, VK_PREVIOUS_TRACK, VK_PLAY_PAUSE = 176, 177, 179
VK_VOLUME_DOWN, VK_VOLUME_UP = 174, 175
DEFAULT_KEY_PROFILE = "Space and Enter"

# Switches 1 to 5 are the box's Down (a serial box's switch 2), Fire (its switch 1), Up, Left and
# Right: the arrows follow the stick. A switch a profile leaves out does nothing.
KEY_PROFILES = {
    DEFAULT_KEY_PROFILE: {1: (VIRTUAL_KEY, VK_SPACE, ""), 2: (VIRTUAL_KEY, VK_ENTER, "")},
    "Arrows": {1: (VIRTUAL_KEY, VK_DOWN, ""), 2: (VIRTUAL_KEY, VK_ENTER, ""), 3: (VIRTUAL_KEY, VK_UP, ""),
               4: (VIRTUAL_KEY, VK_LEFT, ""), 5: (VIRTUAL_KEY, VK_RIGHT, "")},
    "Media": {1: (VIRTUAL_KEY, VK_VOLUME_DOWN, ""), 2: (VIRTUAL_KEY, VK_PLAY_PAUSE, ""),
              3: (VIRTUAL_KEY, VK_VOLUME_UP, ""), 4: (VIRTUAL_KEY, VK_PREVIOUS_TRACK, ""),
              5: (VIRTUAL_KEY, VK_NEXT_TRACK, "")},
    "Reading": {1: (VIRTUAL_KEY, VK_PAGE_DOWN, ""), 2: (VIRTUAL_KEY, VK_PAGE_UP, ""), 3: (VIRTUAL_KEY, VK_HOME, ""),
                4: (VIRTUAL_KEY, VK_END, ""), 5: (SWITCH_PROFILE, -1, DEFAULT_KEY_PROFILE)},
}
NOTHING = (MACRO, -1, "")

# Comments only: the key mapper reads no link from it, and a carer opening it sees how one is
# written. The program keeps comment lines when it writes the file back.
LINK_FILE = """\
; Application links of the key mapper: which profile is used when a program comes to the front.
; There are none yet. The easy way to make one is the key mapper's settings, "Application links...".
;
; Written by hand, a link to the profile "Reading" for every window of Notepad would be:
;
;   [FKSettings]
;   NrKnownProfiles=1
;   DefaultProfile=
;   [Prof1]
;   Type=2
;   Name=notepad.exe
;   Profile=Reading
;
; Type 1 names an application (its window class), 2 a program file, 3 the beginning of a window
; title. NrKnownProfiles counts the [ProfN] sections. DefaultProfile, when set, is used for every
; other program. Close the key mapper before editing this file: it writes the links as it closes.
[FKSettings]
NrKnownApps=0
NrKnownProfiles=0
DefaultProfile=
"""


def key_profile_text(buttons):
    lines = []
    for n in range(1, 6):
        command, value, text = buttons.get(n, NOTHING)
        lines += ["[Button%d]" % n, "BtCmd=%d" % command, "BtCmdVal=%d" % value, "BtCmdText=" + text]
    return "\r\n".join(lines) + "\r\n"


# --- show -------------------------------------------------------------------------------------

SHOW_PICTURE, SHOW_SOUND, SHOW_PICTURE_AND_SOUND = 1, 2, 4
FIRST_STEPS = "First steps"
SOUNDS_ONLY = "Sounds only"
# The show draws a picture at its own size, centred, and crops one larger than its window equally
# on every side; it never scales. So one size serves every screen: the plain ground fills any
# window up to 1280 x 1024, and the shape is sized to stay whole in the smallest window the show
# opens by itself, two thirds of a 1280 x 720 screen, about 400 pixels high inside.
PICTURE_SIZE = (1280, 1024)
SMALLEST_WINDOW_HEIGHT = 400


def picture_name(n):
    return "%s %d.gif" % (FIRST_STEPS, n)


def sound_name(n):
    return "%s %d.wav" % (FIRST_STEPS, n)


def show_profile_text(slots):
    lines = []
    for n, (action, first, second) in enumerate(slots, start=1):
        lines += ["[Button%d]" % n, "BtCmd=%d" % action, "BtCmdText1=" + first, "BtCmdText2=" + second]
    return "\r\n".join(lines) + "\r\n"


def show_profiles():
    return {
        FIRST_STEPS: show_profile_text([(SHOW_PICTURE_AND_SOUND, picture_name(n), sound_name(n)) for n in range(1, 6)]),
        SOUNDS_ONLY: show_profile_text([(SHOW_SOUND, sound_name(n), "") for n in range(1, 6)]),
    }


# One picture per switch: a big friendly shape in a bright colour on a dark, plain ground, so it
# reads from across a room and for low vision. (background, shape colour, drawing) in switch order.
def star_points(cx, cy, outer, inner, points=5):
    out = []
    for i in range(points * 2):
        radius = outer if i % 2 == 0 else inner
        angle = -math.pi / 2 + i * math.pi / points
        out.append("%d,%d" % (cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return " ".join(out)


def sun(w, h, r):
    cx, cy = w // 2, h // 2
    rays = []
    for i in range(12):
        a = i * math.pi / 6
        rays += ["-draw", "line %d,%d %d,%d" % (cx + 1.15 * r * math.cos(a), cy + 1.15 * r * math.sin(a),
                                                 cx + 1.6 * r * math.cos(a), cy + 1.6 * r * math.sin(a))]
    return ["-stroke", "#FFD400", "-strokewidth", str(max(4, r // 8))] + rays + [
        "-stroke", "none", "-draw", "circle %d,%d %d,%d" % (cx, cy, cx + r, cy)]


def star(w, h, r):
    return ["-draw", "polygon " + star_points(w // 2, h // 2, int(1.5 * r), int(0.62 * r))]


def smile(w, h, r):
    cx, cy = w // 2, h // 2
    eye = max(6, r // 7)
    return ["-draw", "circle %d,%d %d,%d" % (cx, cy, cx + int(1.3 * r), cy),
            "-fill", "#101010",
            "-draw", "circle %d,%d %d,%d" % (cx - r // 2, cy - r // 3, cx - r // 2 + eye, cy - r // 3),
            "-draw", "circle %d,%d %d,%d" % (cx + r // 2, cy - r // 3, cx + r // 2 + eye, cy - r // 3),
            "-fill", "none", "-stroke", "#101010", "-strokewidth", str(max(4, r // 9)),
            "-draw", "arc %d,%d %d,%d 20,160" % (cx - int(0.7 * r), cy - int(0.5 * r), cx + int(0.7 * r),
                                                 cy + int(0.75 * r))]


def ball(w, h, r):
    cx, cy = w // 2, h // 2
    return ["-draw", "circle %d,%d %d,%d" % (cx, cy, cx + int(1.3 * r), cy),
            "-fill", "#FFFFFF",
            "-draw", "circle %d,%d %d,%d" % (cx - r // 2, cy - r // 2, cx - r // 2 + r // 4, cy - r // 2)]


def heart(w, h, r):
    # Two round lobes and a point below them, joined along the lines that just touch the lobes.
    cx, cy = w // 2, h // 2 - r // 2
    apex = (cx, cy + 2 * r)
    points = []
    for side in (-1, 1):
        centre = (cx + side * 0.7 * r, cy)
        dx, dy = apex[0] - centre[0], apex[1] - centre[1]
        angle = math.atan2(dy, dx) - side * math.acos(r / math.hypot(dx, dy))
        points.append((centre[0] + r * math.cos(angle), centre[1] + r * math.sin(angle)))
    polygon = " ".join("%d,%d" % p for p in (points[0], apex, points[1], (cx, cy)))
    return ["-draw", "circle %d,%d %d,%d" % (cx - int(0.7 * r), cy, cx + int(0.3 * r), cy),
            "-draw", "circle %d,%d %d,%d" % (cx + int(0.7 * r), cy, cx + int(1.7 * r), cy),
            "-draw", "polygon " + polygon]


PICTURES = [("#0A1E5A", "#FFD400", sun),     # switch 1: a yellow sun on night blue
            ("#4B0F6E", "#FFFFFF", star),    # switch 2: a white star on purple
            ("#0B5A1E", "#FFD400", smile),   # switch 3: a smiling face on green
            ("#101010", "#FF7A00", ball),    # switch 4: an orange ball on black
            ("#0A4A5A", "#FF3050", heart)]   # switch 5: a red heart on dark teal


def draw_picture(path, n):
    background, colour, shape = PICTURES[n - 1]
    w, h = PICTURE_SIZE
    # The tallest shape, the sun with its rays, reaches 1.6 r above and below the middle.
    r = int(0.9 * SMALLEST_WINDOW_HEIGHT / 3.2)
    command = ["convert", "-size", "%dx%d" % PICTURE_SIZE, "xc:" + background, "-fill", colour] + shape(w, h, r) + [
        "-colors", "16", "-strip", path]
    subprocess.run(command, check=True)


# Five short sounds, one per switch: (notes as (frequency, seconds)), each note shaped so that it
# starts and ends without a click.
RATE = 22050
SOUNDS = [
    [(523, 0.12), (659, 0.12), (784, 0.22)],            # a rising chime
    [(880, 0.18), (698, 0.30)],                         # a doorbell
    [(392, 0.10), (494, 0.10), (587, 0.10), (784, 0.25)],
    [("boing", 0.45)],                                  # a bouncing spring
    [(1319, 0.08), (1175, 0.08), (1047, 0.08), (1568, 0.25)],  # a sparkle
]


def note_samples(frequency, seconds):
    count = int(RATE * seconds)
    attack = int(RATE * 0.01)
    out = []
    for i in range(count):
        t = i / RATE
        if frequency == "boing":
            f = 180 + 120 * math.exp(-t * 6) * math.cos(2 * math.pi * 9 * t)
            phase = 2 * math.pi * f * t
        else:
            phase = 2 * math.pi * frequency * t
        envelope = min(1.0, i / attack) * math.exp(-3.0 * t / seconds)
        # A touch of the octave makes a softer, rounder tone than a bare sine.
        out.append(envelope * (0.8 * math.sin(phase) + 0.2 * math.sin(2 * phase)))
    return out


def write_sound(path, notes):
    samples = []
    for frequency, seconds in notes:
        samples += note_samples(frequency, seconds)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", int(20000 * s)) for s in samples))


# --- getting-started pages --------------------------------------------------------------------

def pages_and_pictures(pages):
    """{page: [pictures]}: the pages refer to their pictures in the repository's screenshot folder."""
    found = {}
    for page in sorted(os.listdir(pages)):
        if page.endswith(".html"):
            text = open(os.path.join(pages, page), encoding="utf-8").read()
            found[page] = re.findall(r'src="\.\./screenshots/([^"]+)"', text)
    return found


def copy_pages(pages, screenshots, out):
    """Beside the programs the pictures lie in the same folder as the pages."""
    for page, pictures in pages_and_pictures(pages).items():
        for picture in pictures:
            shutil.copyfile(os.path.join(screenshots, picture), os.path.join(out, picture))
        text = open(os.path.join(pages, page), encoding="utf-8").read()
        with open(os.path.join(out, page), "w", encoding="utf-8", newline="\n") as target:
            target.write(text.replace('src="../screenshots/', 'src="'))


def file_names(pages):
    names = [name + ".bpf" for name in KEY_PROFILES] + ["fkconfig.ini"] + [name + ".bd2" for name in show_profiles()]
    for n in range(1, 6):
        names += [picture_name(n), sound_name(n)]
    if pages:
        for page, pictures in pages_and_pictures(pages).items():
            names += [page] + pictures
    return sorted(set(names))


def write(path, text):
    with open(path, "w", encoding="cp1252", newline="") as out:
        out.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--pages")
    parser.add_argument("--screenshots")
    parser.add_argument("--list", action="store_true")
    args = parser.parse_args()
    if args.list:
        print("\n".join(file_names(args.pages)))
        return 0
    os.makedirs(args.out_dir, exist_ok=True)
    for name, buttons in KEY_PROFILES.items():
        write(os.path.join(args.out_dir, name + ".bpf"), key_profile_text(buttons))
    write(os.path.join(args.out_dir, "fkconfig.ini"), LINK_FILE.replace("\n", "\r\n"))
    for name, text in show_profiles().items():
        write(os.path.join(args.out_dir, name + ".bd2"), text)
    for n in range(1, 6):
        draw_picture(os.path.join(args.out_dir, picture_name(n)), n)
        write_sound(os.path.join(args.out_dir, sound_name(n)), SOUNDS[n - 1])
    if args.pages:
        copy_pages(args.pages, args.screenshots, args.out_dir)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
