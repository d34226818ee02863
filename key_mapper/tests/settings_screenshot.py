"""Saves a picture of the running key mapper's settings dialog (English), as a user first sees it.

    tools/wine-session start build/windows
    FENNICK_BUILD_DIR=$PWD/build/windows PYTHONPATH=tools python3 key_mapper/tests/settings_screenshot.py

Writes docs/screenshots/key_mapper_settings.png. Not a test.
"""
import os
import subprocess

import fennick_harness as h
import key_settings_e2e as e2e


def main():
    mapper = e2e.Mapper("ENG")
    try:
        e2e.write_profile("Reading", {1: (1, 32, ""), 2: (0, -1, "Dear Sir or Madam,$"), 3: (2, -1, "ding.wav"),
                                      4: (4, 0, ""), 5: (9, -1, "Writing")})
        e2e.write_profile("Writing", {1: (1, 13, ""), 5: (9, -1, "Reading")})
        h.reg("add", e2e.KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", "Reading", "/f")
        mapper.start()
        dialog = e2e.Dialog("FennickKey - Settings")
        left, top, right, bottom = [int(v) for v in h.probe("client-rect", dialog.hwnd)[1].split()]
        shot = h.screenshot("key_mapper_settings_screen")
        out = os.path.join(h.REPO, "docs", "screenshots", "key_mapper_settings.png")
        # The frame and title bar lie just outside the client area.
        subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (right - left + 8, bottom - top + 30, left - 4,
                                                                   top - 26), "+repage", "-strip", "PNG8:" + out],
                       check=True)
        print(out)
        dialog.click(e2e.IDCANCEL)
        dialog.closed()
    finally:
        mapper.stop()


if __name__ == "__main__":
    main()
