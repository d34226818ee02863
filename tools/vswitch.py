#!/usr/bin/env python3
"""Virtual switch-interface box: the serial model of the device on a pseudo-terminal.

The box owns a pseudo-terminal and links its slave side as COMn in a Wine
prefix, so a Windows program under Wine opens "COMn" and talks to it as to the
real box: one make byte when a switch is pressed, one break byte when it is
released, and a short identity text in answer to the query byte "?".

Control it three ways:
  * interactively, when standard input is a terminal (keys listed by --help-keys);
  * over a line-based TCP control interface on 127.0.0.1 (commands below), which
    Linux scripts and Windows test programs alike can reach;
  * with the small client class `Control` of this module.

Control commands (one per line, each answered by one line "OK ..." or "ERR ..."):
  SEND <hex> [gap_ms]        send these bytes, gap_ms apart (default 0)
  PRESS <switch> [hold_ms]   make, wait hold_ms (default 50), break
  HOLD <switch> / RELEASE <switch>
  RECEIVED                   every byte received so far, as hex
  CLEAR                      forget the received bytes
  IDENTITY <text> | IDENTITY OFF
  UNPLUG / REPLUG            close the line / offer a new one under the same COM name
  HANGUP                     close only the line's far end (the master side), as a pulled USB
                             adapter behaves under Wine: the COM name stays, the line is dead
  STATUS                     "OK plugged|unplugged <slave path>"
  QUIT
Switch names: left right up down fire switch2 (codes configurable with --codes).
"""
import argparse
import os
import pty
import select
import socket
import sys
import termios
import threading
import time
import tty

DEFAULT_CODES = "LlRrUuDdJjDd"
SWITCH_NAMES = ["left", "right", "up", "down", "fire", "switch2"]
# What the box answers to "?". Clients see it through the port monitor's filter,
# so it holds no "E"/"e" (device events), no "V".."Z"/"v".."z" and no lone break codes.
DEFAULT_IDENTITY = "FNK 2.1"
QUERY_BYTE = b"?"

INTERACTIVE_KEYS = {
    "a": "left", "d": "right", "w": "up", "s": "down",
    " ": "fire", "f": "fire", "2": "switch2",
    "\x1b[D": "left", "\x1b[C": "right", "\x1b[A": "up", "\x1b[B": "down",
}
HELP_KEYS = """Keys: arrows or w/a/s/d = Up/Left/Down/Right, space or f = Fire/Switch 1,
2 = Switch 2, x followed by two hex digits = that raw byte, q = quit.
A key pressed sends the make code; the break follows when the key is let go
(when the terminal stops repeating it)."""


