"""FennickKey's settings dialogs end to end: the real program started as a user starts it (the settings
dialog opens), driven through the dialogs' own controls from another process, with the profile
files, "fkconfig.ini" and the registry checked on disk. One run in English, one in Italian.
"""
import configparser
import os
import shutil
import stat
import sys
import time

import fennick_harness as h

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import key_mapper_e2e as km  # noqa: E402 - the folder, start and clean-up of the key mapper's e2e

km.FOLDER = FOLDER = os.path.join(h.BUILD, "key_settings_e2e")
KEY = km.KEY
WM_COMMAND, WM_CLOSE, WM_SWITCH_BYTE = 0x111, 0x10, 0x8064
CB_SETCURSEL, CBN_SELCHANGE = 0x14E, 1
IDOK, IDCANCEL, IDYES = 1, 2, 6
EXIT = 128  # the tray menu's item
TYPE, TEXT, BROWSE, LIST = 1000, 1010, 1015, 1050
PROFILES, NEW, DELETE, LINKS = 1055, 1056, 1057, 1065
# Combo index of each command type (type 8 is not offered, 9 comes last).
TYPE_INDEX = {0: 0, 1: 1, 2: 2, 3: 3, 4: 4, 5: 5, 6: 6, 7: 7, 9: 8}


def write_profile(name, buttons):
    with open(os.path.join(FOLDER, name + ".bpf"), "w", newline="\r\n") as out:
        for n in range(1, 6):
            cmd, val, text = buttons.get(n, (0, -1, ""))
            out.write("[Button%d]\nBtCmd=%d\nBtCmdVal=%d\nBtCmdText=%s\n" % (n, cmd, val, text))


def read_ini(name):
    parser = configparser.RawConfigParser(strict=False)
    parser.optionxform = str
    with open(os.path.join(FOLDER, name), encoding="cp1252") as source:
        parser.read_file(source)
    return parser


def stored(profile, switch):
    section = read_ini(profile + ".bpf")["Button%d" % switch]
    return int(section["BtCmd"]), int(section["BtCmdVal"]), section.get("BtCmdText", "")


def command_list(section):
    """(name, number) pairs of a command-list section, in file order, as the shipped file lists them."""
    ini = read_ini("FennickKey_ENG.ini")[section]
    entries = []
    for i in range(1, int(ini["NumOfFunctions"]) + 1):
        if ini.get("CmdVal%d" % i, "-1") != "-1" and ini.get("CmdName%d" % i):
            entries.append((ini["CmdName%d" % i], int(ini["CmdVal%d" % i])))
    return entries


class Dialog:
    """A dialog of the running key mapper, found by its title, driven through its controls."""

    def __init__(self, title, timeout_ms=20000):
        self.title = title
        self.hwnd = h.wait_window("#32770", title, timeout_ms)
        h.check(self.hwnd, "no dialog titled %r" % title)
        self.controls = {}
        for line in h.probe("children", self.hwnd)[1].splitlines():
            parts = line.split(" ", 3)
            self.controls.setdefault(int(parts[1]), int(parts[0]))

    def text(self, control):
        return h.window_text(self.hwnd, control)

    def set_text(self, control, text):
        code, out = h.probe("settext", self.hwnd, control, text)
        h.check(code == 0, "settext %d: %s" % (control, out))

    def choose(self, control, index):
        """Selects a combo box entry as a click would: the selection, then the dialog hears of it."""
        h.probe("send", self.controls[control], CB_SETCURSEL, index, 0)
        h.probe("send", self.hwnd, WM_COMMAND, (CBN_SELCHANGE << 16) | control, self.controls[control])

    def click(self, control):
        """Posted, since a click may open a modal window of its own."""
        code, out = h.probe("click", self.hwnd, control)
        h.check(code == 0, "click %d: %s" % (control, out))

    def enabled(self, control):
        return h.probe("state", self.controls[control])[1].startswith("enabled")

    def visible(self, control):
        return h.probe("state", self.controls[control])[1].endswith(" visible")

    def sync(self):
        """Returns once the dialog's thread has finished what it was doing (a sent WM_NULL waits for it)."""
        h.probe("send", self.hwnd, 0, 0, 0)

    def closed(self):
        code, _ = h.probe("wait-gone", self.hwnd, 20000)
        return code == 0


