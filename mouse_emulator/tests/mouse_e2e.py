"""FennickMouse end to end: the real program, swibus.dll and swibus.exe, the virtual device on COM1,
watched from outside through a probe window (button messages, pointer positions), the registry and
screenshots."""
import os
import subprocess
import threading
import time

import fennick_harness as h

FENNICK_KEY = r"HKCU\SOFTWARE\Velmora\Fennick"
FENNICK_KEY_LM = r"HKLM\SOFTWARE\Velmora\Fennick"
MOUSE_KEY = FENNICK_KEY + r"\FennickMouse"
WM_CLOSE, WM_SYSCOMMAND, BM_GETCHECK = 0x10, 0x112, 0xF0
IDM_OPTIONS = 2000
IDOK, IDCANCEL = 1, 2
IDC_USE_BAR, IDC_INCREASE_SPEED, IDC_MODEL_USB, IDC_MODEL_SERIAL, IDC_PORT_SETTINGS = 1027, 1030, 1031, 1032, 1033
DOUBLE_CLICK, RIGHT_CLICK, DRAG = 0, 1, 2
# Pixels travelled after each tick of a held direction with the speed-up on.
STEPS = [4] * 7 + [5, 5, 6, 8, 10, 13]
SCREENSHOTS = os.environ.get("FENNICK_SCREENSHOTS") or h.ARTIFACTS
LANGUAGES = {"english": "en_US.UTF-8", "dutch": "nl_NL.UTF-8", "italian": "it_IT.UTF-8"}


def distance_after(ticks):
    return sum(STEPS[:ticks]) + 20 * max(0, ticks - len(STEPS))


def settings(model=1, mouse=None, machine_model=None):
    """A known registry state: the mouse emulator's values (none: no key at all), COM1 for the box."""
    h.reg_delete_key(FENNICK_KEY)
    h.reg("delete", FENNICK_KEY_LM, "/v", "FNType", "/f")
    h.port_settings_on(1)
    if model is not None:
        h.reg_set_dword(FENNICK_KEY, "FNType", model)
    if machine_model is not None:
        h.reg_set_dword(FENNICK_KEY_LM, "FNType", machine_model)
    for name, value in (mouse or {}).items():
        h.reg_set_dword(MOUSE_KEY, name, value)


