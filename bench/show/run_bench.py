"""Show benchmark: from the box's make byte to the picture's pixels on screen, median and p99, for a
1920 x 1080 JPEG and a 640 x 480 BMP. In the same run, on the same line and the same screen spot:
  baseline      a bare program that reads the byte on a 1 ms timer and loads and renders the same
                file with OleLoadPicture (bench/show/picture_baseline.cpp);
  show          FennickShow through swibus.dll and swibus.exe, the picture cached while unchanged;
  show, changed the same, with the file's write time changed before every make, so it is decoded.
Each sample starts from the background (switch 5, no action), sends "D" and polls the screen's
centre pixel through Xlib until the picture's colour is there. Times include the box's control
connection, the same for all three. Set FENNICK_BENCH_SAMPLES for more samples (default 40).
Before measuring, the show is pressed (switch 2, a small check picture) until it answers, so a
figure the show could not give says whether the box reached it at all. A figure that could not be
taken is printed as such, with what did not happen, and the run ends with exit code 1.
"""
import ctypes
import os
import statistics
import subprocess
import sys
import time

REPO = os.environ.get("FENNICK_REPO") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools"))
sys.path.insert(0, os.path.join(REPO, "show", "tests"))
import fennick_harness as h  # noqa: E402
import show_e2e as e2e  # noqa: E402 - the show's own drivers: settings, window

SAMPLES = int(os.environ.get("FENNICK_BENCH_SAMPLES", "40"))
MARK = (220, 20, 20)  # a square of this colour sits at the centre of each picture
BACKGROUND = e2e.BACKGROUND
PICTURES = [("bench_show_1920x1080.jpg", 1920, 1080), ("bench_show_640x480.bmp", 640, 480)]
CHECK = (20, 200, 20)  # the colour of the check picture on switch 2
CHECK_PICTURE = "bench_show_check.bmp"
SHOW_RECT = [240, 193, 1040, 830]  # where the baseline draws when no show window gave its place
NOISE = os.path.join(h.ARTIFACTS, "wine-stderr.log")


class NotMeasured(Exception):
    """A figure that could not be taken; the message says what did not happen."""


