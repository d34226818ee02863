"""Suite soak: a day of use compressed. The key mapper, the mouse emulator, the show and (once) the tester
run together from bin/ under Wine on the virtual box, which feeds them a seeded random but realistic
stream of presses and releases; the programs take the box in turn. Every figure is printed beside its
limit.

Run it with: cmake --build --preset windows --target run_suite_soak     (10 minutes)
             python3 bench/suite_soak/soak.py --minutes 1 [--seed N]   (the smoke case of the tests)
"""
import argparse
import os
import queue
import random
import statistics
import subprocess
import sys
import threading
import time

REPO = os.environ.get("FENNICK_REPO") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools"))
sys.path.insert(0, os.path.join(REPO, "show", "tests"))
import fennick_harness as h  # noqa: E402
import show_e2e  # noqa: E402  its picture writer and screen checks

WM_NULL, WM_CLOSE, WM_KEYDOWN, WM_KEYUP, WM_COMMAND = 0x0, 0x10, 0x100, 0x101, 0x111
VK_ESCAPE, VK_HELD = 0x1B, 0x87  # the held key of every key-mapper profile: F24, which types nothing
IDOK = 1
FENNICK_KEY = r"HKCU\SOFTWARE\Velmora\Fennick"
MOUSE_KEY = FENNICK_KEY + r"\FennickMouse"
SHOW_KEY = FENNICK_KEY + r"\Fennickshow"
KEY_MAPPER_KEY = r"HKCU\SOFTWARE\Velmora\Orrin2Key"
PROGRAMS = ("FennickKey.exe", "FennickMouse.exe", "FennickShow.exe", "swibus.exe")
SWITCHES = ["down", "fire", "up", "left", "right"]  # the key mapper's switches 1 to 5

# Key-mapper profiles: (command, value, text) per switch 1..5. Command 0 plays a macro, 1 holds a key,
# 9 switches profile. Each profile types its own letters, so the text tells which one was current.
MACRO, KEY, PROFILE = 0, 1, 9
KEY_PROFILES = {
    "soak_main": [(KEY, VK_HELD, ""), (MACRO, -1, "ab$"), (MACRO, -1, "cd${ENTER}$"), (MACRO, -1, "Ef$"),
                  (PROFILE, -1, "soak_other")],
    "soak_other": [(KEY, VK_HELD, ""), (MACRO, -1, "gh$"), (MACRO, -1, "ij${ENTER}$"), (MACRO, -1, "k l$"),
                   (PROFILE, -1, "soak_main")],
    "soak_a": [(KEY, VK_HELD, ""), (MACRO, -1, "mn$"), (MACRO, -1, "op$"), (MACRO, -1, "qr$"),
               (PROFILE, -1, "soak_other")],
    "soak_b": [(KEY, VK_HELD, ""), (MACRO, -1, "st$"), (MACRO, -1, "uv$"), (MACRO, -1, "wx$"),
               (PROFILE, -1, "soak_main")],
}
TYPED = {"ab$": "ab", "cd${ENTER}$": "cd\r\n", "Ef$": "Ef", "gh$": "gh", "ij${ENTER}$": "ij\r\n", "k l$": "k l"}
LINKS = """[FKSettings]
NrKnownApps=2
NrKnownProfiles=2
DefaultProfile=soak_main
[App1]
Name=SoakA
Class=SoakAppA
[App2]
Name=SoakB
Class=SoakAppB
[Prof1]
Type=1
Name=SoakA
Profile=soak_a
[Prof2]
Type=1
Name=SoakB
Profile=soak_b
"""
# The show: switches 1 to 5 are Down, Up, Right, Left, Fire; slot 1's picture changes between runs.
SHOW_PROFILE = "soak_show"
SHOW_SWITCHES = ["down", "up", "right", "left", "fire"]
RED, GREEN, BLUE, YELLOW = (220, 20, 20), (20, 200, 20), (30, 30, 220), (250, 230, 0)
SHOW_PICTURES = {"soak_red.bmp": RED, "soak_green.bmp": GREEN, "soak_blue.bmp": BLUE, "soak_yellow.bmp": YELLOW}
SHOW_SLOTS = [(1, "soak_red.bmp", ""), (1, "soak_green.bmp", ""), (2, "test.wav", ""),
              (4, "soak_yellow.bmp", "test.wav"), (1, "soak_blue.bmp", "")]
IDM_BUTTON_ACTIONS, IDC_ROW_FIRST_TEXT = 40003, 1010
SOAK_FILES = ["fkconfig.ini", SHOW_PROFILE + ".bd2"] + [p + ".bpf" for p in KEY_PROFILES] + list(SHOW_PICTURES)

