"""The port monitor end to end: the real swibus.exe and swibus.dll, client programs in separate
processes and the virtual device on a pseudo serial line."""
import os
import signal
import threading
import time

import fennick_harness as h

MAIN_KEY = r"HKCU\Software\Velmora\Swibus"
WM_CLOSE = 0x10
WM_SYSCOMMAND = 0x112
SC_SCREENSAVE = 0xF140
(CMD_UNREGISTER, CMD_REGISTER, CMD_SETACTIVE, CMD_WRITE, CMD_MOUSEFILTER, CMD_SHEET, CMD_SHEETEX, CMD_DIE,
 CMD_CLOSE_ALL, CMD_HANG) = range(0x8001, 0x800B)
PSM_SETCURSEL = 0x465
PSM_GETCURRENTPAGEHWND = 0x476
CB_SETCURSEL = 0x14E
WM_COMMAND = 0x111
CBN_SELCHANGE = 1


class Client(h.OutputLines):
    """A swibus_test_client.exe process; collects its output lines as they come."""

    def __init__(self, *args, cwd=None):
        super().__init__(h.start("swibus_test_client.exe", *args, cwd=cwd))
        self.first_line = 0  # received() counts the bytes from this output line on

    def wait_for(self, predicate, timeout=20.0, what="output"):
        found = self.find(predicate, timeout)
        if not found:
            raise AssertionError("no %s within %.0fs; client said:\n%s" % (what, timeout, "\n".join(self.snapshot())))
        return found

    def windows(self, count=1, timeout=40.0):
        """Handles of the client's windows with their registration results, once all are ready."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            ready = [line.split() for line in self.snapshot() if line.startswith("ready ")]
            if len(ready) >= count:
                return [(int(r[1]), int(r[2])) for r in ready]
            time.sleep(0.05)
        raise AssertionError("client windows not ready:\n" + "\n".join(self.snapshot()))

    def received(self, hwnd=None):
        """Bytes that arrived as switch messages, in order."""
        out = bytearray()
        for line in self.snapshot()[self.first_line:]:
            parts = line.split()
            if parts[0] == "byte" and (hwnd is None or int(parts[1]) == hwnd):
                out.append(int(parts[3], 16))
        return bytes(out)

    def wait_received(self, expected, hwnd=None, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.received(hwnd) != expected:
            time.sleep(0.03)
        return self.received(hwnd)

    def post(self, hwnd, message, wparam=0, lparam=0):
        code, text = h.probe("post", hwnd, message, wparam, lparam)
        h.check(code == 0, "post failed: " + text)

    def close(self, timeout=30):
        """Closes every window (each unregisters) and waits for the process to end."""
        ready = [l for l in self.snapshot() if l.startswith("ready ")]
        if ready and self.process.poll() is None:
            h.probe("post", int(ready[0].split()[1]), CMD_CLOSE_ALL, 0, 0)
        try:
            self.process.wait(timeout=timeout)
        finally:
            self.kill()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def run_client_command(*args, timeout=60):
    """Runs a one-shot client command; returns its output once the process has ended. (Its pipe
    may stay open in a server it started, so the process is waited for, not the pipe.)"""
    client = Client(*args)
    try:
        client.process.wait(timeout=timeout)
        time.sleep(0.1)
        return "\n".join(client.snapshot())
    finally:
        client.kill()


def fresh_settings(com_port=1, port_input=None, do_wake_up=None):
    """Registry as on a new machine, then the given values (read when the library first loads)."""
    h.release_port_library()
    h.reg_delete_key(MAIN_KEY)
    h.reg_set_dword(MAIN_KEY, "ComPort", com_port)
    if port_input is not None:
        code, text = h.reg("add", MAIN_KEY, "/v", "PortInput", "/t", "REG_SZ", "/d", port_input, "/f")
        h.check(code == 0, text)
    if do_wake_up is not None:
        h.reg_set_dword(MAIN_KEY, "DoWakeUp", do_wake_up)


def server_window():
    return int(h.probe("find", "vlm_sb_Hidden")[1] or 0)


def wait_server_gone(timeout=15.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if server_window() == 0:
            return True
        time.sleep(0.1)
    return False


def settle():
    """Between tests: no server may be left, so the next library load reads the registry again."""
    h.check(wait_server_gone(), "swibus.exe is still running")


def server_cpu_seconds():
    """User + system CPU time of this build tree's swibus.exe process (its emulator process);
    None when no such process runs."""
    total = None
    ticks = os.sysconf("SC_CLK_TCK")
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            cmdline = open("/proc/%s/cmdline" % pid, "rb").read().replace(b"\0", b" ")
            environ = open("/proc/%s/environ" % pid, "rb").read()
            if b"swibus.exe" not in cmdline or h.BUILD.encode() not in environ:
                continue
            fields = open("/proc/%s/stat" % pid).read().rsplit(")", 1)[1].split()
            total = (total or 0.0) + (int(fields[11]) + int(fields[12])) / ticks
        except OSError:
            continue
    return total


# ---- tests ------------------------------------------------------------------------------

def test_filter_translation_and_special_bytes():
    # Fire is configured as '1'/'2' (not a letter pair); Switch 2's make is 'l', Left's break.
    # The stored line settings are absurd (an edited registry): they fall back to the defaults.
    fresh_settings(port_input="LlRrUuDd12ld")
    h.reg_set_dword(MAIN_KEY + r"\COM1", "ByteSize", 0)
    h.reg_set_dword(MAIN_KEY + r"\COM1", "Parity", 7)
    h.reg_set_dword(MAIN_KEY + r"\COM1", "Switches", 1)
    with h.VirtualDevice(com=1) as device:
        client = Client()
        outside = Client("--class", "PCBTest", "--no-register")
        try:
            (hwnd, result), = client.windows()
            h.check(result == 1, "RegisterToDLL gave %d" % result)
            (pcb, _), = outside.windows()
            line_up(client, device)
            device.send(b"DDd" b"u" b"12121" b"Ee" b"Q" b"Lll" b"VvZ" b"2", gap_ms=15)
            want = b"DdJjJjJQLlj"
            got = client.wait_received(want)
            h.check(got == want, "client got %r, expected %r: repeated make, unmatched break, non-letter "
                                 "codes, E/e, make-and-break code or V..Z handled wrongly" % (got, want))
            h.check(outside.wait_received(b"VvZ", pcb) == b"VvZ", "PCBTest got %r" % outside.received())
            time.sleep(0.2)
            h.check(client.received() == want, "late bytes reached the client: %r" % client.received())
        finally:
            outside.close()
            client.close()
    settle()


def test_seventh_make_is_delivered_but_not_held():
    # Six different make codes held (no releases), then Switch 2 gets a new make code in the sheet.
    fresh_settings(port_input="LlRrUuDdJjSs")
    with h.VirtualDevice(com=1) as device:
        client = Client()
        try:
            (hwnd, _), = client.windows()
            line_up(client, device)
            device.send(b"LRUDJS", gap_ms=15)
            h.check(client.wait_received(b"LRUDJD") == b"LRUDJD", "six makes: %r" % client.received())
            client.post(hwnd, CMD_SHEETEX, 0xFFFFFFFF, 2)  # current port, Input page only
            sheet = h.wait_window("#32770", "Port test", 15000)
            h.check(sheet != 0, "no sheet captioned \"Port test\"")
            page = int(h.probe("send", sheet, PSM_GETCURRENTPAGEHWND, 0, 0)[1])
            h.probe("settext", page, 1014, "N")
            h.probe("settext", page, 1015, "n")
            h.probe("click", sheet, 1)
            h.probe("post", sheet, 0, 0, 0)
            line = client.wait_for(lambda l: l.startswith("sheetex "), what="sheet result")[0]
            h.check(line == "sheetex 1", line)
            time.sleep(0.5)
            device.send(b"NnNL", gap_ms=15)
            got = client.wait_received(b"LRUDJDDD")
            time.sleep(0.3)
            h.check(client.received() == b"LRUDJDDD", "seventh make: %r (expected delivered twice, its break "
                    "and the held L dropped)" % client.received())
        finally:
            client.close()
    settle()


def test_a_program_leaving_behind_the_active_one_costs_it_no_release():
    # The active window holds a press while a program registered before it leaves: the active window
    # stays the same, so the release of the press it received still reaches it (a key let go).
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        earlier = Client()
        active = None
        try:
            (first, _), = earlier.windows()
            active = Client()
            (second, _), = active.windows()
            line_up(active, device, second)
            device.send(b"D")
            h.check(active.wait_received(b"D", second) == b"D", "the press: %r" % active.received())
            earlier.post(first, CMD_UNREGISTER)
            earlier.wait_for(lambda l: l.startswith("unregister "), what="the earlier window's removal")
            device.send(b"dU", gap_ms=15)
            got = active.wait_received(b"DdU", second)
            h.check(got == b"DdU", "the active window got %r: the release of its press was lost" % got)
        finally:
            earlier.close()
            if active:
                active.close()
    settle()


def test_raw_port_passes_everything_and_the_server_follows_its_clients():
    fresh_settings()
    with h.VirtualDevice(com=2) as device:
        # A raw registration on COM2 from a client whose current folder is elsewhere.
        client = Client("--port", 2, 0, cwd="/tmp")
        try:
            (hwnd, result), = client.windows()
            h.check(result == 1, "HwndGetPort gave %d" % result)
            h.check(server_window() != 0, "the first registration did not start swibus.exe")
            line_up(client, device)
            device.send(b"EDDdV\x00\xff", gap_ms=10)
            got = client.wait_received(b"EDDdV\x00\xff")
            h.check(got == b"EDDdV\x00\xff", "raw port changed the bytes: %r" % got)
        finally:
            client.close()
    h.check(wait_server_gone(), "swibus.exe did not end with its last client")


def test_sixteen_windows_from_two_processes_and_a_seventeenth():
    fresh_settings()
    with h.VirtualDevice(com=1):
        first = Client("--windows", 8)
        second = Client("--windows", 8)
        late = None
        try:
            results = [r for _, r in first.windows(8, timeout=90) + second.windows(8, timeout=90)]
            h.check(results == [1] * 16, "registration results %r" % results)
            late = Client("--windows", 1)
            (hwnd, result), = late.windows()
            h.check(result == 1, "a 17th registration reports %d, expected 1" % result)
            late.post(hwnd, CMD_SETACTIVE)
            line = late.wait_for(lambda l: l.startswith("setactive"), what="setactive")[0]
            h.check(line.endswith(" 0"), "the 17th window is in the list: " + line)
            active = [l for l in first.snapshot() + second.snapshot() if l.startswith("activate ")]
            h.check(sum(1 for l in active if l.split()[2] == "1") == 16, "activations:\n" + "\n".join(active))
        finally:
            if late:
                late.close()
            first.close(timeout=60)
            second.close(timeout=60)
    settle()


def test_wake_up_after_the_screen_saver_started():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        client = Client()
        try:
            (hwnd, _), = client.windows()
            line_up(client, device)
            device.send(b"Uu", gap_ms=15)
            h.check(client.wait_received(b"Uu") == b"Uu", "awake: %r" % client.received())
            # The window passes the command to DefWindowProc: the watch hook sees the saver start.
            client.post(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0)
            time.sleep(0.5)
            device.send(b"Dd", gap_ms=30)
            time.sleep(0.5)
            h.check(client.received() == b"Uu", "the waking press or its release was delivered: %r"
                    % client.received())
            device.send(b"Jj", gap_ms=15)
            got = client.wait_received(b"UuJj")
            h.check(got == b"UuJj", "after waking: %r" % got)
            # A press delivered, then the saver starts while the switch is held: its release is
            # delivered (and wakes the screen), and nothing after it is swallowed.
            device.send(b"D")
            h.check(client.wait_received(b"UuJjD") == b"UuJjD", "press: %r" % client.received())
            client.post(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0)
            time.sleep(0.5)
            device.send(b"dUuDd", gap_ms=30)
            got = client.wait_received(b"UuJjDdUuDd")
            h.check(got == b"UuJjDdUuDd", "a release was swallowed by the wake-up: %r" % got)
            # A press wakes the screen, then another window takes the port: the wake-up is forgotten
            # with the held switches, so the new window's next press and release both arrive.
            client.post(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0)
            time.sleep(0.5)
            device.send(b"J")
            time.sleep(0.5)
            other = Client()
            (second, _), = other.windows()
            device.send(b"jJj", gap_ms=30)
            got = other.wait_received(b"Jj", second)
            h.check(got == b"Jj", "after a wake-up and a change of window the new window got %r" % got)
            other.close()
        finally:
            client.close()
    settle()


def test_writes_reach_the_device():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        # WriteToPortEx to a closed port: 0, and no server is started.
        text = run_client_command("writeex", 1, "41")
        h.check("writeex 0" in text, "WriteToPortEx on a closed port: " + text)
        h.check(server_window() == 0, "WriteToPortEx started the server")

        # Three writes to a closed port: the first starts the server and opens the port; every
        # byte arrives, in order (the first one with the buffer's terminating zero).
        text = run_client_command("write", "41", "42", "43")
        h.check(text.count("write 1") == 3, "writes refused: " + text)
        got = device.wait_received(b"A\x00BC")
        h.check(got == b"A\x00BC", "device received %r" % got)
        device.clear()

        # WriteToPort of "?" on the open port from a registered client.
        client = Client()
        try:
            (hwnd, _), = client.windows()
            client.post(hwnd, CMD_WRITE, 0, ord("?"))
            h.check(device.wait_received(b"?") == b"?", "device received %r" % device.received())
        finally:
            client.close()
    settle()


def test_writes_while_the_port_cannot_open_arrive_as_one_block():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        device.control.command("UNPLUG")
        text = run_client_command("write", "41", "42", "43")
        h.check(text.count("write 1") == 3, "writes refused: " + text)
        device.control.command("REPLUG")
        time.sleep(0.3)
        h.check(device.received() == b"", "bytes sent before the port opened: %r" % device.received())
        client = Client()  # the first client of the closed port opens it
        try:
            client.windows()
            got = device.wait_received(b"ABC\x00")
            h.check(got == b"ABC\x00", "device received %r, expected one block ABC+zero" % got)
        finally:
            client.close()
    settle()


def test_unplug_shows_one_box_does_not_spin_and_replug_works():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        client = Client()
        try:
            client.windows()
            line_up(client, device)
            device.send(b"Ll", gap_ms=15)
            h.check(client.wait_received(b"Ll") == b"Ll", "before unplug: %r" % client.received())
            device.control.command("UNPLUG")
            box = h.wait_window("#32770", "Error", 8000)
            h.check(box != 0, "no read-error box after the device went away")
            texts = h.probe("children", box)[1]
            h.check("<CE1-" in texts, "box text: " + texts)
            cpu_before = server_cpu_seconds()
            h.check(cpu_before is not None, "swibus.exe process not found")
            time.sleep(4)
            cpu = server_cpu_seconds() - cpu_before
            h.check(cpu < 1.0, "swibus.exe used %.2f s of CPU in 4 s while the device was gone" % cpu)
            print("  swibus.exe CPU while the device was gone: %.2f s in 4 s" % cpu, flush=True)
            h.probe("post", box, WM_CLOSE, 0, 0)
            h.check(h.probe("wait-gone", box, 5000)[0] == 0, "box did not close")
            time.sleep(1)
            h.check(int(h.probe("find", "#32770", "Error")[1]) == 0, "a second box for the same failure")
            device.control.command("REPLUG")
            # The server opens the port again on its own within a second or two; a person would
            # press again until it answers, so does this test.
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline and not client.received().endswith(b"Rr"):
                device.send(b"Rr", gap_ms=15)
                time.sleep(0.7)
            got = client.received()
            h.check(got.startswith(b"Ll") and got.endswith(b"Rr") and set(got[2:]) <= set(b"Rr"),
                    "after replug: %r" % got)
        finally:
            client.close()
    settle()


def session_process(marker):
    """Pid of the Wine process of this build tree whose command line holds `marker`."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            cmdline = open("/proc/%s/cmdline" % pid, "rb").read().replace(b"\0", b" ")
            if marker.encode() in cmdline and b"wine-run" not in cmdline and \
                    h.BUILD.encode() in open("/proc/%s/environ" % pid, "rb").read():
                return int(pid)
        except OSError:
            continue
    return None


