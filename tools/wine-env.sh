# Wine environment of one build tree: sourced by wine-run, wine-session and the test drivers.
# Needs FENNICK_BUILD_DIR (defaults to <repo>/build/windows).

FENNICK_REPO=${FENNICK_REPO:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
FENNICK_BUILD_DIR=${FENNICK_BUILD_DIR:-$FENNICK_REPO/build/windows}
# Wine refuses a relative WINEPREFIX ("wine-session start build/windows" given by hand).
FENNICK_BUILD_DIR=$(realpath -m "$FENNICK_BUILD_DIR")
export FENNICK_REPO FENNICK_BUILD_DIR
export WINEPREFIX="$FENNICK_BUILD_DIR/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
# No Mono/Gecko installers, no desktop menu entries, no crash dialogs waiting for a click.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d"
FENNICK_SESSION_FILE="$FENNICK_BUILD_DIR/wine-session.env"
FENNICK_SHIM_DIR="$FENNICK_BUILD_DIR/serial_shim"
if [ -e "$FENNICK_SHIM_DIR/lib/i386-linux-gnu/serial_shim.so" ]; then
    # $LIB is expanded by the dynamic loader, so 32- and 64-bit processes each get their own copy.
    export LD_PRELOAD="$FENNICK_SHIM_DIR/\$LIB/serial_shim.so${LD_PRELOAD:+:$LD_PRELOAD}"
fi
# glibc loads libgcc_s only when a thread first ends (to unwind it). A 32-bit Wine process under
# qemu-user may have no address space left for that load by then and aborts ("libgcc_s.so.1 must be
# installed for pthread_exit to work", or a heap fault on the way). Loaded at the start it is always
# there. A bare name: each word size finds its own copy.
# FENNICK_NO_LIBGCC_PRELOAD=1 leaves it out, to compare.
case ":${LD_PRELOAD:-}:${FENNICK_NO_LIBGCC_PRELOAD:-}" in
*:libgcc_s.so.1:* | *:1) ;;
*) export LD_PRELOAD="libgcc_s.so.1${LD_PRELOAD:+:$LD_PRELOAD}" ;;
esac
# Test programs live apart from the deliverables; let them find the suite's DLLs.
export WINEPATH="Z:${FENNICK_BUILD_DIR//\//\\}\\bin"

fennick_quiet() { "$@" </dev/null >/dev/null 2>&1; }

# A process that runs (a zombie does not count: where nothing reaps orphans, an ended Xvfb stays
# one, and kill -0 still succeeds on it).
fennick_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}

# The processes of this prefix's session whose command line holds $1.
fennick_session_pids() {
    local pid
    for pid in $(pgrep -f -- "$1"); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
    return 0
}

# Starts the process that holds the session's desktop (see wine-session) unless it runs: under
# emulation it can die with the rest, and without it the next desktop process that dies at its
# start leaves a dead clip window for every program after it.
# A holder that has not marked its round for 15 s hangs (under emulation one was seen blocked for
# good in a call to the server, its desktop's dead clip window left for the next program): it is
# ended and another started.
fennick_hold_desktop() {
    local probe="$FENNICK_BUILD_DIR/tests/fennick_probe.exe" beat="$FENNICK_BUILD_DIR/desktop-holder.beat" pids
    [ -f "$probe" ] || return 0
    pids=$(fennick_session_pids 'fennick_probe.exe hold')
    if [ -n "$pids" ] && [ -n "$(find "$beat" -mmin -0.25 2>/dev/null)" ]; then
        return 0
    fi
    if [ -n "$pids" ]; then
        # Just started (no round yet) is not hung: give it the same 15 s from its start.
        local pid young=""
        for pid in $pids; do
            [ "$(ps -o etimes= -p "$pid" 2>/dev/null || echo 0)" -lt 15 ] && young=1
        done
        [ -n "$young" ] && return 0
        kill -9 $pids 2>/dev/null
    fi
    # A simple command in the background: nothing of ours (a subshell) keeps our output open.
    setsid wine "$probe" hold "Z:${beat//\//\\}" </dev/null >/dev/null 2>&1 &
    return 0
}

fennick_load_session() {
    if [ -z "${DISPLAY:-}" ] && [ -f "$FENNICK_SESSION_FILE" ]; then
        # shellcheck disable=SC1090
        . "$FENNICK_SESSION_FILE"
        # A session file that a killed run left names a display that is gone: start our own.
        if [ -n "${XVFB_PID:-}" ] && ! fennick_alive "$XVFB_PID"; then
            unset DISPLAY XVFB_PID
            return 0
        fi
        export DISPLAY
    fi
}

# Settings every test prefix carries; bump the stamp when they change so
# existing prefixes pick them up without being rebuilt.
FENNICK_PREFIX_STAMP=".fennick-config-2"
fennick_configure_prefix() {
    # Without a window manager, hiding a managed window stalls for seconds.
    fennick_quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    fennick_quiet wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    # A crash ends the process with its exit code (which tests see) instead of
    # opening a debugger console over the screen.
    fennick_quiet wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f
    fennick_quiet wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1 /f
}

# Creates the prefix once per build tree; later calls only wait for the first.
fennick_ensure_prefix() {
    mkdir -p "$FENNICK_BUILD_DIR"
    (
        flock 9
        [ -f "$WINEPREFIX/$FENNICK_PREFIX_STAMP" ] && exit 0
        # Without the lock's descriptor: the server and services these start would hold the lock
        # for as long as they run (for the whole session, once its desktop is held).
        {
            if [ ! -f "$WINEPREFIX/.fennick-ready" ]; then
                rm -rf "$WINEPREFIX"
                fennick_quiet wineboot -i
                touch "$WINEPREFIX/.fennick-ready"
            fi
            fennick_configure_prefix
            touch "$WINEPREFIX/$FENNICK_PREFIX_STAMP"
        } 9>&-
    ) 9>"$FENNICK_BUILD_DIR/.wineprefix.lock"
}

fennick_free_display() {
    local n
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            echo "$n"
            return 0
        fi
    done
    return 1
}

# Starts Xvfb on a free display; prints "DISPLAY PID". Two sessions starting at once may pick the
# same display: the one whose Xvfb does not own the display's lock file tries the next.
fennick_start_xvfb() {
    local n pid owner
    for _ in 1 2 3 4 5; do
        n=$(fennick_free_display) || { echo "no free X display" >&2; return 1; }
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 100); do
            if [ -e "/tmp/.X11-unix/X$n" ]; then
                owner=$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)
                if [ "$owner" = "$pid" ] && fennick_alive "$pid"; then
                    echo ":$n $pid"
                    return 0
                fi
            fi
            fennick_alive "$pid" || break
            sleep 0.05
        done
        kill "$pid" 2>/dev/null
    done
    echo "Xvfb did not start" >&2
    return 1
}
