"""The installer end to end, in a Wine prefix of its own that has never seen the suite: silent install,
an installed program talking to the virtual box, an update over a running program that keeps the
user's files and settings, silent uninstall with and without the user's files, and the key mapper's
start at logon. An update starts again what it closed; an uninstall leaves a file still in use to
the next log-on. The prefix is copied from a template made once per build tree, so each run starts
fresh without paying for a new prefix."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

MAIN_BUILD = os.path.realpath(os.environ.get("FENNICK_BUILD_DIR") or
                              os.path.join(os.path.dirname(__file__), "..", "..", "build", "windows"))
WORK = os.path.join(MAIN_BUILD, "installer-test")
RUN = os.path.join(WORK, "run")
# The harness works on the build tree it is pointed at: here the throwaway tree of this test.
os.environ["FENNICK_BUILD_DIR"] = RUN
os.environ["FENNICK_DETACH_OUTPUT"] = "1"
import fennick_harness as h  # noqa: E402
import throwaway_prefix  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_release import check_versions, is_user_file  # noqa: E402

VERSION = sys.argv[1]
PUBLISHER = sys.argv[2]
PRODUCT = sys.argv[3]
RELEASE = os.path.join(MAIN_BUILD, "release")
SETUP = os.path.join(RELEASE, "FennickSetup-%s.exe" % VERSION)
PORTABLE = os.path.join(RELEASE, "Fennick-%s-portable.zip" % VERSION)
MANIFEST = os.path.join(RELEASE, "shipped_files.txt")
MAKE_RELEASE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "make_release.py")

SHIPPED = [line.strip() for line in open(MANIFEST) if line.strip()]
# The release's starter profiles and links: the user's once installed, kept by the uninstaller.
STARTER = sorted(os.path.basename(f) for f in SHIPPED if is_user_file(os.path.basename(f)))

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Fennick"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
RUNONCE_KEY = RUN_KEY + "Once"
VELMORA = r"HKCU\SOFTWARE\Velmora"
TESTER_KEY = VELMORA + r"\Fennick\FennickTest"
SHORTCUTS = {"FennickKey.exe": "Key mapper", "FennickMouse.exe": "Mouse emulator",
             "FennickShow.exe": "Cause and effect show", "FennickTest.exe": "Device tester"}
USER_FILES = {"Mine.bpf": b"[Button1]\r\nBtCmd=1\r\nBtCmdVal=65\r\n",
              "fkconfig.ini": b"[Links]\r\nCount=1\r\nLink1=notepad.exe,Mine\r\n",
              "custom.mcr": bytes(range(256))}
WM_CLOSE, WM_COMMAND, IDM_QUERY, IDOK, IDC_QUERY_RESULT = 0x10, 0x111, 40009, 1, 1048
IDENTITY = "FNK 2.1"
IDC_DIRECTORY = 1019  # the folder field of the installer's folder page
# The installer's exit codes besides 0 (done) and 2 (a program of the suite did not close).
EXIT_NOT_WRITTEN, EXIT_FOREIGN_FOLDER, EXIT_NEWER_INSTALLED, EXIT_SETUP_RUNNING = 3, 4, 5, 6
OLDER_VERSION = "0.9.0"
DROPPED_FILE = "FennickLegacy.dll"  # shipped by the older release only


def make_release(staging, shipped, version):
    """A release of `shipped` (paths) made in `staging` by the release script; its setup's path."""
    manifest = os.path.join(staging, "shipped_files.txt")
    with open(manifest, "w") as out:
        out.write("\n".join(shipped) + "\n")
    subprocess.run([sys.executable, MAKE_RELEASE, "--version", version, "--publisher", PUBLISHER,
                    "--manifest", manifest, "--out-dir", staging], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(staging, "FennickSetup-%s.exe" % version)


# --- the throwaway prefix ---

stop_wineserver = throwaway_prefix.stop_wineserver


def fresh_prefix():
    throwaway_prefix.fresh_prefix(MAIN_BUILD, WORK)


# --- looking at the prefix ---

def user_folder(*parts):
    return throwaway_prefix.user_folder(h.PREFIX, *parts)


def default_install_dir():
    return user_folder("AppData", "Local", "Programs", "Fennick")


def start_menu_folder():
    return user_folder("AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs", "Fennick")


def windows_path(unix_path):
    drive_c = os.path.join(h.PREFIX, "drive_c")
    return "C:\\" + os.path.relpath(unix_path, drive_c).replace("/", "\\")


def windows_path_any(unix_path):
    """A Windows path for any Linux path (through drive Z:)."""
    return "Z:" + unix_path.replace("/", "\\")


def reg_values(key):
    """{name: data} of a key's values, or None when the key does not exist."""
    code, text = h.reg("query", key)
    if code != 0:
        return None
    values = {}
    for line in text.splitlines():
        parts = line.strip().split("    ")
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2] if len(parts) > 2 else ""
    return values