def descriptors_on(path):
    """Open descriptors on `path` in this session's Wine processes (the wineserver included)."""
    count = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if h.PREFIX.encode() not in open("/proc/%s/environ" % pid, "rb").read():
                continue
            for fd in os.listdir("/proc/%s/fd" % pid):
                try:
                    count += os.readlink("/proc/%s/fd/%s" % (pid, fd)) == path
                except OSError:
                    pass
        except OSError:
            continue
    return count


def wait_working(client, device, press, timeout=15.0, hwnd=None, arrives=None):
    """Presses until the client (its window `hwnd`) receives the press and its release (as
    `arrives`, when translated); seconds it took, or None."""
    arrives = arrives or press
    started = time.monotonic()
    want = len(client.received(hwnd)) + len(arrives)
    while time.monotonic() - started < timeout:
        try:
            device.send(press, gap_ms=15)
        except RuntimeError:
            pass  # still unplugged
        time.sleep(0.25)
        got = client.received(hwnd)
        if len(got) >= want and got.endswith(arrives):
            return time.monotonic() - started
    return None


def line_up(client, device, hwnd=None, press=b"Uu", arrives=None, timeout=60.0):
    """Presses until the client's window gets the press and its release, then forgets what it got.

    A registration returns once the server answers or a bound passes; where the server is slow
    (emulated Wine) it may still be opening the port, and the open empties the line: a byte sent
    meanwhile is rightly lost. A person presses again; so does this, before the bytes a case counts."""
    if wait_working(client, device, press, timeout, hwnd, arrives) is None:
        raise AssertionError("the line never worked in %.0f s (the server %s): the client got %r"
                             % (timeout, "runs" if server_window() else "is gone", client.received(hwnd)))
    # A press sent before the last one may still be on its way.
    seen = -1
    while seen != len(client.snapshot()):
        seen = len(client.snapshot())
        time.sleep(0.5)
    client.first_line = seen


