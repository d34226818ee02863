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
        SendMessageTimeoutA(server, WM_SYSCOMMAND, SC_MONITORPOWER, -1, SMTO_NORMAL, kServerSendBoundMs, nullptr);
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

constexpr DWORD kRetryBoundMs = 100;    // a window that did not answer is tried again this briefly
constexpr DWORD kRetryEveryMs = 250;    // and no more often, so it never slows the others' bytes
constexpr int kOwedCapacity = 256;      // about half a minute of a busy box for a hung window

bool SendBounded(HWND window, int port, std::uint8_t byte, DWORD boundMs)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_SWITCH_BYTE, port, byte, SMTO_NORMAL | SMTO_ABORTIFHUNG, boundMs,
                               &ignored) != 0;
}

// Bytes a window did not take in time (it hangs), per port, oldest first. While a window owes
// bytes its later ones queue behind them, and all are delivered in order once it answers again: a
// press it got is always followed by its release, and no byte of the box is lost on a window that
// was slow for a while. Only the port's reader thread touches its own queue and press owners.
struct OwedBytes {
    struct Entry {
        HWND window;
        std::uint8_t byte;
    };
    Entry entry[kOwedCapacity];
    int count;
    DWORD nextTry;
};
OwedBytes g_owed[kPortCount];

// Which window got (or is owed) each press still held, per port: its release goes to that window
// even when another window has become the active one meanwhile.
struct PressOwners {
    struct Entry {
        std::uint8_t make;
        HWND window;
    };
    Entry entry[kHeldSlots + 2];
};
PressOwners g_owners[kPortCount];

bool Owes(int port, HWND window)
{
    const OwedBytes& owed = g_owed[port - 1];
    for (int i = 0; i < owed.count; ++i)
        if (owed.entry[i].window == window)
            return true;
    return false;
}

void Owe(int port, HWND window, std::uint8_t byte)
{
    OwedBytes& owed = g_owed[port - 1];
    if (owed.count == 0)
        owed.nextTry = GetTickCount() + kRetryEveryMs;
    if (owed.count < kOwedCapacity)
        owed.entry[owed.count++] = {window, byte};
}

// Delivers what is owed, in order; a window that still does not answer keeps the rest of its bytes
// (and its later ones stay behind them). Windows that are gone are forgotten.
void FlushOwed(int port, HWND only, DWORD boundMs)
{
    OwedBytes& owed = g_owed[port - 1];
    HWND stuck[kOwedCapacity];
    int stuckCount = 0;
    int kept = 0;
    for (int i = 0; i < owed.count; ++i) {
        OwedBytes::Entry e = owed.entry[i];
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
        owed.entry[kept++] = e;
    }
    owed.count = kept;
    owed.nextTry = GetTickCount() + kRetryEveryMs;
}

bool RetryDue(int port)
{
    const OwedBytes& owed = g_owed[port - 1];
    return owed.count > 0 && static_cast<LONG>(GetTickCount() - owed.nextTry) >= 0;
}

// Sends a switch byte with a bound; one the window does not take is owed to it. A window that
// already owes bytes gets this one behind them (it is tried again now and then, never for long).
void SendByte(HWND window, int port, std::uint8_t byte)
{
    if (!window)
        return;
    if (Owes(port, window)) {
        if (RetryDue(port))
            FlushOwed(port, window, kRetryBoundMs);
        if (Owes(port, window)) {
            Owe(port, window, byte);
            return;
        }
    }
    if (!SendBounded(window, port, byte, kClientSendBoundMs))
        Owe(port, window, byte);
}

void RememberOwner(int port, std::uint8_t make, HWND window)
{
    PressOwners& owners = g_owners[port - 1];
    PressOwners::Entry* free = nullptr;
    for (auto& e : owners.entry) {
        if (e.make == make) {
            e.window = window;
            return;
        }
        if (!free && e.make == 0)
            free = &e;
    }
    if (free)
        *free = {make, window};
}

bool IsHeld(std::uint8_t make)
{
    for (int i = 0; i < kHeldSlots; ++i)
        if (g_shared.Held.slot[i] == make)
            return true;
    return false;
}

