"""Port monitor benchmark: switch byte latency from the device's write to the client window's
WM_SWITCH_BYTE, beside a raw overlapped read loop on the same line in the same run; sustained
throughput at the line rate and in a burst, with loss; CPU time of an idle open port.

Wine's performance counter is CLOCK_MONOTONIC_RAW in 100 ns units, so the device side here
timestamps its writes on the same clock (checked at start against the client's own reading).
"""
import os
import pty
import statistics
import sys
import threading
import time
import tty

REPO = os.environ.get("FENNICK_REPO") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools"))
import fennick_harness as h  # noqa: E402

COM = 7
COUNT = 10000
LINE_RATE = 960  # bytes per second at 9600 baud, 8N1
IDLE_SECONDS = 10
KEY = r"HKCU\Software\Velmora\Swibus"


def ticks():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 100


class Line:
    """A pseudo-terminal linked as COMn in the prefix; the benchmark writes the device's bytes."""

    def __init__(self, com):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        self.link = os.path.join(h.PREFIX, "dosdevices", "com%d" % com)
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.symlink(os.ttyname(self.slave), self.link)
        threading.Thread(target=self._drain, daemon=True).start()

    def _drain(self):
        while True:
            try:
                os.read(self.master, 4096)
            except OSError:
                return

    def send(self, count, rate):
        """Writes count bytes "D","d" alternating (press, release); returns the write times."""
        sent = []
        interval = 1.0 / rate if rate else 0.0
        start = time.monotonic()
        for i in range(count):
            if interval:
                target = start + i * interval
                delay = target - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
            sent.append(ticks())
            os.write(self.master, b"Dd"[i % 2:i % 2 + 1])
        return sent

    def close(self):
        os.unlink(self.link)
        os.close(self.master)
        os.close(self.slave)


class Bench:
    def __init__(self, *args):
        self.lines = []
        self.process = h.start("port_monitor_bench.exe", *args)
        self.thread = threading.Thread(target=self._pump, daemon=True)
        self.thread.start()

    def _pump(self):
        for raw in iter(self.process.stdout.readline, b""):
            self.lines.append(raw.decode("latin-1").strip())

    def started(self, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for line in self.lines:
                if line.startswith("start "):
                    return int(line.split()[1])
            if self.process.poll() is not None:
                break
            time.sleep(0.02)
        raise RuntimeError("bench client did not start: %r" % self.lines)

    def arrivals(self, timeout=120):
        self.process.wait(timeout=timeout)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not any(l.startswith("got ") for l in self.lines):
            time.sleep(0.05)
        time.sleep(0.2)
        return [(int(l.split()[1]), int(l.split()[2], 16)) for l in self.lines if l.startswith("t ")]


def cpu_seconds(match):
    """CPU time of this tree's Wine processes whose command line contains `match`."""
    total = 0.0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            cmdline = open("/proc/%s/cmdline" % pid, "rb").read()
            if match.encode() not in cmdline or h.BUILD.encode() not in open("/proc/%s/environ" % pid, "rb").read():
                continue
            fields = open("/proc/%s/stat" % pid).read().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except OSError:
            continue
    return total


def latencies(sent, arrived):
    """Per-byte latency in ms for the bytes that arrived in order; the count lost."""
    got = [t for t, _ in arrived]
    n = min(len(sent), len(got))
    values = [(got[i] - sent[i]) / 10000.0 for i in range(n)]
    return values, len(sent) - len(got)


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(len(ordered) * p / 100.0))]


def start_checked(*args):
    bench = Bench(*args)
    before = ticks()
    start = bench.started()
    after = ticks()
    if not before - 200000 <= start <= after + 200000:
        raise RuntimeError("the client's performance counter is not CLOCK_MONOTONIC_RAW (%d not in %d..%d)"
                           % (start, before, after))
    return bench


def measure(kind, line, rate):
    """kind: "raw" (own read loop), "raw+send" (read loop handing bytes to a window of another
    process with SendMessage), "swibus" (registered client window, bytes through the server)."""
    forwarder = None
    if kind == "raw":
        bench = start_checked("raw", "COM%d" % COM, COUNT, 3000)
    elif kind == "raw+send":
        bench = start_checked("listen", COUNT, 5000)
        forwarder = Bench("raw", "COM%d" % COM, COUNT, 3000, "forward")
        forwarder.started()
    else:
        bench = start_checked("client", COUNT, 3000)
    time.sleep(0.5)
    begun = time.monotonic()
    sent = line.send(COUNT, rate)
    duration = time.monotonic() - begun
    if forwarder:
        forwarder.arrivals()
    arrived = bench.arrivals()
    bytes_ok = all(b == (0x44 if i % 2 == 0 else 0x64) for i, (_, b) in enumerate(arrived))
    values, lost = latencies(sent, arrived)
    delivered = len(arrived) / ((arrived[-1][0] - sent[0]) / 1e7) if arrived else 0.0
    return values, lost, duration, bytes_ok, delivered


