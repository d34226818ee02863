#!/usr/bin/env python3
"""Renders the getting-started pages as a reader sees them, to PNG, for the README. Not a test,
and not run by the test command.

    apt-get install chromium      # once, Debian's package
    python3 starter/page_screenshots.py [en fr nl it]

Writes docs/screenshots/getting_started_page[_LANGUAGE].png: the page whole, in a window as wide
as a laptop's browser, cut to the page, in few colours (about 170 KB a page). English alone
unless languages are named: the repository keeps the English one.
"""
import os
import shutil
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGES = os.path.join(REPO, "docs", "getting-started")
OUT = os.path.join(REPO, "docs", "screenshots")
WIDTH, TALLEST = 1000, 6000
# language: (page, picture)
RENDERED = {"en": ("getting-started.html", "getting_started_page.png"),
            "fr": ("getting-started-fr.html", "getting_started_page_fr.png"),
            "nl": ("getting-started-nl.html", "getting_started_page_nl.png"),
            "it": ("getting-started-it.html", "getting_started_page_it.png")}


def browser():
    for name in ("chromium", "chromium-browser"):
        if shutil.which(name):
            return name
    raise SystemExit("page_screenshots: no chromium; install Debian's package: apt-get install chromium")


def render(chromium, page, out, work):
    shot = os.path.join(work, "shot.png")
    # Headless chromium takes the window, not the page: a window taller than any of the pages,
    # whose empty bottom is then cut away.
    subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--user-data-dir=" + os.path.join(work, "profile"), "--window-size=%d,%d" % (WIDTH, TALLEST),
                    "--screenshot=" + shot, "file://" + os.path.join(PAGES, page)],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=120)
    subprocess.run(["convert", shot, "-trim", "+repage", "-bordercolor", "white", "-border", "16",
                    "-strip", "-colors", "32", "PNG8:" + out], check=True, timeout=120)
    print(out, os.path.getsize(out))


def main():
    languages = sys.argv[1:] or ["en"]
    unknown = [language for language in languages if language not in RENDERED]
    if unknown:
        raise SystemExit("page_screenshots: no page in %s; there are %s" % (", ".join(unknown), ", ".join(RENDERED)))
    chromium = browser()
    with tempfile.TemporaryDirectory() as work:
        for page, picture in (RENDERED[language] for language in languages):
            render(chromium, page, os.path.join(OUT, picture), work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