class Box:
    """The device: a pseudo-terminal, its COM link, what it received."""

    def __init__(self, prefix, com, codes, identity):
        self.prefix = prefix
        self.com = com
        self.codes = codes.encode("latin-1")
        self.identity = identity
        self.lock = threading.Lock()
        self.received = bytearray()
        self.master = None
        self.slave = None
        self.slave_path = None
        self.stop = False

    # -- line ---------------------------------------------------------------
    def plug(self):
        with self.lock:
            if self.master is not None:
                return
            master, slave = pty.openpty()
            tty.setraw(slave)
            attrs = termios.tcgetattr(slave)
            attrs[3] &= ~termios.ECHO
            termios.tcsetattr(slave, termios.TCSANOW, attrs)
            # The slave end stays open here so the line never hangs up while
            # the Windows side closes and reopens the port.
            self.master, self.slave = master, slave
            self.slave_path = os.ttyname(slave)
            self.link_line()

    def link_line(self):
        """Points the prefix's COM name at the line. Wine's mount manager, when it starts (late, in a
        new prefix), removes every COM link and makes its own for the machine's /dev/ttyS*: a box
        linked before that would be found on a real serial port that never answers. Called under
        the lock, at plug time and again whenever the link no longer names the line."""
        if not self.prefix or self.master is None:
            return
        link = os.path.join(self.prefix, "dosdevices", "com%d" % self.com)
        try:
            if os.readlink(link) == self.slave_path:
                return
        except OSError:
            pass
        os.makedirs(os.path.dirname(link), exist_ok=True)
        tmp = link + ".new"
        if os.path.lexists(tmp):
            os.unlink(tmp)
        os.symlink(self.slave_path, tmp)
        os.replace(tmp, link)

    def hangup(self):
        with self.lock:
            if self.master is None:
                return
            os.close(self.master)  # the slave side, still open in Wine, now fails with EIO
            os.close(self.slave)
            self.master = self.slave = None

    def unplug(self):
        with self.lock:
            if self.master is None:
                return
            os.close(self.master)
            os.close(self.slave)
            self.master = self.slave = None
            # An unplugged adapter's COM name goes away with it; a dangling link could otherwise
            # reach a pseudo-terminal that another device opened later under the same number.
            if self.prefix:
                link = os.path.join(self.prefix, "dosdevices", "com%d" % self.com)
                if os.path.islink(link):
                    os.unlink(link)

    def plugged(self):
        return self.master is not None

    def send(self, data, gap_ms=0):
        for i, byte in enumerate(data):
            if i and gap_ms:
                time.sleep(gap_ms / 1000.0)
            with self.lock:
                if self.master is None:
                    raise IOError("unplugged")
                os.write(self.master, bytes([byte]))

    def code(self, switch, make):
        index = SWITCH_NAMES.index(switch) * 2 + (0 if make else 1)
        return self.codes[index:index + 1]

    # -- reading ------------------------------------------------------------
    def read_loop(self):
        while not self.stop:
            with self.lock:
                self.link_line()
            master = self.master
            if master is None:
                time.sleep(0.05)
                continue
            try:
                ready, _, _ = select.select([master], [], [], 0.1)
                if not ready:
                    continue
                data = os.read(master, 4096)
            except (OSError, ValueError):
                time.sleep(0.05)
                continue
            if not data:
                continue
            with self.lock:
                self.received.extend(data)
            if QUERY_BYTE in data and self.identity is not None:
                # A real box ends its answer with line feed, then carriage return.
                try:
                    self.send((self.identity + "\n\r").encode("latin-1"))
                except IOError:
                    pass


class ControlServer:
    def __init__(self, box, port):
        self.box = box
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]

    def serve(self):
        while not self.box.stop:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self.session, args=(conn,), daemon=True).start()

    def session(self, conn):
        with conn, conn.makefile("rwb", buffering=0) as stream:
            for raw in stream:
                reply = self.execute(raw.decode("latin-1").strip())
                stream.write((reply + "\n").encode("latin-1"))
                if reply == "OK bye":
                    self.box.stop = True
                    try:
                        self.sock.close()
                    except OSError:
                        pass
                    return

    def execute(self, line):
        box = self.box
        words = line.split(" ", 1)
        verb = words[0].upper()
        rest = words[1] if len(words) > 1 else ""
        try:
            if verb == "SEND":
                parts = rest.split()
                data = bytes.fromhex(parts[0]) if parts else b""
                box.send(data, int(parts[1]) if len(parts) > 1 else 0)
                return "OK %d" % len(data)
            if verb in ("PRESS", "HOLD", "RELEASE"):
                parts = rest.split()
                switch = parts[0].lower()
                if switch not in SWITCH_NAMES:
                    return "ERR unknown switch %s" % switch
                if verb != "RELEASE":
                    box.send(box.code(switch, True))
                if verb == "PRESS":
                    time.sleep((int(parts[1]) if len(parts) > 1 else 50) / 1000.0)
                if verb != "HOLD":
                    box.send(box.code(switch, False))
                return "OK"
            if verb == "RECEIVED":
                with box.lock:
                    return "OK " + box.received.hex()
            if verb == "CLEAR":
                with box.lock:
                    box.received.clear()
                return "OK"
            if verb == "IDENTITY":
                box.identity = None if rest.upper() == "OFF" else rest
                return "OK"
            if verb == "UNPLUG":
                box.unplug()
                return "OK"
            if verb == "HANGUP":
                box.hangup()
                return "OK"
            if verb == "REPLUG":
                box.plug()
                return "OK " + box.slave_path
            if verb == "STATUS":
                return "OK %s %s" % ("plugged" if box.plugged() else "unplugged", box.slave_path)
            if verb == "QUIT":
                return "OK bye"
            return "ERR unknown command"
        except (ValueError, IndexError) as error:
            return "ERR %s" % error
        except IOError as error:
            return "ERR %s" % error


