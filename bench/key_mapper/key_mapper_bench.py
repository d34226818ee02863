"""Key mapper benchmark: from the box's "D" on the line to the key-down that a low-level keyboard hook
in another process sees, against the port monitor's own delivery of the same bytes to a bare
registered window, both in the same run on the same pseudo-terminal line.

Both clocks are CLOCK_MONOTONIC_RAW in 100 ns units (Wine's performance counter), checked at start.
"""
import os
import statistics
import subprocess
import sys
import threading
import time

REPO = os.environ.get("FENNICK_REPO") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools"))
sys.path.insert(0, os.path.join(REPO, "bench", "port_monitor"))
import fennick_harness as h  # noqa: E402
import run_bench as pm  # noqa: E402  the port monitor benchmark: its line, clock and baseline client

COM = pm.COM
PRESSES = 500
RATE = 100  # bytes per second: 50 presses and 50 releases
KEY = r"HKCU\SOFTWARE\Velmora\Orrin2Key"
PROFILE = "bench_latency"
VK_F24 = 0x87  # a key no program here acts on


class NotMeasured(Exception):
    """A figure that could not be taken; the message says what did not happen."""


class Recorder(pm.Bench):
    """key_latency_recorder.exe: the low-level hook in a process of its own."""

    def __init__(self, *args):
        self.lines = []
        self.process = h.start("key_latency_recorder.exe", *args)
        self.thread = threading.Thread(target=self._pump, daemon=True)
        self.thread.start()

    def first(self):
        return any(line.startswith("first ") for line in self.lines)

    def events(self, timeout=120):
        self.process.wait(timeout=timeout)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not any(line.startswith("got ") for line in self.lines):
            time.sleep(0.05)
        time.sleep(0.3)
        return [(int(l.split()[1]), l.split()[3]) for l in self.lines if l.startswith("t ")]


def summary(values):
    return statistics.median(values), pm.percentile(values, 99)


def baseline(line):
    pm.COUNT = PRESSES * 2
    values, lost, _, in_order, _ = pm.measure("swibus", line, RATE)
    downs = values[0::2]  # the makes: what a key-down answers to
    if not downs:
        raise NotMeasured("the bare registered window received none of the %d bytes" % pm.COUNT)
    return downs, lost, in_order


def state(mapper, recorder):
    """What runs, for a figure that could not be taken."""
    server = int(h.probe("find", "vlm_sb_Hidden")[1] or 0)
    return "FennickKey.exe %s, the port monitor's server window %s, the recorder %s" % (
        "running" if mapper.poll() is None else "ended with exit code %s" % mapper.returncode,
        "present" if server else "absent",
        "running" if recorder.process.poll() is None else "ended")


def press_until_typed(line, recorder, timeout=90.0):
    """The key mapper types nothing until the port monitor's server has opened the port and the
    program is registered, and a byte sent before that is lost on the line: press until the first
    key arrives. Returns (presses, seconds) it took, or None."""
    started = time.monotonic()
    presses = 0
    while time.monotonic() - started < timeout:
        line.send(2, 20)
        presses += 1
        deadline = time.monotonic() + 1.0
        while time.monotonic() < deadline:
            if recorder.first():
                return presses, time.monotonic() - started
            time.sleep(0.02)
    return None


def key_mapper(line):
    with open(os.path.join(h.BIN, PROFILE + ".bpf"), "w", newline="\r\n") as out:
        out.write("[Button1]\nBtCmd=1\nBtCmdVal=%d\nBtCmdText=\n" % VK_F24)
    h.reg_delete_key(KEY)
    h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", PROFILE, "/f")
    # The recorder waits up to two minutes for its first key, then ends 5 s after the last one.
    recorder = Recorder(PRESSES * 3, 5000, 120000)
    before = pm.ticks()
    start = recorder.started()
    if not before - 200000 <= start <= pm.ticks() + 200000:
        raise RuntimeError("the recorder's performance counter is not CLOCK_MONOTONIC_RAW")
    started = time.monotonic()
    mapper = h.start("FennickKey.exe", "-silent", cwd=h.BIN)
    window = 0
    try:
        window = h.wait_window("FennickKey", "FennickKey", timeout_ms=60000)
        if not window:
            raise NotMeasured("the key mapper's window did not appear within 60 s (%s)" % state(mapper, recorder))
        typed = press_until_typed(line, recorder)
        if typed is None:
            raise NotMeasured("the key mapper typed no key for the presses of 90 s after its window appeared (%s)"
                              % state(mapper, recorder))
        print("the key mapper typed its first key %.1f s after its start, at press %d" % (
            time.monotonic() - started, typed[0]))
        line.send(40, 20)  # warm-up presses, left out of the figures below
        time.sleep(1.0)
        sent = line.send(PRESSES * 2, RATE)
        events = recorder.events()
        downs = [t for t, kind in events if kind == "down" and t >= sent[0]]
        made = sent[0::2]
        if not downs:
            raise NotMeasured("the key mapper typed no key for the %d measured presses (it had typed before; %s)"
                              % (len(made), state(mapper, recorder)))
        n = min(len(made), len(downs))
        values = [(downs[i] - made[i]) / 10000.0 for i in range(n)]
        return values, len(made) - len(downs)
    finally:
        if window:
            h.probe("post", window, 0x10, 0, 0)
        try:
            mapper.wait(timeout=30)
        except subprocess.TimeoutExpired:
            mapper.kill()
        recorder.process.kill()
        for name in (PROFILE + ".bpf", "fkconfig.ini"):
            path = os.path.join(h.BIN, name)
            if os.path.exists(path):
                os.remove(path)
        h.reg_delete_key(KEY)


def run():
    """Prints the figures; returns False when one could not be taken (said on its line)."""
    h.reg_delete_key(pm.KEY)
    h.reg_set_dword(pm.KEY, "ComPort", COM)
    h.reg_set_dword(pm.KEY + r"\COM%d" % COM, "Switches", 1)
    line = pm.Line(COM)
    try:
        pm.wait_no_server()
        print("key mapper benchmark: %d presses at %d bytes/s, COM%d, pseudo-terminal under Wine" % (
            PRESSES, RATE, COM))
        try:
            with h.ending_what_it_starts():
                base, base_lost, in_order = baseline(line)
        except NotMeasured as missing:
            print("port monitor to a bare window   not measured: %s" % missing)
            return False
        pm.wait_no_server()
        bm, bp = summary(base)
        print("port monitor to a bare window   median %7.3f ms  p99 %7.3f ms  lost %d  %s" % (
            bm, bp, base_lost, "in order" if in_order else "OUT OF ORDER"))
        try:
            with h.ending_what_it_starts():
                ours, lost = key_mapper(line)
        except NotMeasured as missing:
            print("box byte to key-down (LL hook)  not measured: %s" % missing)
            return False
        km, kp = summary(ours)
        print("box byte to key-down (LL hook)  median %7.3f ms  p99 %7.3f ms  lost %d" % (km, kp, lost))
        print("added by the key mapper         median %7.3f ms  p99 %7.3f ms" % (km - bm, kp - bp))
        return True
    finally:
        line.close()
        h.reg_delete_key(pm.KEY)


def main():
    with h.wine_session():
        measured = run()
    sys.exit(0 if measured else 1)


if __name__ == "__main__":
    main()
