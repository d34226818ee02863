"""FennickShow end to end: the real program, swibus.dll and swibus.exe, the virtual box on COM1, pictures
the test makes; watched from outside through screenshots, the window probe, the registry and file opens."""
import ctypes
import os
import struct
import subprocess
import time
import wave

import fennick_harness as h

FENNICK_KEY = r"HKCU\SOFTWARE\Velmora\Fennick"
FENNICK_KEY_LM = r"HKLM\SOFTWARE\Velmora\Fennick"
SHOW_KEY = FENNICK_KEY + r"\Fennickshow"
WM_CLOSE, WM_ENDSESSION, WM_KEYDOWN, WM_KEYUP, WM_COMMAND = 0x10, 0x16, 0x100, 0x101, 0x111
WM_SWITCH_BYTE = 0x8064
VK_ESCAPE, VK_UP, VK_DOWN = 0x1B, 0x26, 0x28
IDOK, IDCANCEL = 1, 2
IDM_OPTIONS, IDM_BUTTON_ACTIONS, IDM_SELECT_MODEL = 40001, 40003, 126
IDC_PROFILE_NEW, IDC_FADE, IDC_FADE_SECONDS, IDC_KEYBOARD = 1050, 1036, 1038, 1046
IDC_MODEL_SERIAL = 1048
SCREENSHOTS = os.environ.get("FENNICK_SCREENSHOTS") or h.ARTIFACTS

BACKGROUND = (0, 128, 128)
RED, GREEN, BLUE, YELLOW = (220, 20, 20), (20, 200, 20), (30, 30, 220), (250, 230, 0)
FRAME, LINE, INSIDE = (0, 0, 0), (255, 255, 0), (200, 0, 200)
PROFILE = "e2e_show"
# (switch, slot file, colour, width, height): one picture format per switch.
PICTURES = [("down", "e2e_show_red.bmp", RED, 200, 150),
            ("up", "e2e_show_green.gif", GREEN, 160, 120),
            ("right", "e2e_show_blue.jpg", BLUE, 240, 180)]
BIG = "e2e_show_big.bmp"
BOTH = "e2e_show_yellow.bmp"
SOUND = "e2e_show_bell.wav"


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def bmp_bytes(width, height, colour_at):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = colour_at(x, y)
            line += bytes((b, g, r))
        rows.append(bytes(line) + b"\0" * (stride - len(line)))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    return b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) + header + data


def write_picture(name, width, height, colour):
    """A one-colour picture; GIF and JPEG are converted from a BMP by ImageMagick."""
    path = os.path.join(h.BIN, name)
    data = bmp_bytes(width, height, lambda x, y: colour)
    if name.endswith(".bmp"):
        open(path, "wb").write(data)
        return path
    source = path + ".src.bmp"
    open(source, "wb").write(data)
    subprocess.run(["convert", source, "-quality", "95", path], check=True, timeout=60)
    os.remove(source)
    return path


def write_cropping_picture(width, height, margin=50):
    """Black frame `margin` wide, a two-pixel yellow line just inside it, magenta within: when the show
    crops exactly `margin` on every side, every edge of the window shows the yellow line."""
    def colour(x, y):
        edge = min(x, y, width - 1 - x, height - 1 - y)
        if edge < margin:
            return FRAME
        if edge < margin + 2:
            return LINE
        return INSIDE
    open(os.path.join(h.BIN, BIG), "wb").write(bmp_bytes(width, height, colour))


