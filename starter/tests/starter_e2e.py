"""The first minute, in a Wine prefix that has never seen the suite. The portable folder, unpacked
with nothing stored: the key mapper started silently with the box types a space into Notepad, the
show started with the box shows the first starter picture. Then, with the settings gone again, a
silent install: the Start menu offers "Getting started" and every starter profile shows all its
commands in the key mapper's settings dialog in English and Italian. Then an install over the
folder keeps the user's own "Space and Enter" and current profile.

  starter_e2e.py VERSION
"""
import os
import subprocess
import sys
import tempfile
import time
import zipfile

MAIN_BUILD = os.path.realpath(os.environ.get("FENNICK_BUILD_DIR") or
                              os.path.join(os.path.dirname(__file__), "..", "..", "build", "windows"))
WORK = os.path.join(MAIN_BUILD, "starter-test")
RUN = os.path.join(WORK, "run")
# The harness works on the build tree it is pointed at: here the throwaway tree of this test.
os.environ["FENNICK_BUILD_DIR"] = RUN
os.environ["FENNICK_DETACH_OUTPUT"] = "1"
import fennick_harness as h  # noqa: E402
import throwaway_prefix  # noqa: E402

VERSION = sys.argv[1]
SETUP = os.path.join(MAIN_BUILD, "release", "FennickSetup-%s.exe" % VERSION)
PORTABLE = os.path.join(MAIN_BUILD, "release", "Fennick-%s-portable.zip" % VERSION)
SETTINGS_KEY = r"HKCU\SOFTWARE\Velmora"
KEY_MAPPER_KEY = SETTINGS_KEY + r"\Orrin2Key"
WM_CLOSE, WM_COMMAND, CB_SETCURSEL, CBN_SELCHANGE = 0x10, 0x111, 0x14E, 1
IDOK, IDCANCEL = 1, 2
OPEN_SETTINGS, ITALIANO = 127, 152
PROFILES, TYPE, TEXT, LIST = 1055, 1000, 1010, 1050
IDC_MODEL_SERIAL = 1048
# What the first starter picture shows: a yellow sun on night blue.
SUN, NIGHT_BLUE = (255, 212, 0), (10, 30, 90)
# The starter profiles as the settings dialog lists them (sorted), and their switches that do
# something, with what row 1 shows in each language.
STARTER_PROFILES = {"Arrows": 5, "Media": 5, "Reading": 5, "Space and Enter": 2}
SPACE = {"ENG": "Space", "ITI": "Spazio"}


# --- a prefix of its own, made from a template once per build tree ---

stop_wineserver = throwaway_prefix.stop_wineserver


def fresh_prefix():
    throwaway_prefix.fresh_prefix(MAIN_BUILD, WORK)


def user_folder(*parts):
    return throwaway_prefix.user_folder(h.PREFIX, *parts)


def install_dir():
    return user_folder("AppData", "Local", "Programs", "Fennick")


def portable_dir():
    return os.path.join(h.PREFIX, "drive_c", "Portable", "Fennick-" + VERSION)


def windows_path(unix_path):
    return "C:\\" + os.path.relpath(unix_path, os.path.join(h.PREFIX, "drive_c")).replace("/", "\\")