def test_adapter_plugged_late_and_pulled_out_again_and_again():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        device.control.command("UNPLUG")
        client = Client()
        try:
            (hwnd, result), = client.windows()
            h.check(result == 1, "RegisterToDLL gave %d" % result)
            time.sleep(1.5)
            device.control.command("REPLUG")
            took = wait_working(client, device, b"Ll")
            h.check(took is not None, "an adapter plugged in after the first registration stays dead: %r"
                    % client.received())
            print("  adapter linked late: working %.1f s after it appeared" % took, flush=True)
            cpu_gone = 0.0
            time_gone = 0.0
            slowest = 0.0
            for cycle in range(25):
                device.control.command("HANGUP")
                before, started = server_cpu_seconds(), time.monotonic()
                time.sleep(1.0)
                cpu_gone += server_cpu_seconds() - before
                time_gone += time.monotonic() - started
                device.control.command("REPLUG")
                took = wait_working(client, device, b"Rr" if cycle % 2 else b"Uu")
                h.check(took is not None, "replug %d left the switches dead: %r" % (cycle + 1, client.received()))
                slowest = max(slowest, took)
            print("  25 hang-ups: swibus.exe CPU %.2f s in %.1f s unplugged; slowest replug to a working "
                  "switch %.1f s (limit 2 s)" % (cpu_gone, time_gone, slowest), flush=True)
            h.check(cpu_gone < 0.1 * time_gone, "swibus.exe spun while the line was hung up: %.2f s of CPU in "
                    "%.1f s" % (cpu_gone, time_gone))
        finally:
            client.close()
    settle()


