"""FennickKey end to end: the real program, Hookwatch.dll, swibus.dll and swibus.exe, the virtual box on
COM1, watched from another process by a low-level keyboard hook recorder and probe windows.

The key mapper runs from a folder of its own (profiles, "fkconfig.ini" and the command lists live
beside the program), so the tests never touch bin/.
"""
import os
import shutil
import subprocess
import time

import fennick_harness as h

FOLDER = os.path.join(h.BUILD, "key_e2e")
KEY = r"HKCU\SOFTWARE\Velmora\Orrin2Key"
WM_CLOSE, WM_ENDSESSION, WM_COMMAND, WM_SWITCH_BYTE = 0x10, 0x16, 0x111, 0x8064
COGNIVA_MESSAGE, PARLORA_MESSAGE = 0x804B, 0x805B
MACRO, VIRTUAL_KEY, WINDOWS_FUNCTION, COGNIVA, PARLORA, SWITCH_PROFILE = 0, 1, 4, 5, 6, 9

# Every profile shares switches 2 to 5; switch 1's key tells which profile is current.
SWITCH1_KEYS = {"main": "K", "second": "S", "reading": "R", "letters": "L", "notes": "N"}
SHARED = {2: (COGNIVA, 7, ""), 3: (MACRO, -1, "Hi there$"), 4: (WINDOWS_FUNCTION, 2, ""),
          5: (SWITCH_PROFILE, -1, "second")}
LINKS = """[FKSettings]
NrKnownApps=1
NrKnownProfiles=3
DefaultProfile=main
[App1]
Name=Reader
Class=ProbeReader
[Prof1]
Type=3
Name=Letter to
Profile=letters
[Prof2]
Type=2
Name=notepad.exe
Profile=notes
[Prof3]
Type=1
Name=Reader
Profile=reading
"""


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def release_folder(timeout=20.0):
    """Nothing may still run from the test folder or map its libraries when a run starts: the copies of
    swibus.dll and Hookwatch.dll keep their shared blocks while any process maps them, and a program
    left by an earlier failed run would hold the single-instance mutex or the port. Our own leftovers
    end by process id; Wine's desktop process, which the global hooks load them into, is restarted."""
    h.release_files([os.path.join(FOLDER, name) for name in ("swibus.dll", "Hookwatch.dll", "FennickKey.exe",
                                                              "swibus.exe")],
                    timeout, ends=lambda command: FOLDER.replace("/", "\\") in command or FOLDER in command,
                    in_use="the test folder is still in use by")


def install():
    """The program and what it loads, copied into a folder of their own, with the test profiles."""
    if os.path.isdir(FOLDER):
        release_folder()
    shutil.rmtree(FOLDER, ignore_errors=True)
    os.makedirs(FOLDER)
    for name in os.listdir(h.BIN):
        lower = name.lower()
        if lower in ("fennickkey.exe", "hookwatch.dll", "swibus.dll", "swibus.exe", "english.dll", "french.dll",
                     "dutch.dll", "italiano.dll") or lower.startswith(("mcx_", "fennickkey_")):
            shutil.copy(os.path.join(h.BIN, name), FOLDER)
    for profile, key in SWITCH1_KEYS.items():
        buttons = dict(SHARED)
        buttons[1] = (VIRTUAL_KEY, ord(key), "")
        if profile == "second":
            buttons[2] = (PARLORA, 5, "")
            buttons[5] = (SWITCH_PROFILE, -1, "main")
        with open(os.path.join(FOLDER, profile + ".bpf"), "w", newline="\r\n") as out:
            for n in range(1, 6):
                cmd, val, text = buttons[n]
                out.write("[Button%d]\nBtCmd=%d\nBtCmdVal=%d\nBtCmdText=%s\n" % (n, cmd, val, text))
    os.makedirs(os.path.join(FOLDER, "My profiles"))
    shutil.copy(os.path.join(FOLDER, "letters.bpf"), os.path.join(FOLDER, "My profiles"))
    with open(os.path.join(FOLDER, "fkconfig.ini"), "w", newline="\r\n") as out:
        out.write(LINKS)