def install():
    result = subprocess.run([h.WINE_RUN, SETUP, "/S"], env=h.session_env(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    h.check(result.returncode == 0, "silent install exited %d: %s" % (result.returncode, result.stdout[-2000:]))


def start_from(folder, program, *args):
    """A program started as the Start menu or the Explorer starts it, from another current folder."""
    return h.Started([h.WINE_RUN, windows_path(os.path.join(folder, program))] + list(args),
                     env=h.session_env(), cwd=tempfile.gettempdir(), stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)


def close(process, window, what):
    h.probe("post", window, WM_CLOSE, 0, 0)
    try:
        code = process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        raise AssertionError("%s did not end after WM_CLOSE" % what)
    h.check(code == 0, "%s ended with %s" % (what, code))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def edit_text(edit):
    """The whole text of an edit control, blanks included."""
    code, text = h.run("fennick_probe.exe", "text", edit)
    h.check(code == 0, "no edit control %s" % edit)
    return text[:-1] if text.endswith("\n") else text


def near(seen, colour, tolerance=24):
    return all(abs(a - b) <= tolerance for a, b in zip(seen, colour))


def client_centre(window):
    left, top, right, bottom = [int(v) for v in h.probe("client-rect", window)[1].split()]
    return (left + right) // 2, (top + bottom) // 2, (left + 12, top + 12)


class State:
    device = None


# --- the cases, in order: the portable folder, then one installation ---

def test_the_portable_folder_brings_no_settings():
    fresh_prefix()
    with zipfile.ZipFile(PORTABLE) as archive:
        archive.extractall(os.path.dirname(portable_dir()))
    h.check(os.path.exists(os.path.join(portable_dir(), "Space and Enter.bpf")), "no starter profile in the zip")
    h.check(h.reg("query", SETTINGS_KEY)[0] != 0, "settings stored before anything ran")


def test_the_key_mapper_started_silently_types_a_space_into_notepad_from_switch_1():
    State.device = h.VirtualDevice(com=1).__enter__()
    mapper = start_from(portable_dir(), "FennickKey.exe", "-silent")
    notepad = h.Started([h.WINE_RUN, "notepad.exe"], env=h.session_env(), stdin=subprocess.DEVNULL,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        window = h.wait_window("FennickKey", "FennickKey", 30000)
        h.check(window, "the key mapper did not start")
        editor = h.wait_window("Notepad", "-", 30000)
        h.check(editor, "notepad did not open")
        h.check(h.run("key_probe.exe", "front", editor)[0] == 0, "notepad did not come to the front")
        edit = [line.split()[0] for line in h.probe("children", editor)[1].splitlines() if " Edit" in line]
        h.check(edit, "notepad has no edit control")
        # The port opens a moment after the window appears, and a byte sent before that is lost on
        # the line: press until one press has arrived.
        text = ""
        for _ in range(10):
            State.device.press("down", 100)
            if h.eventually(lambda: edit_text(edit[0]) != "", timeout=3):
                text = edit_text(edit[0])
                break
        h.check(text == " ", "switch 1 typed %r into notepad" % text)
        close(mapper, window, "the key mapper")
        links = read(os.path.join(portable_dir(), "fkconfig.ini")).decode("cp1252")
        h.check("; Written by hand, a link" in links and "NrKnownProfiles=0" in links,
                "the link file after the key mapper wrote it: %r" % links)
    finally:
        for process in (notepad, mapper):
            if process.poll() is None:
                process.kill()


def test_the_show_shows_the_first_starter_picture_for_switch_1():
    show = start_from(portable_dir(), "FennickShow.exe")
    try:
        # The one question the show asks at its first start: which box.
        model = h.wait_dialog("Modello Fennick", 30000)
        h.probe("click", model, IDC_MODEL_SERIAL)
        h.probe("click", model, IDOK)
        window = h.wait_window("FennickShow", "FennickShow - First steps", 30000)
        h.check(window, "the show did not start on \"First steps\": %r"
                % h.probe("find", "FennickShow", "-")[1])
        x, y, corner = client_centre(window)
        seen = None
        for _ in range(10):
            State.device.press("down", 100)
            deadline = time.monotonic() + 3
            while time.monotonic() < deadline:
                shot = h.screenshot("starter_show_first_picture")
                seen = (h.pixel(shot, x, y), h.pixel(shot, *corner))
                if near(seen[0], SUN) and near(seen[1], NIGHT_BLUE):
                    break
                time.sleep(0.2)
            if near(seen[0], SUN) and near(seen[1], NIGHT_BLUE):
                break
        h.check(show.poll() is None, "the show ended with exit code %s after switch 1" % show.returncode)
        h.check(near(seen[0], SUN) and near(seen[1], NIGHT_BLUE),
                "after switch 1 the show's centre and corner are %s, not the sun on night blue" % (seen,))
        close(show, window, "the show")
    finally:
        if show.poll() is None:
            show.kill()


def test_a_silent_install_offers_getting_started_in_the_start_menu():
    # As on a machine that never ran the portable folder: nothing stored.
    h.reg("delete", SETTINGS_KEY, "/f")
    install()
    h.check(h.reg("query", KEY_MAPPER_KEY, "/v", "CurProfile")[0] != 0,
            "the installer stored a key mapper profile: the program chooses its own")
    link = user_folder("AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs", "Fennick",
                       "Getting started.lnk")
    h.check(os.path.exists(link), "no \"Getting started\" in the Start menu")
    target = windows_path(os.path.join(install_dir(), "getting-started.html")).lower()
    content = read(link).lower()
    h.check(target.encode() in content or target.encode("utf-16-le") in content,
            "\"Getting started\" does not open %s" % target)
    h.check(b'src="getting_started_key_mapper_english.png"' in read(os.path.join(install_dir(), "getting-started.html")),
            "the English page does not show its picture from beside it")
    h.check(os.path.exists(os.path.join(install_dir(), "getting_started_key_mapper_english.png")),
            "the English page's picture is not installed")


def check_starter_rows(dialog, language):
    """Each starter profile chosen in the list shows a type and a command on every switch it uses."""
    hwnd = dialog
    controls = {}
    for line in h.probe("children", hwnd)[1].splitlines():
        parts = line.split(" ", 3)
        controls.setdefault(int(parts[1]), int(parts[0]))
    empty = []
    for index, (profile, used) in enumerate(sorted(STARTER_PROFILES.items())):
        h.probe("send", controls[PROFILES], CB_SETCURSEL, index, 0)
        h.probe("send", hwnd, WM_COMMAND, (CBN_SELCHANGE << 16) | PROFILES, controls[PROFILES])
        shown = h.window_text(hwnd, PROFILES)
        h.check(shown == profile, "the list shows %r where %r was chosen" % (shown, profile))
        for row in range(used):
            if not h.window_text(hwnd, TYPE + row) or not h.window_text(hwnd, LIST + row):
                empty.append("%s switch %d" % (profile, row + 1))
        if profile == "Space and Enter":
            h.check(h.window_text(hwnd, LIST) == SPACE[language],
                    "switch 1 of Space and Enter reads %r in %s" % (h.window_text(hwnd, LIST), language))
    h.check(not empty, "%s: no command shown for %s" % (language, ", ".join(empty)))


def test_every_starter_profile_shows_its_commands_in_english_and_italian():
    mapper = start_from(install_dir(), "FennickKey.exe")
    try:
        window = h.wait_window("FennickKey", "FennickKey", 30000)
        h.check(window, "the key mapper did not start")
        dialog = h.wait_dialog("FennickKey - Settings", 30000)
        h.check(h.window_text(dialog, PROFILES) == "Space and Enter",
                "a normal start shows %r" % h.window_text(dialog, PROFILES))
        check_starter_rows(dialog, "ENG")
        h.probe("click", dialog, IDCANCEL)
        h.probe("wait-gone", dialog, 20000)
        h.probe("post", window, WM_COMMAND, ITALIANO, 0)
        h.probe("post", window, WM_COMMAND, OPEN_SETTINGS, 0)
        dialog = h.wait_dialog("FennickKey - Impostazioni", 30000)
        check_starter_rows(dialog, "ITI")
        h.probe("click", dialog, IDOK)
        h.probe("wait-gone", dialog, 20000)
        close(mapper, window, "the key mapper")
    finally:
        if mapper.poll() is None:
            mapper.kill()


def test_an_install_over_the_folder_keeps_the_users_space_and_enter_and_current_profile():
    folder = install_dir()
    changed = b"[Button1]\r\nBtCmd=1\r\nBtCmdVal=65\r\nBtCmdText=\r\n"
    with open(os.path.join(folder, "Space and Enter.bpf"), "wb") as out:
        out.write(changed)
    reading = windows_path(os.path.join(folder, "Reading.bpf"))
    h.reg("add", KEY_MAPPER_KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", reading, "/f")
    install()
    h.check(read(os.path.join(folder, "Space and Enter.bpf")) == changed, "the install replaced the user's profile")
    h.check(all(os.path.exists(os.path.join(folder, name + ".bpf")) for name in STARTER_PROFILES),
            "starter profiles missing after the install: %s" % sorted(os.listdir(folder)))
    code, text = h.reg("query", KEY_MAPPER_KEY, "/v", "CurProfile")
    h.check(code == 0 and reading.lower() in text.lower(), "the current profile became %r" % text)


if __name__ == "__main__":
    try:
        h.main([test_the_portable_folder_brings_no_settings,
                test_the_key_mapper_started_silently_types_a_space_into_notepad_from_switch_1,
                test_the_show_shows_the_first_starter_picture_for_switch_1,
                test_a_silent_install_offers_getting_started_in_the_start_menu,
                test_every_starter_profile_shows_its_commands_in_english_and_italian,
                test_an_install_over_the_folder_keeps_the_users_space_and_enter_and_current_profile])
    finally:
        if State.device is not None:
            State.device.__exit__(None, None, None)
        stop_wineserver(RUN)