def test_open_request_during_a_close_waits_for_it():
    fresh_settings()
    with h.VirtualDevice(com=1) as device, h.VirtualDevice(com=2):
        keeper = Client("--port", 2, 0)  # keeps the server up: the last COM1 client only closes COM1
        racer = Client("--close-race")
        try:
            keeper.windows()
            racer.windows()
            slave = device.control.command("STATUS").split()[1]
            time.sleep(0.5)
            open_once = descriptors_on(slave)
            device.send(b"D")
            racer.wait_for(lambda l: l.startswith("write "), what="the write during the close")
            got = device.wait_received(b"A\x00")
            h.check(got.endswith(b"A\x00"), "the write made during the close did not arrive: %r" % got)
            time.sleep(1.0)
            after = descriptors_on(slave)
            print("  descriptors on the line: %d with the port open once, %d after the raced close and "
                  "open" % (open_once, after), flush=True)
            h.check(after == open_once, "the port is open %d times over (once: %d descriptors)"
                    % (after, open_once))
        finally:
            racer.close()
            keeper.close()
        # Every handle was closed: the port opens again for the next client.
        again = Client()
        try:
            again.windows()
            took = wait_working(again, device, b"Jj")
            h.check(took is not None, "the port stays dead after the raced close: %r" % again.received())
        finally:
            again.close()
    settle()


