"""Makes the release from the shipped files: FennickSetup-<version>.exe (NSIS) and the portable zip.

The release manifest (one shipped file per line, written by the build) decides what goes in; the
programs among those files decide which Start-menu shortcuts exist and whether the key mapper's
start at logon is offered, so a program that joins the build joins the release without edits here.

  make_release.py --version V --publisher P --manifest FILE --makensis PATH --out-dir DIR
"""
import argparse
import fnmatch
import os
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
NSIS_SCRIPT = os.path.join(HERE, "fennick.nsi")


class Program:
    """A program of the suite: its file, Start-menu shortcut, single-instance mutex and main window."""

    def __init__(self, file_name, shortcut, description, mutex, window_class, window_title="", restart_args=""):
        self.file_name = file_name
        self.shortcut = shortcut
        self.description = description
        self.mutex = mutex
        self.window_class = window_class
        self.window_title = window_title
        self.restart_args = restart_args  # when an update starts it again


# In the order of the Apps list icon preference: the first one shipped gives its icon.
PROGRAMS = [
    Program("FennickKey.exe", "Key mapper", "Switches give keystrokes, macros, sounds and programs",
            "FennickKey", "FennickKey", "FennickKey", "-silent"),
    Program("FennickMouse.exe", "Mouse emulator", "Switches or a joystick move the pointer and click",
            "vljoymove", "KeyWndClass", "FennickMouse"),
    Program("FennickShow.exe", "Cause and effect show", "A picture, a sound or a program per switch",
            "vlfennicksoft", "FennickShow"),
    Program("FennickTest.exe", "Device tester", "Shows which switch is pressed and queries the box",
            "vlfennicktest", "FennickTest", "FennickTest"),
]
KEY_MAPPER = "FennickKey.exe"
# Files the programs write beside themselves: the user's, never replaced by an update. One the
# release ships as a starting point is installed only where the user has none yet.
USER_FILE_PATTERNS = ("*.bpf", "*.bd2", "fkconfig.ini", "custom.mcr")


# Where nothing is stored yet (a first install, or one after an uninstall, which removes the
# settings), the show's pictures fade: (key under HKCU, value, number, the starter file it needs).
# Which profile each program starts on is its own choice (the starter profile when none is
# stored), so the portable folder, which brings no settings, starts on the same profiles.
STARTER_SETTINGS = [(r"SOFTWARE\Velmora\Fennick\Fennickshow", "MSecs", 4000, "First steps.bd2")]
# The getting-started page opened from the Start menu, in the installer's language (the Windows
# language, else English).
GETTING_STARTED = "Getting started"
GETTING_STARTED_PAGES = [(0, "getting-started.html"), (1036, "getting-started-fr.html"),
                         (1043, "getting-started-nl.html"), (1040, "getting-started-it.html")]


def is_user_file(name):
    return any(fnmatch.fnmatch(name.lower(), pattern) for pattern in USER_FILE_PATTERNS)


def read_manifest(path):
    files = [line.strip() for line in open(path) if line.strip()]
    missing = [f for f in files if not os.path.isfile(f)]
    if missing:
        raise SystemExit("make_release: shipped files missing:\n  " + "\n  ".join(missing))
    names = [os.path.basename(f).lower() for f in files]
    duplicates = sorted({n for n in names if names.count(n) > 1})
    if duplicates:
        raise SystemExit("make_release: shipped twice under one name: " + ", ".join(duplicates))
    return sorted(files, key=lambda f: os.path.basename(f).lower())


def nsis_string(text):
    """A double-quoted NSIS string: $ and " need escapes there."""
    return '"%s"' % text.replace("$", "$$").replace('"', '$\\"')


