"""The harness end to end: a Windows program under Wine reads the virtual device's
bytes through COM1 (woken by WaitCommEvent/EV_RXCHAR) and writes a byte it records."""
import time

import fennick_harness as h


def test_bytes_cross_the_line_both_ways():
    with h.VirtualDevice(com=1) as device:
        program = h.start("com_smoke.exe", "COM1", 4, "3f")
        try:
            # Wait until the program has opened the port before the device speaks.
            line = program.stdout.readline().decode("latin-1").strip()
            h.check(line == "listening", "com_smoke did not open COM1: %r" % line)
            time.sleep(0.2)
            device.press("down", 30)
            device.send(b"Jj", gap_ms=20)
            out, _ = program.communicate(timeout=30)
        finally:
            if program.poll() is None:
                program.kill()
        text = out.decode("latin-1")
        h.check(program.returncode == 0, "com_smoke exited %s:\n%s" % (program.returncode, text))
        h.check("received 44644a6a" in text, "wrong bytes on the Windows side:\n%s" % text)
        got = device.wait_received(b"?")
        h.check(got == b"?", "device recorded %r instead of the written byte" % got)


def test_unplugged_device_fails_the_open_and_replug_works():
    with h.VirtualDevice(com=3) as device:
        device.control.command("UNPLUG")
        code, text = h.run("com_smoke.exe", "COM3", 1, "21", timeout=30)
        h.check(code != 0, "opening an unplugged port should fail:\n" + text)
        device.control.command("REPLUG")
        program = h.start("com_smoke.exe", "COM3", 1, "21")
        try:
            h.check(program.stdout.readline().decode().strip() == "listening", "no open after replug")
            time.sleep(0.2)
            device.send(b"L")
            out, _ = program.communicate(timeout=30)
        finally:
            if program.poll() is None:
                program.kill()
        h.check(program.returncode == 0 and b"received 4c" in out, out.decode("latin-1"))
        h.check(device.wait_received(b"!") == b"!", "write after replug not recorded")


def test_close_sequence_ends_a_pending_wait():
    with h.VirtualDevice(com=2):
        code, text = h.run("com_smoke.exe", "COM2", "close-wakes", timeout=60)
        h.check(code == 0, "exit %d: %s" % (code, text))


def test_many_waits_in_a_row_stay_reliable():
    # Each received byte completes one WaitCommEvent; a run of them must not break the process.
    with h.VirtualDevice(com=1) as device:
        program = h.start("com_smoke.exe", "COM1", 40, "2e")
        try:
            h.check(program.stdout.readline().decode().strip() == "listening", "no open")
            time.sleep(0.2)
            device.send(b"LlRrUuDdJj" * 4, gap_ms=15)
            out, _ = program.communicate(timeout=60)
        finally:
            if program.poll() is None:
                program.kill()
        h.check(program.returncode == 0, out.decode("latin-1"))
        h.check(("received " + (b"LlRrUuDdJj" * 4).hex()) in out.decode(), out.decode("latin-1"))


if __name__ == "__main__":
    h.main([test_bytes_cross_the_line_both_ways, test_unplugged_device_fails_the_open_and_replug_works,
            test_close_sequence_ends_a_pending_wait, test_many_waits_in_a_row_stay_reliable])