def beside_a_stopped_client(device):
    """A client gets a press and stops (SIGSTOP) before its release; another program registers and
    the box is pressed again. Returns (the registration's result, how long it took in ms, what the
    new active window got, what the stopped client got once it runs again)."""
    stuck = Client("--class", "StoppedClient")
    other = None
    stopped = None
    try:
        stuck.windows()
        line_up(stuck, device)
        device.send(b"D")
        h.check(stuck.wait_received(b"D") == b"D", "press: %r" % stuck.received())
        stopped = session_process("StoppedClient")
        h.check(stopped is not None, "the client's process not found")
        os.kill(stopped, signal.SIGSTOP)
        device.send(b"d")
        other = Client()
        ready = other.wait_for(lambda l: l.startswith("ready "), timeout=20, what="registration")[0].split()
        device.send(b"Uu", gap_ms=15)
        other_got = other.wait_received(b"Uu")
        os.kill(stopped, signal.SIGCONT)
        stopped = None
        return int(ready[2]), int(ready[3]), other_got, stuck.wait_received(b"Dd")
    finally:
        if stopped:
            os.kill(stopped, signal.SIGCONT)
        try:
            if other:
                other.close()
        finally:
            stuck.close()


def test_a_stopped_client_holds_up_no_one():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        result, _, other_got, stuck_got = beside_a_stopped_client(device)
        h.check(result == 1, "registration beside a stopped client gave %d" % result)
        h.check(other_got == b"Uu", "the window active after the stopped one got %r" % other_got)
        h.check(stuck_got == b"Dd", "the stopped client's release was lost or others' bytes reached it: %r"
                % stuck_got)
    settle()



