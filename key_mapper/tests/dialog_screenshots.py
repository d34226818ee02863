"""Saves a picture of every key mapper dialog in every language into a folder (PNG).

    FENNICK_BUILD_DIR=build/windows python3 key_mapper/tests/dialog_screenshots.py [folder]

The folder defaults to docs/screenshots. Needs the build tree's Wine session (tools/wine-session start).
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import fennick_harness as harness  # noqa: E402

LANGUAGES = [("english", "ENG"), ("french", "FRF"), ("dutch", "DUB"), ("italiano", "ITI")]
TEMPLATES = ["BUTTONDEFBOX", "NEWLISTBOX", "PROFLINKS", "LINKEDIT"]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.REPO, "docs", "screenshots")
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for language, code in LANGUAGES:
            for template in TEMPLATES:
                bmp = os.path.join(work, "shot.bmp")
                code_, text = harness.run("dialog_gallery.exe", language + ".dll", template, code,
                                          "Z:" + bmp.replace("/", "\\"))
                if code_ != 0:
                    raise SystemExit("%s %s failed: %s" % (language, template, text))
                png = os.path.join(folder, "key_mapper_%s_%s.png" % (language, template.lower()))
                subprocess.run(["convert", bmp, "-strip", "PNG8:" + png], check=True)
                print(png)


if __name__ == "__main__":
    main()