class Screen:
    """One pixel of the X screen at a time, straight from the X server."""

    def __init__(self):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.c_void_p
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XGetPixel.restype = ctypes.c_ulong
        self.x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(h.session_env()["DISPLAY"].encode())
        if not self.display:
            raise RuntimeError("cannot open the session's display")
        self.root = self.x.XDefaultRootWindow(self.display)

    def pixel(self, x, y):
        image = self.x.XGetImage(self.display, self.root, x, y, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        value = self.x.XGetPixel(image, 0, 0)
        # The pixel data and the image record, as XDestroyImage would free them.
        data = ctypes.cast(image + 16, ctypes.POINTER(ctypes.c_void_p))[0]
        self.x.XFree(data)
        self.x.XFree(image)
        return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def make_pictures():
    with open(os.path.join(h.BIN, CHECK_PICTURE), "wb") as out:
        out.write(e2e.bmp_bytes(64, 64, lambda x, y: CHECK))
    for name, width, height in PICTURES:
        path = os.path.join(h.BIN, name)
        cx, cy = width // 2, height // 2
        kind = "BMP3:" if name.endswith(".bmp") else ""
        subprocess.run(["convert", "-seed", "7", "-size", "%dx%d" % (width, height), "plasma:fractal",
                        "-fill", "rgb(%d,%d,%d)" % MARK, "-draw",
                        "rectangle %d,%d %d,%d" % (cx - 60, cy - 60, cx + 60, cy + 60), "-quality", "90",
                        kind + path], check=True, timeout=300)


def write_profile(picture):
    lines = ["[Button1]", "BtCmd=1", "BtCmdText1=" + picture, "BtCmdText2=",
             "[Button2]", "BtCmd=1", "BtCmdText1=" + CHECK_PICTURE, "BtCmdText2="]
    for n in range(3, 6):
        lines += ["[Button%d]" % n, "BtCmd=0", "BtCmdText1=", "BtCmdText2="]
    with open(os.path.join(h.BIN, e2e.PROFILE + ".bd2"), "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


def wait_for(screen, point, colour, tolerance, timeout=10.0):
    deadline = time.perf_counter() + timeout
    while time.perf_counter() < deadline:
        if e2e.near(screen.pixel(*point), colour, tolerance):
            return time.perf_counter()
    return None


def noise_mark():
    return os.path.getsize(NOISE) if os.path.exists(NOISE) else 0


def picture_errors(mark):
    """What Wine said about a picture load since `mark` (its error lines go to the noise log)."""
    if not os.path.exists(NOISE):
        return []
    with open(NOISE, "rb") as log:
        log.seek(mark)
        lines = log.read().decode("latin-1").splitlines()
    wanted = ("olepicture", "Could not allocate")
    found = []
    for line in lines:
        text = line.split(":", 1)[1] if ":" in line else line
        if any(w in line for w in wanted) and text not in found:
            found.append(text)
    return found


def running(program, name):
    return "%s running" % name if program.poll() is None else "%s ended (exit code %s)" % (name, program.returncode)


def server_state():
    servers = [pid for pid, command in h.session_processes().items() if "swibus.exe" in command]
    return "swibus.exe running" if servers else "no swibus.exe"


def measure(device, screen, point, describe, touch=None):
    """Latencies in milliseconds of SAMPLES makes, each from the background. `describe()` says what
    runs, for a sample that did not come."""
    times = []
    while len(times) < SAMPLES:
        device.send(b"Jj")
        if wait_for(screen, point, BACKGROUND, 0) is None:
            if e2e.dismiss_port_error():
                time.sleep(1.5)  # the port monitor reopens the port; bytes sent meanwhile are lost
                continue
            raise NotMeasured("after %d samples the picture did not clear within 10 s of a make of switch 5 "
                              "(centre pixel %s; %s)" % (len(times), screen.pixel(*point), describe()))
        if touch:
            touch()
        mark = noise_mark()
        started = time.perf_counter()
        device.send(b"D")
        shown = wait_for(screen, point, MARK, 40)
        device.send(b"d")
        if shown is None:
            if e2e.dismiss_port_error():
                time.sleep(1.5)
                continue
            errors = picture_errors(mark)
            cause = ""
            if any("Could not allocate" in line for line in errors):
                cause = "; the process found no memory for the decoded picture, so the load failed"
            elif errors:
                cause = "; the picture did not load"
            raise NotMeasured("after %d samples a make of switch 1 showed no picture within 10 s "
                              "(centre pixel %s; %s)%s%s" % (
                                  len(times), screen.pixel(*point), describe(), cause,
                                  " (Wine: " + " | ".join(errors) + ")" if errors else ""))
        times.append((shown - started) * 1000.0)
    return times


def figures(times):
    ordered = sorted(times)
    p99 = ordered[min(len(ordered) - 1, int(round(0.99 * (len(ordered) - 1))))]
    return statistics.median(ordered), p99


def run_baseline(device, screen, rect, picture):
    left, top, right, bottom = rect
    r, g, b = BACKGROUND
    program = h.start("picture_baseline.exe", "COM1", e2e.windows_path(os.path.join(h.BIN, picture)),
                      left, top, right - left, bottom - top, r | g << 8 | b << 16)
    lines = h.OutputLines(program)
    try:
        if not lines.find(lambda line: line.startswith("ready"), timeout=60):
            raise NotMeasured("the baseline program did not open COM1 within 60 s (%s)" % running(program, "it"))
        return measure(device, screen, e2e.centre(rect),
                       lambda: "the baseline program had opened COM1; " + running(program, "it is"))
    finally:
        program.kill()
        program.wait(timeout=30)


def press_until_shown(device, screen, point, describe, tries=20):
    """The window shows before the server has opened the port, and bytes sent before that are lost
    on the line: make switch 2 until its check picture shows."""
    for _ in range(tries):
        device.send(b"U")
        shown = wait_for(screen, point, CHECK, 0, timeout=1.5)
        device.send(b"u")
        if shown:
            return
        e2e.dismiss_port_error()
    raise NotMeasured("the show never reacted to the box: %d makes of switch 2 over %d s showed no check picture "
                      "(%s)" % (tries, tries * 1.5, describe()))


def run_show(device, screen, picture, changed, rects):
    path = os.path.join(h.BIN, picture)
    stamp = [time.time_ns()]

    def touch():
        stamp[0] += 1_000_000_000
        os.utime(path, ns=(stamp[0], stamp[0]))
    with e2e.Show() as show:
        rect = show.client_rect()
        rects.append(rect)

        def describe():
            return "%s, %s" % (running(show.process, "FennickShow.exe"), server_state())
        press_until_shown(device, screen, e2e.centre(rect), describe)
        result = measure(device, screen, e2e.centre(rect),
                         lambda: "the show had answered the box with its check picture; " + describe(),
                         touch if changed else None)
        if show.process.poll() is not None:
            raise NotMeasured("FennickShow.exe ended (exit code %s) before it was closed" % show.process.returncode)
        show.close()
        return result


def phase(name, what):
    """Runs one column of a row; its times, or the reason it has none (also printed at once)."""
    try:
        with h.ending_what_it_starts():
            return what()
    except (NotMeasured, AssertionError, RuntimeError, subprocess.TimeoutExpired) as missing:
        reason = "%s: %s" % (name, missing)
        print("NOT MEASURED " + reason, flush=True)
        return reason


def run():
    """Prints the figures; returns False when one could not be taken (said below the table)."""
    screen = Screen()
    e2e.remove_profiles()
    make_pictures()
    rows = []
    rects = []
    try:
        for picture, width, height in PICTURES:
            label = "%dx%d %s" % (width, height, picture.rsplit(".", 1)[1].upper())
            write_profile(picture)

            def show(changed):
                e2e.settings(model=1)
                with h.VirtualDevice(com=1) as device:
                    return run_show(device, screen, picture, changed, rects)
            cached = phase(label + ", show", lambda: show(False))
            decoded = phase(label + ", show with the file changed", lambda: show(True))

            def baseline():
                h.release_port_library()
                with h.VirtualDevice(com=1) as device:
                    return run_baseline(device, screen, rects[-1] if rects else SHOW_RECT, picture)
            base = phase(label + ", baseline", baseline)
            rows.append((label, base, cached, decoded))
    finally:
        e2e.remove_profiles()
        for name in [p for p, _, _ in PICTURES] + [CHECK_PICTURE]:
            if os.path.exists(os.path.join(h.BIN, name)):
                os.remove(os.path.join(h.BIN, name))
    rect = rects[-1] if rects else SHOW_RECT
    print("Switch to picture, ms (median / p99 of %d makes each; window %dx%d)" % (
        SAMPLES, rect[2] - rect[0], rect[3] - rect[1]))
    print("%-16s %18s %18s %18s %14s" % ("picture", "baseline", "show", "show, changed", "show/baseline"))
    missing = []
    for name, baseline, cached, decoded in rows:
        cells = []
        for times in (baseline, cached, decoded):
            if isinstance(times, str):
                missing.append(times)
                cells.append("%18s" % "not measured")
            else:
                cells.append("%8.1f / %7.1f" % figures(times))
        ratios = ["%5.2f" % (figures(t)[0] / figures(baseline)[0])
                  if not isinstance(t, str) and not isinstance(baseline, str) else "  -  " for t in (cached, decoded)]
        print("%-16s %s %s %s %6s / %5s" % (name, cells[0], cells[1], cells[2], ratios[0], ratios[1]))
    print("show/baseline: medians, cached / changed file")
    for reason in missing:
        print("not measured: " + reason)
    return not missing


def main():
    # Wine's own word on a picture it could not load goes to the noise log, for the reasons above.
    os.environ["WINEDEBUG"] = "-all,err+olepicture,warn+heap"
    with h.wine_session():
        measured = run()
    sys.exit(0 if measured else 1)


if __name__ == "__main__":
    main()
