"""The virtual device on its own (Linux side only): make/break codes, recording,
the identity answer and unplugging, seen from the pseudo-terminal's slave end."""
import os
import select
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
from vswitch import Control  # noqa: E402


def read_available(fd, wanted, timeout=5.0):
    data = b""
    deadline = time.monotonic() + timeout
    while len(data) < wanted and time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            data += os.read(fd, 256)
    return data


class VirtualDeviceTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        ready = os.path.join(self.folder, "ready")
        self.process = subprocess.Popen([sys.executable, os.path.join(os.path.dirname(HERE), "vswitch.py"),
                                         "--prefix", self.folder, "--com", "2", "--batch", "--ready-file", ready],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(ready):
                break
            time.sleep(0.05)
        self.control = Control(int(open(ready).read()))
        self.link = os.path.join(self.folder, "dosdevices", "com2")
        self.line = os.open(self.link, os.O_RDWR | os.O_NOCTTY)

    def tearDown(self):
        os.close(self.line)
        self.control.command("QUIT")
        self.process.wait(timeout=5)

    def test_press_sends_make_then_break_and_raw_bytes_pass(self):
        self.control.command("PRESS fire 10")
        self.control.command("PRESS switch2 10")
        self.control.send(b"\x00\xff")
        self.assertEqual(read_available(self.line, 6), b"JjDd\x00\xff")

    def test_received_bytes_are_recorded_and_query_answered_lf_then_cr(self):
        os.write(self.line, b"!s 01 10")
        os.write(self.line, b"?")
        self.assertEqual(read_available(self.line, 20), b"FNK 2.1\n\r")
        time.sleep(0.1)
        self.assertEqual(self.control.received(), b"!s 01 10?")
        self.control.command("CLEAR")
        self.assertEqual(self.control.received(), b"")

    def test_identity_can_be_silenced(self):
        self.control.command("IDENTITY OFF")
        os.write(self.line, b"?")
        self.assertEqual(read_available(self.line, 1, timeout=0.5), b"")

    def test_unplug_refuses_bytes_and_replug_offers_a_new_line(self):
        old_target = os.readlink(self.link)
        self.control.command("UNPLUG")
        self.assertFalse(os.path.lexists(self.link), "an unplugged device keeps no COM link")
        with self.assertRaises(RuntimeError):
            self.control.command("PRESS left")
        self.control.command("REPLUG")
        new_line = os.open(self.link, os.O_RDWR | os.O_NOCTTY)
        try:
            self.control.command("PRESS left 5")
            self.assertEqual(read_available(new_line, 2), b"Ll")
        finally:
            os.close(new_line)
        self.assertTrue(os.path.exists(os.readlink(self.link)))
        self.assertIsNotNone(old_target)


if __name__ == "__main__":
    unittest.main()
