"""Mouse emulator benchmark.

1. Switch byte to first pointer move: the box's "R" (written on a pseudo-terminal linked as COM8)
   to the first SetCursorPos of the bar, median and p99, beside the same byte to a bare registered
   swibus client window (the port monitor benchmark's client) in the same run.
2. Pointer path accuracy: a direction held for 10 s (speed-up off, so the path stays on the screen)
   and 2 s (speed-up on): distance really travelled against what the ticks that fired should give.

Times on both sides are CLOCK_MONOTONIC_RAW in 100 ns units (Wine's performance counter).
"""
import os
import random
import statistics
import subprocess
import sys
import time

REPO = os.environ.get("FENNICK_REPO") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools"))
sys.path.insert(0, os.path.join(REPO, "bench", "port_monitor"))
import fennick_harness as h  # noqa: E402
import run_bench as pm  # noqa: E402  the port monitor benchmark's line, clock and bare client

COM = 8
PRESSES = 150
SWIBUS_KEY = r"HKCU\Software\Velmora\Swibus"
MOUSE_KEY = r"HKCU\SOFTWARE\Velmora\Fennick\FennickMouse"
FENNICK_KEY = r"HKCU\SOFTWARE\Velmora\Fennick"
# Pixels per tick of a held direction with the speed-up on: 4 for seven ticks, then faster to 20.
SPEED_UP_STEPS = [4] * 7 + [5, 5, 6, 8, 10, 13]


class NotMeasured(Exception):
    """A figure that could not be taken; the message says what did not happen."""


def expected_distance(ticks, speed_up):
    if not speed_up:
        return 4 * ticks
    return sum(SPEED_UP_STEPS[:ticks]) + 20 * max(0, ticks - len(SPEED_UP_STEPS))


def press_pattern(line):
    """PRESSES presses of Right, each held 120 ms, at a random phase to the 50 ms tick.
    Returns the write times of the presses."""
    sent = []
    random.seed(7)
    for _ in range(PRESSES):
        time.sleep(0.08 + random.random() * 0.05)
        sent.append(pm.ticks())
        os.write(line.master, b"R")
        time.sleep(0.12)
        os.write(line.master, b"r")
    return sent


class MouseHost:
    """mouse_bench.exe: the bar with a pointer that stamps its moves. Under emulated Wine a process
    is now and then killed before it printed a line; such a start is said and made once more."""

    def __init__(self, x, y, idle_ms):
        for attempt in (1, 2):
            self.process = h.start("mouse_bench.exe", x, y, idle_ms)
            self.out = h.OutputLines(self.process)
            if self.out.find(lambda line: line.startswith("start "), timeout=60):
                return
            self.process.kill()
            code = self.process.wait(timeout=30)
            print("  (mouse_bench ended before it started, exit code %s%s)" % (
                code, "; started again" if attempt == 1 else ""), flush=True)
        raise NotMeasured("mouse_bench ended twice before it started (exit code %s)" % code)

    def result(self, timeout=120):
        """The moves and the pointer's last place; mouse_bench ends only once a move came."""
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise NotMeasured("the bar moved the pointer not once (mouse_bench waited %d s for a first move; "
                              "%s)" % (timeout, server_state()))
        self.out.find(lambda line: line.startswith("pos "), timeout=5)
        lines = self.out.snapshot()
        moves = [(int(l.split()[1]), int(l.split()[2]), int(l.split()[3])) for l in lines if l.startswith("t ")]
        pos = [tuple(int(v) for v in l.split()[1:3]) for l in lines if l.startswith("pos ")]
        return moves, pos[-1] if pos else None


def server_state():
    servers = [pid for pid, command in h.session_processes().items() if "swibus.exe" in command]
    return "swibus.exe running" if servers else "no swibus.exe running"


def answers(sent, times):
    """Per press, the time to the first answer after it and before the next press, in ms; a press
    with none (sent before the server had opened the port, say) is left out."""
    values = []
    for i, t in enumerate(sent):
        end = sent[i + 1] if i + 1 < len(sent) else float("inf")
        after = [m for m in times if t <= m < end]
        if after:
            values.append((after[0] - t) / 10000.0)
    return values


