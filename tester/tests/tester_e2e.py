"""FennickTest end to end: the real program, swibus.dll and swibus.exe, the virtual device on COM1,
watched from outside through the window probe, the registry, screenshots and the bytes the device got."""
import os
import subprocess
import time

import fennick_harness as h

FENNICK_KEY = r"HKCU\SOFTWARE\Velmora\Fennick"
FENNICK_KEY_LM = r"HKLM\SOFTWARE\Velmora\Fennick"
TESTER_KEY = FENNICK_KEY + r"\FennickTest"
WM_CLOSE, WM_KEYDOWN, WM_COMMAND = 0x10, 0x100, 0x111
VK_ESCAPE = 0x1B
IDM_JOYSTICK_MODE, IDM_SWITCH_MODE, IDM_QUERY = 40006, 40007, 40009
IDOK = 1
IDC_MODEL_SERIAL, IDC_QUERY_RESULT = 1051, 1048
GREEN, WHITE = (0, 255, 0), (255, 255, 255)
# Cropped window pictures land beside the other artifacts; point FENNICK_SCREENSHOTS at
# docs/screenshots to refresh the documented ones.
SCREENSHOTS = os.environ.get("FENNICK_SCREENSHOTS") or h.ARTIFACTS
# The device's answer as it reaches a client: no "e"/"E" (device events go to the server) and no
# unpaired break codes (the held-code filter drops them), so the text arrives whole.
IDENTITY = "FNK 2.1"


def settings(model=None, joystick_mode=None):
    """A known registry state: the tester's values, COM1 for the port monitor."""
    h.release_port_library()
    h.reg_delete_key(FENNICK_KEY)
    h.reg("delete", FENNICK_KEY_LM, "/v", "FNType", "/f")
    # Port monitor defaults (codes "LlRrUuDdJjDd") whatever earlier tests stored, on COM1.
    h.port_settings_on(1)
    if model is not None:
        h.reg_set_dword(FENNICK_KEY, "FNType", model)
    if joystick_mode is not None:
        h.reg_set_dword(TESTER_KEY, "JoystickMode", joystick_mode)


class Tester(h.Program):
    """A FennickTest.exe process started in bin/ (so "test.wav" is found) and its main window."""

    def __init__(self, wait=True):
        super().__init__("FennickTest.exe", "FennickTest", "FennickTest", wait)


wait_dialog = h.wait_dialog


def keep_screenshot(path, name, rect):
    """Keeps the tester's window (client area plus frame, caption and menu) for the documentation."""
    os.makedirs(SCREENSHOTS, exist_ok=True)
    left, top, right, bottom = rect
    box = "%dx%d+%d+%d" % (right - left + 12, bottom - top + 60, left - 6, top - 54)
    subprocess.run(["convert", path, "-crop", box, "+repage", os.path.join(SCREENSHOTS, name)], check=True,
                   timeout=30)


