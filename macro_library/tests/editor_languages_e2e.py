"""The macro editor in every language it speaks, and in English for everyone else.

For each user language (Wine takes it from LC_ALL) the gallery program opens the editor through
ComposeMacro, checks that every control is there and that no text is cut off, and saves pictures
of the editor and of its naming dialog. With --docs the pictures of English, German, French and
Dutch also go to docs/screenshots.
"""
import os
import subprocess
import sys
import tempfile

import fennick_harness as harness

# User language, the editor's caption that user must see, picture name (or None).
CASES = [
    ("en_GB", "Edit Macro", "english"),
    ("en_US", "Edit Macro", None),  # US English is not shipped: English (UK) by choice, not by chance
    ("ja_JP", "Edit Macro", None),
    ("de_DE", "Makro bearbeiten", "german"),
    ("de_AT", "Makro bearbeiten", None),
    ("fr_FR", "Modifier la macro", "french"),
    ("fr_CA", "Modifier la macro", None),
    ("it_IT", "Modifica macro", "italian"),
    ("nl_NL", "Macro bewerken", "dutch"),
    ("nl_BE", "Macro bewerken", None),  # Belgian Dutch gets the Dutch texts
    ("nb_NO", "Rediger makro", "norwegian"),
    ("sv_SE", "Redigera makro", "swedish"),
]
DOCS = {"english", "german", "french", "dutch"}


def show(language, folder):
    """Runs the gallery in that language; returns (exit code, output lines)."""
    old = os.environ.get("LC_ALL")
    os.environ["LC_ALL"] = language + ".UTF-8"
    try:
        code, text = harness.run("mcx_editor_gallery.exe", "Z:" + folder.replace("/", "\\"), timeout=120)
    finally:
        if old is None:
            del os.environ["LC_ALL"]
        else:
            os.environ["LC_ALL"] = old
    # The shell that starts Wine warns that it has no such locale itself: not ours.
    lines = [line for line in text.splitlines() if line and not line.startswith("bash: warning")]
    return code, lines


def main():
    docs = "--docs" in sys.argv
    out = os.path.join(harness.ARTIFACTS, "macro_editor")
    os.makedirs(out, exist_ok=True)
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for language, caption, picture in CASES:
            code, lines = show(language, work)
            shown = lines[0] if lines else "<nothing>"
            if code != 0 or shown != caption:
                failures.append("%s: expected %r, got exit %d and %s" % (language, caption, code, lines))
                continue
            print("%s: %s" % (language, shown))
            if not picture:
                continue
            for dialog in ("editor", "name"):
                png = os.path.join(out, "macro_editor_%s_%s.png" % (picture, dialog))
                subprocess.run(["convert", os.path.join(work, dialog + ".bmp"), "-strip", "PNG8:" + png], check=True)
                if docs and picture in DOCS:
                    target = os.path.join(harness.REPO, "docs", "screenshots", os.path.basename(png))
                    subprocess.run(["cp", png, target], check=True)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