def write_sound():
    with wave.open(os.path.join(h.BIN, SOUND), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(8000)
        out.writeframes(b"\0\0" * 800)


def write_show_profile(name, slots):
    """bin/<name>.bd2 with one (action, first text, second text) per switch."""
    lines = []
    for n, (action, first, second) in enumerate(slots, start=1):
        lines += ["[Button%d]" % n, "BtCmd=%d" % action, "BtCmdText1=" + first, "BtCmdText2=" + second]
    with open(os.path.join(h.BIN, name + ".bd2"), "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


def write_profile():
    write_show_profile(PROFILE, [(1, PICTURES[0][1], ""), (1, PICTURES[1][1], ""), (1, PICTURES[2][1], ""),
                                 (1, BIG, ""), (4, BOTH, SOUND)])


def remove_profiles():
    for name in os.listdir(h.BIN):
        if name.endswith(".bd2") or name.startswith("e2e_show_"):
            os.remove(os.path.join(h.BIN, name))


def settings(model=None, keyboard=None, profile=PROFILE):
    """A known registry state: COM1 with the default codes, a teal background, the test's profile."""
    h.release_port_library()
    h.reg_delete_key(FENNICK_KEY)
    h.reg("delete", FENNICK_KEY_LM, "/v", "FNType", "/f")
    h.port_settings_on(1)
    if model is not None:
        h.reg_set_dword(FENNICK_KEY, "FNType", model)
    r, g, b = BACKGROUND
    h.reg_set_dword(SHOW_KEY, "BackgroundCol", r | g << 8 | b << 16)
    if keyboard is not None:
        h.reg_set_dword(SHOW_KEY, "EnableKeyb", keyboard)
    h.reg("add", SHOW_KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d",
          windows_path(os.path.join(h.BIN, profile + ".bd2")), "/f")


class FileOpens:
    """Counts opens of files through inotify: what the show read, seen from outside."""
    IN_OPEN = 0x20

    def __init__(self, *paths):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK)
        h.check(self.fd >= 0, "inotify unavailable")
        self.watches = {}
        for path in paths:
            wd = self.libc.inotify_add_watch(self.fd, path.encode(), self.IN_OPEN)
            h.check(wd >= 0, "cannot watch " + path)
            self.watches[wd] = path
        self.counts = {path: 0 for path in paths}

    def poll(self):
        while True:
            try:
                data = os.read(self.fd, 4096)
            except BlockingIOError:
                return self.counts
            offset = 0
            while offset < len(data):
                wd, mask, _, length = struct.unpack_from("iIII", data, offset)
                offset += 16 + length
                if mask & self.IN_OPEN and wd in self.watches:
                    self.counts[self.watches[wd]] += 1

    def reset(self):
        self.poll()
        self.counts = {path: 0 for path in self.counts}

    def close(self):
        os.close(self.fd)


class Show(h.Program):
    """A FennickShow.exe process started in bin/ and its main window."""

    def __init__(self, title="FennickShow - " + PROFILE, wait=True):
        super().__init__("FennickShow.exe", "FennickShow", title, wait)

    def key(self, vk):
        self.post(WM_KEYDOWN, vk)
        self.post(WM_KEYUP, vk)


def near(seen, colour, tolerance=24):
    return all(abs(a - b) <= tolerance for a, b in zip(seen, colour))


def wait_pixel(point, colour, name, timeout=10.0, tolerance=0):
    deadline = time.monotonic() + timeout
    while True:
        shot = h.screenshot(name)
        seen = h.pixel(shot, *point)
        if near(seen, colour, tolerance) or time.monotonic() > deadline:
            return shot, seen
        time.sleep(0.2)


def centre(rect):
    left, top, right, bottom = rect
    return (left + (right - left) // 2, top + (bottom - top) // 2)


wait_dialog = h.wait_dialog


def keep(path, name, rect, frame=True):
    """Keeps a window (its client area, and frame and caption with `frame`) for the documentation."""
    os.makedirs(SCREENSHOTS, exist_ok=True)
    left, top, right, bottom = rect
    if frame:
        box = "%dx%d+%d+%d" % (right - left + 8, bottom - top + 30, max(0, left - 4), max(0, top - 26))
    else:
        box = "%dx%d+%d+%d" % (right - left, bottom - top, left, top)
    subprocess.run(["convert", path, "-crop", box, "+repage", os.path.join(SCREENSHOTS, name)], check=True,
                   timeout=30)


def keep_dialog(dialog, name):
    code, text = h.probe("client-rect", dialog)
    h.check(code == 0, "no dialog rectangle")
    keep(h.screenshot(name), name + ".png", [int(v) for v in text.split()])


def dismiss_port_error():
    """The port monitor reports a failed serial read with a message box "Error" ("<CE1-n>") and then
    reopens the port; that is its matter, not the show's, but the box covers the show's pixels. Note
    it in the output and close it; True when there was one."""
    _, text = h.probe("find", "#32770", "Error")
    hwnd = int(text.splitlines()[-1]) if text.strip() else 0
    if not hwnd:
        return False
    _, children = h.probe("children", hwnd)
    print("NOTE: the port monitor showed a read error box: %s" % " ".join(children.split()), flush=True)
    h.probe("click", hwnd, IDOK)
    h.probe("wait-gone", hwnd, 10000)
    return True


def press_for(device, switch, point, colour, name, tolerance=0):
    """Presses a switch on the box until the expected colour shows (a press during the port
    monitor's reopening after a read error is lost on the line)."""
    for _ in range(6):
        device.press(switch, 50)
        shot, seen = wait_pixel(point, colour, name, timeout=5, tolerance=tolerance)
        if near(seen, colour, tolerance) or not dismiss_port_error():
            return shot, seen
        time.sleep(1.0)
    return shot, seen


def wait_until_listening(device, point):
    """The window shows before the server has opened the port, and bytes sent before that are
    lost on the line: press until the first picture answers once."""
    for _ in range(15):
        device.press("down", 50)
        _, seen = wait_pixel(point, RED, "show_warming_up", timeout=1.5)
        if seen == RED:
            return
        dismiss_port_error()
    raise AssertionError("the show never reacted to the box")


class Running:
    """One serial-model show on the virtual box, shared by the tests that only use it."""
    device = None
    show = None

    @classmethod
    def get(cls):
        if cls.show is None or cls.show.process.poll() is not None:
            cls.stop()
            remove_profiles()
            for _, name, colour, width, height in PICTURES:
                write_picture(name, width, height, colour)
            write_picture(BOTH, 120, 90, YELLOW)
            write_sound()
            write_profile()
            settings(model=1)
            cls.device = h.VirtualDevice(com=1).__enter__()
            cls.show = Show()
            wait_until_listening(cls.device, centre(cls.show.client_rect()))
        return cls.device, cls.show

    @classmethod
    def stop(cls):
        if cls.show is not None:
            cls.show.__exit__(None, None, None)
        if cls.device is not None:
            cls.device.__exit__(None, None, None)
        cls.device = cls.show = None


def check_placed(shot, rect, colour, width, height, tolerance):
    """The picture's pixels just inside each edge, the background just outside."""
    left, top, right, bottom = rect
    x0 = left + (right - left - width) // 2
    y0 = top + (bottom - top - height) // 2
    cx, cy = x0 + width // 2, y0 + height // 2
    inside = [(x0 + 3, cy), (x0 + width - 4, cy), (cx, y0 + 3), (cx, y0 + height - 4)]
    outside = [(x0 - 3, cy), (x0 + width + 2, cy), (cx, y0 - 3), (cx, y0 + height + 2)]
    for point in inside:
        seen = h.pixel(shot, *point)
        h.check(near(seen, colour, tolerance), "picture pixel %s is %s, not %s" % (point, seen, colour))
    for point in outside:
        seen = h.pixel(shot, *point)
        h.check(seen == BACKGROUND, "background pixel %s is %s" % (point, seen))


def test_each_format_shows_at_natural_size_centred_on_the_background():
    device, show = Running.get()
    rect = show.client_rect()
    for switch, name, colour, width, height in PICTURES:
        tolerance = 12 if name.endswith(".jpg") else 0
        shot, seen = press_for(device, switch, centre(rect), colour, "show_" + switch, tolerance=tolerance)
        h.check(near(seen, colour, tolerance), "%s: centre is %s, not %s" % (name, seen, colour))
        check_placed(shot, rect, colour, width, height, tolerance)
        if switch == "down":
            keep(shot, "show_picture.png", rect)


def test_a_larger_picture_is_cropped_equally_on_all_sides():
    device, show = Running.get()
    left, top, right, bottom = show.client_rect()
    write_cropping_picture(right - left + 100, bottom - top + 100)
    shot, seen = press_for(device, "left", (left + 10, top + (bottom - top) // 2), LINE, "show_cropped")
    edges = {"left": (left, (top + bottom) // 2), "right": (right - 1, (top + bottom) // 2),
             "top": ((left + right) // 2, top), "bottom": ((left + right) // 2, bottom - 1)}
    for side, point in edges.items():
        h.check(h.pixel(shot, *point) == LINE, "%s edge shows %s, not the line" % (side, h.pixel(shot, *point)))
    for side, (x, y) in edges.items():
        inner = (x + (2 if side == "left" else -2 if side == "right" else 0),
                 y + (2 if side == "top" else -2 if side == "bottom" else 0))
        h.check(h.pixel(shot, *inner) == INSIDE, "%s edge: %s inside the line" % (side, h.pixel(shot, *inner)))


def test_a_repeated_make_of_picture_and_sound_plays_again_without_redrawing():
    device, show = Running.get()
    picture, sound = os.path.join(h.BIN, BOTH), os.path.join(h.BIN, SOUND)
    opens = FileOpens(picture, sound)
    try:
        _, seen = press_for(device, "fire", centre(show.client_rect()), YELLOW, "show_both")
        h.check(seen == YELLOW, "the picture of switch 5 did not show: %s" % (seen,))
        deadline = time.monotonic() + 10
        while opens.poll()[sound] == 0 and time.monotonic() < deadline:
            time.sleep(0.1)
        h.check(opens.counts[sound] >= 1, "the first make did not play the sound")
        h.check(opens.counts[picture] >= 1, "the first make did not read the picture")
        # The covering child's repaint reads the picture file too: wait until the opens stop.
        settled, deadline = dict(opens.poll()), time.monotonic() + 10
        while time.monotonic() < deadline:
            time.sleep(0.5)
            if opens.poll() == settled:
                break
            settled = dict(opens.counts)
        opens.reset()
        device.press("fire", 50)
        deadline = time.monotonic() + 10
        while opens.poll()[sound] == 0 and time.monotonic() < deadline:
            time.sleep(0.1)
        # A redraw would read the picture before the sound starts: by now it would show.
        counts = opens.poll()
        h.check(counts[sound] >= 1, "the repeated make did not play the sound again")
        h.check(counts[picture] == 0, "the repeated make read the picture again (%d opens)" % counts[picture])
        shot = h.screenshot("show_both_again")
        h.check(h.pixel(shot, *centre(show.client_rect())) == YELLOW, "the picture went away")
    finally:
        opens.close()


def options(show, action):
    show.post(WM_COMMAND, IDM_OPTIONS)
    dialog = wait_dialog("Opzioni")
    action(dialog)
    h.probe("click", dialog, IDOK)
    h.probe("wait-gone", dialog, 10000)


def test_arrow_keys_work_with_keyboard_access_and_do_nothing_without():
    device, show = Running.get()
    point = centre(show.client_rect())
    green = os.path.join(h.BIN, PICTURES[1][1])
    press_for(device, "fire", point, YELLOW, "show_keys")
    show.key(VK_DOWN)
    _, seen = wait_pixel(point, RED, "show_key_down")
    h.check(seen == RED, "Down arrow did not act as switch 1: %s" % (seen,))

    def untick_keyboard(dialog):
        keep_dialog(dialog, "show_optionsbox")
        h.probe("click", dialog, IDC_KEYBOARD)
    options(show, untick_keyboard)
    opens = FileOpens(green)
    try:
        show.key(VK_UP)
        # Posted after the key, so handled after it: once blue shows, the key has had its turn.
        show.post(WM_SWITCH_BYTE, 0, ord("R"))
        _, seen = wait_pixel(point, BLUE, "show_key_off", tolerance=12)
        h.check(near(seen, BLUE, 12), "the show stopped answering: %s" % (seen,))
        h.check(opens.poll()[green] == 0, "Up arrow acted with keyboard access off")
    finally:
        opens.close()
        options(show, lambda dialog: h.probe("click", dialog, IDC_KEYBOARD))


def screen_size():
    out = subprocess.run(["xdpyinfo"], env=h.session_env(), stdout=subprocess.PIPE, timeout=30).stdout.decode()
    for line in out.splitlines():
        if "dimensions:" in line:
            width, height = line.split()[1].split("x")
            return int(width), int(height)
    return 1280, 1024


def wait_rect(show, predicate, timeout=10.0):
    deadline = time.monotonic() + timeout
    while True:
        rect = show.client_rect()
        if predicate(rect) or time.monotonic() > deadline:
            return rect
        time.sleep(0.2)


def test_escape_toggles_full_screen_and_a_click_leaves_it():
    device, show = Running.get()
    width, height = screen_size()
    normal = show.client_rect()
    full = lambda rect: rect == [0, 0, width, height]  # noqa: E731 - no caption, frame or menu
    show.key(VK_ESCAPE)
    rect = wait_rect(show, full)
    h.check(full(rect), "Esc did not fill the screen: %s" % rect)
    shot, seen = press_for(device, "down", centre(rect), RED, "show_full_screen")
    h.check(seen == RED, "no picture in full screen: %s" % (seen,))
    keep(shot, "show_full_screen.png", rect, frame=False)
    show.key(VK_ESCAPE)
    rect = wait_rect(show, lambda r: r == normal)
    h.check(rect == normal, "Esc did not bring the window back: %s, was %s" % (rect, normal))
    show.key(VK_ESCAPE)
    h.check(full(wait_rect(show, full)), "Esc did not fill the screen again")
    h.xdotool("mousemove", width // 2, height // 2, "click", 1)
    rect = wait_rect(show, lambda r: r == normal)
    h.check(rect == normal, "a click did not leave full screen: %s" % rect)


def test_the_fade_clears_the_picture():
    device, show = Running.get()
    point = centre(show.client_rect())

    def fade_after_one_second(dialog):
        h.probe("click", dialog, IDC_FADE)
        h.check(h.window_text(dialog, IDC_FADE_SECONDS) == "2", "ticking the fade did not fill in 2 seconds")
        h.probe("settext", dialog, IDC_FADE_SECONDS, "1")
    options(show, fade_after_one_second)
    _, seen = press_for(device, "up", point, GREEN, "show_before_fade")
    h.check(seen == GREEN, "no picture before the fade: %s" % (seen,))
    _, seen = wait_pixel(point, BACKGROUND, "show_faded")
    h.check(seen == BACKGROUND, "the picture did not fade: %s" % (seen,))
    options(show, lambda dialog: h.probe("click", dialog, IDC_FADE))  # back to "never"


def test_dialogs_as_the_carer_sees_them():
    _, show = Running.get()
    show.post(WM_COMMAND, IDM_BUTTON_ACTIONS)
    actions = wait_dialog("Azioni sensori")
    keep_dialog(actions, "show_buttondefbox")
    h.probe("click", actions, IDC_PROFILE_NEW)
    name = wait_dialog("Nuovo profilo")
    keep_dialog(name, "show_newlistbox")
    h.probe("click", name, IDCANCEL)
    h.probe("wait-gone", name, 10000)
    h.probe("click", actions, IDCANCEL)
    h.probe("wait-gone", actions, 10000)
    show.post(WM_COMMAND, IDM_SELECT_MODEL)
    model = wait_dialog("Modello Fennick")
    keep_dialog(model, "show_typebox")
    h.probe("click", model, IDOK)
    h.probe("wait-gone", model, 10000)


def test_second_instance_exits_with_code_6():
    Running.get()
    h.check_second_instance_refused("FennickShow.exe")


def test_the_end_of_the_session_keeps_a_change_made_in_the_options():
    """Log-off with the show still open, as it runs all day: no close comes, the change is kept."""
    _, show = Running.get()
    h.check(h.reg_get_dword(SHOW_KEY, "EnableKeyb") is None, "keyboard access stored before the test")
    options(show, lambda dialog: h.probe("click", dialog, IDC_KEYBOARD))
    show.post(WM_ENDSESSION, 1, 0)
    deadline = time.monotonic() + 10
    while h.reg_get_dword(SHOW_KEY, "EnableKeyb") is None and time.monotonic() < deadline:
        time.sleep(0.3)
    h.check(h.reg_get_dword(SHOW_KEY, "EnableKeyb") == 0, "keyboard access turned off was not stored at log-off")
    Running.stop()  # the session is over for this show


def test_without_a_stored_model_the_dialog_asks_first_and_the_answer_is_kept():
    Running.stop()
    settings(model=None)
    with h.VirtualDevice(com=1), Show(wait=False) as show:
        dialog = wait_dialog("Modello Fennick")
        h.probe("click", dialog, IDC_MODEL_SERIAL)
        h.probe("click", dialog, IDOK)
        show.window = h.wait_window("FennickShow", "FennickShow - " + PROFILE)
        h.check(show.window, "the show window did not appear after the model dialog")
        h.check(h.reg_get_dword(FENNICK_KEY, "FNType") == 1, "FNType not stored at once")
        show.close()
    h.check(h.reg_get_dword(FENNICK_KEY, "FNType") == 1, "FNType not kept at shut-down")
    r, g, b = BACKGROUND
    h.check(h.reg_get_dword(SHOW_KEY, "BackgroundCol") == r | g << 8 | b << 16, "background colour not kept")


def test_every_switch_in_turn_with_a_missing_sound_and_an_empty_slot():
    # Slot 4 shows a picture from a subfolder and plays a sound file that is not there; slot 5 is
    # empty. The box presses every switch in turn, ten rounds: the show stays up and each slot with
    # a picture draws it (the empty one clears the screen).
    Running.stop()
    remove_profiles()
    os.makedirs(os.path.join(h.BIN, "pics"), exist_ok=True)
    pictures = [(name, colour, width, height) for _, name, colour, width, height in PICTURES]
    pictures.append((os.path.join("pics", "e2e_show_mag.jpg"), YELLOW, 140, 100))
    for name, colour, width, height in pictures:
        write_picture(name, width, height, colour)
    write_show_profile("e2e_show_turns", [(1, pictures[0][0], ""), (1, pictures[1][0], ""), (1, pictures[2][0], ""),
                                          (4, "pics\\e2e_show_mag.jpg", "e2e_show_ding.wav"), (0, "", "")])
    settings(model=1, profile="e2e_show_turns")
    try:
        with h.VirtualDevice(com=1) as device, Show(title="FennickShow - e2e_show_turns") as show:
            point = centre(show.client_rect())
            wait_until_listening(device, point)
            order = [("down", RED, 0), ("up", GREEN, 0), ("right", BLUE, 12), ("left", YELLOW, 24),
                     ("fire", BACKGROUND, 0)]
            for turn in range(10):
                for switch, colour, tolerance in order:
                    device.press(switch, 50)
                    _, seen = wait_pixel(point, colour, "show_turns", timeout=5, tolerance=tolerance)
                    h.check(show.process.poll() is None, "the show ended at turn %d, switch %s (exit %s)"
                            % (turn + 1, switch, show.process.returncode))
                    h.check(near(seen, colour, tolerance), "turn %d, switch %s: %s, not %s"
                            % (turn + 1, switch, seen, colour))
            show.close()
    finally:
        remove_profiles()
        import shutil
        shutil.rmtree(os.path.join(h.BIN, "pics"), ignore_errors=True)


def stop_and_clean():
    Running.stop()
    remove_profiles()


def main():
    h.main(TESTS, cleanup=stop_and_clean)


TESTS = [
    test_each_format_shows_at_natural_size_centred_on_the_background,
    test_a_larger_picture_is_cropped_equally_on_all_sides,
    test_a_repeated_make_of_picture_and_sound_plays_again_without_redrawing,
    test_arrow_keys_work_with_keyboard_access_and_do_nothing_without,
    test_escape_toggles_full_screen_and_a_click_leaves_it,
    test_the_fade_clears_the_picture,
    test_dialogs_as_the_carer_sees_them,
    test_second_instance_exits_with_code_6,
    test_the_end_of_the_session_keeps_a_change_made_in_the_options,
    test_without_a_stored_model_the_dialog_asks_first_and_the_answer_is_kept,
    test_every_switch_in_turn_with_a_missing_sound_and_an_empty_slot,
]

if __name__ == "__main__":
    main()
