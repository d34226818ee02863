"""Helpers for end-to-end tests: Windows programs under Wine, the virtual device, windows, screenshots.

Every driver runs inside the Wine session of its build tree (ctest's wine fixture
starts it); the helpers find the tree through FENNICK_BUILD_DIR.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

REPO = os.environ.get("FENNICK_REPO") or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("FENNICK_BUILD_DIR") or os.path.join(REPO, "build", "windows")
BIN = os.path.join(BUILD, "bin")
TESTS = os.path.join(BUILD, "tests")
WINE_RUN = os.path.join(REPO, "tools", "wine-run")
VSWITCH = os.path.join(REPO, "tools", "vswitch.py")
PREFIX = os.path.join(BUILD, "wineprefix")
ARTIFACTS = os.path.join(BUILD, "artifacts")

sys.path.insert(0, os.path.join(REPO, "tools"))
from vswitch import Control  # noqa: E402


def session_env():
    """The environment of the build tree's Wine session (DISPLAY included)."""
    env = dict(os.environ)
    env["FENNICK_BUILD_DIR"] = BUILD
    env["WINEPREFIX"] = PREFIX
    env.setdefault("WINEDEBUG", "-all")
    session = os.path.join(BUILD, "wine-session.env")
    if not env.get("DISPLAY") and os.path.exists(session):
        for line in open(session):
            key, _, value = line.strip().partition("=")
            if key == "DISPLAY":
                env["DISPLAY"] = value
    return env


def program(name):
    """Path of a deliverable in bin/ or a test program in tests/."""
    for folder in (BIN, TESTS):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            return path
    if name == "reg":
        return name  # Wine's own
    raise FileNotFoundError(name)


def noise_log():
    """Where the standard error of the programs we start goes, opened for appending.

    A Windows program passes its standard error on to every process it starts (the port monitor's
    server, Wine's services), and what those print there (an emulator's complaint about a process
    of its own, a crash of another program) is not the program's result. Tests judge a program by
    its exit code, its standard output and its effects; this file keeps the rest for a person."""
    os.makedirs(ARTIFACTS, exist_ok=True)
    return open(os.path.join(ARTIFACTS, "wine-stderr.log"), "ab")


def run(exe, *args, timeout=60, check=False):
    """Runs a Windows program to its end; returns (exit code, its standard output). A program that
    does not end in time is ended, by process group, with whatever it started."""
    with noise_log() as noise:
        process = Started([WINE_RUN, program(exe)] + [str(a) for a in args], env=session_env(),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=noise,
                          start_new_session=True)
    chunks = []
    reader = threading.Thread(target=lambda: chunks.extend(iter(lambda: process.stdout.read1(65536), b"")),
                              daemon=True)
    reader.start()
    try:
        code = process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        raise
    # Its output pipe may stay open in a process it started: what it wrote before its end is read
    # by the time the pipe is drained, or shortly after.
    reader.join(timeout=0.5)
    text = b"".join(list(chunks)).decode("latin-1").replace("\r\n", "\n")
    if check and code != 0:
        raise AssertionError("%s %s exited %d:\n%s" % (exe, args, code, text))
    return code, text


class Started(subprocess.Popen):
    """A program started through wine-run in a process group of its own. kill() ends the whole
    group: the wrapper alone would leave the Windows program (and what it started) running, to
    disturb every later test of the session."""

    def kill(self):
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            super().kill()


def start(exe, *args, cwd=None):
    """Starts a Windows program and leaves it running; returns the Popen (its standard output
    piped, its standard error to the noise log)."""
    with noise_log() as noise:
        return Started([WINE_RUN, program(exe)] + [str(a) for a in args], env=session_env(), cwd=cwd,
                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=noise,
                       start_new_session=True)


def probe(*args, timeout=60):
    """Runs the window probe; returns (exit code, output stripped)."""
    code, text = run("fennick_probe.exe", *args, timeout=timeout)
    return code, text.strip()


