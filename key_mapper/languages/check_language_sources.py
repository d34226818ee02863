"""Fails when a language module's .rc file is not in code page 1252 (for example saved as UTF-8),
lacks its code-page pragma or its LANGUAGE statement: accented letters would reach the screen garbled."""
import glob
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def problems(path):
    data = open(path, "rb").read()
    found = []
    if b"#pragma code_page(1252)" not in data:
        found.append("no #pragma code_page(1252)")
    if b"\nLANGUAGE " not in data:
        found.append("no LANGUAGE statement")
    if any(b >= 0x80 for b in data):
        try:
            data.decode("utf-8")
            found.append("non-ASCII text is UTF-8, not code page 1252")
        except UnicodeDecodeError:
            pass
    try:
        data.decode("cp1252")
    except UnicodeDecodeError as error:
        found.append("byte outside code page 1252 at offset %d" % error.start)
    return found


def main():
    files = sorted(glob.glob(os.path.join(HERE, "*.rc")))
    bad = [(os.path.basename(f), p) for f in files for p in problems(f)]
    for name, problem in bad:
        print("%s: %s" % (name, problem))
    if not files:
        print("no .rc files found")
        return 1
    if not bad:
        print("%d language sources in code page 1252" % len(files))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