def kill_wine_process(marker):
    """Kills the Windows program whose command line holds `marker` (not its wrapper, nor what it
    started): a program that crashes."""
    pid = session_process(marker)
    h.check(pid is not None, "no process for %s" % marker)
    os.kill(pid, signal.SIGKILL)


def test_a_program_that_dies_leaves_the_switches_to_the_others():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        keeper = Client("--class", "KeeperClient")
        dying = None
        try:
            (kept, _), = keeper.windows()
            line_up(keeper, device, kept)
            dying = Client("--class", "DyingClient")  # registered after the keeper: the active one
            dying.windows()
            slave = device.control.command("STATUS").split()[1]
            kill_wine_process("DyingClient")
            time.sleep(0.3)
            started = time.monotonic()
            device.send(b"Ll", gap_ms=15)
            h.check(keeper.wait_received(b"Ll", kept, timeout=2.0) == b"Ll",
                    "the remaining program got %r after the active one died" % keeper.received(kept))
            told = "activate %d 1 1" % kept
            h.check(h.eventually(lambda: keeper.snapshot().count(told) == 2, timeout=2.0),
                    "the remaining program was not told it is active again:\n" + "\n".join(keeper.snapshot()))
            print("  switches back on the remaining program %.1f s after the byte" % (time.monotonic() - started),
                  flush=True)
            # The last program dies too: the server closes the line and ends by itself.
            kill_wine_process("KeeperClient")
            h.check(wait_server_gone(timeout=5.0), "swibus.exe still runs 5 s after its last client died")
            h.check(descriptors_on(slave) == 0, "the line is still open after the server ended")
        finally:
            if dying:
                dying.kill()
            keeper.kill()
    settle()


