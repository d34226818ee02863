"""A Wine prefix of its own, for a test that must start from a machine that never saw the suite:
made once per build tree as a template, copied afresh for each run, on the display of the main
tree's session (which it never stops). The harness must already point at the run's tree."""
import os
import shutil
import subprocess


def stop_wineserver(build):
    import fennick_harness as h
    prefix = os.path.join(build, "wineprefix")
    env = dict(os.environ, WINEPREFIX=prefix)
    subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["timeout", "20", "wineserver", "-w"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Under emulation a process can outlive its server (services, the desktop's holder): they
    # stayed after whole runs of the tests. End them by process id.
    h.end_processes(list(h.session_processes(services=True, prefix=prefix)))


def share_session(main_build, build):
    """The tree uses the display of the main tree's session."""
    os.makedirs(build, exist_ok=True)
    display = os.environ.get("DISPLAY", "")
    session = os.path.join(main_build, "wine-session.env")
    if os.path.exists(session):
        for line in open(session):
            if line.startswith("DISPLAY="):
                display = line.strip().split("=", 1)[1]
    with open(os.path.join(build, "wine-session.env"), "w") as out:
        out.write("DISPLAY=%s\n" % display)


def copy_file(source, target):
    # The prefix's system DLLs are only read: link them instead of copying half a gigabyte.
    if os.sep + os.path.join("drive_c", "windows", "system32") + os.sep in source:
        os.link(source, target)
    else:
        shutil.copy2(source, target)


def fresh_prefix(main_build, work):
    """work/run becomes a tree whose prefix is a new copy of work/template (made once: 15-30 s),
    with the main tree's serial shim and test programs but no bin/ on WINEPATH, so installed
    programs find only what was installed beside them."""
    import fennick_harness as h
    template, run = os.path.join(work, "template"), os.path.join(work, "run")
    if not os.path.exists(os.path.join(template, "wineprefix", ".fennick-ready")):
        share_session(main_build, template)
        env = dict(os.environ, FENNICK_BUILD_DIR=template)
        env.pop("WINEPREFIX", None)
        subprocess.run([h.WINE_RUN, "cmd", "/c", "exit", "0"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600, check=True)
        stop_wineserver(template)
    stop_wineserver(run)
    shutil.rmtree(run, ignore_errors=True)
    share_session(main_build, run)
    shutil.copytree(os.path.join(template, "wineprefix"), h.PREFIX, symlinks=True, copy_function=copy_file)
    os.symlink(os.path.join(main_build, "serial_shim"), os.path.join(run, "serial_shim"))
    os.symlink(os.path.join(main_build, "tests"), os.path.join(run, "tests"))
    # Wine's desktop process starts with the first window; start it with its output kept away from ours.
    subprocess.run([h.WINE_RUN, h.program("fennick_probe.exe"), "find", "Progman"], env=h.session_env(),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def user_folder(prefix, *parts):
    users = os.path.join(prefix, "drive_c", "users")
    # Wine names the profile after the Linux user.
    name = next(n for n in sorted(os.listdir(users)) if n.lower() != "public")
    return os.path.join(users, name, *parts)
