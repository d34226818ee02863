#!/usr/bin/env python3
"""The suite's demo: the virtual switch box on COM1 and whichever programs are built.

Interactive when a display and a terminal are present (unless --headless): the
programs open on your display and this terminal becomes the box's keypad.
Otherwise a short scripted run that presses switches, saves screenshots and
writes a log into build/windows/demo/.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fennick_harness as h  # noqa: E402

DEMO_DIR = os.path.join(h.BUILD, "demo")
LOG = None


def log(text):
    line = "[demo] " + text
    print(line, flush=True)
    LOG.write(line + "\n")
    LOG.flush()


def exists(name):
    try:
        h.program(name)
        return True
    except FileNotFoundError:
        return False


def shot(name):
    path = h.screenshot(name)
    target = os.path.join(DEMO_DIR, os.path.basename(path))
    os.replace(path, target)
    log("screenshot " + os.path.relpath(target, h.REPO))


def serial_line(device):
    """A Windows program reads the box's bytes through COM1 and answers one byte."""
    log("serial line: a Windows program opens COM1 under Wine; the box presses Fire")
    # The press goes out once the program says it listens (a fresh prefix takes its time over the
    # first start), and the program is waited for, not its output: a service that Wine starts
    # beside it may keep that open.
    program = h.OutputLines(h.start("com_smoke.exe", "COM1", 2, "3f"))
    try:
        if not program.find(lambda line: line == "listening", timeout=120):
            raise RuntimeError("com_smoke.exe did not open COM1: %s" % program.snapshot())
        device.press("fire", 100)
        program.process.wait(timeout=60)
        program.find(lambda line: line.startswith("wrote"), timeout=2)
    finally:
        program.process.kill()
    for line in program.snapshot():
        log("  windows side: " + line)
    log("  box received: %r" % device.wait_received(b"?"))
    device.clear()


def port_monitor(device):
    """A client window registers with swibus; the server reads the box and delivers the switch bytes."""
    if not exists("swibus.dll") or not exists("swibus_test_client.exe"):
        return
    log("port monitor: a client registers with swibus; the server opens COM1 and routes the box's bytes")
    h.port_settings_on(1)
    client = h.OutputLines(h.start("swibus_test_client.exe"))
    try:
        ready = client.find(lambda line: line.startswith("ready"), timeout=60)
        if not ready:
            log("  the client did not come up")
            return
        hwnd = ready[0].split()[1]
        time.sleep(0.5)
        for switch in ("left", "fire", "switch2"):
            device.press(switch, 80)
        device.send(b"E")  # a device event: for the server only, never for the client
        time.sleep(1.0)
        h.probe("post", hwnd, 0x0010, 0, 0)  # WM_CLOSE: the client unregisters and ends
        try:
            client.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            log("  the client did not end")
        client.find(lambda line: line.startswith("unregister"), timeout=2)
    finally:
        client.process.kill()
    for line in client.snapshot():
        if line:
            log("  client: " + line)
    device.clear()


def tester(device):
    """The device tester lights a shape while a switch is held and shows the box's answer to a query."""
    if not exists("FennickTest.exe"):
        return
    sys.path.insert(0, os.path.join(h.REPO, "tester", "tests"))
    import tester_e2e as t  # the tester's own drivers: window, circle positions, query
    log("device tester: FennickTest with the serial model on COM1")
    t.settings(model=1, joystick_mode=0)
    with t.Tester() as app:
        left, _ = t.circle_centres(app.client_rect())
        t.wait_until_listening(device, left)
        device.control.command("HOLD down")
        t.wait_pixel(left, t.GREEN, "demo")
        shot("tester_switch_held")
        device.control.command("RELEASE down")
        t.wait_pixel(left, t.WHITE, "demo")
        log("  switch 2 held: left circle lit; released: cleared")
        device.clear()
        dialog, answer = t.query_answer(app)
        log("  query: the box received %r and answered %r" % (device.received(), answer.strip()))
        shot("tester_query_answer")
        h.probe("click", dialog, t.IDOK)
        h.probe("wait-gone", dialog, 10000)
        app.close()
    log("  tester closed")