// The window that got the press this break releases (forgotten here), or null.
HWND TakeOwner(int port, std::uint8_t breakCode)
{
    for (auto& e : g_owners[port - 1].entry) {
        if (e.make != 0 && releasesMake(breakCode, e.make, g_shared.PortInput)) {
            HWND window = e.window;
            e = {0, nullptr};
            return window;
        }
    }
    return nullptr;
}

// The port's active window went away without leaving: the server drops it from the list and
// tells the next one it is active, before this byte is delivered.
HWND LiveActiveWindow(int port)
{
    HWND active = toHwnd(activeWindow(clientList(port), clientCount(port)));
    if (!active || IsWindow(active))
        return active;
    if (HWND server = g_shared.ServerWindow)
        SendMessageTimeoutA(server, WM_SERVER_DROPDEAD, port, 0, SMTO_NORMAL, kServerSendBoundMs, nullptr);
    active = toHwnd(activeWindow(clientList(port), clientCount(port)));
    return active && IsWindow(active) ? active : nullptr;
}

// A button bar that is the active window passes switch bytes to the window below it.
HWND Receiver(int port)
{
    HWND active = LiveActiveWindow(port);
    const ClientList& list = clientList(port);
    std::int32_t count = clientCount(port);
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

void DispatchByte(int port, std::uint8_t byte)
{
    if (RetryDue(port))
        FlushOwed(port, nullptr, kRetryBoundMs);
    // Before the byte is filtered: a dead active window is replaced first (forgetting the held
    // switches), so this byte counts for the window that gets it.
    LiveActiveWindow(port);
    PortRecord& rec = portRecord(port);
    ByteDecision d = routeByte(byte, rec.Switches != 0, g_shared.PortInput, g_shared.DefaultInput, g_shared.Held);
    if (d.route == ByteRoute::Raw) {
        SendByte(LiveActiveWindow(port), port, byte);
        return;
    }
    KeepAwake();
    HWND server = g_shared.ServerWindow;

    switch (d.route) {
    case ByteRoute::DeviceEvent:
        if (server)
            SendMessageTimeoutA(server, WM_SERVER_DEVICEEVENT, d.deviceEvent, 0, SMTO_NORMAL, kServerSendBoundMs,
                                nullptr);
        return;
    case ByteRoute::OutsideWindow:
        for (const char* windowClass : kOutsideClasses) {
            if (HWND window = FindWindowA(windowClass, nullptr)) {
                SendByte(window, port, byte);
                break;
            }
        }
        return;
    case ByteRoute::Dropped:
        // The release of a press that went to a window no longer active (the held codes were
        // forgotten when another window took over): it goes to the window that got the press,
        // so nothing that window pressed stays down.
        if (d.orphanBreak) {
            HWND owner = TakeOwner(port, byte);
            if (owner && IsWindow(owner))
                SendByte(owner, port, translateByte(byte, g_shared.PortInput, g_shared.DefaultInput));
        }
        return;
    case ByteRoute::Raw:
        return;
    case ByteRoute::Client:
        break;
    }

    ScreenState screen{g_shared.DoWakeUp != 0, g_shared.MonitorOff != 0, g_shared.SaverActive != 0};
    WakeDecision wake = decideWake(screen, byte, d.release, g_shared.PortInput, g_shared.Held.slot[kWakeSlot]);
    HWND receiver = screen.doWakeUp ? Receiver(port) : LiveActiveWindow(port);
    bool delivered = wake.action == WakeAction::Deliver || wake.action == WakeAction::DeliverAndWake;
    if (delivered && receiver) {
        if (d.release)
            TakeOwner(port, byte);
        else if (IsHeld(byte))
            RememberOwner(port, byte, receiver);  // a press the filter does not hold gets no release
        SendByte(receiver, port, d.value);
    }
    if (wake.action == WakeAction::Deliver) {
        if (screen.doWakeUp && wake.restartIdleTimers)
            RestartIdleTimers();
        return;
    }
    WakeScreen(wake);
}

bool RetryOwedBytes(int port)
{
    if (g_owed[port - 1].count == 0)
        return false;
    FlushOwed(port, nullptr, kRetryBoundMs);
    return g_owed[port - 1].count > 0;
}

}  // namespace swibus
