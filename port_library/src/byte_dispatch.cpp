// Delivery of received bytes: raw ports, device events, outside windows, clients, waking the screen.
#include "byte_dispatch.h"

#include "shared_block.h"
#include "swibus.h"

namespace swibus {

namespace {

constexpr const char* kOutsideClasses[] = {"PCBTest", "Orrin Buttons", "Kado2Internal"};
// Keeping the machine awake costs a round trip to the server's thread, and restarting the idle
// timers a broadcast to every window; both are repeated at most every kKeepAwakeEveryMs and
// kIdleRestartEveryMs, so a burst of bytes is not slowed byte by byte. A switch user's presses are
// far apart compared with these intervals. (They stay on the reader thread: under emulation, a
// thread started beside a pending serial read has been seen to stall or kill that read.)
constexpr DWORD kKeepAwakeEveryMs = 250;
constexpr DWORD kIdleRestartEveryMs = 5000;

struct ScreenTimers {
    volatile LONG lastKeepAwake = 0;
    volatile LONG lastIdleRestart = 0;
};
ScreenTimers g_screenTimers;

// True at most once per interval for the given clock (0 = never ran).
bool Due(volatile LONG& last, DWORD intervalMs)
{
    DWORD now = GetTickCount();
    DWORD previous = static_cast<DWORD>(last);
    if (previous != 0 && now - previous < intervalMs)
        return false;
    last = static_cast<LONG>(now ? now : 1);
    return true;
}

// Every switch byte keeps the machine awake; a monitor the watch hook saw go off is switched on
// at once, whenever the last request was.
void KeepAwake()
{
    if (!Due(g_screenTimers.lastKeepAwake, kKeepAwakeEveryMs) && !g_shared.MonitorOff)
        return;
    SetThreadExecutionState(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    if (HWND server = g_shared.ServerWindow)
        SendMessageA(server, WM_SYSCOMMAND, SC_MONITORPOWER, -1);
}

void RestartIdleTimers()
{
    if (!Due(g_screenTimers.lastIdleRestart, kIdleRestartEveryMs))
        return;
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, 0, nullptr, 0);
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, 1, nullptr, 0);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
}

constexpr DWORD kRetryBoundMs = 100;

bool SendBounded(HWND window, int port, std::uint8_t byte, DWORD boundMs)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_SWITCH_BYTE, port, byte, SMTO_NORMAL | SMTO_ABORTIFHUNG, boundMs,
                               &ignored) != 0;
}

// Releases a hung window did not take, per port, oldest first. Only the port's reader thread
// touches its own list, so it needs no lock.
struct HeldReleases {
    struct Entry {
        HWND window;
        std::uint8_t byte;
    };
    Entry entry[32];
    int count;
};
HeldReleases g_heldReleases[kPortCount];

bool HasHeldReleases(int port, HWND window)
{
    const HeldReleases& held = g_heldReleases[port - 1];
    for (int i = 0; i < held.count; ++i)
        if (held.entry[i].window == window)
            return true;
    return false;
}

void HoldRelease(int port, HWND window, std::uint8_t byte)
{
    HeldReleases& held = g_heldReleases[port - 1];
    // One entry per release is enough, and it keeps a window that stays hung through many presses
    // (whose presses are not sent) from pushing out the release it really owes.
    for (int i = 0; i < held.count; ++i)
        if (held.entry[i].window == window && held.entry[i].byte == byte)
            return;
    if (held.count == 32) {  // a window hung for very long: its oldest release makes room
        for (int i = 1; i < held.count; ++i)
            held.entry[i - 1] = held.entry[i];
        --held.count;
    }
    held.entry[held.count++] = {window, byte};
}

// Delivers what is held, in order; a window that still does not answer keeps the rest of its
// releases (and later ones stay behind them). Windows that are gone are forgotten.
void FlushHeldReleases(int port, HWND only, DWORD boundMs)
{
    HeldReleases& held = g_heldReleases[port - 1];
    HWND stuck[32];
    int stuckCount = 0;
    int kept = 0;
    for (int i = 0; i < held.count; ++i) {
        HeldReleases::Entry e = held.entry[i];
        bool isStuck = false;
        for (int k = 0; k < stuckCount; ++k)
            isStuck = isStuck || stuck[k] == e.window;
        bool skip = (only && e.window != only) || isStuck;
        if (!skip && !IsWindow(e.window))
            continue;
        if (!skip && SendBounded(e.window, port, e.byte, boundMs))
            continue;
        if (!skip)
            stuck[stuckCount++] = e.window;
        held.entry[kept++] = e;
    }
    held.count = kept;
}