class Lines(h.OutputLines):
    """A process whose output lines are collected as they come."""

    def wait_for(self, predicate, timeout=20.0):
        return self.find(predicate, timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


class Watcher(Lines):
    """key_probe watch: the keyboard recorder and the probe windows."""

    def __init__(self, *windows):
        super().__init__(h.start("key_probe.exe", "watch", *windows))
        ready = self.wait_for(lambda line: line.startswith("ready"), timeout=60)
        h.check(ready, "the watcher did not start: %r" % self.snapshot())
        self.windows = [int(v) for v in ready[0].split()[1:]]
        self.mark = len(self.snapshot())

    def since_mark(self, kind):
        return [line for line in self.snapshot()[self.mark:] if line.startswith(kind)]

    def keys(self):
        """Key events since the mark, as ("down"|"up", letter) for the injected ones."""
        out = []
        for line in self.since_mark("key "):
            _, direction, vk, origin = line.split()
            if origin == "injected":
                out.append((direction, chr(int(vk, 16))))
        return out

    def wait_keys(self, count, timeout=15.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and len(self.keys()) < count:
            time.sleep(0.03)
        time.sleep(0.3)  # anything more that was going to come
        return self.keys()

    def reset(self):
        self.mark = len(self.snapshot())


def start_key_mapper(*args):
    return Lines(h.Started([h.WINE_RUN, os.path.join(FOLDER, "FennickKey.exe")] + list(args), env=h.session_env(),
                           cwd=FOLDER, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, start_new_session=True))


def front(hwnd):
    code, text = h.run("key_probe.exe", "front", hwnd)
    h.check(code == 0, "window %s did not come to the front" % hwnd)


class Running:
    """One key mapper (silent, profile "main"), the box on COM1 and the watcher, shared by the tests."""
    device = watcher = mapper = None
    window = 0

    @classmethod
    def get(cls):
        if cls.mapper is None or cls.mapper.process.poll() is not None:
            cls.stop()
            install()
            h.reg_delete_key(KEY)
            h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", windows_path(FOLDER) + "\\main.bpf", "/f")
            h.port_settings_on(1)
            cls.device = h.VirtualDevice(com=1).__enter__()
            cls.watcher = Watcher("Cogniva:Cogniva", "ProbeReader:Reading room", "+ProbeDialog:Reader's dialog",
                                  "ProbeWriter:Letter to Sam", "Shell_TrayWnd:")
            cls.mapper = start_key_mapper("-silent")
            cls.window = h.wait_window("FennickKey", "FennickKey")
            h.check(cls.window, "the key mapper's window did not appear")
            front(cls.watcher.windows[0])  # a window no link names: the default profile, "main"
            cls.wait_until_listening()
        return cls

    @classmethod
    def wait_until_listening(cls):
        """The window exists before the server has opened the port; bytes sent before are lost."""
        for _ in range(20):
            cls.watcher.reset()
            cls.device.press("down", 50)
            if cls.watcher.wait_keys(2, timeout=1.5):
                cls.watcher.wait_keys(2)
                return
        raise AssertionError("the key mapper never answered the box")

    @classmethod
    def switch1_key(cls):
        """Presses switch 1 by its message and returns the letter of the key it sent."""
        cls.watcher.reset()
        h.probe("send", cls.window, WM_SWITCH_BYTE, 0, ord("D"))
        h.probe("send", cls.window, WM_SWITCH_BYTE, 0, ord("d"))
        keys = cls.watcher.wait_keys(2)
        h.check(len(keys) == 2 and keys[0][1] == keys[1][1], "switch 1 gave %r" % keys)
        return keys[0][1]

    @classmethod
    def stop(cls):
        if cls.mapper is not None and cls.mapper.process.poll() is None:
            h.probe("post", cls.window, WM_CLOSE, 0, 0)
            try:
                cls.mapper.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                pass
            cls.mapper.stop()
        for part in (cls.watcher,):
            if part is not None:
                part.stop()
        if cls.device is not None:
            cls.device.__exit__(None, None, None)
        cls.device = cls.watcher = cls.mapper = None


def test_switch_on_the_box_gives_exactly_one_key_down_and_one_key_up():
    k = Running.get()
    k.watcher.reset()
    k.device.press("down", 200)
    h.check(k.watcher.wait_keys(2) == [("down", "K"), ("up", "K")], "keys: %r" % k.watcher.keys())


def test_macro_switch_types_into_notepad():
    k = Running.get()
    notepad = Lines(h.Started([h.WINE_RUN, "notepad.exe"], env=h.session_env(), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True))
    try:
        window = h.wait_window("Notepad")
        h.check(window, "notepad did not open")
        front(window)
        edit = [line.split()[0] for line in h.probe("children", window)[1].splitlines() if " Edit" in line]
        h.check(edit, "notepad has no edit control")
        k.device.press("up", 50)
        deadline = time.monotonic() + 15
        text = ""
        while time.monotonic() < deadline and text != "Hi there":
            time.sleep(0.2)
            text = h.window_text(edit[0])
        h.check(text == "Hi there", "notepad holds %r" % text)
        # Notepad's program file is linked to "notes".
        h.check(k.switch1_key() == "N", "notepad in front did not select its linked profile")
    finally:
        notepad.stop()
    front(k.watcher.windows[0])


def test_device_function_sends_its_byte_to_the_box():
    k = Running.get()
    k.device.clear()
    k.device.press("left", 50)
    got = k.device.wait_received(b"U")
    time.sleep(0.3)
    h.check(k.device.received() == b"U", "the box received %r" % k.device.received())


def test_target_application_command_reaches_its_window():
    k = Running.get()
    k.watcher.reset()
    k.device.press("fire", 50)
    cogniva = k.watcher.windows[0]
    expected = "msg %d %04x 7 0" % (cogniva, COGNIVA_MESSAGE)
    h.check(k.watcher.wait_for(lambda line: line == expected, timeout=10), "no Cogniva command: %r"
            % k.watcher.since_mark("msg"))
    h.check(k.watcher.since_mark("msg") == [expected], "messages: %r" % k.watcher.since_mark("msg"))


def test_profile_switch_command_loads_the_named_profile_and_a_hung_target_does_not_stop_the_switches():
    k = Running.get()
    k.device.press("right", 50)  # switch 5: profile "second"
    h.check(k.switch1_key() == "S", "the switch did not load profile second")
    hung = Lines(h.start("key_probe.exe", "hang", "Parlora"))
    try:
        h.check(hung.wait_for(lambda line: line.startswith("ready"), timeout=60), "no hung window")
        k.device.press("fire", 50)  # switch 2 of "second": a Parlora command
        h.check(hung.wait_for(lambda line: line.startswith("msg") and " %04x 5 0" % PARLORA_MESSAGE in line),
                "the Parlora window did not get its command")
        # The Parlora window never answers again; the next switch must still come through.
        h.check(k.switch1_key() == "S", "switch input stopped behind a hung application")
    finally:
        hung.stop()
    k.device.press("right", 50)  # back to "main"
    h.check(k.switch1_key() == "K", "the switch did not load profile main")


def test_foreground_windows_select_their_linked_profiles():
    k = Running.get()
    cogniva, reader, dialog, writer, tray = k.watcher.windows
    front(reader)  # ByApplication through the known application "Reader"
    h.check(k.switch1_key() == "R", "class link")
    front(writer)  # ByWindowTitle "Letter to"
    h.check(k.switch1_key() == "L", "title link")
    front(tray)  # the taskbar never switches
    h.check(k.switch1_key() == "L", "the taskbar switched the profile")
    front(cogniva)  # no link: the default profile
    h.check(k.switch1_key() == "K", "default profile")
    front(reader)
    h.check(k.switch1_key() == "R", "class link again")
    k.device.press("right", 50)
    h.check(k.switch1_key() == "S", "switch-profile command")
    front(dialog)  # owned by the reader window: the same top-level window, no new check
    key = k.switch1_key()
    h.check(key == "S", "a window's own dialog switched the profile (%s)" % key)


def test_second_instance_hands_over_its_quoted_profile_and_exits_6():
    k = Running.get()
    # A path with a blank reaches the program quoted, as a shell passes it.
    path = windows_path(os.path.join(FOLDER, "My profiles", "letters.bpf"))
    code, _ = run_second(path)
    h.check(code == 6, "second instance exited %s" % code)
    h.check(k.switch1_key() == "L", "the handed-over profile was not loaded")
    code, _ = run_second()
    h.check(code == 6, "second instance without arguments exited %s" % code)
    h.check(k.mapper.process.poll() is None, "the first instance ended")


def test_another_program_taking_the_port_lets_go_of_the_held_key():
    """The port monitor forgets a held switch when another program becomes its active client: the
    release never reaches the key mapper, which lets go of the key when told it is no longer active.
    The client runs beside the key mapper's own swibus.dll, whose registrations it shares."""
    k = Running.get()
    shutil.copy(h.program("swibus_test_client.exe"), FOLDER)
    k.watcher.reset()
    k.device.control.command("HOLD down")
    held = k.watcher.wait_keys(1)
    h.check(len(held) == 1 and held[0][0] == "down", "keys: %r" % held)
    client = Lines(h.Started([h.WINE_RUN, os.path.join(FOLDER, "swibus_test_client.exe")], env=h.session_env(),
                             cwd=FOLDER, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, start_new_session=True))
    ready = None
    try:
        ready = client.wait_for(lambda line: line.startswith("ready"), timeout=60)
        h.check(ready, "the other client did not start: %r" % client.snapshot())
        keys = k.watcher.wait_keys(2)
        h.check(keys == [held[0], ("up", held[0][1])], "keys: %r" % keys)
    finally:
        k.device.control.command("RELEASE down")
        if ready:  # it unregisters: the key mapper is the port's active client again
            h.probe("post", int(ready[0].split()[1]), WM_CLOSE, 0, 0)
            client.process.wait(timeout=30)
        client.stop()
    k.wait_until_listening()


def run_second(*args):
    result = subprocess.run([h.WINE_RUN, os.path.join(FOLDER, "FennickKey.exe")] + list(args), env=h.session_env(),
                            cwd=FOLDER, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=60)
    return result.returncode, ""


def reg_text(name):
    code, text = h.reg("query", KEY, "/v", name)
    for line in text.splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == name and parts[1] == "REG_SZ":
            return parts[2].strip()
    return None


def test_shut_down_writes_links_and_registry_and_leaves_no_key_down():
    k = Running.get()
    h.probe("send", k.window, WM_COMMAND, 146, 0)  # French
    h.check(reg_text("CurLang") == "FRF", "the language change was not stored at once")
    os.remove(os.path.join(FOLDER, "fkconfig.ini"))
    h.reg_delete_key(KEY)
    front(k.watcher.windows[1])  # the reader: profile "reading"
    k.watcher.reset()
    k.device.control.command("HOLD down")
    h.check(k.watcher.wait_keys(1) == [("down", "R")], "keys: %r" % k.watcher.keys())
    h.probe("post", k.window, WM_CLOSE, 0, 0)
    h.check(k.mapper.process.wait(timeout=30) == 0, "the key mapper exited %s" % k.mapper.process.returncode)
    h.check(k.watcher.wait_keys(2) == [("down", "R"), ("up", "R")], "keys: %r" % k.watcher.keys())
    k.device.control.command("RELEASE down")
    held = h.run("key_probe.exe", "keys")[1].split()
    h.check(held == [], "keys still down: %r" % held)
    h.check(reg_text("CurLang") == "FRF", "CurLang %r" % reg_text("CurLang"))
    h.check(reg_text("CurProfile") == "reading", "CurProfile %r" % reg_text("CurProfile"))
    ini = open(os.path.join(FOLDER, "fkconfig.ini"), encoding="latin-1").read()
    for line in ("NrKnownProfiles=3", "DefaultProfile=main", "[Prof1]", "Type=3", "Name=Letter to",
                 "Profile=letters", "[Prof3]", "Name=Reader"):
        h.check(line in ini, "fkconfig.ini lacks %r:\n%s" % (line, ini))
    Running.stop()


def test_silent_start_with_a_path_ignores_the_path_and_the_session_end_releases_keys():
    install()
    os.remove(os.path.join(FOLDER, "fkconfig.ini"))
    h.reg_delete_key(KEY)
    h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", windows_path(FOLDER) + "\\second.bpf", "/f")
    with h.VirtualDevice(com=1):
        watcher = Watcher()
        mapper = start_key_mapper("-silent", windows_path(os.path.join(FOLDER, "My profiles", "letters.bpf")))
        try:
            window = h.wait_window("FennickKey", "FennickKey")
            h.check(window, "the key mapper's window did not appear")
            keys = []
            for _ in range(20):  # the window exists a moment before the program has started
                watcher.reset()
                h.probe("send", window, WM_SWITCH_BYTE, 0, ord("Z"))  # switch 1 through the joystick's letters
                h.probe("send", window, WM_SWITCH_BYTE, 0, ord("z"))
                keys = watcher.wait_keys(2, timeout=2)
                if keys:
                    break
            h.check(keys == [("down", "S"), ("up", "S")], "keys: %r" % keys)
            # The session ends while the switch is held: the key goes up.
            watcher.reset()
            h.probe("send", window, WM_SWITCH_BYTE, 0, ord("Z"))
            h.probe("send", window, WM_ENDSESSION, 1, 0)
            h.check(watcher.wait_keys(2) == [("down", "S"), ("up", "S")], "at session end: %r" % watcher.keys())
            h.probe("post", window, WM_CLOSE, 0, 0)
            h.check(mapper.process.wait(timeout=30) == 0, "exit code %s" % mapper.process.returncode)
        finally:
            mapper.stop()
            watcher.stop()


def test_a_link_file_that_could_not_be_read_at_start_is_not_written_over():
    """Another program held "fkconfig.ini" when the key mapper started, then let go: the shut-down
    writes nothing over the links the key mapper never read."""
    Running.stop()
    install()
    h.reg_delete_key(KEY)
    h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", windows_path(FOLDER) + "\\main.bpf", "/f")
    path = os.path.join(FOLDER, "fkconfig.ini")
    with open(path, "rb") as before:
        original = before.read()
    holder = Lines(h.start("key_probe.exe", "hold", windows_path(path)))
    mapper = None
    with h.VirtualDevice(com=1):
        try:
            h.check(holder.wait_for(lambda line: line.startswith("ready"), timeout=60),
                    "the link file is not held: %r" % holder.snapshot())
            mapper = start_key_mapper("-silent")
            window = h.wait_window("FennickKey", "FennickKey")
            h.check(window, "the key mapper's window did not appear")
            h.probe("send", window, 0, 0, 0)  # answered from its message loop: start-up is over
            holder.stop()
            h.probe("post", window, WM_CLOSE, 0, 0)
            h.check(mapper.process.wait(timeout=30) == 0, "exit code %s" % mapper.process.returncode)
        finally:
            if mapper:
                mapper.stop()
            holder.stop()
    with open(path, "rb") as after:
        written = after.read()
    h.check(written == original, "fkconfig.ini was written over:\n%s" % written.decode("latin-1"))


def main():
    h.main(TESTS, cleanup=Running.stop)


TESTS = [
    test_switch_on_the_box_gives_exactly_one_key_down_and_one_key_up,
    test_device_function_sends_its_byte_to_the_box,
    test_target_application_command_reaches_its_window,
    test_profile_switch_command_loads_the_named_profile_and_a_hung_target_does_not_stop_the_switches,
    test_foreground_windows_select_their_linked_profiles,
    test_macro_switch_types_into_notepad,
    test_second_instance_hands_over_its_quoted_profile_and_exits_6,
    test_another_program_taking_the_port_lets_go_of_the_held_key,
    test_shut_down_writes_links_and_registry_and_leaves_no_key_down,
    test_silent_start_with_a_path_ignores_the_path_and_the_session_end_releases_keys,
    test_a_link_file_that_could_not_be_read_at_start_is_not_written_over,
]

if __name__ == "__main__":
    main()