class Control:
    """Client of the control interface, for scripts and tests."""

    def __init__(self, port, host="127.0.0.1", timeout=10.0):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.stream = self.sock.makefile("rwb", buffering=0)

    def command(self, line):
        self.stream.write((line + "\n").encode("latin-1"))
        reply = self.stream.readline().decode("latin-1").strip()
        if not reply.startswith("OK"):
            raise RuntimeError("virtual device refused %r: %s" % (line, reply))
        return reply[3:]

    def send(self, data, gap_ms=0):
        if isinstance(data, str):
            data = data.encode("latin-1")
        return self.command("SEND %s %d" % (data.hex(), gap_ms))

    def received(self):
        return bytes.fromhex(self.command("RECEIVED"))

    def close(self):
        self.sock.close()


def interactive(box):
    print(HELP_KEYS, flush=True)
    fd = sys.stdin.fileno()
    saved = termios.tcgetattr(fd)
    tty.setcbreak(fd)
    held = None
    last_seen = 0.0
    first_seen = 0.0
    try:
        while not box.stop:
            ready, _, _ = select.select([fd], [], [], 0.05)
            now = time.monotonic()
            if not ready:
                # Autorepeat begins about half a second after the first press,
                # then repeats every few tens of ms: silence beyond that is a release.
                limit = 0.6 if last_seen == first_seen else 0.12
                if held and now - last_seen > limit:
                    box.send(box.code(held, False))
                    held = None
                continue
            key = os.read(fd, 16).decode("latin-1")
            if key == "q":
                break
            if key == "x":
                digits = os.read(fd, 2).decode("latin-1")
                try:
                    box.send(bytes([int(digits, 16)]))
                except ValueError:
                    print("x needs two hex digits", flush=True)
                continue
            switch = INTERACTIVE_KEYS.get(key)
            if switch is None:
                continue
            if switch == held:
                last_seen = now
                continue
            if held:
                box.send(box.code(held, False))
            box.send(box.code(switch, True))
            held, first_seen, last_seen = switch, now, now
    finally:
        if held:
            box.send(box.code(held, False))
        termios.tcsetattr(fd, termios.TCSADRAIN, saved)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--prefix", default=os.environ.get("WINEPREFIX"), help="Wine prefix to link COMn in")
    parser.add_argument("--com", type=int, default=1, help="COM number (default 1)")
    parser.add_argument("--codes", default=DEFAULT_CODES, help="12 make/break codes: Left, Right, Up, Down, Fire, Switch 2")
    parser.add_argument("--identity", default=DEFAULT_IDENTITY, help="answer to '?'")
    parser.add_argument("--no-identity", action="store_true", help="stay silent on '?'")
    parser.add_argument("--control-port", type=int, default=0, help="TCP control port on 127.0.0.1 (0 = any)")
    parser.add_argument("--ready-file", help="write the control port here once the line is up")
    parser.add_argument("--batch", action="store_true", help="no interactive keys even on a terminal")
    parser.add_argument("--help-keys", action="store_true")
    args = parser.parse_args()
    if args.help_keys:
        print(HELP_KEYS)
        return 0
    if len(args.codes) != 12:
        parser.error("--codes needs exactly 12 characters")

    box = Box(args.prefix, args.com, args.codes, None if args.no_identity else args.identity)
    box.plug()
    server = ControlServer(box, args.control_port)
    threading.Thread(target=box.read_loop, daemon=True).start()
    threading.Thread(target=server.serve, daemon=True).start()
    print("vswitch: COM%d -> %s, control port %d" % (args.com, box.slave_path, server.port), flush=True)
    if args.ready_file:
        tmp = args.ready_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % server.port)
        os.replace(tmp, args.ready_file)

    try:
        if sys.stdin.isatty() and not args.batch:
            interactive(box)
        else:
            while not box.stop:
                time.sleep(0.1)
    except KeyboardInterrupt:
        pass
    box.stop = True
    box.unplug()
    return 0


if __name__ == "__main__":
    sys.exit(main())