def mouse(device):
    """The mouse emulator moves the pointer while a direction is held and clicks with Fire."""
    if not exists("FennickMouse.exe") or not exists("pointer_probe.exe"):
        return
    sys.path.insert(0, os.path.join(h.REPO, "mouse_emulator", "tests"))
    import mouse_e2e as m  # the mouse emulator's own drivers: probe window, bar, pointer
    log("mouse emulator: FennickMouse with the serial model on COM1; a probe window watches the pointer")
    h.release_port_library()
    m.settings(model=1, mouse={"Method": 1, "WindowLeft": 0, "WindowTop": 0})
    probe = m.Probe()
    app = m.Mouse()
    try:
        m.wait_until_listening(device, probe)
        bar = os.path.join(DEMO_DIR, "mouse_bar.png")
        m.keep_window(h.screenshot("demo"), bar, m.window_rect(app.bar))
        log("screenshot " + os.path.relpath(bar, h.REPO))
        m.set_pointer(200, 600)
        time.sleep(0.3)
        mark = probe.mark()
        for command, hold in (("HOLD right", 1.0), ("HOLD down", 0.6), ("RELEASE right", 0.6), ("RELEASE down", 0.3)):
            device.control.command(command)
            time.sleep(hold)
        path = [" ".join(words[1:]) for words in probe.since(mark, ("pos",))]
        path_log = os.path.join(DEMO_DIR, "mouse_pointer_path.log")
        with open(path_log, "w") as out:
            out.write("# pointer positions (x y) while the box held Right, then Right and Down, then Down\n")
            out.write("\n".join(path) + "\n")
        log("  Right held 1 s, Right+Down 0.6 s, Down 0.6 s: %d positions from 200 600 to %s (%s)" % (
            len(path), path[-1] if path else "nowhere", os.path.relpath(path_log, h.REPO)))
        left, top, right, bottom = probe.button
        m.set_pointer((left + right) // 2, (top + bottom) // 2)
        mark = probe.mark()
        device.press("fire", 100)
        log("  Fire over the probe's button: %s" % ("clicked" if probe.wait_for(mark, "clicked") else "NOT clicked"))
        app.click_bar_button(m.DOUBLE_CLICK)
        m.set_pointer(*m.probe_spot(probe))
        mark = probe.mark()
        device.press("fire", 100)
        log("  double-click mode, Fire: the probe saw %s" % [w[0] for w in probe.wait_for(mark, "dblclk") and
                                                          probe.since(mark, ("down", "up", "dblclk"))])
    finally:
        app.close()
        probe.close()
    log("  mouse emulator closed")


def make_show_files():
    """Pictures in the three formats the show offers, a chime, and the profile "Demo" that binds them."""
    def picture(name, *drawing):
        subprocess.run(["convert", "-size", "480x360"] + list(drawing) + [os.path.join(h.BIN, name)], check=True,
                       timeout=120)
    picture("demo_show_sun.bmp", "xc:skyblue", "-fill", "gold", "-draw", "circle 240,180 240,70")
    picture("demo_show_house.gif", "xc:lightgreen", "-fill", "firebrick", "-draw", "rectangle 170,170 310,300",
            "-fill", "saddlebrown", "-draw", "polygon 150,170 240,80 330,170")
    picture("demo_show_colours.jpg", "-seed", "3", "plasma:fractal")
    picture("demo_show_star.bmp", "xc:midnightblue", "-fill", "orchid",
            "-draw", "polygon 240,40 275,140 380,140 295,200 325,300 240,240 155,300 185,200 100,140 205,140")
    import math
    import struct
    import wave
    with wave.open(os.path.join(h.BIN, "demo_show_chime.wav"), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(22050)
        out.writeframes(b"".join(struct.pack("<h", int(9000 * math.exp(-i / 6000.0) * math.sin(i * 0.2)))
                                 for i in range(15000)))
    slots = [(1, "demo_show_sun.bmp", ""), (1, "demo_show_house.gif", ""), (1, "demo_show_colours.jpg", ""),
             (2, "demo_show_chime.wav", ""), (4, "demo_show_star.bmp", "demo_show_chime.wav")]
    lines = []
    for n, (action, first, second) in enumerate(slots, start=1):
        lines += ["[Button%d]" % n, "BtCmd=%d" % action, "BtCmdText1=" + first, "BtCmdText2=" + second]
    with open(os.path.join(h.BIN, "Demo.bd2"), "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


def remove_show_files():
    for name in os.listdir(h.BIN):
        if name.startswith("demo_show_") or name == "Demo.bd2":
            os.remove(os.path.join(h.BIN, name))


def show(device):
    """The cause-and-effect show: each switch of the box shows its picture (BMP, GIF, JPEG), plays a
    chime or both; Esc fills the screen."""
    if not exists("FennickShow.exe"):
        return
    sys.path.insert(0, os.path.join(h.REPO, "show", "tests"))
    import show_e2e as s  # the show's own drivers: settings, window, pixels
    log("cause-and-effect show: FennickShow with the serial model on COM1 and pictures made by the demo")
    make_show_files()
    s.settings(model=1, profile="Demo")
    try:
        with s.Show(title="FennickShow - Demo") as app:
            centre = s.centre(app.client_rect())
            for _ in range(15):  # the server opens the port after the window shows
                device.press("down", 80)
                _, seen = s.wait_pixel(centre, s.BACKGROUND, "demo", timeout=1.5)
                if seen != s.BACKGROUND:
                    break
                s.dismiss_port_error()
            for switch, what in (("down", "switch 1: the sun (BMP)"), ("up", "switch 2: the house (GIF)"),
                                 ("right", "switch 3: colours (JPEG)"), ("fire", "switch 5: the star and the chime")):
                device.press(switch, 80)
                time.sleep(1.5)
                shot("show_" + switch)
                log("  " + what)
            app.key(s.VK_ESCAPE)
            time.sleep(1.5)
            shot("show_full_screen")
            log("  Esc: full screen; Esc again: back")
            app.key(s.VK_ESCAPE)
            app.close()
        log("  show closed")
    finally:
        remove_show_files()


def key_mapper(device):
    """The key mapper, started silently with a demo profile, types what the box's switches say into
    Wine's notepad: switch 2 ("down") a line of text, Fire a line break."""
    if not exists("FennickKey.exe") or not exists("key_probe.exe"):
        return
    log("key mapper: FennickKey starts silently with the profile \"demo\"; the box types into notepad")
    profile = os.path.join(h.BIN, "demo.bpf")
    with open(profile, "w", newline="\r\n") as out:
        out.write("[Button1]\nBtCmd=0\nBtCmdVal=-1\nBtCmdText=Typed by a switch$\n"
                  "[Button2]\nBtCmd=1\nBtCmdVal=13\nBtCmdText=\n")
    key = r"HKCU\SOFTWARE\Velmora\Orrin2Key"
    h.reg_delete_key(key)
    h.reg("add", key, "/v", "CurProfile", "/t", "REG_SZ", "/d", "demo", "/f")
    h.port_settings_on(1)
    notepad = subprocess.Popen([h.WINE_RUN, "notepad.exe"], env=h.session_env(), stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    mapper = h.start("FennickKey.exe", "-silent", cwd=h.BIN)
    try:
        window = h.wait_window("Notepad")
        edit = [line.split()[0] for line in h.probe("children", window)[1].splitlines() if " Edit" in line]
        h.run("key_probe.exe", "front", window)
        mapper_window = h.wait_window("FennickKey", "FennickKey")
        log("  key mapper window %s, notepad %s" % (mapper_window, window))
        text = ""
        for _ in range(30):  # the server opens the port a moment after the program starts
            device.press("down", 80)
            time.sleep(0.7)
            text = h.window_text(edit[0]) if edit else ""
            if text:
                break
        for switch in ("fire", "down", "fire", "down"):
            device.press(switch, 80)
            time.sleep(0.5)
        time.sleep(1.0)
        log("  notepad holds: %r" % (h.window_text(edit[0]) if edit else ""))
        shot("key_mapper_notepad")
        h.probe("post", mapper_window, 0x0010, 0, 0)  # WM_CLOSE
        mapper.wait(timeout=30)
        log("  key mapper closed (exit code %s)" % mapper.returncode)
    finally:
        for process in (mapper, notepad):
            if process.poll() is None:
                os.killpg(process.pid, 9)
        for name in ("demo.bpf", "fkconfig.ini"):
            if os.path.exists(os.path.join(h.BIN, name)):
                os.remove(os.path.join(h.BIN, name))
        device.clear()


def main():
    global LOG
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--headless", action="store_true", help="scripted run even with a display")
    parser.add_argument("--show", action="store_true", help="interactive: the cause-and-effect show instead of the tester")
    args = parser.parse_args()
    interactive = bool(os.environ.get("DISPLAY")) and sys.stdin.isatty() and not args.headless

    os.makedirs(DEMO_DIR, exist_ok=True)
    LOG = open(os.path.join(DEMO_DIR, "demo.log"), "w")
    session = os.path.join(h.REPO, "tools", "wine-session")
    subprocess.run([session, "start", h.BUILD], check=True, stdin=subprocess.DEVNULL)
    try:
        if interactive:
            run_interactive(args.show)
        else:
            with h.VirtualDevice(com=1) as device:
                serial_line(device)
                port_monitor(device)
                tester(device)
                mouse(device)
                show(device)
                key_mapper(device)
        log("done; log in " + os.path.relpath(LOG.name, h.REPO))
    finally:
        subprocess.run([session, "stop", h.BUILD], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return 0


def run_interactive(show_wanted=False):
    """Starts the tester, the show with --show (or a plain swibus client) and hands the terminal to the box's keypad."""
    program = None
    if show_wanted and exists("FennickShow.exe"):
        make_show_files()
        sys.path.insert(0, os.path.join(h.REPO, "show", "tests"))
        import show_e2e as s
        s.settings(model=1, profile="Demo")
        program = h.start("FennickShow.exe", cwd=h.BIN)
    elif exists("FennickTest.exe"):
        h.reg_set_dword(r"HKCU\SOFTWARE\Velmora\Fennick", "FNType", 1)
        h.reg_set_dword(r"HKCU\SOFTWARE\Velmora\Fennick\FennickTest", "JoystickMode", 0)
        h.reg_set_dword(r"HKCU\Software\Velmora\Swibus", "ComPort", 1)
        program = h.start("FennickTest.exe", cwd=h.BIN)
    elif exists("swibus_test_client.exe"):
        program = subprocess.Popen([h.WINE_RUN, h.program("swibus_test_client.exe")], env=h.session_env())
    log("the box is on COM1; press its switches here (q quits)")
    subprocess.run([sys.executable, h.VSWITCH, "--prefix", h.PREFIX, "--com", "1"], env=h.session_env())
    if show_wanted and program and program.poll() is None:
        window = h.wait_window("FennickShow", "-", 2000)
        if window:
            h.probe("post", window, 0x0010, 0, 0)  # WM_CLOSE: the show keeps its settings and ends
            try:
                program.wait(timeout=30)
            except subprocess.TimeoutExpired:
                pass
    if program and program.poll() is None:
        program.terminate()
    if show_wanted:
        remove_show_files()


if __name__ == "__main__":
    sys.exit(main())
