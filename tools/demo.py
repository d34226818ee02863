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
    program = h.start("com_smoke.exe", "COM1", 2, "3f")
    program.stdout.readline()
    time.sleep(0.2)
    device.press("fire", 100)
    out, _ = program.communicate(timeout=60)
    for line in out.decode("latin-1").splitlines():
        log("  windows side: " + line.strip())
    log("  box received: %r" % device.wait_received(b"?"))
    device.clear()


def port_monitor(device):
    """A client window registers with swibus; the server reads the box and delivers the switch bytes."""
    if not exists("swibus.dll") or not exists("swibus_test_client.exe"):
        return
    log("port monitor: a client registers with swibus; the server opens COM1 and routes the box's bytes")
    h.reg_delete_key(r"HKCU\Software\Velmora\Swibus")  # default codes
    h.reg_set_dword(r"HKCU\Software\Velmora\Swibus", "ComPort", 1)
    client = h.start("swibus_test_client.exe")
    hwnd = None
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        line = client.stdout.readline().decode("latin-1").strip()
        if line:
            log("  client: " + line)
        if line.startswith("ready"):
            hwnd = line.split()[1]
            break
    if not hwnd:
        log("  the client did not come up")
        client.kill()
        return
    time.sleep(0.5)
    for switch in ("left", "fire", "switch2"):
        device.press(switch, 80)
    device.send(b"E")  # a device event: for the server only, never for the client
    time.sleep(1.0)
    h.probe("post", hwnd, 0x0010, 0, 0)  # WM_CLOSE: the client unregisters and ends
    try:
        out, _ = client.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        client.kill()
        out, _ = client.communicate()
    for line in out.decode("latin-1").splitlines():
        if line.strip():
            log("  client: " + line.strip())
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
    h.reg_delete_key(r"HKCU\Software\Velmora\Swibus")
    h.reg_set_dword(r"HKCU\Software\Velmora\Swibus", "ComPort", 1)
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
    args = parser.parse_args()
    interactive = bool(os.environ.get("DISPLAY")) and sys.stdin.isatty() and not args.headless

    os.makedirs(DEMO_DIR, exist_ok=True)
    LOG = open(os.path.join(DEMO_DIR, "demo.log"), "w")
    session = os.path.join(h.REPO, "tools", "wine-session")
    subprocess.run([session, "start", h.BUILD], check=True, stdin=subprocess.DEVNULL)
    try:
        if interactive:
            run_interactive()
        else:
            with h.VirtualDevice(com=1) as device:
                serial_line(device)
                port_monitor(device)
                tester(device)
                key_mapper(device)
        log("done; log in " + os.path.relpath(LOG.name, h.REPO))
    finally:
        subprocess.run([session, "stop", h.BUILD], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return 0


def run_interactive():
    """Starts the tester (or a plain swibus client) and hands the terminal to the box's keypad."""
    program = None
    if exists("FennickTest.exe"):
        h.reg_set_dword(r"HKCU\SOFTWARE\Velmora\Fennick", "FNType", 1)
        h.reg_set_dword(r"HKCU\SOFTWARE\Velmora\Fennick\FennickTest", "JoystickMode", 0)
        h.reg_set_dword(r"HKCU\Software\Velmora\Swibus", "ComPort", 1)
        program = h.start("FennickTest.exe", cwd=h.BIN)
    elif exists("swibus_test_client.exe"):
        program = subprocess.Popen([h.WINE_RUN, h.program("swibus_test_client.exe")], env=h.session_env())
    log("the box is on COM1; press its switches here (q quits)")
    subprocess.run([sys.executable, h.VSWITCH, "--prefix", h.PREFIX, "--com", "1"], env=h.session_env())
    if program and program.poll() is None:
        program.terminate()


if __name__ == "__main__":
    sys.exit(main())