def test_a_server_that_stops_answering_holds_up_no_client():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        first = Client("--class", "BeforeTheHang")
        second = None
        server = None
        try:
            (one, _), = first.windows()
            server = session_process("swibus.exe")
            h.check(server is not None, "swibus.exe process not found")
            os.kill(server, signal.SIGSTOP)
            first.post(one, CMD_UNREGISTER)
            line = first.wait_for(lambda l: l.startswith("unregister "), timeout=30, what="the unregistration")[0]
            took = int(line.split()[3])
            h.check(took < 6000, "UnRegisterFromDLL waited %d ms on a server that does not answer" % took)
            second = Client()
            (two, result), = second.windows(timeout=60)
            h.check(result == 1, "RegisterToDLL beside a hung server gave %d" % result)
            h.check(wait_working(second, device, b"Ll") is not None,
                    "no working port for the next program: %r" % second.received())
            print("  unregistration beside a stopped server returned after %d ms" % took, flush=True)
        finally:
            if server:
                try:
                    os.kill(server, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            if second:
                second.close()
            first.close()
    settle()


def interleaves(stream, first, second):
    """Whether `stream` is `first` and `second` merged, each in its own order."""
    reachable = {(0, 0)}
    for byte in stream:
        reachable = {(i + 1, j) for i, j in reachable if i < len(first) and first[i] == byte} | \
                    {(i, j + 1) for i, j in reachable if j < len(second) and second[j] == byte}
        if not reachable:
            return False
    return (len(first), len(second)) in reachable


def test_a_program_registering_while_the_active_one_hangs_gets_the_switches():
    fresh_settings()
    with h.VirtualDevice(com=1) as device:
        hanging = Client("--class", "HangingClient")
        late = None
        try:
            (a, _), = hanging.windows()
            line_up(hanging, device, a)
            stream = (b"LlRrUuDdJj" * 15)[:150]  # a byte every 100 ms for 15 s

            def box():
                for at in range(0, len(stream), 10):
                    device.send(stream[at:at + 10], gap_ms=100)
                    time.sleep(0.1)
            sender = threading.Thread(target=box)
            sender.start()
            time.sleep(1.0)
            hanging.post(a, CMD_HANG, 0, 8000)
            time.sleep(1.0)
            late = Client("--class", "LateClient")
            (b, _), = late.windows()
            ready_ms = int(late.wait_for(lambda l: l.startswith("ready "))[0].split()[3])
            h.check(late.find(lambda l: l == "activate %d 1 1" % b, timeout=2.0),
                    "the program registered during the hang was not told it is active")
            time.sleep(2.0)
            h.check(len(late.received(b)) >= 10, "the new active program gets no bytes during the hang: %r"
                    % late.received(b))
            sender.join()
            hanging.wait_for(lambda l: l == "hang over", timeout=20, what="the end of the hang")
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and len(hanging.received(a)) + len(late.received(b)) < len(stream):
                time.sleep(0.2)
            got_a, got_b = hanging.received(a), late.received(b)
            print("  registration during the hang took %d ms; the hung program got %d bytes, the new one %d"
                  % (ready_ms, len(got_a), len(got_b)), flush=True)
            h.check(interleaves(stream, got_a, got_b),
                    "bytes lost or out of order across the hang:\nsent %r\nA got %r\nB got %r" % (stream, got_a, got_b))
        finally:
            if late:
                late.close()
            hanging.close()
    settle()

def test_mouse_filter_turns_one_left_press_into_a_right_click():
    fresh_settings()
    with h.VirtualDevice(com=1):
        client = Client("--show")
        try:
            (hwnd, _), = client.windows()
            client.post(hwnd, CMD_MOUSEFILTER, 1)
            client.post(hwnd, CMD_MOUSEFILTER, 1)
            client.wait_for(lambda l: l.startswith("mousefilter"), what="filter result")
            time.sleep(0.5)
            results = [l for l in client.snapshot() if l.startswith("mousefilter")]
            h.check(results == ["mousefilter 1", "mousefilter 0"], "switching on twice: %r" % results)
            h.xdotool("mousemove", 150, 150)
            h.xdotool("click", 1)
            time.sleep(1.0)
            h.xdotool("click", 1)
            time.sleep(1.0)
            mouse = [l.split()[1] for l in client.snapshot() if l.startswith("mouse ")]
            # The swallowed press leaves its release: a right click, then the normal click.
            h.check(mouse == ["rdown", "rup", "lup", "ldown", "lup"], "mouse messages %r" % mouse)
        finally:
            client.close()
    settle()


def sheet_page(sheet, index):
    h.probe("send", sheet, PSM_SETCURSEL, index, 0)
    return int(h.probe("send", sheet, PSM_GETCURRENTPAGEHWND, 0, 0)[1])


def child_by_id(parent, control_id):
    for line in h.probe("children", parent)[1].splitlines():
        parts = line.split()
        if len(parts) >= 2 and int(parts[1]) == control_id:
            return int(parts[0])
    raise AssertionError("no control %d" % control_id)


def test_settings_sheet_moves_the_port_and_saves():
    fresh_settings()
    with h.VirtualDevice(com=1) as old_device, h.VirtualDevice(com=3) as new_device:
        client = Client()
        try:
            (hwnd, _), = client.windows()
            client.post(hwnd, CMD_SHEET)
            sheet = h.wait_window("#32770", "Serial Port", 15000)
            h.check(sheet != 0, "no sheet captioned \"Serial Port\"")
            page = sheet_page(sheet, 0)
            time.sleep(0.3)
            h.screenshot("serial_port_parameters")
            ports = child_by_id(page, 103)
            h.probe("send", ports, CB_SETCURSEL, 3, 0)
            h.probe("send", page, WM_COMMAND, (CBN_SELCHANGE << 16) | 103, ports)
            h.probe("send", child_by_id(page, 104), CB_SETCURSEL, 8, 0)  # 19200
            inputs = sheet_page(sheet, 1)
            h.probe("settext", inputs, 1012, "F")  # Fire make
            h.probe("settext", inputs, 1013, "f")  # Fire break
            time.sleep(0.3)
            h.screenshot("serial_port_input")
            h.probe("click", sheet, 1)  # OK
            h.probe("post", sheet, 0, 0, 0)
            line = client.wait_for(lambda l: l.startswith("sheet "), what="sheet result")[0]
            h.check(int(line.split()[1]) > 0, line)
            h.check(h.reg_get_dword(MAIN_KEY, "ComPort") == 3, "ComPort not saved")
            h.check(h.reg_get_dword(MAIN_KEY + r"\COM3", "BaudRate") == 19200, "baud rate not saved")
            code, text = h.reg("query", MAIN_KEY, "/v", "PortInput")
            h.check("LlRrUuDdFfDd" in text, "PortInput not saved: " + text)
            line_up(client, new_device, press=b"Ff", arrives=b"Jj")  # the line moved: opened anew
            new_device.send(b"Ff", gap_ms=15)
            old_device.send(b"Uu", gap_ms=15)
            got = client.wait_received(b"Jj")
            time.sleep(0.3)
            h.check(client.received() == b"Jj", "after the move the client got %r" % client.received())
        finally:
            client.close()
    settle()


if __name__ == "__main__":
    h.main([
        test_filter_translation_and_special_bytes,
        test_seventh_make_is_delivered_but_not_held,
        test_a_program_leaving_behind_the_active_one_costs_it_no_release,
        test_raw_port_passes_everything_and_the_server_follows_its_clients,
        test_sixteen_windows_from_two_processes_and_a_seventeenth,
        test_wake_up_after_the_screen_saver_started,
        test_writes_reach_the_device,
        test_writes_while_the_port_cannot_open_arrive_as_one_block,
        test_unplug_shows_one_box_does_not_spin_and_replug_works,
        test_adapter_plugged_late_and_pulled_out_again_and_again,
        test_open_request_during_a_close_waits_for_it,
        test_a_stopped_client_holds_up_no_one,
        test_a_program_that_dies_leaves_the_switches_to_the_others,
        test_a_server_that_stops_answering_holds_up_no_client,
        test_a_program_registering_while_the_active_one_hangs_gets_the_switches,
        test_settings_sheet_moves_the_port_and_saves,
        test_mouse_filter_turns_one_left_press_into_a_right_click,
    ])