def answer_message(title, button=IDOK, owner=None):
    """The text of the message box titled `title`, which is then closed with `button`. A box that
    bears its dialog's own title is told apart from it by `owner`."""
    deadline = time.monotonic() + 20
    while True:
        box = Dialog(title)
        if owner is None or box.hwnd != owner.hwnd:
            break
        h.check(time.monotonic() < deadline, "no message box titled %r" % title)
        time.sleep(0.1)
    texts = [line.split(" ", 3)[3] for line in h.probe("children", box.hwnd)[1].splitlines()
             if len(line.split(" ", 3)) == 4 and line.split(" ", 3)[2].lower() == "static"]
    box.click(button)
    h.check(box.closed(), "the message box %r stayed open" % title)
    return max(texts, key=len) if texts else ""


def check_link(count, number, link, what):
    """"fkconfig.ini" holds `count` links, link `number` being `link`; returns the file's content."""
    ini = read_ini("fkconfig.ini")
    h.check(ini["FKSettings"]["NrKnownProfiles"] == str(count) and dict(ini["Prof%d" % number]) == link,
            "%s: %r" % (what, {s: dict(ini[s]) for s in ini.sections()}))
    return ini


def first_row_point(list_view):
    """A screen point inside the first row of a report list view: just below its column header."""
    header = [line.split(" ", 3) for line in h.probe("children", list_view)[1].splitlines()]
    header = [int(parts[0]) for parts in header if len(parts) >= 3 and parts[2].lower() == "sysheader32"]
    h.check(header, "the list has no column header")
    left, _, _, bottom = map(int, h.probe("client-rect", header[0])[1].split())
    return left + 20, bottom + 6


class Mapper:
    """The key mapper started normally in its own folder, with the virtual box on COM1."""

    def __init__(self, language):
        km.install()
        for name in os.listdir(FOLDER):
            if name.endswith(".bpf") or name == "fkconfig.ini":
                os.remove(os.path.join(FOLDER, name))
        h.reg_delete_key(KEY)
        h.reg("add", KEY, "/v", "CurLang", "/t", "REG_SZ", "/d", language, "/f")
        h.port_settings_on(1)
        self.device = None
        self.process = None

    def start(self):
        self.device = h.VirtualDevice(com=1).__enter__()
        self.process = km.start_key_mapper()
        self.window = h.wait_window("FennickKey", "FennickKey")
        h.check(self.window, "the key mapper's window did not appear")

    def press(self, letter):
        h.probe("send", self.window, WM_SWITCH_BYTE, 0, ord(letter.upper()))
        h.probe("send", self.window, WM_SWITCH_BYTE, 0, ord(letter.lower()))

    def stop(self):
        if self.process:
            if self.process.process.poll() is None:
                h.probe("post", self.window, WM_CLOSE, 0, 0)
                try:
                    code = self.process.process.wait(timeout=30)
                except Exception:  # noqa: BLE001 - a hang is a failure; end our own process
                    code = "hung"
                self.process.stop()
                h.check(code == 0, "the key mapper ended with %s" % code)
        if self.device:
            self.device.__exit__(None, None, None)
        km.release_folder()