def run_windows(path, *args, timeout=300):
    result = subprocess.run([h.WINE_RUN, path] + list(args), env=h.session_env(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
    return result.returncode, result.stdout.decode("latin-1")


def install(setup=SETUP, *args):
    code, text = run_windows(setup, "/S", *args)
    h.check(code == 0, "silent install exited %d: %s" % (code, text))


def uninstall(folder, *args, timeout=120):
    """Runs the uninstaller as the Apps list does; it hands over to a copy of itself and returns at
    once, so wait for its last steps: the uninstaller itself gone, the Apps entry gone, and the copy
    (run with _?=) ended, since a setup started while it runs would be refused."""
    uninstaller = os.path.join(folder, "Uninstall.exe")
    code, text = run_windows(windows_path(uninstaller), "/S", *args)
    h.check(code == 0, "silent uninstall exited %d: %s" % (code, text))
    deadline = time.monotonic() + timeout

    def copy_runs():
        return any("_?=" in command for command in h.session_processes().values())
    while (os.path.exists(uninstaller) or copy_runs()) and time.monotonic() < deadline:
        time.sleep(0.2)
    h.check(not os.path.exists(uninstaller) and not copy_runs(), "the uninstaller did not finish")
    h.check(reg_values(UNINSTALL_KEY) is None, "the Apps entry is still there after uninstalling")


def start_holder(mutex, *held):
    """hold_mutex: a program's mutex that no window closes, and files kept open without sharing."""
    ready = os.path.join(RUN, "holding")
    if os.path.exists(ready):
        os.remove(ready)
    holder = h.Started([h.WINE_RUN, h.program("hold_mutex.exe"), mutex, windows_path_any(ready)] + list(held),
                       env=h.session_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, start_new_session=True)
    deadline = time.monotonic() + 60
    while not os.path.exists(ready) and time.monotonic() < deadline and holder.poll() is None:
        time.sleep(0.1)
    if not os.path.exists(ready):
        stop(holder)
        raise AssertionError("the mutex holder did not start")
    return holder


def stop(process):
    process.kill()
    process.wait(timeout=30)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check_installed_files(folder, shipped):
    names = sorted(os.listdir(folder))
    expected = sorted([os.path.basename(f) for f in shipped] + ["Uninstall.exe"])
    h.check(names == expected, "installed %s, expected %s" % (names, expected))
    for source in shipped:
        h.check(read(os.path.join(folder, os.path.basename(source))) == read(source),
                "%s differs from the build's file" % os.path.basename(source))


def check_shortcuts(folder, shipped):
    names = {os.path.basename(f) for f in shipped}
    for program, shortcut in SHORTCUTS.items():
        link = os.path.join(start_menu_folder(), shortcut + ".lnk")
        if program not in names:
            h.check(not os.path.exists(link), "shortcut %r for a program not shipped" % shortcut)
            continue
        h.check(os.path.exists(link), "no Start-menu shortcut %r" % shortcut)
        target = windows_path(os.path.join(folder, program)).encode()
        content = read(link)
        h.check(target.lower() in content.lower() or target.decode().encode("utf-16-le").lower() in content.lower(),
                "shortcut %r does not point at %s" % (shortcut, target.decode()))


# --- the scenario: one prefix, one program folder, in order ---

class State:
    tester = None
    older_setup = None


def test_silent_install_into_a_fresh_prefix():
    fresh_prefix()
    install()
    folder = default_install_dir()
    check_installed_files(folder, SHIPPED)
    check_shortcuts(folder, SHIPPED)
    entry = reg_values(UNINSTALL_KEY)
    h.check(entry is not None, "no entry in the current user's Apps list")
    shipped_kb = sum(os.path.getsize(f) for f in SHIPPED) // 1024
    h.check(entry.get("DisplayName") == PRODUCT and entry.get("DisplayVersion") == VERSION
            and entry.get("Publisher") == PUBLISHER, "Apps entry %r" % entry)
    h.check(int(entry.get("EstimatedSize", "0"), 16) >= shipped_kb, "EstimatedSize %r" % entry.get("EstimatedSize"))
    h.check(entry.get("QuietUninstallString") == '"%s\\Uninstall.exe" /S' % windows_path(folder),
            "QuietUninstallString %r" % entry.get("QuietUninstallString"))
    h.check(reg_values(UNINSTALL_KEY.replace("HKCU", "HKLM", 1)) is None, "installed for all users")
    h.check("FennickKey" not in (reg_values(RUN_KEY) or {}), "the key mapper starts at logon unasked")
    problems = check_versions(VERSION, PRODUCT, PUBLISHER, [os.path.join(folder, "Uninstall.exe"), SETUP])
    h.check(not problems, "; ".join(problems))
    # The portable zip holds the same files as the installation, in one folder.
    import zipfile
    with zipfile.ZipFile(PORTABLE) as archive:
        entries = {info.filename: archive.read(info) for info in archive.infolist()}
    installed = {"Fennick-%s/%s" % (VERSION, n): read(os.path.join(folder, n))
                 for n in os.listdir(folder) if n != "Uninstall.exe"}
    h.check(entries == installed, "the portable zip differs from the installation: %s"
            % sorted(set(entries) ^ set(installed)))


def test_installer_speaks_the_users_language_else_english():
    """The Windows language comes from Wine's locale; German is not among the installer's languages."""
    expected = {"fr_FR.UTF-8": "Annuler", "nl_NL.UTF-8": "Annuleren", "it_IT.UTF-8": "Annulla",
                "de_DE.UTF-8": "Cancel"}
    seen = {}
    for locale in expected:
        env = dict(h.session_env(), LANG=locale, LC_ALL=locale)
        setup = h.Started([h.WINE_RUN, SETUP], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            window = h.wait_window("#32770", "-", 30000)
            h.check(window, "the installer's window did not open under %s" % locale)
            buttons = [line.split(" ", 3) for line in h.probe("children", window)[1].splitlines()]
            seen[locale] = next((b[3] for b in buttons if len(b) == 4 and b[1] == "2"), None)
            # The suite is installed: the update keeps its folder, so no folder page is offered.
            h.check(not any(b[1] == str(IDC_DIRECTORY) for b in buttons), "an update offers another folder")
            h.probe("click", window, 2)  # Cancel on the first page: nothing installed, no question
            setup.wait(timeout=60)
        finally:
            if setup.poll() is None:
                setup.kill()
    h.check(seen == expected, "Cancel button texts %r" % seen)


def test_installed_tester_talks_to_the_virtual_box():
    folder = default_install_dir()
    tester = os.path.join(folder, "FennickTest.exe")
    if not os.path.exists(tester):
        raise AssertionError("FennickTest.exe is not installed")
    h.reg_set_dword(VELMORA + r"\Fennick", "FNType", 1)
    h.reg_set_dword(VELMORA + r"\Swibus", "ComPort", 1)
    device = h.VirtualDevice(com=1, identity=IDENTITY).__enter__()
    State.device = device
    # Started from elsewhere: the program finds swibus.dll, swibus.exe and test.wav in its own folder.
    State.tester_log = os.path.join(RUN, "tester.log")
    with open(State.tester_log, "wb") as log:
        State.tester = h.Started([h.WINE_RUN, windows_path(tester)], env=h.session_env(), cwd=tempfile.gettempdir(),
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                 start_new_session=True)
    window = h.wait_window("FennickTest", "FennickTest", 30000)
    h.check(window, "the installed tester did not open its window")
    h.probe("post", window, WM_COMMAND, IDM_QUERY, 0)
    dialog = h.wait_window("#32770", "Verifica Fennick", 15000)
    h.check(dialog, "the query dialog did not open")
    answer = h.window_text(dialog, IDC_QUERY_RESULT)
    h.probe("click", dialog, IDOK)
    h.check(device.received() == b"?", "the box received %r" % device.received())
    h.check(IDENTITY in answer, "the box's answer shown as %r" % answer)


def test_update_over_a_running_tester_keeps_user_files_and_settings():
    folder = default_install_dir()
    for name, content in USER_FILES.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
    # A program file of an "older" release, which the update must replace.
    with open(os.path.join(folder, "FennickKey_ENG.ini"), "wb") as f:
        f.write(b"[old release]\r\n")
    h.reg("add", VELMORA + r"\OtherProduct", "/v", "Kept", "/t", "REG_SZ", "/d", "yes", "/f")
    h.check(State.tester is not None and State.tester.poll() is None, "the tester is not running")
    # The tester writes its mode when it closes by itself; a killed tester would not.
    h.reg_delete_key(TESTER_KEY)
    install()  # the same folder, found from the Apps entry
    try:
        State.tester.wait(timeout=60)
    except subprocess.TimeoutExpired:
        State.tester.kill()
        raise AssertionError("the running tester was not closed by the update")
    h.check(h.reg_get_dword(TESTER_KEY, "JoystickMode") is not None,
            "the tester did not close cleanly (it saved nothing): %s" % read(State.tester_log).decode("latin-1"))
    h.check(h.wait_window("FennickTest", "FennickTest", 30000), "the update did not start the tester again")
    check_installed_files_plus_user(folder)
    h.check(h.reg_get_dword(VELMORA + r"\Fennick", "FNType") == 1, "the device model setting was lost")
    h.check(h.reg_get_dword(VELMORA + r"\Swibus", "ComPort") == 1, "the port setting was lost")


def check_installed_files_plus_user(folder):
    for name, content in USER_FILES.items():
        h.check(read(os.path.join(folder, name)) == content, "%s was changed" % name)
    # A DLL that another process still maps (Wine's desktop keeps swibus.dll for its hook) is renamed
    # to .old rather than overwritten; the next update or the uninstaller removes it.
    shipped_names = {os.path.basename(f) for f in SHIPPED}
    stripped = [n for n in os.listdir(folder) if n not in USER_FILES
                and not (n.endswith(".old") and n[:-4] in shipped_names)]
    expected = sorted([os.path.basename(f) for f in SHIPPED if os.path.basename(f) not in USER_FILES]
                      + ["Uninstall.exe"])
    h.check(sorted(stripped) == expected, "after the update the folder holds %s" % sorted(stripped))
    for source in SHIPPED:
        if os.path.basename(source) in USER_FILES:
            continue
        h.check(read(os.path.join(folder, os.path.basename(source))) == read(source),
                "%s was not updated" % os.path.basename(source))


def test_update_stops_with_an_error_when_a_program_does_not_close():
    """A show that hangs; the tester (started again by the last update) is closed and, since the
    update stops, started again."""
    folder = default_install_dir()
    old = b"[old release]\r\n"
    with open(os.path.join(folder, "FennickKey_ENG.ini"), "wb") as f:
        f.write(old)
    tester = h.wait_window("FennickTest", "FennickTest", 30000)
    h.check(tester, "the tester is not running")
    holder = start_holder("vlfennicksoft")
    try:
        code, text = run_windows(SETUP, "/S")
    finally:
        stop(holder)
    h.check(code == 2, "a silent update with a program that does not close exited %d" % code)
    h.check(read(os.path.join(folder, "FennickKey_ENG.ini")) == old, "files were replaced although it stopped")
    again = h.wait_window("FennickTest", "FennickTest", 30000)
    h.check(again and again != tester, "the stopped update did not start again the tester it closed")


def test_silent_uninstall_removes_ours_and_keeps_the_users_files():
    folder = default_install_dir()
    # Wine's desktop process keeps the port monitor's hook DLL of the tester that ran until the
    # session ends; a log-off would let it go. (A file still held at uninstall is the next test's.)
    tester = h.wait_window("FennickTest", "FennickTest", 1000)
    if tester:
        h.probe("post", tester, WM_CLOSE, 0, 0)
        h.probe("wait-gone", tester, 30000)
    h.release_port_library(library=os.path.join(folder, "swibus.dll"))
    uninstall(folder)
    h.check(sorted(os.listdir(folder)) == sorted(set(USER_FILES) | set(STARTER)),
            "left in the folder: %s" % sorted(os.listdir(folder)))
    for name, content in USER_FILES.items():
        h.check(read(os.path.join(folder, name)) == content, "%s was changed" % name)
    h.check(not os.path.exists(start_menu_folder()), "the Start-menu folder is still there")
    for key in ("Fennick", "Swibus", "Orrin2Key"):
        h.check(reg_values(VELMORA + "\\" + key) is None, "the %s settings are still there" % key)
    h.check(reg_values(VELMORA + r"\OtherProduct") == {"Kept": "yes"}, "another product's key was touched")


def test_key_mapper_release_offers_logon_start_and_removes_everything_on_request():
    """A release with every program (stand-ins for those not built yet) and a starter profile: four
    shortcuts, the key mapper at logon, both kept by an update, and an uninstall that takes the
    user's files too."""
    staging = tempfile.mkdtemp(prefix="fennick-release-")
    try:
        shipped = list(SHIPPED)
        names = {os.path.basename(f) for f in shipped}
        tester = next(f for f in shipped if os.path.basename(f) == "FennickTest.exe")
        for program in ("FennickKey.exe", "FennickMouse.exe", "FennickShow.exe"):
            if program not in names:
                shutil.copy(tester, os.path.join(staging, program))
                shipped.append(os.path.join(staging, program))
        # A profile shipped as a starting point: installed once, then the user's.
        starter = os.path.join(staging, "Starter.bpf")
        with open(starter, "wb") as f:
            f.write(b"[Button1]\r\nBtCmd=0\r\n")
        shipped.append(starter)
        setup = make_release(staging, shipped, VERSION)
        folder = os.path.join(h.PREFIX, "drive_c", "Fennick")

        install(setup, "/KEYMAPPERATLOGON=1", "/D=C:\\Fennick")
        check_installed_files(folder, shipped)
        check_shortcuts(folder, shipped)
        logon = '"C:\\Fennick\\FennickKey.exe" -silent'
        h.check((reg_values(RUN_KEY) or {}).get("FennickKey") == logon, "no logon start: %r" % reg_values(RUN_KEY))
        changed = b"[Button1]\r\nBtCmd=1\r\nBtCmdVal=32\r\n"
        with open(os.path.join(folder, "Starter.bpf"), "wb") as f:
            f.write(changed)
        # The port monitor's server left running with no program of ours: the update closes it too.
        server = h.Started([h.WINE_RUN, "C:\\Fennick\\swibus.exe"], env=h.session_env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        h.check(h.wait_window("vlm_sb_Hidden", "-", 30000), "the port monitor's server did not start")
        install(setup)
        try:
            server.wait(timeout=60)
        except subprocess.TimeoutExpired:
            stop(server)
            raise AssertionError("the update left the old port monitor's server running")
        h.check((reg_values(RUN_KEY) or {}).get("FennickKey") == logon, "the update dropped the logon start")
        h.check(read(os.path.join(folder, "Starter.bpf")) == changed, "the update replaced the user's profile")

        for name, content in USER_FILES.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(content)
        # Not a profile, although its 8.3 name (X~1.BPF) matches *.bpf.
        kept = b"someone's backup"
        with open(os.path.join(folder, "x.bpfold"), "wb") as f:
            f.write(kept)
        # The port monitor's DLL still loaded elsewhere: it is left to a command run at the next log-on.
        holder = start_holder("fennick_test_holder", "C:\\Fennick\\swibus.dll")
        try:
            uninstall(folder, "/REMOVEUSERFILES")
        finally:
            stop(holder)
        h.check(sorted(os.listdir(folder)) == ["swibus.dll", "x.bpfold"],
                "left behind: %s" % sorted(os.listdir(folder)))
        h.check("FennickKey" not in (reg_values(RUN_KEY) or {}), "the logon start outlived the uninstall")
        command = (reg_values(RUNONCE_KEY) or {}).get("FennickRemoveHeldFiles")
        h.check(command, "nothing removes the file still in use: %r" % reg_values(RUNONCE_KEY))
        code, text = run_windows(h.program("run_once.exe"))  # the next log-on
        h.check(code == 0, "the log-on command did not start: %r" % command)
        h.check(os.path.exists(folder) and os.listdir(folder) == ["x.bpfold"]
                and read(os.path.join(folder, "x.bpfold")) == kept,
                "the log-on command left %s" % (os.listdir(folder) if os.path.exists(folder) else "nothing"))
    finally:
        shutil.rmtree(staging, ignore_errors=True)


def test_silent_update_with_another_folder_goes_where_the_suite_is():
    """/D names a folder, but the suite is installed: the update goes into the installed folder,
    with the user's profiles, rather than making a second copy elsewhere."""
    folder = default_install_dir()
    with open(os.path.join(folder, "FennickKey_ENG.ini"), "wb") as f:
        f.write(b"[old release]\r\n")
    elsewhere = os.path.join(h.PREFIX, "drive_c", "Elsewhere")
    install(SETUP, "/D=C:\\Elsewhere")
    h.check(not os.path.exists(elsewhere), "a second copy in %s" % elsewhere)
    check_installed_files_plus_user(folder)
    h.check(reg_values(UNINSTALL_KEY).get("InstallLocation") == windows_path(folder),
            "the Apps entry points at %r" % reg_values(UNINSTALL_KEY).get("InstallLocation"))


def test_install_refuses_a_folder_holding_files_of_someone_else():
    """Nothing of the suite is installed; the folder holds another product's uninstaller and a file
    whose short name looks like a profile."""
    other = os.path.join(h.PREFIX, "drive_c", "Other")
    os.makedirs(other)
    theirs = {"Uninstall.exe": b"MZ another product", "x.bpfold": b"their data"}
    for name, content in theirs.items():
        with open(os.path.join(other, name), "wb") as f:
            f.write(content)
    code, text = run_windows(SETUP, "/S", "/D=C:\\Other")
    h.check(code == EXIT_FOREIGN_FOLDER, "installing into a folder of someone else exited %d: %s" % (code, text))
    h.check({n: read(os.path.join(other, n)) for n in os.listdir(other)} == theirs,
            "the folder now holds %s" % sorted(os.listdir(other)))
    h.check(reg_values(UNINSTALL_KEY) is None, "an Apps entry for a refused install: %r" % reg_values(UNINSTALL_KEY))
    h.check(not os.path.exists(start_menu_folder()), "shortcuts for a refused install")


def older_release():
    """FennickSetup of an older version: one command list differs and it ships a file that the
    current release dropped. Made once."""
    if getattr(State, "older_setup", None):
        return State.older_setup
    staging = tempfile.mkdtemp(prefix="fennick-older-")
    shipped = []
    for source in SHIPPED:
        if os.path.basename(source) == "FennickKey_ENG.ini":
            source = os.path.join(staging, "FennickKey_ENG.ini")
            with open(source, "wb") as f:
                f.write(b"[older release]\r\n")
        shipped.append(source)
    dropped = os.path.join(staging, DROPPED_FILE)
    shutil.copy(h.program("run_once.exe"), dropped)
    shipped.append(dropped)
    State.older_setup = make_release(staging, shipped, OLDER_VERSION)
    return State.older_setup


def folder_contents(folder):
    return {n: read(os.path.join(folder, n)) for n in os.listdir(folder)}


def test_update_that_cannot_replace_a_file_puts_every_old_file_back():
    """The older release installed and its tester running; the last file an update replaces is held
    open without delete sharing (a virus scanner, say). The update fails with its code, the folder
    is the older release byte for byte, the Apps entry too, and the tester runs again."""
    folder = default_install_dir()
    install(older_release())
    tester = h.Started([h.WINE_RUN, windows_path(os.path.join(folder, "FennickTest.exe"))], env=h.session_env(),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       start_new_session=True)
    window = h.wait_window("FennickTest", "FennickTest", 30000)
    h.check(window, "the older tester did not start")
    before = folder_contents(folder)
    holder = start_holder("fennick_test_holder", windows_path(os.path.join(folder, "test.wav")))
    try:
        code, text = run_windows(SETUP, "/S")
    finally:
        stop(holder)
    after = folder_contents(folder)
    h.check(after == before, "after the failed update (exit code %d): changed %s, added %s, missing %s" % (
        code, sorted(n for n in before if n in after and after[n] != before[n]), sorted(set(after) - set(before)),
        sorted(set(before) - set(after))))
    h.check(code == EXIT_NOT_WRITTEN, "an update that could not replace a file exited %d: %s" % (code, text))
    h.check(reg_values(UNINSTALL_KEY).get("DisplayVersion") == OLDER_VERSION,
            "the Apps entry says %r" % reg_values(UNINSTALL_KEY).get("DisplayVersion"))
    try:
        tester.wait(timeout=30)
    except subprocess.TimeoutExpired:
        stop(tester)
        raise AssertionError("the update did not close the tester before replacing files")
    again = h.wait_window("FennickTest", "FennickTest", 30000)
    h.check(again and again != window, "the failed update did not start again the tester it closed")


def test_update_removes_files_the_new_release_dropped():
    folder = default_install_dir()
    h.check(os.path.exists(os.path.join(folder, DROPPED_FILE)), "the older release is not installed")
    install()
    h.check(not os.path.exists(os.path.join(folder, DROPPED_FILE)), "%s outlived the update" % DROPPED_FILE)
    check_installed_files_plus_user(folder)
    h.check(reg_values(UNINSTALL_KEY).get("DisplayVersion") == VERSION, "the Apps entry was not updated")


def test_a_second_installer_ends_at_once_and_an_older_one_refuses_silently():
    folder = default_install_dir()
    first = h.Started([h.WINE_RUN, SETUP], env=h.session_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        window = h.wait_window("#32770", "-", 30000)
        h.check(window, "the first installer's window did not open")
        started = time.monotonic()
        code, text = run_windows(SETUP, "/S", timeout=60)
        h.check(code == EXIT_SETUP_RUNNING, "a second installer exited %d after %.1f s: %s"
                % (code, time.monotonic() - started, text))
        h.probe("click", window, 2)  # Cancel on the first installer's first page
        first.wait(timeout=60)
    finally:
        if first.poll() is None:
            stop(first)
    before = folder_contents(folder)
    code, text = run_windows(older_release(), "/S")
    h.check(code == EXIT_NEWER_INSTALLED, "an older release over a newer one exited %d: %s" % (code, text))
    h.check(folder_contents(folder) == before, "the older release changed the installed files")
    h.check(reg_values(UNINSTALL_KEY).get("DisplayVersion") == VERSION, "the Apps entry was changed")


def end_shared_programs():
    """The tester and the virtual box, which the cases share (so the harness leaves them running
    between passing cases), and the throwaway prefix's Wine session."""
    if State.tester is not None and State.tester.poll() is None:
        State.tester.kill()
    device = getattr(State, "device", None)
    if device is not None and device.process and device.process.poll() is None:
        device.__exit__(None, None, None)
    if State.older_setup:
        shutil.rmtree(os.path.dirname(State.older_setup), ignore_errors=True)
    stop_wineserver(RUN)


if __name__ == "__main__":
    h.main([test_silent_install_into_a_fresh_prefix,
            test_installer_speaks_the_users_language_else_english,
            test_installed_tester_talks_to_the_virtual_box,
            test_update_over_a_running_tester_keeps_user_files_and_settings,
            test_update_stops_with_an_error_when_a_program_does_not_close,
            test_silent_update_with_another_folder_goes_where_the_suite_is,
            test_silent_uninstall_removes_ours_and_keeps_the_users_files,
            test_key_mapper_release_offers_logon_start_and_removes_everything_on_request,
            test_install_refuses_a_folder_holding_files_of_someone_else,
            test_update_that_cannot_replace_a_file_puts_every_old_file_back,
            test_update_removes_files_the_new_release_dropped,
            test_a_second_installer_ends_at_once_and_an_older_one_refuses_silently],
           cleanup=end_shared_programs)