class Probe:
    """The probe window: every line it prints, with the time it arrived."""

    def __init__(self):
        self.process = h.start("pointer_probe.exe", "window")
        self.lines = []
        self.lock = threading.Lock()
        first = self.process.stdout.readline().decode("latin-1").split()
        h.check(first and first[0] == "ready", "the probe window did not come up: %r" % first)
        self.window = int(first[1])
        self.button = [int(v) for v in first[2:6]]
        self.client = [int(v) for v in first[6:10]]
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in iter(self.process.stdout.readline, b""):
            with self.lock:
                self.lines.append((time.monotonic(), raw.decode("latin-1").split()))

    def mark(self):
        with self.lock:
            return len(self.lines)

    def since(self, mark, kinds=None):
        with self.lock:
            return [words for _, words in self.lines[mark:] if kinds is None or words[0] in kinds]

    def positions(self, mark):
        """(arrival time, x, y) of every pointer position reported after the mark."""
        with self.lock:
            return [(t, int(w[1]), int(w[2])) for t, w in self.lines[mark:] if w[0] == "pos"]

    def wait_for(self, mark, kind, count=1, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.since(mark, (kind,))
            if len(found) >= count:
                return found
            time.sleep(0.05)
        return self.since(mark, (kind,))

    def close(self):
        h.probe("post", self.window, WM_CLOSE, 0, 0)
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()


def set_pointer(x, y):
    h.run("pointer_probe.exe", "setpos", x, y, check=True)


def window_rect(hwnd):
    code, text = h.run("pointer_probe.exe", "rect", hwnd)
    h.check(code == 0, "no window rectangle for %s" % hwnd)
    return [int(v) for v in text.split()]


class Mouse:
    """A FennickMouse.exe process and its bar window."""

    def __init__(self, env_language=None):
        saved = os.environ.get("LC_ALL")
        if env_language:
            os.environ["LC_ALL"] = env_language
        try:
            self.process = h.start("FennickMouse.exe")
        finally:
            if env_language:
                if saved is None:
                    del os.environ["LC_ALL"]
                else:
                    os.environ["LC_ALL"] = saved
        self.bar = h.wait_window("KeyWndClass", "FennickMouse")
        h.check(self.bar, "the bar window did not appear")
        self.buttons = [int(line.split()[0]) for line in h.probe("children", self.bar)[1].splitlines()]

    def click_bar_button(self, button):
        code, _ = h.probe("click", self.bar, button)
        h.check(code == 0, "bar button %d not found" % button)

    def checked(self, button):
        return h.probe("send", self.buttons[button], BM_GETCHECK, 0, 0)[1] == "1"

    def options(self):
        h.probe("post", self.bar, WM_SYSCOMMAND, IDM_OPTIONS, 0)
        dialog = h.wait_window("#32770", "Opties")
        h.check(dialog, "the options dialog did not open")
        return dialog

    def close(self):
        h.probe("post", self.bar, WM_CLOSE, 0, 0)
        try:
            code = self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise AssertionError("the mouse emulator did not end after WM_CLOSE")
        h.check(code == 0, "the mouse emulator exited with %s" % code)


def wait_until_listening(device, probe, timeout=45.0):
    """The bar shows before the server has opened the port: nudge right until the pointer answers.
    Bounded by time, not by a count of nudges: where each program start takes seconds (emulated
    Wine), a count runs out while the server is still starting."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        set_pointer(640, 500)
        mark = probe.mark()
        device.press("right", 150)
        time.sleep(0.4)
        if any(int(words[1]) > 640 for words in probe.since(mark, ("pos",))):
            return
    raise AssertionError("the mouse emulator never moved the pointer for the box in %.0f s" % timeout)


class Running:
    """One serial-model mouse emulator on the virtual box with the probe window, shared by the tests."""
    device = probe = mouse = None

    @classmethod
    def get(cls):
        # The probe is started by the first case that needs it, so when that case fails the
        # harness ends it with the rest of what the case started: start it again rather than let
        # every later case watch a window that is gone.
        if cls.probe is not None and cls.probe.process.poll() is not None:
            cls.probe = None
        if cls.mouse is None or cls.mouse.process.poll() is not None or cls.probe is None:
            if cls.device is None:
                h.release_port_library()
                settings(model=1, mouse={"Method": 1, "WindowLeft": 0, "WindowTop": 0})
                cls.device = h.VirtualDevice(com=1).__enter__()
            if cls.probe is None:
                cls.probe = Probe()
            if cls.mouse is None or cls.mouse.process.poll() is not None:
                cls.mouse = Mouse()
            wait_until_listening(cls.device, cls.probe)
        return cls.device, cls.probe, cls.mouse

    @classmethod
    def stop_mouse(cls):
        if cls.mouse is not None and cls.mouse.process.poll() is None:
            try:
                cls.mouse.close()
            except AssertionError:
                cls.mouse.process.kill()
        cls.mouse = None

    @classmethod
    def stop(cls):
        cls.stop_mouse()
        if cls.probe is not None:
            cls.probe.close()
        if cls.device is not None:
            cls.device.__exit__(None, None, None)
        cls.device = cls.probe = None


def probe_spot(probe):
    """A point in the probe window's client area, away from its button."""
    left, top, right, bottom = probe.client
    return left + 300, top + 200


def fire_with_mode(button, at=None):
    """Picks a click mode on the bar, puts the pointer at `at` (default: a spot in the probe window)
    and presses Fire once. Returns the box, the probe, the bar, the probe's mark before the press
    and the point."""
    device, probe, mouse = Running.get()
    mouse.click_bar_button(button)
    h.check(mouse.checked(button), "bar button %d did not stay pressed" % button)
    x, y = at or probe_spot(probe)
    set_pointer(x, y)
    mark = probe.mark()
    device.press("fire", 100)
    return device, probe, mouse, mark, (x, y)


def test_held_right_moves_by_the_steps_the_ticks_allow():
    device, probe, _ = Running.get()
    start_x, start_y = 200, 600
    set_pointer(start_x, start_y)
    time.sleep(0.2)
    mark = probe.mark()
    held = time.monotonic()
    device.control.command("HOLD right")
    time.sleep(1.2)
    device.control.command("RELEASE right")
    time.sleep(0.5)
    seen = probe.positions(mark)
    h.check(seen, "the pointer did not move while Right was held")
    valid = {distance_after(n) for n in range(200)}
    for _, x, y in seen:
        h.check(y == start_y, "moving right changed y: %s" % ([p[1:] for p in seen],))
        h.check(x - start_x in valid, "%d px is not a whole number of steps: %s" % (x - start_x, [p[1:] for p in seen]))
    travelled = seen[-1][1] - start_x
    # The timer fires late, never early: between the press and the last position seen no more ticks
    # can have fired than that time allows (one more for where the period boundaries fall).
    ticks_allowed = int((seen[-1][0] - held) / 0.05) + 1
    # 1.2 s held gives room for 24 ticks; eight of them reach the first faster step.
    h.check(distance_after(8) <= travelled <= distance_after(ticks_allowed),
            "travelled %d px where %d ticks allow at most %d" % (travelled, ticks_allowed, distance_after(ticks_allowed)))
    time.sleep(0.3)
    h.check(probe.positions(mark)[-1][1] == seen[-1][1], "the pointer moved on after the release")


def test_fire_clicks_the_button_under_the_pointer():
    device, probe, _ = Running.get()
    left, top, right, bottom = probe.button
    set_pointer((left + right) // 2, (top + bottom) // 2)
    mark = probe.mark()
    device.press("fire", 100)
    h.check(probe.wait_for(mark, "clicked"), "the probe's button was not clicked: %s" % probe.since(mark))


def test_double_click_mode_double_clicks_and_clears_the_mode():
    _, probe, mouse, mark, (x, y) = fire_with_mode(DOUBLE_CLICK)
    h.check(probe.wait_for(mark, "dblclk"), "no double click: %s" % probe.since(mark))
    time.sleep(0.3)
    clicks = probe.since(mark, ("down", "up", "dblclk"))
    h.check(clicks == [["down", str(x), str(y)], ["up", str(x), str(y)], ["dblclk", str(x), str(y)],
                       ["up", str(x), str(y)]], "double click seen as %s" % clicks)
    h.check(not mouse.checked(DOUBLE_CLICK), "the mode stayed selected after the click")


def test_right_click_mode_right_clicks():
    _, probe, _, mark, (x, y) = fire_with_mode(RIGHT_CLICK)
    probe.wait_for(mark, "rup")
    time.sleep(0.3)
    clicks = probe.since(mark, ("down", "up", "rdown", "rup"))
    h.check(clicks == [["rdown", str(x), str(y)], ["rup", str(x), str(y)]], "right click seen as %s" % clicks)


def test_drag_mode_picks_up_at_a_and_puts_down_at_b():
    _, probe, _ = Running.get()
    spot = probe_spot(probe)
    device, probe, mouse, mark, (ax, ay) = fire_with_mode(DRAG, at=(spot[0] - 200, spot[1]))
    h.check(probe.wait_for(mark, "down"), "drag mode did not press the button")
    h.check(mouse.checked(DRAG), "drag mode was not kept for the second press")
    device.control.command("HOLD right")
    time.sleep(0.6)
    device.control.command("RELEASE right")
    time.sleep(0.3)
    device.press("fire", 100)
    ups = probe.wait_for(mark, "up")
    h.check(ups, "the drag was never put down: %s" % probe.since(mark))
    downs = probe.since(mark, ("down",))
    h.check(downs[0] == ["down", str(ax), str(ay)], "picked up at %s, not at %d,%d" % (downs[0], ax, ay))
    bx = int(ups[-1][1])
    h.check(bx > ax and ups[-1][2] == str(ay), "put down at %s, not to the right of %d,%d" % (ups[-1], ax, ay))
    h.check(not mouse.checked(DRAG), "drag mode stayed selected after the drop")


def test_closing_in_drag_mode_leaves_no_button_down():
    _, probe, mouse, mark, _ = fire_with_mode(DRAG)
    h.check(probe.wait_for(mark, "down"), "drag mode did not press the button")
    time.sleep(0.3)
    h.check(not probe.since(mark, ("up",)), "the button came up before the program ended")
    mouse.close()
    h.check(probe.wait_for(mark, "up"), "the left button was left down when the program ended")


def test_second_instance_exits_with_code_6():
    Running.get()
    h.check_second_instance_refused("FennickMouse.exe")


def test_options_dialog_changes_the_bar_and_the_speed_up():
    Running.stop_mouse()
    settings(model=1, mouse={"Method": 1, "WindowLeft": 120, "WindowTop": 80})
    mouse = Mouse()
    dialog = mouse.options()
    for control in (IDC_USE_BAR, IDC_INCREASE_SPEED):
        h.probe("click", dialog, control)
    h.probe("click", dialog, IDC_MODEL_USB)
    time.sleep(0.3)
    h.probe("click", dialog, IDOK)
    h.check(h.probe("wait-gone", dialog, 10000)[0] == 0, "OK did not close the dialog")
    left, top, right, bottom = window_rect(mouse.bar)
    h.check(right - left == 0 and bottom - top == 0, "the bar was not hidden: %s" % ([left, top, right, bottom],))
    mouse.close()
    h.check(h.reg_get_dword(MOUSE_KEY, "Method") == 0, "Method not stored as 0")
    h.check(h.reg_get_dword(MOUSE_KEY, "IncreaseSpeed") == 0, "IncreaseSpeed not stored as 0")
    h.check(h.reg_get_dword(FENNICK_KEY, "FNType") == 0, "FNType not stored as 0 (USB)")
    h.check([h.reg_get_dword(MOUSE_KEY, v) for v in ("WindowLeft", "WindowTop")] == [120, 80],
            "the hidden bar's place was not kept")

    mouse = Mouse()  # shown again from the dialog: back where it was
    dialog = mouse.options()
    h.probe("click", dialog, IDC_USE_BAR)
    h.probe("click", dialog, IDOK)
    h.probe("wait-gone", dialog, 10000)
    left, top, right, bottom = window_rect(mouse.bar)
    h.check([left, top] == [120, 80] and right - left > 100, "the bar came back at %s" % ([left, top, right, bottom],))
    mouse.close()


def test_cancel_keeps_the_dwell_method():
    settings(model=1, mouse={"Method": 2})
    mouse = Mouse()
    dialog = mouse.options()
    h.probe("click", dialog, IDC_INCREASE_SPEED)
    h.probe("click", dialog, IDCANCEL)
    h.check(h.probe("wait-gone", dialog, 10000)[0] == 0, "Cancel did not close the dialog")
    mouse.close()
    h.check(h.reg_get_dword(MOUSE_KEY, "Method") == 2, "Method 2 lost through Cancel")
    h.check(h.reg_get_dword(MOUSE_KEY, "IncreaseSpeed") == 1, "Cancel changed the speed-up")


def test_settings_round_trip_through_the_registry():
    cases = [
        ("no key", dict(model=None, mouse=None), [0, 0]),
        ("only Method", dict(model=1, mouse={"Method": 1}), [50, 50]),
    ]
    for name, stored, place in cases:
        settings(**stored)
        mouse = Mouse()
        left, top, right, _ = window_rect(mouse.bar)
        h.check([left, top] == place and right > left, "%s: bar at %s" % (name, [left, top]))
        mouse.close()
        h.check([h.reg_get_dword(MOUSE_KEY, v) for v in ("DwellTime", "CursorInterval", "IncreaseSpeed", "Method")]
                == [2000, 1000, 1, 1], "%s: defaults not written back" % name)
        h.check([h.reg_get_dword(MOUSE_KEY, v) for v in ("WindowLeft", "WindowTop")] == place, name)

    settings(model=None, machine_model=1)
    mouse = Mouse()
    h.check(h.reg_get_dword(FENNICK_KEY, "FNType") == 1, "FNType from HKEY_LOCAL_MACHINE not copied at start-up")
    mouse.close()
    h.reg("delete", FENNICK_KEY_LM, "/v", "FNType", "/f")


def keep_window(shot, name, rect):
    """Crops one window out of a screenshot, into SCREENSHOTS (or to `name` when it is a full path)."""
    os.makedirs(SCREENSHOTS, exist_ok=True)
    left, top, right, bottom = rect
    box = "%dx%d+%d+%d" % (right - left, bottom - top, left, top)
    subprocess.run(["convert", shot, "-crop", box, "+repage", os.path.join(SCREENSHOTS, name)], check=True, timeout=30)


def test_options_dialog_speaks_english_dutch_and_italian():
    expected = {"english": "Use button &bar", "dutch": "Gebruik &knoppenbalk", "italian": "&Visualizza barra pulsanti"}
    for language, locale in LANGUAGES.items():
        settings(model=1, mouse={"Method": 1, "WindowLeft": 0, "WindowTop": 0})
        mouse = Mouse(env_language=locale)
        shot = h.screenshot("mouse_bar_" + language)
        keep_window(shot, "mouse_bar_%s.png" % language, window_rect(mouse.bar))
        dialog = mouse.options()
        text = h.window_text(dialog, IDC_USE_BAR)
        time.sleep(0.3)
        shot = h.screenshot("mouse_options_" + language)
        keep_window(shot, "mouse_options_%s.png" % language, window_rect(dialog))
        h.probe("click", dialog, IDCANCEL)
        h.probe("wait-gone", dialog, 10000)
        mouse.close()
        h.check(text == expected[language], "%s (%s): the bar box reads %r" % (language, locale, text))


def main():
    h.main(TESTS, cleanup=Running.stop)


TESTS = [
    test_held_right_moves_by_the_steps_the_ticks_allow,
    test_fire_clicks_the_button_under_the_pointer,
    test_double_click_mode_double_clicks_and_clears_the_mode,
    test_right_click_mode_right_clicks,
    test_drag_mode_picks_up_at_a_and_puts_down_at_b,
    test_second_instance_exits_with_code_6,
    test_closing_in_drag_mode_leaves_no_button_down,
    test_options_dialog_changes_the_bar_and_the_speed_up,
    test_cancel_keeps_the_dwell_method,
    test_settings_round_trip_through_the_registry,
    test_options_dialog_speaks_english_dutch_and_italian,
]

if __name__ == "__main__":
    main()