def test_settings_profiles_links_and_switches_in_english():
    mapper = Mapper("ENG")
    try:
        write_profile("main", {1: (1, ord("K"), ""), 5: (9, -1, "Reading")})
        # 0xE9: a key no list names; type 8: a type the dialog does not offer.
        write_profile("Rea", {1: (1, ord("E"), ""), 2: (9, -1, "main"), 4: (1, 0xE9, ""), 5: (8, 4, "")})
        write_profile("Reading", {1: (1, ord("R"), ""), 2: (0, -1, "Hi there$")})
        with open(os.path.join(FOLDER, "fkconfig.ini"), "w", newline="\r\n") as out:
            out.write("[FKSettings]\nNrKnownApps=1\nNrKnownProfiles=1\nDefaultProfile=main\n"
                      "[App1]\nName=Reader\nClass=ReaderMain\n[Prof1]\nType=3\nName=Letter to\nProfile=Rea\n")
        # A link or a switch made the bare name "Reading" current: the dialog shows that profile,
        # not "Rea", which only begins the same way.
        h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", "Reading", "/f")
        mapper.start()
        d = Dialog("FennickKey - Settings")
        h.check(d.text(PROFILES) == "Reading", "profile shown: %r" % d.text(PROFILES))
        h.check(d.text(TEXT + 1) == "Hi there$", "switch 2 of Reading: %r" % d.text(TEXT + 1))
        h.check(d.text(LIST) == "R", "switch 1 of Reading: %r" % d.text(LIST))

        # Every command type chosen in the dialog is the command stored; the first five in
        # "Reading", saved when the list switches to "main".
        keys, functions = command_list("VirtualKeys"), command_list("WindowsFunctions")
        d.choose(TYPE + 0, TYPE_INDEX[0])
        h.check(d.visible(TEXT) and not d.visible(LIST), "a macro takes text")
        d.set_text(TEXT + 0, "Hello$")
        d.choose(TYPE + 1, TYPE_INDEX[1])
        h.check(d.visible(LIST + 1) and not d.visible(TEXT + 1), "a key is chosen from a list")
        d.choose(LIST + 1, 3)
        d.choose(TYPE + 2, TYPE_INDEX[2])
        d.set_text(TEXT + 2, "ding.wav")
        d.choose(TYPE + 3, TYPE_INDEX[3])
        d.set_text(TEXT + 3, "C:\\Programs\\write.exe")
        d.choose(TYPE + 4, TYPE_INDEX[4])
        d.choose(LIST + 4, 1)
        d.choose(PROFILES, 0)  # main
        got = [stored("Reading", n) for n in range(1, 6)]
        want = [(0, -1, "Hello$"), (1, keys[3][1], ""), (2, -1, "ding.wav"), (3, -1, "C:\\Programs\\write.exe"),
                (4, functions[1][1], "")]
        h.check(got == want, "Reading saved as %r, expected %r" % (got, want))
        h.check(d.visible(LIST + 0) and not d.visible(TEXT + 0), "main's switch 1 is a key")
        h.check(d.text(LIST + 4) == "Reading", "main's switch 5 switches to %r" % d.text(LIST + 4))

        # The other four in "main"; a switch-profile switch lists the profiles and stores a name.
        targets = {5: command_list("Cogniva"), 6: command_list("Parlora"), 7: command_list("Hopla")}
        for n, t in ((1, 5), (2, 6), (3, 7)):
            d.choose(TYPE + n, TYPE_INDEX[t])
            d.choose(LIST + n, 2)
        d.choose(TYPE + 4, TYPE_INDEX[9])
        h.check(d.text(LIST + 4) == "main", "the profile list starts with main: %r" % d.text(LIST + 4))
        d.choose(LIST + 4, 1)  # Rea
        # A switch pressed while the dialog is open acts on the table (main's switch 5 still switches
        # to "Reading"); the dialog's edits are saved to "main" first, then it shows "Reading".
        d.choose(TYPE + 0, TYPE_INDEX[0])
        d.set_text(TEXT + 0, "edited$")
        h.probe("send", mapper.window, WM_SWITCH_BYTE, 0, ord("R"))  # switch 5: to "Reading"
        h.probe("send", mapper.window, WM_SWITCH_BYTE, 0, ord("r"))
        got = [stored("main", n) for n in range(1, 6)]
        want = [(0, -1, "edited$")] + [(t, targets[t][2][1], "") for t in (5, 6, 7)] + [(9, -1, "Rea")]
        h.check(got == want, "main saved as %r, expected %r" % (got, want))
        h.check(d.text(PROFILES) == "Reading", "after the switch the dialog shows %r" % d.text(PROFILES))
        h.check(d.text(TEXT + 0) == "Hello$", "Reading's switch 1 shown as %r" % d.text(TEXT + 0))
        h.check(d.text(LIST + 1) == keys[3][0], "Reading's switch 2 shown as %r" % d.text(LIST + 1))
        h.check(d.text(LIST + 4) == functions[1][0], "Reading's switch 5 shown as %r" % d.text(LIST + 4))

        # A composed macro longer than a switch holds is refused with a message; the field keeps its text.
        long_macro = "a" * 1000 + "$"
        d.set_text(TEXT + 0, long_macro)
        d.click(BROWSE + 0)
        editor = Dialog("Edit Macro")
        editor.set_text(1047, "b" * 40)
        editor.click(1046)
        editor.click(1053)
        h.check(editor.closed(), "the macro editor stayed open")
        said = answer_message("FennickKey")
        h.check(said.startswith("This macro is too long"), "for a macro too long: %r" % said)
        d.sync()
        h.check(d.text(TEXT + 0) == long_macro, "the field holds %d characters" % len(d.text(TEXT + 0)))
        d.set_text(TEXT + 0, "Hello$")

        # The macro button opens the macro editor; what it composes lands in the text field.
        d.click(BROWSE + 0)
        editor = Dialog("Edit Macro")
        editor.set_text(1047, "Bye")
        editor.click(1046)
        editor.click(1053)
        h.check(editor.closed(), "the macro editor stayed open")
        d.sync()
        h.check(d.text(TEXT + 0) == "Hello$Bye$", "the composed macro: %r" % d.text(TEXT + 0))

        # The sound button opens a file chooser; the chosen file lands in the text field.
        with open(os.path.join(FOLDER, "chime.wav"), "wb") as sound:
            sound.write(b"RIFF")
        chime = km.windows_path(os.path.join(FOLDER, "chime.wav"))
        d.click(BROWSE + 2)
        chooser = Dialog("Open")
        chooser.set_text(1148, chime)  # the file name box
        chooser.click(IDOK)
        h.check(chooser.closed(), "the file chooser stayed open")
        d.sync()
        h.check(d.text(TEXT + 2).lower() == chime.lower(), "the chosen sound: %r" % d.text(TEXT + 2))

        # New profile: a name in use and a name with a colon are refused, each with its message.
        d.click(NEW)
        new = Dialog("New profile")
        for name, message in (("MAIN", "A profile with this name already exists. Please choose another name."),
                              ("a:b", "A profile name cannot contain any of these characters")):
            new.set_text(1058, name)
            new.click(IDOK)
            said = answer_message("FennickKey")
            h.check(said.startswith(message), "for %r the message was %r" % (name, said))
        new.set_text(1058, "Fresh")
        new.click(IDOK)
        h.check(new.closed(), "the new profile dialog stayed open")
        d.sync()
        h.check(stored("Reading", 1) == (0, -1, "Hello$Bye$"), "Reading before the new profile: %r"
                % (stored("Reading", 1),))
        h.check([stored("Fresh", n) for n in range(1, 6)] == [(0, -1, "")] * 5, "Fresh holds no commands")
        h.check(d.text(PROFILES) == "Fresh", "the new profile is selected: %r" % d.text(PROFILES))
        h.check(h.reg("query", KEY, "/v", "CurProfile")[1].strip().endswith("Fresh.bpf"), "CurProfile not written")

        # A switch that changes the profile while the delete question is open cancels the deletion;
        # the type the dialog does not offer was kept when the rows were saved on leaving.
        d.choose(PROFILES, 1)  # Rea, whose switch 2 switches to "main"
        d.click(DELETE)
        Dialog("FennickKey")
        mapper.press("J")
        h.check(answer_message("FennickKey", IDYES).startswith("Do you want to delete"), "no question")
        d.sync()
        h.check(d.text(PROFILES) == "main", "after the switch the dialog shows %r" % d.text(PROFILES))
        h.check(all(os.path.exists(os.path.join(FOLDER, name + ".bpf")) for name in ("main", "Rea")),
                "a profile was deleted: %r" % sorted(os.listdir(FOLDER)))
        h.check(stored("Rea", 5) == (8, 4, ""), "a type not offered became %r" % (stored("Rea", 5),))

        # A profile file that cannot be deleted stays, and stays listed; the person is told.
        d.choose(PROFILES, 1)  # Rea
        rea = os.path.join(FOLDER, "Rea.bpf")
        os.chmod(rea, stat.S_IRUSR)
        d.click(DELETE)
        h.check(answer_message("FennickKey", IDYES).startswith("Do you want to delete"), "no question")
        said = answer_message("FennickKey")
        d.sync()
        os.chmod(rea, stat.S_IRUSR | stat.S_IWUSR)
        h.check(said.startswith("The profile could not be deleted"), "after a failed delete: %r" % said)
        h.check(os.path.exists(rea) and d.text(PROFILES) == "Rea", "Rea must stay: %r" % d.text(PROFILES))

        # A link added in PROFLINKS is kept and written even when the dialog is cancelled.
        d.click(LINKS)
        links = Dialog("Application links")
        links.click(1060)
        edit = Dialog("Application link")
        edit.click(IDOK)
        h.check(answer_message("Application link", owner=edit).startswith("Please choose how"), "a link needs a type")
        edit.set_text(1072, "write.exe")
        edit.choose(1067, 3)  # Fresh, main, Rea, Reading
        edit.click(IDOK)
        h.check(edit.closed(), "the link dialog stayed open")
        links.click(IDCANCEL)
        h.check(links.closed(), "the links dialog stayed open")
        d.sync()
        ini = check_link(2, 2, {"Type": "2", "Name": "write.exe", "Profile": "Reading"}, "links written")
        h.check(ini["FKSettings"]["DefaultProfile"] == "main", "Cancel keeps the default profile")
        # Unticking the default profile and OK leaves no default, and the links as they were.
        d.click(LINKS)
        links = Dialog("Application links")
        h.check(links.enabled(1075) and links.text(1075) == "main", "default shown: %r" % links.text(1075))
        links.click(1074)
        links.click(IDOK)
        h.check(links.closed(), "the links dialog stayed open")
        d.sync()
        ini = read_ini("fkconfig.ini")
        h.check(ini["FKSettings"]["DefaultProfile"] == "" and ini["FKSettings"]["NrKnownProfiles"] == "2",
                "after OK: %r" % dict(ini["FKSettings"]))

        # The list's rows are edited and deleted as a person does it: a double click on a row opens
        # it, a click selects it for "Delete".
        d.click(LINKS)
        links = Dialog("Application links")
        h.check(not links.enabled(1061) and not links.enabled(1062), "edit and delete need a chosen row")
        first_row = first_row_point(links.controls[1059])
        h.xdotool("mousemove", *first_row, "click", "--repeat", 2, "--delay", 80, 1)
        edit = Dialog("Application link")
        h.check(edit.text(1073) == "Letter to", "the double-clicked row opened as %r" % edit.text(1073))
        edit.set_text(1073, "Letter from")
        edit.click(IDOK)
        h.check(edit.closed(), "the link dialog stayed open")
        links.sync()
        h.check(not links.enabled(1061) and not links.enabled(1062), "a row is still chosen after the list was filled")
        links.click(IDOK)
        h.check(links.closed(), "the links dialog stayed open")
        d.sync()
        check_link(2, 1, {"Type": "3", "Name": "Letter from", "Profile": "Rea"}, "edited link")
        d.click(LINKS)
        links = Dialog("Application links")
        h.xdotool("mousemove", *first_row, "click", 1)
        h.check(h.eventually(lambda: links.enabled(1061) and links.enabled(1062)),
                "the clicked row cannot be edited or deleted")
        links.click(1062)
        h.check(answer_message("Delete link", IDYES).startswith("Do you want to delete"), "no question")
        links.sync()
        h.check(not links.enabled(1062), "delete still enabled with no row chosen")
        links.click(IDOK)
        h.check(links.closed(), "the links dialog stayed open")
        d.sync()
        check_link(1, 1, {"Type": "2", "Name": "write.exe", "Profile": "Reading"}, "after the delete")

        # A second copy hands over "main" while the dialog shows "Rea": the profile is loaded without
        # touching the dialog, and OK still saves the dialog's rows to "Rea", never over "main".
        main_before = [stored("main", n) for n in range(1, 6)]
        second = km.start_key_mapper(km.windows_path(os.path.join(FOLDER, "main.bpf")))
        h.check(second.process.wait(timeout=60) == 6, "the second copy ended with %s" % second.process.returncode)
        d.sync()
        h.check(d.text(PROFILES) == "Rea", "the hand-over changed the dialog to %r" % d.text(PROFILES))
        d.choose(TYPE + 2, TYPE_INDEX[2])
        d.set_text(TEXT + 2, "bell.wav")
        d.click(IDOK)
        h.check(d.closed(), "the settings dialog stayed open")
        h.check(stored("Rea", 3) == (2, -1, "bell.wav"), "OK saved %r" % (stored("Rea", 3),))
        h.check(stored("Rea", 4) == (1, 0xE9, ""), "a key the list does not name became %r" % (stored("Rea", 4),))
        h.check([stored("main", n) for n in range(1, 6)] == main_before, "main was overwritten")
        h.probe("post", mapper.window, WM_COMMAND, 127, 0)
        again = Dialog("FennickKey - Settings")
        h.check(again.text(PROFILES) == "main" and again.text(TEXT + 0) == "edited$", "reopened on %r, %r"
                % (again.text(PROFILES), again.text(TEXT + 0)))
        again.click(IDCANCEL)
        h.check(again.closed(), "Cancel did not close the dialog")

        # "Exit" from the tray menu while the macro editor is open: the program ends cleanly (the
        # macro library the editor runs on stays loaded until the dialogs have gone).
        h.probe("post", mapper.window, WM_COMMAND, 127, 0)
        Dialog("FennickKey - Settings").click(BROWSE + 0)
        Dialog("Edit Macro")
        h.probe("post", mapper.window, WM_COMMAND, EXIT, 0)
        code = mapper.process.process.wait(timeout=30)
        h.check(code == 0, "Exit with the macro editor open ended the program with %s" % code)
    finally:
        mapper.stop()