def latency_through_bar(line):
    host = MouseHost(200, 500, 1500)
    time.sleep(2.0)  # the server opens the port after the first registration
    sent = press_pattern(line)
    moves, _ = host.result()
    values = answers(sent, [t for t, _, _ in moves])
    if not values:
        raise NotMeasured("the bar made %d moves, none after a press and before the next" % len(moves))
    return values


def latency_to_bare_client(line):
    bench = pm.start_checked("client", PRESSES * 2, 3000)
    time.sleep(2.0)
    sent = press_pattern(line)
    arrivals = bench.arrivals()
    values = answers(sent, [t for t, byte in arrivals if byte == ord("R")])
    if not values:
        raise NotMeasured("the bare client received %d bytes, no make after a press and before the next (%s)" % (
            len(arrivals), server_state()))
    return values


def path(line, seconds, speed_up, start):
    h.reg_set_dword(MOUSE_KEY, "IncreaseSpeed", 1 if speed_up else 0)
    host = MouseHost(start[0], start[1], 1000)
    time.sleep(2.0)
    os.write(line.master, b"R")
    held = time.monotonic()
    time.sleep(seconds)
    os.write(line.master, b"r")
    held = time.monotonic() - held
    moves, end = host.result()
    if end is None:
        raise NotMeasured("mouse_bench did not say where the pointer ended")
    travelled = end[0] - start[0]
    should = expected_distance(len(moves), speed_up)
    return len(moves), held, travelled, should



def run():
    """Prints the figures; returns False when one could not be taken (said on its line)."""
    h.release_port_library()
    h.port_settings_on(COM)
    h.reg_delete_key(FENNICK_KEY)
    h.reg_set_dword(FENNICK_KEY, "FNType", 1)
    h.reg_set_dword(MOUSE_KEY, "Method", 1)
    line = pm.Line(COM)
    measured = True
    try:
        pm.wait_no_server()
        print("mouse emulator benchmark: %d presses of Right on COM%d, pseudo-terminal under Wine" % (PRESSES, COM))
        latencies = {}
        for label, what in (("bare client: byte to WM_SWITCH_BYTE", latency_to_bare_client),
                            ("FennickMouse: byte to first move", latency_through_bar)):
            try:
                with h.ending_what_it_starts():
                    values = latencies[label] = what(line)
                print("%-40s  n %3d  median %7.2f ms  p99 %7.2f ms  lost %d" % (
                    label, len(values), statistics.median(values), pm.percentile(values, 99), PRESSES - len(values)))
            except NotMeasured as missing:
                print("%-40s  not measured: %s" % (label, missing))
                measured = False
            pm.wait_no_server()
        if len(latencies) == 2:
            bare, bar = latencies.values()
            print("added by the bar: median %.2f ms, p99 %.2f ms (one tick is 50 ms)" % (
                statistics.median(bar) - statistics.median(bare), pm.percentile(bar, 99) - pm.percentile(bare, 99)))
        for seconds, speed_up, start in ((10, False, (100, 300)), (2, True, (100, 400))):
            label = "held %.1f s, speed-up %s:" % (seconds, "on " if speed_up else "off")
            try:
                with h.ending_what_it_starts():
                    ticks, held, travelled, should = path(line, seconds, speed_up, start)
                print("held %.1f s, speed-up %s: %d ticks fired (%.1f per s), travelled %d px, the ticks give %d px, "
                      "ratio %.3f" % (held, "on " if speed_up else "off", ticks, ticks / held, travelled, should,
                                      travelled / should if should else 0.0))
            except NotMeasured as missing:
                print("%s not measured: %s" % (label, missing))
                measured = False
            pm.wait_no_server()
        return measured
    finally:
        line.close()
        h.reg_delete_key(SWIBUS_KEY)
        h.reg_delete_key(FENNICK_KEY)


def main():
    with h.wine_session():
        measured = run()
    sys.exit(0 if measured else 1)


if __name__ == "__main__":
    main()