def circle_centres(rect):
    """Centres of the serial model's two circles, in screen coordinates."""
    left, top, right, bottom = rect
    width, height = right - left, bottom - top
    d = (width - 90) // 5
    t = (height - d) // 2
    l = (width - 2 * d - 50) // 2
    y = top + t + d // 2
    return (left + l + d // 2, y), (left + l + d + 50 + d // 2, y)


def wait_pixel(point, colour, name, timeout=10.0):
    deadline = time.monotonic() + timeout
    while True:
        shot = h.screenshot(name)
        seen = h.pixel(shot, *point)
        if seen == colour or time.monotonic() > deadline:
            return shot, seen
        time.sleep(0.2)


def wait_until_listening(device, point):
    """The window shows before the server has opened the port, and bytes sent before that are
    lost on the line: press and release until the circle answers once."""
    for _ in range(15):
        device.control.command("HOLD down")
        _, seen = wait_pixel(point, GREEN, "tester_warming_up", timeout=1.5)
        device.control.command("RELEASE down")
        if seen == GREEN:
            wait_pixel(point, WHITE, "tester_warming_up", timeout=3)
            return
    raise AssertionError("the tester never reacted to the device")


class Running:
    """One serial-model tester on the virtual device, shared by the tests that only use it."""
    device = None
    tester = None

    @classmethod
    def get(cls):
        if cls.tester is None or cls.tester.process.poll() is not None:
            cls.stop()
            settings(model=1, joystick_mode=0)
            cls.device = h.VirtualDevice(com=1, identity=IDENTITY).__enter__()
            cls.tester = Tester()
            wait_until_listening(cls.device, circle_centres(cls.tester.client_rect())[0])
        return cls.device, cls.tester

    @classmethod
    def stop(cls):
        if cls.tester is not None:
            cls.tester.__exit__(None, None, None)
        if cls.device is not None:
            cls.device.__exit__(None, None, None)
        cls.device = cls.tester = None


def test_held_switch_lights_the_left_circle_until_released():
    device, tester = Running.get()
    left, right = circle_centres(tester.client_rect())
    shot, seen = wait_pixel(left, WHITE, "tester_idle")
    h.check(seen == WHITE, "left circle not white at rest: %s" % (seen,))
    device.control.command("HOLD down")
    shot, seen = wait_pixel(left, GREEN, "tester_lit_circle")
    h.check(seen == GREEN, "left circle not lit while the switch is held: %s" % (seen,))
    h.check(h.pixel(shot, *right) == WHITE, "right circle lit without its switch")
    keep_screenshot(shot, "tester_lit_circle.png", tester.client_rect())
    device.control.command("RELEASE down")
    shot, seen = wait_pixel(left, WHITE, "tester_released")
    h.check(seen == WHITE, "left circle still lit after the release: %s" % (seen,))


def test_joystick_figure_answers_the_boxs_directions_and_fire():
    device, tester = Running.get()
    left, top, right, bottom = tester.client_rect()
    width, height = right - left, bottom - top
    arrow = (height - 120) // 2
    up_shaft = (left + width // 2, top + 20 + arrow - 5)
    centre = (left + width // 2, top + height // 2)
    down_shaft = (left + width // 2, bottom - 20 - arrow + 5)
    try:
        tester.post(WM_COMMAND, IDM_JOYSTICK_MODE)
        _, seen = wait_pixel(up_shaft, WHITE, "tester_joystick_idle")
        h.check(seen == WHITE, "up arrow not drawn white at rest: %s" % (seen,))
        device.control.command("HOLD up")
        device.control.command("HOLD fire")
        shot, seen = wait_pixel(centre, GREEN, "tester_joystick_figure")
        h.check(seen == GREEN, "centre not lit while Fire is held: %s" % (seen,))
        h.check(h.pixel(shot, *up_shaft) == GREEN, "up arrow not lit while Up is held")
        h.check(h.pixel(shot, *down_shaft) == WHITE, "down arrow lit without its switch")
        keep_screenshot(shot, "tester_joystick_figure.png", tester.client_rect())
        device.control.command("RELEASE up")
        device.control.command("RELEASE fire")
        shot, seen = wait_pixel(centre, WHITE, "tester_joystick_released")
        h.check(seen == WHITE and h.pixel(shot, *up_shaft) == WHITE, "shapes still lit after the release")
    finally:
        tester.post(WM_COMMAND, IDM_SWITCH_MODE)


def query_answer(tester):
    tester.post(WM_COMMAND, IDM_QUERY)
    dialog = wait_dialog("Verifica Fennick")
    # Read the edit's text raw: the probe prints it as it is, CR LF included.
    code, text = h.run("fennick_probe.exe", "text", dialog, IDC_QUERY_RESULT)
    return dialog, text


def test_query_shows_the_answer_with_the_repaired_line_ending_or_no_reply():
    device, tester = Running.get()
    try:
        device.clear()
        dialog, raw = query_answer(tester)
        h.check(device.received() == b"?", "the device received %r for the query" % device.received())
        shot = h.screenshot("tester_query_answer")
        keep_screenshot(shot, "tester_query_answer.png", tester.client_rect())
        h.probe("click", dialog, IDOK)
        h.probe("wait-gone", dialog, 10000)
        # The device sends "\n\r" and the edit must hold "\r\n". The probe's console output turns every
        # "\n" into "\r\n" and run() folds "\r\n" back, so "\r\n" reads as "\r\n" and "\n\r" would read "\n\r".
        h.check(raw == IDENTITY + "\r\n\n", "query answer shown as %r" % raw)

        device.control.command("IDENTITY OFF")
        dialog, raw = query_answer(tester)
        h.probe("click", dialog, IDOK)
        h.probe("wait-gone", dialog, 10000)
        h.check(raw == "Nessuna risposta .\r\n\r\n*Verificare la porta COM\n", "silent device shown as %r" % raw)
    finally:
        device.control.command("IDENTITY " + IDENTITY)


def test_escape_sends_exactly_the_test_command():
    device, tester = Running.get()
    device.clear()
    tester.post(WM_KEYDOWN, VK_ESCAPE)
    device.wait_received(b"!s 01 10")
    time.sleep(0.5)  # nothing more may follow: no terminator, no second copy
    got = device.received()
    h.check(got == b"!s 01 10", "the device received %r" % got)
    # The sound plays on its own thread; the tester goes on answering the box.
    h.check(tester.process.poll() is None, "the tester ended after Esc")
    left, _ = circle_centres(tester.client_rect())
    device.control.command("HOLD down")
    _, seen = wait_pixel(left, GREEN, "tester_after_escape")
    device.control.command("RELEASE down")
    h.check(seen == GREEN, "the tester stopped answering the box after Esc")


def test_second_instance_exits_with_code_6():
    Running.get()
    h.check_second_instance_refused("FennickTest.exe")


def test_without_a_stored_model_the_dialog_asks_and_the_answer_is_kept():
    Running.stop()
    settings(model=None, joystick_mode=0)
    with h.VirtualDevice(com=1, identity=IDENTITY), Tester(wait=False) as tester:
        dialog = wait_dialog("Modello Fennick")
        h.probe("click", dialog, IDC_MODEL_SERIAL)
        time.sleep(0.3)
        h.probe("click", dialog, IDOK)
        tester.window = h.wait_window("FennickTest", "FennickTest")
        h.check(tester.window, "the tester window did not appear after the model dialog")
        # Start-up wrote the answer back at once; take it away to see shut-down store it too.
        h.reg("delete", FENNICK_KEY, "/v", "FNType", "/f")
        h.check(h.reg_get_dword(FENNICK_KEY, "FNType") is None, "FNType could not be removed")
        tester.close()
    h.check(h.reg_get_dword(FENNICK_KEY, "FNType") == 1, "FNType not stored as 1")
    h.check(h.reg_get_dword(TESTER_KEY, "JoystickMode") == 0, "JoystickMode not kept")


def main():
    h.main(TESTS, cleanup=Running.stop)


TESTS = [
    test_held_switch_lights_the_left_circle_until_released,
    test_joystick_figure_answers_the_boxs_directions_and_fire,
    test_query_shows_the_answer_with_the_repaired_line_ending_or_no_reply,
    test_escape_sends_exactly_the_test_command,
    test_second_instance_exits_with_code_6,
    test_without_a_stored_model_the_dialog_asks_and_the_answer_is_kept,
]

if __name__ == "__main__":
    main()