def test_one_profile_new_and_delete_in_italian():
    mapper = Mapper("ITI")
    try:
        write_profile("solo", {1: (1, ord("K"), "")})
        mapper.start()
        d = Dialog("FennickKey - Impostazioni")
        h.check(d.text(PROFILES) == "solo", "profile shown: %r" % d.text(PROFILES))
        h.check(not d.enabled(DELETE), "delete must be disabled with one profile")
        # Only one settings dialog at a time: asking again while it is open does nothing.
        h.probe("post", mapper.window, WM_COMMAND, 127, 0)
        h.probe("send", mapper.window, 0, 0, 0)  # the request has been handled
        d.sync()
        count = h.probe("count", "#32770", "FennickKey - Impostazioni")[1]
        h.check(count == "1", "%s settings dialogs are open" % count)
        d.click(NEW)
        new = Dialog("Nuovo profilo")
        new.set_text(1058, "solo")
        new.click(IDOK)
        said = answer_message("FennickKey")
        h.check(said.startswith("Esiste gi"), "Italian message for a name in use: %r" % said)
        new.set_text(1058, "secondo")
        new.click(IDOK)
        h.check(new.closed(), "the new profile dialog stayed open")
        d.sync()
        h.check(d.enabled(DELETE), "delete must be enabled with two profiles")
        d.click(DELETE)
        h.check(answer_message("FennickKey", IDYES).startswith("Eliminare il profilo"), "no Italian question")
        d.sync()
        h.check(not os.path.exists(os.path.join(FOLDER, "secondo.bpf")), "secondo.bpf was not deleted")
        h.check(d.text(PROFILES) == "solo" and not d.enabled(DELETE), "after the delete: %r" % d.text(PROFILES))
        d.click(IDOK)
        h.check(d.closed(), "the settings dialog stayed open")
        h.check(stored("solo", 1) == (1, ord("K"), ""), "solo kept its key: %r" % (stored("solo", 1),))
    finally:
        mapper.stop()


