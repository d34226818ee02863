"""Show benchmark: from the box's make byte to the picture's pixels on screen, median and p99, for a
1920 x 1080 JPEG and a 640 x 480 BMP. In the same run, on the same line and the same screen spot:
  baseline      a bare program that reads the byte on a 1 ms timer and loads and renders the same
                file with OleLoadPicture (bench/show/picture_baseline.cpp);
  show          FennickShow through swibus.dll and swibus.exe, the picture cached while unchanged;
  show, changed the same, with the file's write time changed before every make, so it is decoded.
Each sample starts from the background (switch 5, no action), sends "D" and polls the screen's
centre pixel through Xlib until the picture's colour is there. Times include the box's control
connection, the same for all three. Set FENNICK_BENCH_SAMPLES for more samples (default 40).
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
    for name, width, height in PICTURES:
        path = os.path.join(h.BIN, name)
        cx, cy = width // 2, height // 2
        kind = "BMP3:" if name.endswith(".bmp") else ""
        subprocess.run(["convert", "-seed", "7", "-size", "%dx%d" % (width, height), "plasma:fractal",
                        "-fill", "rgb(%d,%d,%d)" % MARK, "-draw",
                        "rectangle %d,%d %d,%d" % (cx - 60, cy - 60, cx + 60, cy + 60), "-quality", "90",
                        kind + path], check=True, timeout=300)


def write_profile(picture):
    lines = ["[Button1]", "BtCmd=1", "BtCmdText1=" + picture, "BtCmdText2="]
    for n in range(2, 6):
        lines += ["[Button%d]" % n, "BtCmd=0", "BtCmdText1=", "BtCmdText2="]
    with open(os.path.join(h.BIN, e2e.PROFILE + ".bd2"), "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


def wait_for(screen, point, colour, tolerance, timeout=10.0):
    deadline = time.perf_counter() + timeout
    while time.perf_counter() < deadline:
        if e2e.near(screen.pixel(*point), colour, tolerance):
            return time.perf_counter()
    return None


def measure(device, screen, point, touch=None):
    """Latencies in milliseconds of SAMPLES makes, each from the background."""
    times = []
    while len(times) < SAMPLES:
        device.send(b"Jj")
        if wait_for(screen, point, BACKGROUND, 0) is None:
            if e2e.dismiss_port_error():
                time.sleep(1.5)  # the port monitor reopens the port; bytes sent meanwhile are lost
                continue
            raise AssertionError("the picture did not clear")
        if touch:
            touch()
        started = time.perf_counter()
        device.send(b"D")
        shown = wait_for(screen, point, MARK, 40)
        device.send(b"d")
        if shown is None:
            if e2e.dismiss_port_error():
                time.sleep(1.5)
                continue
            raise AssertionError("the picture did not show")
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
    try:
        if not program.stdout.readline().startswith(b"ready"):
            raise AssertionError("the baseline program did not start")
        return measure(device, screen, e2e.centre(rect))
    finally:
        program.kill()
        program.wait(timeout=30)


def run_show(device, screen, picture, changed):
    path = os.path.join(h.BIN, picture)
    stamp = [time.time_ns()]

    def touch():
        stamp[0] += 1_000_000_000
        os.utime(path, ns=(stamp[0], stamp[0]))
    with e2e.Show() as show:
        rect = show.client_rect()
        for _ in range(20):  # the server opens the port after the window shows
            device.send(b"D")
            if wait_for(screen, e2e.centre(rect), MARK, 40, timeout=1.5):
                break
            e2e.dismiss_port_error()
        device.send(b"d")
        result = measure(device, screen, e2e.centre(rect), touch if changed else None)
        show.close()
        return rect, result


def run():
    screen = Screen()
    e2e.remove_profiles()
    make_pictures()
    rows = []
    try:
        for picture, width, height in PICTURES:
            write_profile(picture)
            e2e.settings(model=1)
            with h.VirtualDevice(com=1) as device:
                rect, cached = run_show(device, screen, picture, changed=False)
            e2e.settings(model=1)
            with h.VirtualDevice(com=1) as device:
                _, decoded = run_show(device, screen, picture, changed=True)
            h.release_port_library()
            with h.VirtualDevice(com=1) as device:
                baseline = run_baseline(device, screen, rect, picture)
            rows.append(("%dx%d %s" % (width, height, picture.rsplit(".", 1)[1].upper()), baseline, cached, decoded))
    finally:
        e2e.remove_profiles()
        for picture, _, _ in PICTURES:
            if os.path.exists(os.path.join(h.BIN, picture)):
                os.remove(os.path.join(h.BIN, picture))
    print("Switch to picture, ms (median / p99 of %d makes each; window %s)" % (SAMPLES, "x".join(map(str, [
        rect[2] - rect[0], rect[3] - rect[1]]))))
    print("%-16s %18s %18s %18s %14s" % ("picture", "baseline", "show", "show, changed", "show/baseline"))
    for name, baseline, cached, decoded in rows:
        b, c, d = figures(baseline), figures(cached), figures(decoded)
        print("%-16s %8.1f / %7.1f %8.1f / %7.1f %8.1f / %7.1f %6.2f / %5.2f" % (
            name, b[0], b[1], c[0], c[1], d[0], d[1], c[0] / b[0], d[0] / b[0]))
    print("show/baseline: medians, cached / changed file")


def main():
    with h.wine_session():
        run()


if __name__ == "__main__":
    main()
