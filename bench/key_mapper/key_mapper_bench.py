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


class Recorder(pm.Bench):
    """key_latency_recorder.exe: the low-level hook in a process of its own."""

    def __init__(self, *args):
        self.lines = []
        self.process = h.start("key_latency_recorder.exe", *args)
        self.thread = threading.Thread(target=self._pump, daemon=True)
        self.thread.start()

    def events(self, timeout=120):
        self.process.wait(timeout=timeout)
        time.sleep(0.3)
        return [(int(l.split()[1]), l.split()[3]) for l in self.lines if l.startswith("t ")]


def summary(values):
    return statistics.median(values), pm.percentile(values, 99)


def baseline(line):
    pm.COUNT = PRESSES * 2
    values, lost, _, in_order, _ = pm.measure("swibus", line, RATE)
    downs = values[0::2]  # the makes: what a key-down answers to
    return downs, lost, in_order


def key_mapper(line):
    with open(os.path.join(h.BIN, PROFILE + ".bpf"), "w", newline="\r\n") as out:
        out.write("[Button1]\nBtCmd=1\nBtCmdVal=%d\nBtCmdText=\n" % VK_F24)
    h.reg_delete_key(KEY)
    h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", PROFILE, "/f")
    recorder = Recorder(PRESSES + 20, 5000)
    before = pm.ticks()
    start = recorder.started()
    if not before - 200000 <= start <= pm.ticks() + 200000:
        raise RuntimeError("the recorder's performance counter is not CLOCK_MONOTONIC_RAW")
    mapper = h.start("FennickKey.exe", "-silent", cwd=h.BIN)
    try:
        window = h.wait_window("FennickKey", "FennickKey")
        deadline = time.monotonic() + 30
        while int(h.probe("find", "vlm_sb_Hidden")[1] or 0) == 0 and time.monotonic() < deadline:
            time.sleep(0.2)
        time.sleep(1.5)
        line.send(40, 20)  # warm-up presses, left out of the figures below
        time.sleep(1.0)
        sent = line.send(PRESSES * 2, RATE)
        events = recorder.events()
        downs = [t for t, kind in events if kind == "down" and t >= sent[0]]
        made = sent[0::2]
        n = min(len(made), len(downs))
        values = [(downs[i] - made[i]) / 10000.0 for i in range(n)]
        return values, len(made) - len(downs)
    finally:
        h.probe("post", window, 0x10, 0, 0)
        try:
            mapper.wait(timeout=30)
        except subprocess.TimeoutExpired:
            mapper.kill()
        for name in (PROFILE + ".bpf", "fkconfig.ini"):
            path = os.path.join(h.BIN, name)
            if os.path.exists(path):
                os.remove(path)
        h.reg_delete_key(KEY)


def run():
    h.reg_delete_key(pm.KEY)
    h.reg_set_dword(pm.KEY, "ComPort", COM)
    h.reg_set_dword(pm.KEY + r"\COM%d" % COM, "Switches", 1)
    line = pm.Line(COM)
    try:
        pm.wait_no_server()
        print("key mapper benchmark: %d presses at %d bytes/s, COM%d, pseudo-terminal under Wine" % (
            PRESSES, RATE, COM))
        base, base_lost, in_order = baseline(line)
        pm.wait_no_server()
        ours, lost = key_mapper(line)
        bm, bp = summary(base)
        km, kp = summary(ours)
        print("port monitor to a bare window   median %7.3f ms  p99 %7.3f ms  lost %d  %s" % (
            bm, bp, base_lost, "in order" if in_order else "OUT OF ORDER"))
        print("box byte to key-down (LL hook)  median %7.3f ms  p99 %7.3f ms  lost %d" % (km, kp, lost))
        print("added by the key mapper         median %7.3f ms  p99 %7.3f ms" % (km - bm, kp - bp))
    finally:
        line.close()
        h.reg_delete_key(pm.KEY)


def main():
    with h.wine_session():
        run()


if __name__ == "__main__":
    main()