RESULTS = []


def figure(name, value, limit, ok):
    RESULTS.append(bool(ok))
    print("%-64s %14s   limit %-14s %s" % (name, value, limit, "ok" if ok else "FAILED"), flush=True)


def note(text):
    print("  " + text, flush=True)


def ticks():
    """Wine's performance counter: CLOCK_MONOTONIC_RAW in 100 ns units."""
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 100


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class Agent:
    """soak_agent.exe: hook recorder, probe windows and looks from inside the session."""

    def __init__(self):
        self.process = h.Started([h.WINE_RUN, h.program("soak_agent.exe"), windows_path(os.path.join(h.BIN, "swibus.dll"))],
                                 env=h.session_env(), cwd=h.BIN, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=h.noise_log(), start_new_session=True)
        self.replies = queue.Queue()
        self.events = []  # (kind, direction, what, injected, ticks)
        self.lock = threading.Lock()
        self.ready = threading.Event()
        self.send_lock = threading.Lock()
        threading.Thread(target=self._pump, daemon=True).start()
        h.check(self.ready.wait(60), "the soak agent did not start (exit code %s)" % self.process.poll())
        words = self.command("windows").split()
        self.app_a, self.app_b, self.target = (int(w) for w in words[:3])
        self.target_rect = [int(w) for w in words[3:7]]

    def _pump(self):
        for raw in iter(self.process.stdout.readline, b""):
            words = raw.decode("latin-1").split()
            if not words:
                continue
            if words[0] == "ready":
                self.ready.set()
            elif words[0] == "=":
                self.replies.put(" ".join(words[1:]))
            elif words[0] == "key" and len(words) == 5:
                with self.lock:
                    self.events.append(("key", words[1], int(words[2], 16), words[3] == "i", int(words[4])))
            elif words[0] == "btn" and len(words) == 7:
                with self.lock:
                    self.events.append(("btn", words[1], words[2], words[5] == "i", int(words[6])))

    def command(self, text, timeout=60):
        with self.send_lock:
            self.process.stdin.write((text + "\n").encode())
            self.process.stdin.flush()
            try:
                return self.replies.get(timeout=timeout)
            except queue.Empty:
                raise AssertionError("the soak agent did not answer %r" % text)

    def count(self):
        with self.lock:
            return len(self.events)

    def since(self, mark):
        with self.lock:
            return list(self.events[mark:])

    def quiet(self, still=1.0, timeout=30.0):
        """Waits until no key or button event came for `still` seconds (typing has drained)."""
        deadline = time.monotonic() + timeout
        last, since = self.count(), time.monotonic()
        while time.monotonic() < deadline:
            time.sleep(0.1)
            now = self.count()
            if now != last:
                last, since = now, time.monotonic()
            elif time.monotonic() - since >= still:
                return True
        return False

    def held(self):
        """What the recorded events leave down: every down without its up, as (kind, what)."""
        state = {}
        for kind, direction, what, _, _ in self.since(0):
            state[(kind, what)] = direction == "d"
        return sorted(k for k, down in state.items() if down)

    def front(self, hwnd):
        return self.command("front %d" % hwnd) == "1"

    def stop(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.flush()
                self.process.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()


class Stream:
    """The box's presses: a seeded random but realistic mix of single presses held from 30 ms to 3 s,
    chords of two switches, and bursts of quick presses, with pauses between."""

    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.sent = 0
        self.marks = []  # (ticks, "box HOLD down") of every event sent

    def hold_ms(self):
        r = self.rng.random()
        if r < 0.6:
            return self.rng.randint(30, 250)
        if r < 0.9:
            return self.rng.randint(250, 1000)
        return self.rng.randint(1000, 3000)

    def plan(self, switches, seconds, weights=None):
        """[(at seconds, "HOLD"|"RELEASE", switch)] for a stretch of `seconds`, every press released."""
        events, at = [], 0.0
        while at < seconds:
            kind = self.rng.random()
            if kind < 0.6:
                s = self.rng.choices(switches, weights)[0]
                hold = self.hold_ms() / 1000
                events += [(at, "HOLD", s), (at + hold, "RELEASE", s)]
                at += hold
            elif kind < 0.8:
                a, b = self.rng.sample(switches, 2)
                gap = self.rng.randint(20, 200) / 1000
                hold_a, hold_b = self.hold_ms() / 1000, self.hold_ms() / 1000
                events += [(at, "HOLD", a), (at + gap, "HOLD", b), (at + hold_a, "RELEASE", a),
                           (at + gap + hold_b, "RELEASE", b)]
                # a release of a before b is pressed keeps the order sane: a is then a single press
                at += max(hold_a, gap + hold_b)
            else:
                s = self.rng.choices(switches, weights)[0]
                for _ in range(self.rng.randint(3, 6)):
                    hold = self.rng.randint(30, 80) / 1000
                    events += [(at, "HOLD", s), (at + hold, "RELEASE", s)]
                    at += hold + self.rng.randint(40, 120) / 1000
            at += self.rng.randint(150, 1500) / 1000
        events.sort(key=lambda e: (e[0], e[1] == "HOLD"))
        return events

    def play(self, device, events):
        """Sends the planned presses; returns the makes in the order they went out."""
        started, makes = time.monotonic(), []
        for at, verb, switch in events:
            delay = started + at - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            device.control.command("%s %s" % (verb, switch))
            self.marks.append((ticks(), "box %s %s" % (verb, switch)))
            self.sent += 1
            if verb == "HOLD":
                makes.append(switch)
        return makes


def write_files():
    for name, buttons in KEY_PROFILES.items():
        with open(os.path.join(h.BIN, name + ".bpf"), "w", newline="\r\n") as out:
            for n, (cmd, val, text) in enumerate(buttons, start=1):
                out.write("[Button%d]\nBtCmd=%d\nBtCmdVal=%d\nBtCmdText=%s\n" % (n, cmd, val, text))
    with open(os.path.join(h.BIN, "fkconfig.ini"), "w", newline="\r\n") as out:
        out.write(LINKS)
    for name, colour in SHOW_PICTURES.items():
        show_e2e.write_picture(name, 200, 150, colour)
    show_e2e.write_show_profile(SHOW_PROFILE, SHOW_SLOTS)


def remove_files():
    for name in SOAK_FILES:
        try:
            os.remove(os.path.join(h.BIN, name))
        except FileNotFoundError:
            pass


def settings():
    h.release_port_library()
    h.reg_delete_key(FENNICK_KEY)
    h.reg_delete_key(KEY_MAPPER_KEY)
    h.port_settings_on(1)
    h.reg_set_dword(FENNICK_KEY, "FNType", 1)
    for name, value in (("Method", 2), ("WindowLeft", 0), ("WindowTop", 0)):
        h.reg_set_dword(MOUSE_KEY, name, value)
    r, g, b = 0, 128, 128
    h.reg_set_dword(SHOW_KEY, "BackgroundCol", r | g << 8 | b << 16)
    h.reg("add", SHOW_KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d",
          windows_path(os.path.join(h.BIN, SHOW_PROFILE + ".bd2")), "/f")
    h.reg("add", KEY_MAPPER_KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d",
          windows_path(os.path.join(h.BIN, "soak_main.bpf")), "/f")


def linux_cpu_seconds(names):
    """{name: CPU seconds} of the Linux processes (under emulation: the emulator with the program in it)."""
    found = {}
    for pid, command in h.session_processes().items():
        for name in names:
            if name.lower() in command.lower():
                try:
                    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
                    found[name] = found.get(name, 0.0) + (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
                except (OSError, IndexError):
                    pass
    return found


class Soak:
    def __init__(self, minutes, seed):
        self.minutes = minutes
        self.full = minutes >= 5
        self.rest = 60.0 if self.full else 12.0
        self.active = minutes * 60 - self.rest
        self.warm_at = 60.0 if self.full else 0.0
        self.latency_presses = 40 if self.full else 12
        self.seed = seed
        self.stream = Stream(seed)
        self.device = self.agent = self.notepad = None
        self.started = {}  # name: Popen of what the soak started
        self.windows = {}
        self.expected_text = ""
        self.ce_boxes = 0
        self.stray_boxes = []
        self.show_picture = "soak_red.bmp"
        self.show_checks = []
        self.died = {}
        self.marks = self.stream.marks  # (ticks, what the soak did), to read the hook's events against

    # --- setting up ---------------------------------------------------------------------------
    def start(self):
        write_files()
        settings()
        self.device = h.VirtualDevice(com=1).__enter__()
        self.agent = Agent()
        now = ticks()
        self.notepad = h.Started([h.WINE_RUN, "notepad.exe"], env=h.session_env(), stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=h.noise_log(), start_new_session=True)
        self.windows["notepad"] = h.wait_window("Notepad")
        h.check(self.windows["notepad"], "notepad did not open")
        edits = [line.split()[0] for line in h.probe("children", self.windows["notepad"])[1].splitlines()
                 if " Edit" in line]
        h.check(edits, "notepad has no edit control")
        self.windows["edit"] = int(edits[0])
        for exe, args, window_class, title in (("FennickShow.exe", (), "FennickShow", None),
                                                ("FennickMouse.exe", (), "KeyWndClass", "FennickMouse"),
                                                ("FennickKey.exe", ("-silent",), "FennickKey", "FennickKey")):
            self.started[exe] = h.start(exe, *args, cwd=h.BIN)
            hwnd = h.wait_window(window_class, title or "-")
            h.check(hwnd, "the window of %s did not appear" % exe)
            self.windows[exe] = hwnd
        note("programs up in %.1f s" % ((ticks() - now) / 1e7))
        self.front(self.windows["notepad"])
        self.activate("FennickKey.exe")
        h.check(self.wait_key_mapper_listening(), "the key mapper never answered the box")

    def front(self, hwnd):
        self.marks.append((ticks(), "front %d" % hwnd))
        if not self.agent.front(hwnd):
            note("window %d did not come to the front" % hwnd)
            return False
        return True

    def activate(self, exe):
        self.marks.append((ticks(), "activate " + exe))
        result = self.agent.command("activate %d" % self.windows[exe])
        h.check(result != "-100", "SetActiveHwnd not found in swibus.dll")

    def wait_key_mapper_listening(self, tries=30):
        """Presses the held-key switch until its key comes: the port may still be opening."""
        for _ in range(tries):
            mark = self.agent.count()
            self.device.control.command("HOLD down")
            time.sleep(0.3)
            self.device.control.command("RELEASE down")
            deadline = time.monotonic() + 1.5
            while time.monotonic() < deadline:
                if any(e[0] == "key" and e[2] == VK_HELD and e[1] == "u" for e in self.agent.since(mark)):
                    self.agent.quiet(0.5)
                    return True
                time.sleep(0.05)
            self.dismiss_boxes(expected=True)
        return False

    # --- looks ----------------------------------------------------------------------------------
    def stats(self):
        """{exe: {windows, gdi, gui_user, gui_gdi, private_kib, handles}} of the suite's programs."""
        text = self.agent.command("stats " + " ".join(PROGRAMS))
        out = {}
        for part in filter(None, (p.strip() for p in text.split(";"))):
            w = part.split()
            if len(w) < 8:
                note("stats: %s" % part)
                continue
            gui_gdi, gui_error = w[5].split("/")
            out.setdefault(w[0], []).append(dict(pid=int(w[1]), windows=int(w[2]), gdi=int(w[3]), gui_user=int(w[4]),
                                                  gui_gdi=int(gui_gdi), gui_error=int(gui_error),
                                                  private_kib=int(w[6]), handles=int(w[7])))
        return out

    def settled_stats(self, start):
        """stats() with the show in a known state. Its memory and windows follow Wine's sound player,
        whose device thread (one more window and some 3 MB) outlives a sound or not, and once gone
        may stay gone for many sounds; while sounds keep coming it is mostly there. So the show
        shows switch 1's picture and plays its sound switch until it has one window more than at
        `start` (the sample before any sound): growth is judged between samples of that one state."""
        def show_windows(sample):
            rows = sample.get("FennickShow.exe") or [{}]
            return rows[0].get("windows", 0)
        wanted = show_windows(start) + 1
        self.activate("FennickShow.exe")
        for _ in range(12):
            self.device.press(SHOW_SWITCHES[0], 60)
            time.sleep(0.5)
            self.device.press(SHOW_SWITCHES[2], 60)
            time.sleep(1.0)
            sample = self.stats()
            if show_windows(sample) == wanted:
                break
            note("the show has %s windows, %s with the sound player up: again" % (show_windows(sample), wanted))
        self.activate("FennickKey.exe")
        return sample

    def boxes(self):
        text = self.agent.command("boxes")
        return [b.strip() for b in text.split(" ; ") if b.strip()]

    def dismiss_boxes(self, expected):
        """Closes dialog boxes the programs put up: the port monitor's read-error box ("<CE...>") is
        expected around an unplug; any other box, or one outside an unplug, is counted against them."""
        for box in self.boxes():
            hwnd, pid, title, texts = (box.split("|") + ["", "", "", ""])[:4]
            if "Azioni sensori" in title:
                continue
            if "<CE" in texts and expected:
                self.ce_boxes += 1
            else:
                self.stray_boxes.append(box)
            h.probe("click", hwnd, IDOK)

    # --- phases ---------------------------------------------------------------------------------
    def check_alive(self, where):
        for exe, process in self.started.items():
            if exe != "FennickTest.exe" and process.poll() is not None and exe not in self.died:
                self.died[exe] = (process.returncode, where)
                note("%s ended by itself with code %s (%s)" % (exe, process.returncode, where))

    def key_phase(self, seconds, where):
        """The key mapper has the box; `where` is in front and selects its linked profile."""
        self.activate("FennickKey.exe")
        hwnd = {"notepad": self.windows["notepad"], "a": self.agent.app_a, "b": self.agent.app_b}[where]
        self.front(hwnd)
        time.sleep(0.5)  # the activation reaches the key mapper through its hook
        profile = {"notepad": "soak_main", "a": "soak_a", "b": "soak_b"}[where]
        events = self.stream.plan(SWITCHES, seconds, weights=[2, 3, 2, 2, 1])
        makes = self.stream.play(self.device, events)
        for switch in makes:
            cmd, _, text = KEY_PROFILES[profile][SWITCHES.index(switch)]
            if cmd == MACRO and where == "notepad":
                self.expected_text += TYPED[text]
            elif cmd == PROFILE:
                profile = text
        self.agent.quiet(1.0)

    def mouse_phase(self, seconds):
        """The mouse emulator has the box: moves, clicks and drags over the agent's target window while
        the dwell method cycles the click modes."""
        self.activate("FennickMouse.exe")
        self.front(self.agent.target)
        left, top, right, bottom = self.agent.target_rect
        centre = ((left + right) // 2, (top + bottom) // 2)
        self.agent.command("setpos %d %d" % centre)
        started = time.monotonic()
        rng = self.stream.rng
        while time.monotonic() - started < seconds:
            if rng.random() < 0.6:
                direction = rng.choice(["left", "right", "up", "down"])
                self.device.control.command("HOLD " + direction)
                time.sleep(rng.randint(80, 400) / 1000)
                self.device.control.command("RELEASE " + direction)
            else:
                x, y = (int(v) for v in self.agent.command("pos").split())
                if not (left + 40 < x < right - 40 and top + 60 < y < bottom - 40):
                    self.agent.command("setpos %d %d" % centre)
                self.device.control.command("HOLD fire")
                time.sleep(rng.randint(40, 150) / 1000)
                self.device.control.command("RELEASE fire")
            time.sleep(rng.randint(150, 2500) / 1000)
        # A drag may be waiting for its drop: Fire until the left button is up again.
        for _ in range(4):
            self.agent.quiet(0.8)
            if ("btn", "l") not in self.agent.held():
                break
            self.device.press("fire", 80)

    def show_phase(self, seconds, full_screen, change_actions):
        show = self.windows["FennickShow.exe"]
        if change_actions:
            self.change_show_actions()
        self.activate("FennickShow.exe")
        self.front(show)  # a child at the show looks at it: the picture is checked on the screen
        self.check_show_picture()
        if full_screen:
            h.probe("post", show, WM_KEYDOWN, VK_ESCAPE, 0)
            h.probe("post", show, WM_KEYUP, VK_ESCAPE, 0)
        events = self.stream.plan(SHOW_SWITCHES, seconds)
        self.stream.play(self.device, events)
        if full_screen:
            h.probe("post", show, WM_KEYDOWN, VK_ESCAPE, 0)
            h.probe("post", show, WM_KEYUP, VK_ESCAPE, 0)

    def change_show_actions(self):
        """The carer gives switch 1 another picture in "Azioni sensori"."""
        picture = "soak_blue.bmp" if self.show_picture == "soak_red.bmp" else "soak_red.bmp"
        h.probe("post", self.windows["FennickShow.exe"], WM_COMMAND, IDM_BUTTON_ACTIONS, 0)
        dialog = h.wait_dialog("Azioni sensori")
        h.probe("settext", dialog, IDC_ROW_FIRST_TEXT, picture)
        h.probe("click", dialog, IDOK)
        h.check(h.probe("wait-gone", dialog, 10000)[0] == 0, "the switch actions dialog did not close")
        self.show_picture = picture

    def check_show_picture(self):
        """Switch 1 shows the picture its current action names."""
        rect = [int(v) for v in h.probe("client-rect", self.windows["FennickShow.exe"])[1].split()]
        colour = SHOW_PICTURES[self.show_picture]
        seen = None
        for _ in range(3):
            self.device.press("down", 60)
            _, seen = show_e2e.wait_pixel(show_e2e.centre(rect), colour, "suite_soak_show", timeout=4)
            if seen == colour:
                break
        self.show_checks.append((self.show_picture, seen == colour, seen))

    def unplug_cycle(self, seconds):
        """The box pulled out and plugged back: within 10 s a switch must work again, the port
        monitor's read-error box closed as a carer would close it."""
        self.activate("FennickKey.exe")
        self.device.control.command("UNPLUG")
        time.sleep(seconds)
        self.device.control.command("REPLUG")
        started = time.monotonic()
        working = False
        while not working and time.monotonic() - started < 10:
            working = self.wait_key_mapper_listening(tries=1)
        took = time.monotonic() - started
        server = int(h.probe("find", "vlm_sb_Hidden")[1] or 0)
        answers = bool(server) and self.agent.command("ping %d" % server).split()[0] == "1"
        self.dismiss_boxes(expected=True)
        left = self.boxes()
        if left:
            note("after unplug: boxes that would not close: %s" % left)
        return working, took, answers, left

    def tester_once(self):
        tester = h.Program("FennickTest.exe", "FennickTest", "FennickTest")
        self.started["FennickTest.exe"] = tester.process
        time.sleep(2.0)
        answered = self.agent.command("ping %d" % tester.window).split()[0] == "1"
        tester.post(WM_CLOSE)
        try:
            code = tester.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            code = None
        return answered, code

    def latency(self):
        """Switch byte to effect: the held-key switch's make to the key-down the hook sees (ms)."""
        self.activate("FennickKey.exe")
        self.front(self.windows["notepad"])
        time.sleep(0.3)
        values = []
        for _ in range(self.latency_presses):
            mark = self.agent.count()
            sent = ticks()
            self.device.control.command("HOLD down")
            deadline = time.monotonic() + 5
            got = None
            while got is None and time.monotonic() < deadline:
                got = next((e[4] for e in self.agent.since(mark) if e[0] == "key" and e[2] == VK_HELD and e[1] == "d"),
                           None)
                time.sleep(0.002)
            self.device.control.command("RELEASE down")
            if got is not None:
                values.append((got - sent) / 1e4)
            time.sleep(0.12)
        self.agent.quiet(0.5)
        return values

    # --- the run ----------------------------------------------------------------------------------
    def run(self):
        print("suite soak: %g minutes (%.0f s of use, %.0f s of rest), seed %d" % (
            self.minutes, self.active, self.rest, self.seed), flush=True)
        self.start()
        gdi_test = self.agent.command("gdiselftest").split()
        note("GDI count check on the agent itself: %s before, %s with 10 brushes more, %s after" % tuple(gdi_test[:3]))
        samples = {"start": self.stats()}
        lat_start = self.latency()
        begin = time.monotonic()
        # Use comes in rounds: each round does every kind of thing once (three profiles, the mouse,
        # the show full screen and with its switch actions changed, an unplug). Growth is judged from
        # the end of the first round (and the first minute) on: a first picture decoded, a first
        # message box or a first dialog costs memory once, a leak costs it every round.
        round_phases = ["keys notepad", "keys a", "mouse", "show", "unplug", "keys b", "keys notepad", "mouse",
                        "show"]
        phase_seconds = 14.0 if self.full else 2.5
        unplugs, tester_result, show_runs, rounds = [], None, 0, 0
        while rounds < 2 or time.monotonic() - begin < self.active - (25 if self.full else 5):
            for phase in round_phases:
                elapsed = time.monotonic() - begin
                self.check_alive("round %d, before %s, at %.0f s" % (rounds + 1, phase, elapsed))
                if phase == "unplug":
                    if rounds < 2:  # two unplugs in all: one in the warm-up round, one after it
                        unplugs.append(self.unplug_cycle(3.0 if self.full else 2.0))
                elif phase.startswith("keys"):
                    self.key_phase(phase_seconds, phase.split()[1])
                elif phase == "mouse":
                    self.mouse_phase(phase_seconds)
                else:
                    self.show_phase(phase_seconds, full_screen=show_runs % 2 == 0, change_actions=show_runs > 0)
                    show_runs += 1
                self.dismiss_boxes(expected=False)
            rounds += 1
            if rounds == 1:
                while time.monotonic() - begin < self.warm_at:
                    self.key_phase(phase_seconds, "notepad")
                samples["warm"] = self.settled_stats(samples["start"])
                note("warm-up round done at %.0f s" % (time.monotonic() - begin))
            if tester_result is None:
                tester_result = self.tester_once()
        note("%d rounds of use" % rounds)
        lat_end = self.latency()
        self.front(self.windows["notepad"])
        self.agent.quiet(1.0)
        held_before_rest = self.agent.held()
        # Rest: nobody touches anything.
        cpu_before = linux_cpu_seconds(PROGRAMS)
        rest_started = time.monotonic()
        time.sleep(self.rest)
        cpu_after = linux_cpu_seconds(PROGRAMS)
        rest_took = time.monotonic() - rest_started
        samples["end"] = self.settled_stats(samples["start"])
        self.check_alive("at the end")
        figure("programs that ended by themselves during the soak", len(self.died), "0", not self.died)
        self.report(samples, lat_start, lat_end, unplugs, tester_result, held_before_rest, cpu_before, cpu_after,
                    rest_took, begin)
        self.close_all()

    def report(self, samples, lat_start, lat_end, unplugs, tester_result, held_before_rest, cpu_before, cpu_after,
               rest_took, begin):
        print("--- after %.0f s of use, %d box events sent" % (time.monotonic() - begin, self.stream.sent), flush=True)
        text = h.window_text(self.windows["edit"], exact=True)
        expected = self.expected_text
        text, expected = (t.replace("\r", "") for t in (text, expected))
        same = text == expected
        figure("text in notepad equals what the switches asked for, in order", "yes" if same else "no", "yes", same)
        note("notepad holds %d characters, expected %d" % (len(text), len(expected)))
        if not same:
            self.keep_events()
            i = next((k for k, (a, b) in enumerate(zip(text, expected)) if a != b), min(len(text), len(expected)))
            note("first difference at %d: got %r, expected %r" % (i, text[max(0, i - 20):i + 30],
                                                                   expected[max(0, i - 20):i + 30]))
        figure("keys and mouse buttons down after the last press (hook)", len(held_before_rest), "0",
               not held_before_rest)
        if held_before_rest:
            note("held: %r" % held_before_rest)
        for name, values in (("start", lat_start), ("end", lat_end)):
            note("latency at the %s: %d of %d presses seen" % (name, len(values), self.latency_presses))
        if lat_start and lat_end:
            m0, m1 = statistics.median(lat_start), statistics.median(lat_end)
            p0, p1 = percentile(lat_start, 99), percentile(lat_end, 99)
            figure("switch byte to key-down, median at the start", "%.1f ms" % m0, "(reference)", True)
            figure("switch byte to key-down, median at the end", "%.1f ms" % m1, "<= start x1.5 + 5 ms",
                   m1 <= m0 * 1.5 + 5)
            figure("switch byte to key-down, p99 at the start", "%.1f ms" % p0, "(reference)", True)
            figure("switch byte to key-down, p99 at the end", "%.1f ms" % p1, "<= start x2 + 20 ms",
                   p1 <= p0 * 2 + 20)
        figure("latency presses lost", (self.latency_presses * 2 - len(lat_start) - len(lat_end)), "0",
               len(lat_start) + len(lat_end) == self.latency_presses * 2)
        for n, (working, took, answers, left) in enumerate(unplugs, start=1):
            figure("unplug/replug %d: switch working again after the replug" % n,
                   "%.1f s" % took if working else "not in 10 s", "10 s", working)
            figure("unplug/replug %d: swibus.exe answers WM_NULL after the replug" % n, "yes" if answers else "no",
                   "yes", answers)
            figure("unplug/replug %d: boxes that OK does not close" % n, len(left), "0", not left)
        figure("port read-error boxes around the unplugs (closed)", self.ce_boxes, "(information)", True)
        answered, code = tester_result
        figure("tester: answered while running", "yes" if answered else "no", "yes", answered)
        figure("tester: exit code after WM_CLOSE", code, "0", code == 0)
        for picture, ok, seen in self.show_checks:
            figure("show: switch 1 shows %s" % picture, "yes" if ok else "no %s" % (seen,), "yes", ok)
        self.report_resources(samples)
        total = 0.0
        for name in PROGRAMS:
            used = cpu_after.get(name, 0.0) - cpu_before.get(name, 0.0)
            total += used
            note("CPU at rest, %s: %.2f s over %.0f s" % (name, used, rest_took))
        figure("CPU of the suite over the rest, % of one core", "%.2f %%" % (100 * total / rest_took), "1 %",
               total / rest_took <= 0.01)
        for exe in ("FennickKey.exe", "FennickMouse.exe", "FennickShow.exe"):
            ok, ms = self.agent.command("ping %d" % self.windows[exe]).split()
            figure("%s answers WM_NULL" % exe, "%s ms" % ms if ok == "1" else "no", "2000 ms", ok == "1")
        server = int(h.probe("find", "vlm_sb_Hidden")[1] or 0)
        if server:
            ok, ms = self.agent.command("ping %d" % server).split()
            figure("swibus.exe answers WM_NULL", "%s ms" % ms if ok == "1" else "no", "2000 ms", ok == "1")
        else:
            figure("swibus.exe answers WM_NULL", "no window", "2000 ms", False)
        self.dismiss_boxes(expected=False)
        figure("boxes put up outside the unplugs", len(self.stray_boxes), "0", not self.stray_boxes)
        for box in self.stray_boxes:
            note("box: %s" % box)

    def keep_events(self):
        """The hook's events and what the soak did, in time order, for reading a failure."""
        lines = [(t, "%s %s %s %s" % (kind, direction, ("%02x" % what) if kind == "key" else what,
                                      "injected" if injected else "real"))
                 for kind, direction, what, injected, t in self.agent.since(0)]
        lines += [(t, "--- " + what) for t, what in self.marks]
        path = os.path.join(h.ARTIFACTS, "suite_soak_events.txt")
        with open(path, "w") as out:
            out.writelines("%.3f %s\n" % (t / 1e7, text) for t, text in sorted(lines))
        note("the hook's events and the soak's steps: %s" % path)

    def report_resources(self, samples):
        first = samples["start"]
        for exe in PROGRAMS:
            rows = [samples[k].get(exe) for k in ("start", "warm", "end")]
            if not all(r and len(r) == 1 for r in rows):
                figure("%s: one process at start, first minute and end" % exe,
                       "/".join(str(len(r or [])) for r in rows), "1/1/1", False)
                continue
            s, w, e = (r[0] for r in rows)
            for key, label in (("windows", "USER: windows"), ("private_kib", "private KiB")):
                if min(s[key], w[key], e[key]) < 0:
                    figure("%s %s: %d / %d / %d" % (exe, label, s[key], w[key], e[key]), "no answer", "2 %", False)
                    continue
                growth = 100.0 * (e[key] - w[key]) / w[key] if w[key] else (0.0 if e[key] == 0 else 100.0)
                figure("%s %s: %d / %d / %d, growth after warm-up" % (exe, label, s[key], w[key], e[key]),
                       "%+.1f %%" % growth, "2 %", growth <= 2.0)
            if min(s["gdi"], w["gdi"], e["gdi"]) < 0:
                note("%s GDI objects: not measurable here (GetGuiResources answers 0 with error %d; the process's "
                     "GDI handle table cannot be read from outside under emulation)" % (exe, e["gui_error"]))
            else:
                growth = 100.0 * (e["gdi"] - w["gdi"]) / w["gdi"] if w["gdi"] else 0.0
                figure("%s GDI objects: %d / %d / %d, growth after warm-up" % (exe, s["gdi"], w["gdi"], e["gdi"]),
                       "%+.1f %%" % growth, "2 %", growth <= 2.0)
        del first

    def close_all(self):
        """WM_CLOSE to each program: each answers, ends with 0 and leaves nothing down."""
        for exe in ("FennickKey.exe", "FennickMouse.exe", "FennickShow.exe"):
            h.probe("post", self.windows[exe], WM_CLOSE, 0, 0)
            try:
                code = self.started[exe].wait(timeout=30)
            except subprocess.TimeoutExpired:
                code = "still running"
            figure("%s exit code after WM_CLOSE" % exe, code, "0", code == 0)
        gone = h.eventually(lambda: not int(h.probe("find", "vlm_sb_Hidden")[1] or 0), timeout=15)
        figure("swibus.exe ended after the last program", "yes" if gone else "no", "yes", gone)
        self.agent.quiet(0.5)
        held = self.agent.held()
        figure("keys and mouse buttons down after the programs ended (hook)", len(held), "0", not held)
        system = self.agent.command("keys").split()
        figure("keys and buttons the system holds down at the end", len(system), "0", not system)
        if held or system:
            note("hook: %r, system: %r" % (held, system))

    def stop(self):
        """Ends by process id everything the soak started, whatever happened."""
        for process in self.started.values():
            if process.poll() is None:
                process.kill()
        if self.notepad is not None and self.notepad.poll() is None:
            self.notepad.kill()
        if self.agent is not None:
            self.agent.stop()
        if self.device is not None:
            self.device.__exit__(None, None, None)
        leftovers = h.session_processes()
        if leftovers:
            h.end_processes(list(leftovers))


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    with h.wine_session():
        leftovers = h.session_processes()
        if leftovers:
            print("ending what an earlier run left: %s" % sorted(leftovers.values()), flush=True)
            h.end_processes(list(leftovers))
        soak = Soak(args.minutes, args.seed)
        try:
            soak.run()
        except Exception as error:  # noqa: BLE001 - a failure is one more figure, and everything still ends
            RESULTS.append(False)
            print("soak stopped: FAILED: %s" % error, flush=True)
        finally:
            soak.stop()
            remove_files()
    print("%d of %d figures within their limits" % (sum(RESULTS), len(RESULTS)))
    return 0 if RESULTS and all(RESULTS) else 1


if __name__ == "__main__":
    sys.exit(main())