def xdotool(*args):
    """Real mouse and keyboard input on the session's X display (xdotool's own command words)."""
    subprocess.run(["xdotool"] + [str(a) for a in args], env=session_env(), check=True, timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_window(window_class="-", title="-", timeout_ms=15000):
    code, text = probe("wait", window_class, title, timeout_ms, timeout=timeout_ms / 1000 + 30)
    return int(text.splitlines()[-1]) if code == 0 else 0


def window_text(hwnd, control=None, exact=False):
    """The window's text; with `exact` byte for byte, trailing blanks and line ends kept."""
    args = ["text", hwnd] + ([control] if control is not None else [])
    if not exact:
        return probe(*args)[1]
    text = run("fennick_probe.exe", *args, timeout=60)[1]
    return text[:-1] if text.endswith("\n") else text


def reg(*args):
    """wine reg ...; returns (exit code, output)."""
    try:
        return run("reg", *args, timeout=30)
    except subprocess.TimeoutExpired:
        # Ended with its process group above; a second try meets a session whose services are up.
        return run("reg", *args, timeout=60)


def reg_delete_key(key):
    reg("delete", key, "/f")


def reg_set_dword(key, name, value):
    code, text = reg("add", key, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f")
    assert code == 0, text


def reg_get_dword(key, name):
    code, text = reg("query", key, "/v", name)
    if code != 0:
        return None
    for line in text.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0] == name and parts[1] == "REG_DWORD":
            return int(parts[2], 16)
    return None


def screenshot(name):
    """Saves the whole screen as build/windows/artifacts/<name>.png and returns its path."""
    os.makedirs(ARTIFACTS, exist_ok=True)
    path = os.path.join(ARTIFACTS, name + ".png")
    subprocess.run(["import", "-window", "root", path], env=session_env(), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    return path


def pixel(path, x, y):
    """(r, g, b) of one pixel of a PNG."""
    out = subprocess.run(["convert", path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                         stdout=subprocess.PIPE, check=True, timeout=30).stdout.decode()
    # "0,0: (255,0,0)  #FF0000  red"
    values = out.splitlines()[-1].split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in values[:3])


def processes_mapping(file_path):
    """{pid: command line} of the processes that have this file mapped (a loaded DLL, say)."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/maps" % pid) as maps:
                if not any(file_path in line for line in maps):
                    continue
            with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                found[int(pid)] = cmdline.read().replace(b"\0", b" ").decode("latin-1").strip()
        except OSError:
            continue
    return found


def release_files(paths, timeout=20.0, ends=lambda command: False, in_use="still loaded"):
    """Waits until no process maps any of `paths`, ending Wine's desktop process (global hooks load
    DLLs into it and it keeps them for the session) with the process that holds the desktop for the
    session, and every process whose command line `ends` names; then has the session start them
    again (or, when the desktop could not be freed, start its server again)."""
    deadline = time.monotonic() + timeout
    desktop_ended = False
    while True:
        users = {}
        for path in paths:
            users.update(processes_mapping(path))
        if not users:
            break
        for pid, command in users.items():
            if "explorer.exe" in command.lower():
                # With the desktop's holder: a desktop still in use when its process is gone is
                # not started again. Both gone before the session's start looks for them.
                desktop_ended = True
                end_processes([pid] + [p for p, c in session_processes(services=True).items()
                                       if DESKTOP_HOLDER in c])
            elif ends(command):
                end_processes([pid], timeout=0)
        if time.monotonic() > deadline:
            raise AssertionError("%s: %s" % (in_use, sorted(users.values())))
        time.sleep(0.1)
    if desktop_ended:
        # Wine closes an unused desktop about a second after its last program.
        time.sleep(1.5)
        subprocess.run([os.path.join(REPO, "tools", "wine-session"), "start", BUILD], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, check=True, timeout=600)


def release_port_library(timeout=20.0, library=None):
    """Makes the next load of swibus.dll a first load, which reads the stored settings afresh.

    The library's shared block lives as long as any process has the library loaded, and its global
    hooks load it into other GUI processes too: Wine's desktop process (explorer.exe) keeps it for
    the rest of the session once a hook ran there. Tests that change the stored settings end that
    process (Wine starts it again for the next window) and wait for every other user to end.
    `library`: another copy than the build tree's (an installed one)."""
    release_files([library or os.path.join(BIN, "swibus.dll")], timeout, in_use="swibus.dll is still loaded by")


# The process that keeps the desktop (and so Wine's desktop process) up for the whole session.
DESKTOP_HOLDER = "fennick_probe.exe hold"
# The processes of a session that live as long as it does: Wine's own and the desktop's holder.
SESSION_SERVICES = ("wineserver", "services.exe", "explorer.exe", "winedevice.exe", "plugplay.exe",
                    "svchost.exe", "rpcss.exe", "Xvfb", DESKTOP_HOLDER)


def session_processes(services=False, prefix=None):
    """{pid: command line} of the processes of this build tree's Wine session (those whose
    environment names its prefix, or `prefix`), apart from this one and, unless `services`, Wine's
    own services."""
    marker = b"WINEPREFIX=" + (prefix or PREFIX).encode() + b"\0"
    mine = {os.getpid(), os.getppid()}
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if int(pid) in mine or marker not in open("/proc/%s/environ" % pid, "rb").read():
                continue
            with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                command = cmdline.read().replace(b"\0", b" ").decode("latin-1").strip()
            state = open("/proc/%s/stat" % pid).read().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            continue
        if state == "Z" or (not services and any(name in command for name in SESSION_SERVICES)):
            continue
        found[int(pid)] = command
    return found


def end_processes(pids, timeout=10.0):
    """Ends these processes (SIGKILL, by id) and waits until they are gone."""
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and any(_running(pid) for pid in pids):
        time.sleep(0.05)


def kill_program(image_name):
    """Ends every process of this image name in this session (for cleanup after a failure)."""
    end_processes([pid for pid, command in session_processes().items() if image_name in command])


class VirtualDevice:
    """The virtual switch box on COMn of the session's prefix, for a `with` block."""

    def __init__(self, com=1, identity=None, silent=False, codes=None):
        self.com = com
        self.args = ["--prefix", PREFIX, "--com", str(com), "--batch"]
        if identity is not None:
            self.args += ["--identity", identity]
        if silent:
            self.args.append("--no-identity")
        if codes:
            self.args += ["--codes", codes]
        self.process = None
        self.control = None

    def __enter__(self):
        folder = tempfile.mkdtemp(prefix="vswitch")
        ready = os.path.join(folder, "ready")
        self.process = subprocess.Popen([sys.executable, VSWITCH, "--ready-file", ready] + self.args,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        for _ in range(200):
            if os.path.exists(ready):
                break
            time.sleep(0.05)
        else:
            self.process.kill()
            raise RuntimeError("virtual device did not start")
        port = int(open(ready).read())
        shutil.rmtree(folder, ignore_errors=True)
        self.control = Control(port)
        return self

    def __exit__(self, *exc):
        try:
            self.control.command("QUIT")
            self.control.close()
        except (OSError, RuntimeError):
            pass
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
        return False

    # shorthands
    def send(self, data, gap_ms=0):
        return self.control.send(data, gap_ms)

    def press(self, switch, hold_ms=50):
        return self.control.command("PRESS %s %d" % (switch, hold_ms))

    def received(self):
        return self.control.received()

    def clear(self):
        self.control.command("CLEAR")

    def wait_received(self, expected, timeout=10.0):
        """Waits until the device has received at least `expected` (bytes); returns what it has."""
        deadline = time.monotonic() + timeout
        got = b""
        while time.monotonic() < deadline:
            got = self.received()
            if expected in got:
                return got
            time.sleep(0.05)
        return got


class OutputLines:
    """A process whose output lines are collected as they come."""

    def __init__(self, process):
        self.process = process
        self.lines = []
        self.ended = False  # the process closed its output and every line of it is in `lines`
        self.lock = threading.Lock()
        threading.Thread(target=self._pump, daemon=True).start()

    def _pump(self):
        for raw in iter(self.process.stdout.readline, b""):
            with self.lock:
                self.lines.append(raw.decode("latin-1").strip())
        self.ended = True

    def snapshot(self):
        with self.lock:
            return list(self.lines)

    def find(self, predicate, timeout=20.0):
        """The lines that match, waiting for the first up to `timeout` (or until the process ends)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = [line for line in self.snapshot() if predicate(line)]
            if found or self.ended:
                return found
            time.sleep(0.03)
        return []


SWIBUS_KEY = r"HKCU\Software\Velmora\Swibus"


def port_settings_on(com):
    """The port monitor's default settings (codes "LlRrUuDdJjDd"), on COM`com`, whatever earlier tests stored."""
    reg_delete_key(SWIBUS_KEY)
    reg_set_dword(SWIBUS_KEY, "ComPort", com)


def wait_dialog(title, timeout_ms=10000):
    """A dialog box (class #32770) with this title, or a failed check."""
    hwnd = wait_window("#32770", title, timeout_ms)
    check(hwnd, "dialog %r did not open" % title)
    return hwnd


def check_second_instance_refused(exe):
    """While `exe` runs, a second copy says so in its message box and ends with exit code 6."""
    second = start(exe, cwd=BIN)
    box = wait_dialog("Could not launch")
    _, children = probe("children", box)
    check("An instance of the program is already running" in children, "message text: %r" % children)
    probe("click", box, 1)  # IDOK
    check(second.wait(timeout=30) == 6, "second instance exit code %s" % second.returncode)


class Program:
    """A program of the suite started in bin/ (its program folder) and its main window, for a `with`
    block: close() asks it to end with WM_CLOSE and expects exit code 0."""

    def __init__(self, exe, window_class, title, wait=True):
        self.exe = exe
        self.process = start(exe, cwd=BIN)
        self.window = wait_window(window_class, title) if wait else 0
        if wait:
            check(self.window, "the %s window did not appear" % exe)

    def post(self, message, wparam=0, lparam=0):
        code, text = probe("post", self.window, message, wparam, lparam)
        check(code == 0, "post failed: " + text)

    def client_rect(self):
        """(left, top, right, bottom) of the client area in screen coordinates."""
        code, text = probe("client-rect", self.window)
        check(code == 0, "no client rectangle: " + text)
        return [int(v) for v in text.split()]

    def close(self):
        if self.window:
            self.post(0x0010)  # WM_CLOSE
        try:
            code = self.process.wait(timeout=30)
        except Exception:  # noqa: BLE001 - any hang is a failure; end our own process
            self.process.kill()
            raise AssertionError("%s did not end after WM_CLOSE" % self.exe)
        check(code == 0, "%s exited with %s" % (self.exe, code))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            try:
                self.close()
            except AssertionError:
                pass
        return False


class wine_session:
    """For scripts run outside ctest (benchmarks): the build tree's Wine session for a `with`
    block. What an earlier run left in the session (a program, a port monitor server) is ended
    first; at the end, every process started meanwhile is ended by process id, and the session is
    stopped when this block started it (or took over one that an ended run left behind)."""

    OWNER = os.path.join(BUILD, "wine-session.owner")

    def __enter__(self):
        self.started = not self._live() or self._orphaned()
        if self.started:
            with open(self.OWNER, "w") as owner:  # first: a start that fails midway is still ours
                owner.write("%d\n" % os.getpid())
        # Also for a running session: the start finds a session whose services hang and starts its
        # server again.
        if subprocess.run([os.path.join(REPO, "tools", "wine-session"), "start", BUILD],
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL).returncode != 0:
            self.before = set()
            self.__exit__()
            raise SystemExit("nothing measured: the Wine session of %s did not start (tools/wine-session "
                             "start failed; it says why above)" % BUILD)
        leftovers = session_processes()
        if leftovers:
            print("ending what an earlier run left in the session: %s" % sorted(leftovers.values()), flush=True)
            end_processes(list(leftovers))
        self.before = set(session_processes(services=True))
        return self

    def __exit__(self, *exc):
        left = {pid: command for pid, command in session_processes().items() if pid not in self.before}
        end_processes(list(left))
        if self.started:
            subprocess.run([os.path.join(REPO, "tools", "wine-session"), "stop", BUILD],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            # A process hung where the server's end does not reach it (emulated Wine starting its
            # debugger, say) outlives the stop.
            end_processes(list(session_processes(services=True)))
            if os.path.exists(self.OWNER):
                os.remove(self.OWNER)
        return False

    @staticmethod
    def _live():
        """Whether the session file names a display that still runs."""
        try:
            values = dict(line.strip().partition("=")[::2] for line in open(os.path.join(BUILD, "wine-session.env")))
        except OSError:
            return False
        pid = values.get("XVFB_PID")
        return not pid or _running(int(pid))

    def _orphaned(self):
        """Whether the session was started by a benchmark that has ended (killed, interrupted)."""
        try:
            return not _running(int(open(self.OWNER).read()))
        except (OSError, ValueError):
            return False


def _running(pid):
    try:
        state = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return False
    return state != "Z"


class ending_what_it_starts:
    """For a `with` block: at its end, whatever happened, the session's processes that were not
    there at its start (the programs it started, a port monitor server they started) are ended by
    process id; `left` names those that were still running."""

    def __enter__(self):
        self.before = set(session_processes())
        self.left = {}
        return self

    def __exit__(self, *exc):
        self.left = {pid: command for pid, command in session_processes().items() if pid not in self.before}
        end_processes(list(self.left))
        return False


def eventually(condition, timeout=10.0):
    """Whether `condition()` becomes true within `timeout` seconds: for effects of real input, which
    reaches a program through the X server on no schedule of ours."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def main(tests, cleanup=None):
    """Runs test functions in order, prints each result, exits non-zero when any failed. `cleanup`
    (for a program the tests share) runs at the end whatever happened.

    One failed case costs one case: whatever a failed case started (the port monitor's server it
    caused to start included) is ended by process id before the next case; a case that passed leaves
    what it meant to leave (a program the cases share). What an earlier run left (a file that failed
    and is tried again) is ended before the first case, and everything is ended after the last."""
    leftovers = session_processes()
    if leftovers:
        print("ending what an earlier run left: %s" % sorted(leftovers.values()), flush=True)
        end_processes(list(leftovers))
    try:
        _run_tests(tests)
    finally:
        if cleanup is not None:
            cleanup()
        end_processes(list(session_processes()))


def _run_tests(tests):
    failures = 0
    for test in tests:
        started = time.monotonic()
        before = set(session_processes())
        try:
            test()
            print("PASS %s (%.1fs)" % (test.__name__, time.monotonic() - started), flush=True)
            passed = True
        except Exception as error:  # noqa: BLE001 - report every kind of failure the same way
            failures += 1
            print("FAIL %s: %s" % (test.__name__, error), flush=True)
            passed = False
        if not passed:
            left = {pid: command for pid, command in session_processes().items() if pid not in before}
            if left:
                print("  ending what the case left: %s" % sorted(left.values()), flush=True)
                end_processes(list(left))
    print("%d of %d passed" % (len(tests) - failures, len(tests)))
    sys.exit(1 if failures else 0)