// Sends a switch byte with a bound. A release that the window does not take is held for it and
// delivered first when it answers again: its press reached it, so its key must be let go. A press
// for a window that still owes releases is not sent (it would overtake them).
void SendByte(HWND window, int port, std::uint8_t byte, bool release)
{
    if (!window)
        return;
    if (HasHeldReleases(port, window)) {
        FlushHeldReleases(port, window, kClientSendBoundMs);
        if (HasHeldReleases(port, window)) {
            if (release)
                HoldRelease(port, window, byte);
            return;
        }
    }
    if (!SendBounded(window, port, byte, kClientSendBoundMs) && release)
        HoldRelease(port, window, byte);
}

// A button bar that is the active window passes switch bytes to the window below it.
HWND Receiver(int port)
{
    const ClientList& list = clientList(port);
    std::int32_t count = clientCount(port);
    HWND active = toHwnd(activeWindow(list, count));
    if (!active || count < 2)
        return active;
    HWND buttons = FindWindowA("Orrin Buttons", nullptr);
    if (buttons && buttons == active)
        return toHwnd(list.entry[count - 2]);
    return active;
}

void WakeScreen(const WakeDecision& wake)
{
    if (wake.clearMonitorOff)
        g_shared.MonitorOff = 0;
    if (wake.endSaver) {
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
        mouse_event(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0, 0);
        mouse_event(MOUSEEVENTF_MIDDLEUP, 0, 0, 0, 0);
        g_shared.SaverActive = 0;
    }
}

}  // namespace

void DispatchByte(int port, std::uint8_t byte, std::uint8_t& wakeCode)
{
    PortRecord& rec = portRecord(port);
    ByteDecision d = routeByte(byte, rec.Switches != 0, g_shared.PortInput, g_shared.DefaultInput, g_shared.Held);
    if (d.route == ByteRoute::Raw) {
        SendByte(toHwnd(activeWindow(clientList(port), clientCount(port))), port, byte, false);
        return;
    }
    KeepAwake();
    HWND server = g_shared.ServerWindow;

    switch (d.route) {
    case ByteRoute::DeviceEvent:
        if (server)
            SendMessageA(server, WM_SERVER_DEVICEEVENT, d.deviceEvent, 0);
        return;
    case ByteRoute::OutsideWindow:
        for (const char* windowClass : kOutsideClasses) {
            if (HWND window = FindWindowA(windowClass, nullptr)) {
                SendByte(window, port, byte, false);
                break;
            }
        }
        return;
    case ByteRoute::Dropped:
    case ByteRoute::Raw:
        return;
    case ByteRoute::Client:
        break;
    }

    ScreenState screen{g_shared.DoWakeUp != 0, g_shared.MonitorOff != 0, g_shared.SaverActive != 0};
    WakeDecision wake = decideWake(screen, d.value, d.release, wakeCode);
    switch (wake.action) {
    case WakeAction::Deliver:
        if (!screen.doWakeUp) {
            SendByte(toHwnd(activeWindow(clientList(port), clientCount(port))), port, d.value, d.release);
            return;
        }
        SendByte(Receiver(port), port, d.value, d.release);
        if (wake.restartIdleTimers)
            RestartIdleTimers();
        return;
    case WakeAction::DeliverAndWake:
        SendByte(Receiver(port), port, d.value, d.release);
        WakeScreen(wake);
        return;
    case WakeAction::SwallowWakeRelease:
    case WakeAction::WakeScreen:
        WakeScreen(wake);
        return;
    }
}

bool RetryHeldReleases(int port)
{
    if (g_heldReleases[port - 1].count == 0)
        return false;
    FlushHeldReleases(port, nullptr, kRetryBoundMs);
    return g_heldReleases[port - 1].count > 0;
}

}  // namespace swibus
