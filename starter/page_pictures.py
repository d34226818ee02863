#!/usr/bin/env python3
"""Takes the getting-started pages' pictures from the release itself: the portable folder
unpacked in a Wine prefix of its own, nothing stored, the programs started as a first-time user
starts them. The key mapper's settings and application links in each language (on the starter
profiles, with the one link that "fkconfig.ini" shows as its example), the show's switch actions
on "First steps". Not a test.

    tools/wine-session start build/windows
    python3 starter/page_pictures.py [VERSION]

Writes docs/screenshots/getting_started_*.png (PNG8, stripped). Needs the windows build's release.
"""
import os
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
MAIN_BUILD = os.path.realpath(os.environ.get("FENNICK_BUILD_DIR") or os.path.join(REPO, "build", "windows"))
WORK = os.path.join(MAIN_BUILD, "page-pictures")
os.environ["FENNICK_BUILD_DIR"] = os.path.join(WORK, "run")
os.environ["FENNICK_DETACH_OUTPUT"] = "1"
sys.path.insert(0, os.path.join(REPO, "tools"))
import fennick_harness as h  # noqa: E402
import throwaway_prefix  # noqa: E402

OUT = os.path.join(REPO, "docs", "screenshots")
WM_CLOSE, WM_COMMAND = 0x10, 0x111
IDCANCEL, LINKS, SHOW_ACTIONS = 2, 1065, 40003
# (language module name in the pictures' names, CurLang, caption of the links dialog)
LANGUAGES = [("english", "ENG", "Application links"), ("french", "FRF", "Liens aux applications"),
             ("dutch", "DUB", "Programmakoppelingen"), ("italiano", "ITI", "Profili per applicazione")]
# The example of the starter link file, made real.
LINK = "[FKSettings]\r\nNrKnownApps=0\r\nNrKnownProfiles=1\r\nDefaultProfile=\r\n" \
       "[Prof1]\r\nType=2\r\nName=notepad.exe\r\nProfile=Reading\r\n"


def windows_path(unix_path):
    return "C:\\" + os.path.relpath(unix_path, os.path.join(h.PREFIX, "drive_c")).replace("/", "\\")


def keep(window, name):
    """The window with its frame and caption, which lie just outside its client area."""
    left, top, right, bottom = [int(v) for v in h.probe("client-rect", window)[1].split()]
    out = os.path.join(OUT, name + ".png")
    # A dialog just created may not be on the screen yet (the bare X root, black, would be kept).
    for _ in range(40):
        shot = h.screenshot(name)
        if h.pixel(shot, (left + right) // 2, top + 4) != (0, 0, 0):
            break
        time.sleep(0.25)
    else:
        raise AssertionError("%s never showed on the screen" % name)
    subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (right - left + 8, bottom - top + 30,
                                                                            left - 4, top - 26),
                    "+repage", "-strip", "PNG8:" + out], check=True, timeout=30)
    print(out)


def start(folder, program):
    return h.Started([h.WINE_RUN, windows_path(os.path.join(folder, program))], env=h.session_env(),
                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                     start_new_session=True)


def close(process, window):
    h.probe("post", window, WM_CLOSE, 0, 0)
    process.wait(timeout=30)


def cancel(dialog):
    h.probe("click", dialog, IDCANCEL)
    h.probe("wait-gone", dialog, 20000)


def keep_and_cancel(dialog, name):
    keep(dialog, name)
    cancel(dialog)


def key_mapper_pictures(folder):
    for language, code, links_caption in LANGUAGES:
        h.reg("add", r"HKCU\SOFTWARE\Velmora\Orrin2Key", "/v", "CurLang", "/t", "REG_SZ", "/d", code, "/f")
        h.reg("delete", r"HKCU\SOFTWARE\Velmora\Orrin2Key", "/v", "CurProfile", "/f")
        mapper = start(folder, "FennickKey.exe")
        try:
            window = h.wait_window("FennickKey", "FennickKey", 30000)
            h.check(window, "the key mapper did not start")
            settings = h.wait_dialog("-", 30000)  # the only dialog: its caption is the language's
            keep(settings, "getting_started_key_mapper_" + language)
            h.probe("click", settings, LINKS)
            links = h.wait_dialog(links_caption, 30000)
            keep_and_cancel(links, "getting_started_links_" + language)
            cancel(settings)
            close(mapper, window)
        finally:
            if mapper.poll() is None:
                mapper.kill()


def show_picture(folder):
    h.reg("add", r"HKCU\SOFTWARE\Velmora\Fennick", "/v", "FNType", "/t", "REG_DWORD", "/d", "0", "/f")
    show = start(folder, "FennickShow.exe")
    try:
        window = h.wait_window("FennickShow", "FennickShow - First steps", 30000)
        h.check(window, "the show did not start on \"First steps\"")
        h.probe("post", window, WM_COMMAND, SHOW_ACTIONS, 0)
        actions = h.wait_dialog("Azioni sensori", 30000)
        keep_and_cancel(actions, "getting_started_show")
        close(show, window)
    finally:
        if show.poll() is None:
            show.kill()


def main():
    version = sys.argv[1] if len(sys.argv) > 1 else "1.0.0"
    portable = os.path.join(MAIN_BUILD, "release", "Fennick-%s-portable.zip" % version)
    throwaway_prefix.fresh_prefix(MAIN_BUILD, WORK)
    try:
        with zipfile.ZipFile(portable) as archive:
            archive.extractall(os.path.join(h.PREFIX, "drive_c"))
        folder = os.path.join(h.PREFIX, "drive_c", "Fennick-" + version)
        with open(os.path.join(folder, "fkconfig.ini"), "w", newline="") as out:
            out.write(LINK)
        key_mapper_pictures(folder)
        show_picture(folder)
    finally:
        throwaway_prefix.stop_wineserver(os.path.join(WORK, "run"))


if __name__ == "__main__":
    main()