def payload(files):
    """The NSIS include that lists what this release installs and which programs it carries."""
    names = {os.path.basename(f).lower() for f in files}
    shipped = [p for p in PROGRAMS if p.file_name.lower() in names]
    if not shipped:
        raise SystemExit("make_release: no program of the suite among the shipped files")
    size_kb = (sum(os.path.getsize(f) for f in files) + 1023) // 1024
    lines = ["; Made by make_release.py from the release manifest.",
             "!define FENNICK_SIZE_KB %d" % size_kb,
             "!define FENNICK_DISPLAY_ICON %s" % nsis_string(shipped[0].file_name)]
    if KEY_MAPPER.lower() in names:
        lines.append("!define FENNICK_HAS_KEY_MAPPER")

    def macro(name, body, params=""):
        lines.append("!macro %s%s" % (name, " " + params if params else ""))
        lines.extend("  " + line for line in body)
        lines.append("!macroend")

    program_files = [os.path.basename(f) for f in files if not is_user_file(os.path.basename(f))]
    starter_files = [os.path.basename(f) for f in files if is_user_file(os.path.basename(f))]
    sources = {os.path.basename(f): nsis_string(os.path.abspath(f)) for f in files}
    # An update stages every file first, then swaps them all in (see fennick.nsi).
    macro("FennickStageFiles", ["!insertmacro FennickStageFile %s %s" % (nsis_string(n), sources[n])
                                for n in program_files] +
          ["!insertmacro FennickStageStarterFile %s %s" % (nsis_string(n), sources[n]) for n in starter_files])
    macro("FennickSwapFiles", ["!insertmacro FennickSwapFile %s" % nsis_string(n) for n in program_files] +
          ["!insertmacro FennickSwapStarterFile %s" % nsis_string(n) for n in starter_files])
    macro("FennickDropStagedFiles", ["!insertmacro FennickDropStaged %s" % nsis_string(n)
                                     for n in program_files + starter_files])
    # The installed files, as the uninstaller and the next update find them; a starter file is the user's.
    macro("FennickListFiles", ['WriteRegStr HKCU "${FILES_KEY}" %s ""' % nsis_string(n) for n in program_files])
    macro("FennickIfShipped", ["StrCmp ${name} %s ${label}" % nsis_string(n) for n in program_files],
          "name label")
    # For a suite installed before the list was kept.
    macro("FennickRemoveFiles", ["!insertmacro FennickRemoveFile %s" % nsis_string(n) for n in program_files])
    # Whole names and extensions, compared without wildcards: see IsUserFile.
    user_tests = []
    for pattern in USER_FILE_PATTERNS:
        if pattern.startswith("*."):
            user_tests += ['StrCpy ${scratch} ${name} "" -%d' % (len(pattern) - 1),
                           "StrCmp ${scratch} %s ${label}" % nsis_string(pattern[1:])]
        else:
            user_tests.append("StrCmp ${name} %s ${label}" % nsis_string(pattern))
    macro("FennickIfUserFile", user_tests, "name scratch label")
    # Where nothing is stored yet, the starter settings.
    macro("FennickStarterSettings", starter_settings(names) or ["; no starter files in this release"])
    macro("FennickShortcuts", ['CreateShortCut "${START_MENU_FOLDER}\\%s.lnk" "$INSTDIR\\%s" "" '
                               '"$INSTDIR\\%s" 0 SW_SHOWNORMAL "" %s'
                               % (p.shortcut, p.file_name, p.file_name, nsis_string(p.description))
                               for p in shipped] + getting_started_shortcut(names))
    # Every program's shortcut, shipped or not: an update removes those a release no longer has.
    macro("FennickRemoveShortcuts", ['Delete "${START_MENU_FOLDER}\\%s.lnk"' % p.shortcut for p in PROGRAMS]
          + ['Delete "${START_MENU_FOLDER}\\%s.lnk"' % GETTING_STARTED])
    # Programs are named by their file in messages: the same in every language.
    # Each program has a bit of its own in the set of those running, so an update knows which to
    # start again.
    macro("FennickProgramsRunning", ["!insertmacro FennickIfRunning %s %s %d"
                                     % (nsis_string(p.mutex), nsis_string(os.path.splitext(p.file_name)[0]), 1 << i)
                                     for i, p in enumerate(PROGRAMS)])
    macro("FennickRestartPrograms", ["!insertmacro FennickRestart %s %s %s %d"
                                     % (nsis_string(p.mutex), nsis_string(p.file_name), nsis_string(p.restart_args),
                                        1 << i) for i, p in enumerate(PROGRAMS) if p in shipped])
    macro("FennickCloseProgramsCleanly", ["!insertmacro FennickPostClose %s %s"
                                          % (nsis_string(p.window_class), nsis_string(p.window_title))
                                          for p in PROGRAMS])
    return "\n".join(lines) + "\n"


def starter_settings(names):
    lines = []
    for key, value, number, needs in STARTER_SETTINGS:
        if needs.lower() in names:
            lines += ["ClearErrors", 'ReadRegDWORD $0 HKCU "%s" "%s"' % (key, value), "${If} ${Errors}",
                      '  WriteRegDWORD HKCU "%s" "%s" %d' % (key, value, number), "${EndIf}"]
    return lines


def getting_started_shortcut(names):
    pages = [(language, page) for language, page in GETTING_STARTED_PAGES if page in names]
    if not pages or pages[0][0] != 0:
        return []
    lines = ['StrCpy $0 "%s"' % pages[0][1]]
    for language, page in pages[1:]:
        lines += ["${If} $LANGUAGE = %d" % language, '  StrCpy $0 "%s"' % page, "${EndIf}"]
    return lines + ['CreateShortCut "${START_MENU_FOLDER}\\%s.lnk" "$INSTDIR\\$0"' % GETTING_STARTED]


def build_installer(makensis, version, publisher, files, out_dir):
    setup = os.path.join(out_dir, "FennickSetup-%s.exe" % version)
    include = os.path.join(out_dir, "payload.nsh")
    with open(include, "w") as out:
        out.write(payload(files))
    parts = version.split(".")
    version4 = ".".join((parts + ["0"] * 4)[:4])
    command = [makensis, "-V2", "-NOCD", "-INPUTCHARSET", "UTF8", "-DVERSION=" + version, "-DVERSION4=" + version4,
               "-DPUBLISHER=" + publisher, "-DOUTFILE=" + setup, "-DPAYLOAD=" + include, NSIS_SCRIPT]
    result = subprocess.run(command, cwd=HERE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    sys.stdout.write(result.stdout.decode("utf-8", "replace"))  # warnings and errors only
    if result.returncode != 0:
        raise SystemExit("make_release: makensis failed")
    return setup


def build_zip(version, files, out_dir):
    """The same files in one folder, for those who want no installer."""
    path = os.path.join(out_dir, "Fennick-%s-portable.zip" % version)
    folder = "Fennick-%s/" % version
    partial = path + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for f in files:
            archive.write(f, folder + os.path.basename(f))
    os.replace(partial, path)
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--publisher", required=True)
    parser.add_argument("--manifest", required=True)
    parser.add_argument("--makensis", default="makensis")
    parser.add_argument("--out-dir", required=True)
    args = parser.parse_args()
    os.makedirs(args.out_dir, exist_ok=True)
    started = time.monotonic()
    files = read_manifest(args.manifest)
    setup = build_installer(args.makensis, args.version, args.publisher, files, args.out_dir)
    portable = build_zip(args.version, files, args.out_dir)
    print("release: %s %d KB, %s %d KB, %d files, %.1f s" % (
        os.path.basename(setup), os.path.getsize(setup) // 1024, os.path.basename(portable),
        os.path.getsize(portable) // 1024, len(files), time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