def test_current_profile_outside_an_empty_program_folder():
    """No profile in the program folder, the current one elsewhere: the dialog shows its rows and OK saves them."""
    mapper = Mapper("ENG")
    try:
        elsewhere = os.path.join("My profiles", "letters")  # left there by the install; switch 1 is "L"
        h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d",
              km.windows_path(os.path.join(FOLDER, elsewhere + ".bpf")), "/f")
        mapper.start()
        d = Dialog("FennickKey - Settings")
        h.check(d.text(LIST) == "L", "switch 1 shown as %r" % d.text(LIST))
        d.choose(TYPE + 0, TYPE_INDEX[0])
        d.set_text(TEXT + 0, "Dear Sam$")
        d.click(IDOK)
        h.check(d.closed(), "the settings dialog stayed open")
        h.check(stored(elsewhere, 1) == (0, -1, "Dear Sam$"), "OK saved %r" % (stored(elsewhere, 1),))
    finally:
        mapper.stop()


def test_a_profile_elsewhere_stays_current_and_the_macro_editor_closed_with_the_program_keeps_its_macros():
    mapper = Mapper("ENG")
    try:
        write_profile("main", {1: (1, ord("K"), "")})
        # Started with a profile of its own folder ("FennickKey.exe "...\My profiles\letters.bpf"",
        # switch 1 "L"); the program folder has profiles too.
        elsewhere = km.windows_path(os.path.join(FOLDER, "My profiles", "letters.bpf"))
        h.reg("add", KEY, "/v", "CurProfile", "/t", "REG_SZ", "/d", elsewhere, "/f")
        # A default profile whose file has gone.
        with open(os.path.join(FOLDER, "fkconfig.ini"), "w", newline="\r\n") as out:
            out.write("[FKSettings]\nNrKnownProfiles=0\nDefaultProfile=Gone\n")
        mapper.start()
        d = Dialog("FennickKey - Settings")
        h.check(d.text(LIST) == "L" and d.text(TEXT + 2) == "Hi there$", "rows shown: %r, %r"
                % (d.text(LIST), d.text(TEXT + 2)))
        h.check(km.reg_text("CurProfile") == elsewhere, "CurProfile became %r" % km.reg_text("CurProfile"))

        # A name too long for a path in the program folder is refused, never accepted and lost.
        d.click(NEW)
        new = Dialog("New profile")
        new.set_text(1058, "n" * 250)
        new.click(IDOK)
        said = answer_message("FennickKey")
        h.check(said.startswith("This profile name is too long"), "for a long name: %r" % said)
        new.click(IDCANCEL)
        h.check(new.closed(), "the new profile dialog stayed open")

        # "Use a default profile" ticked with no profile chosen is said; unticked, no default is kept.
        d.click(LINKS)
        links = Dialog("Application links")
        links.click(IDOK)
        said = answer_message("FennickKey")
        h.check(said.startswith("Please choose the default profile"), "for a default with no name: %r" % said)
        links.click(1074)
        links.click(IDOK)
        h.check(links.closed(), "the links dialog stayed open")
        d.sync()
        h.check(read_ini("fkconfig.ini")["FKSettings"]["DefaultProfile"] == "", "the default profile: %r"
                % dict(read_ini("fkconfig.ini")["FKSettings"]))
        d.click(IDOK)
        h.check(d.closed(), "the settings dialog stayed open")

        # Opened again, the profile elsewhere is still the one shown. A custom macro saved in the
        # macro editor, then the program closed as the installer closes it: the macro is kept.
        h.probe("post", mapper.window, WM_COMMAND, 127, 0)
        d = Dialog("FennickKey - Settings")
        h.check(d.text(LIST) == "L", "reopened on switch 1 %r" % d.text(LIST))
        d.click(BROWSE + 2)
        editor = Dialog("Edit Macro")
        editor.click(1056)
        naming = Dialog("Enter name")
        naming.set_text(1057, "Sign")
        naming.click(IDOK)
        h.check(naming.closed(), "the naming dialog stayed open")
        editor.sync()
        h.probe("post", mapper.window, WM_CLOSE, 0, 0)
        code = mapper.process.process.wait(timeout=30)
        h.check(code == 0, "closed with the macro editor open, the program ended with %s" % code)
        with open(os.path.join(FOLDER, "custom.mcr"), "rb") as store:
            saved = store.read()
        h.check(saved == b"Sign".ljust(48, b"\0") + (9).to_bytes(4, "little") + b"Hi there$",
                "custom.mcr holds %r" % saved)
        h.check(km.reg_text("CurProfile") == elsewhere, "at the end CurProfile is %r" % km.reg_text("CurProfile"))
    finally:
        mapper.stop()


TESTS = [test_settings_profiles_links_and_switches_in_english, test_one_profile_new_and_delete_in_italian,
         test_current_profile_outside_an_empty_program_folder,
         test_a_profile_elsewhere_stays_current_and_the_macro_editor_closed_with_the_program_keeps_its_macros]

if __name__ == "__main__":
    h.main(TESTS)
