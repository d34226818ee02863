"""Fails when a shipped command-list file differs from what make_command_lists.py writes."""
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_command_lists  # noqa: E402


def main():
    stale = []
    with tempfile.TemporaryDirectory() as folder:
        make_command_lists.write_all(folder)
        for code in make_command_lists.CODES:
            name = "FennickKey_%s.ini" % code
            with open(os.path.join(folder, name), "rb") as fresh, open(os.path.join(HERE, name), "rb") as shipped:
                if fresh.read() != shipped.read():
                    stale.append(name)
    if stale:
        print("out of date, run make_command_lists.py: " + ", ".join(stale))
        return 1
    print("%d command lists match their generator" % len(make_command_lists.CODES))
    return 0


if __name__ == "__main__":
    sys.exit(main())