def idle_cpu(kind):
    """CPU seconds used in IDLE_SECONDS with the port open and no bytes."""
    if kind == "raw":
        bench = Bench("raw", "COM%d" % COM, 1, (IDLE_SECONDS + 2) * 1000)
        bench.started()
        time.sleep(1)
        before = cpu_seconds("port_monitor_bench.exe")
        time.sleep(IDLE_SECONDS)
        used = cpu_seconds("port_monitor_bench.exe") - before
    else:
        bench = Bench("client", 1, (IDLE_SECONDS + 2) * 1000)
        bench.started()
        time.sleep(1)
        before = cpu_seconds("swibus.exe")
        time.sleep(IDLE_SECONDS)
        used = cpu_seconds("swibus.exe") - before
    bench.arrivals()
    return used


def wait_no_server():
    for _ in range(150):
        if int(h.probe("find", "vlm_sb_Hidden")[1] or 0) == 0:
            return
        time.sleep(0.2)
    raise RuntimeError("swibus.exe still running")


def main():
    with h.wine_session():
        run()


def run():
    h.reg_delete_key(KEY)
    h.reg_set_dword(KEY, "ComPort", COM)
    h.reg_set_dword(KEY + r"\COM%d" % COM, "Switches", 1)
    line = Line(COM)
    try:
        wait_no_server()
        print("port monitor benchmark: %d bytes per run, COM%d, pseudo-terminal under Wine" % (COUNT, COM))
        results = {}
        for kind, label, rate in (("raw", "line rate", LINE_RATE), ("raw+send", "line rate", LINE_RATE),
                                  ("swibus", "line rate", LINE_RATE), ("raw", "burst", 0),
                                  ("raw+send", "burst", 0), ("swibus", "burst", 0)):
            if True:
                values, lost, duration, in_order, delivered = measure(kind, line, rate)
                results[(kind, label)] = values
                print("%-8s %-9s  median %8.3f ms  p99 %8.3f ms  sent at %6.0f B/s  delivered at %6.0f B/s  "
                      "lost %d  %s" % (kind, label, statistics.median(values), percentile(values, 99),
                                       COUNT / duration, delivered, lost,
                                       "in order" if in_order else "OUT OF ORDER OR CHANGED"))
                wait_no_server()
        ours = results[("swibus", "line rate")]
        for base in ("raw", "raw+send"):
            raw = results[(base, "line rate")]
            print("swibus against %-8s at line rate: added median %.3f ms (ratio %.2f), added p99 %.3f ms "
                  "(ratio %.2f)" % (base, statistics.median(ours) - statistics.median(raw),
                                    statistics.median(ours) / statistics.median(raw),
                                    percentile(ours, 99) - percentile(raw, 99),
                                    percentile(ours, 99) / percentile(raw, 99)))
        # The same line-rate run with the comm-event reader, which the default reader replaced.
        os.environ["SWIBUS_READER"] = "commevent"
        values, lost, _, in_order, _ = measure("swibus", line, LINE_RATE)
        wait_no_server()
        os.environ.pop("SWIBUS_READER", None)
        print("swibus with the comm-event reader at line rate: median %.3f ms  p99 %.3f ms  lost %d  %s (first-byte "
              "reader above: median %.3f ms  p99 %.3f ms)" % (
                  statistics.median(values), percentile(values, 99), lost, "in order" if in_order else "OUT OF ORDER",
                  statistics.median(ours), percentile(ours, 99)))
        raw_cpu = idle_cpu("raw")
        server_cpu = {}
        # The server inherits the reader choice from the client that starts it.
        for reader in ("firstbyte", "commevent"):
            os.environ["SWIBUS_READER"] = reader
            wait_no_server()
            server_cpu[reader] = idle_cpu("swibus")
        os.environ.pop("SWIBUS_READER", None)
        print("idle CPU over %d s with the port open: raw loop %.3f s, swibus.exe with the first-byte reader "
              "(default) %.3f s, with the comm-event reader %.3f s" % (
                  IDLE_SECONDS, raw_cpu, server_cpu["firstbyte"], server_cpu["commevent"]))
    finally:
        line.close()
        h.reg_delete_key(KEY)


if __name__ == "__main__":
    main()
