// Delivery of received bytes: raw ports, device events, outside windows, clients, waking the screen.
#include "byte_dispatch.h"

#include "shared_block.h"
#include "swibus.h"

namespace swibus {

namespace {

constexpr const char* kOutsideClasses[] = {"PCBTest", "Orrin Buttons", "Kado2Internal"};
constexpr DWORD kIdleRestartEveryMs = 500;

void SendByte(HWND window, int port, std::uint8_t byte)
{
    if (window)
        SendMessageA(window, WM_SWITCH_BYTE, port, byte);
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

// Restarting the low-power and saver timers broadcasts a setting change to every window; once
// per half second is enough to keep them from running out while switches are in use.
void RestartIdleTimers()
{
    static volatile LONG lastRestart = 0;
    DWORD now = GetTickCount();
    DWORD last = static_cast<DWORD>(lastRestart);
    if (last != 0 && now - last < kIdleRestartEveryMs)
        return;
    lastRestart = static_cast<LONG>(now ? now : 1);
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, 0, nullptr, 0);
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, 1, nullptr, 0);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
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
        SendByte(toHwnd(activeWindow(clientList(port), clientCount(port))), port, byte);
        return;
    }
    SetThreadExecutionState(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    HWND server = g_shared.ServerWindow;
    if (server)
        SendMessageA(server, WM_SYSCOMMAND, SC_MONITORPOWER, -1);

    switch (d.route) {
    case ByteRoute::DeviceEvent:
        if (server)
            SendMessageA(server, WM_SERVER_DEVICEEVENT, d.deviceEvent, 0);
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
    case ByteRoute::Raw:
        return;
    case ByteRoute::Client:
        break;
    }

    ScreenState screen{g_shared.DoWakeUp != 0, g_shared.MonitorOff != 0, g_shared.SaverActive != 0};
    WakeDecision wake = decideWake(screen, d.value, wakeCode);
    switch (wake.action) {
    case WakeAction::Deliver:
        if (!screen.doWakeUp) {
            SendByte(toHwnd(activeWindow(clientList(port), clientCount(port))), port, d.value);
            return;
        }
        SendByte(Receiver(port), port, d.value);
        if (wake.restartIdleTimers)
            RestartIdleTimers();
        return;
    case WakeAction::SwallowWakeRelease:
        return;
    case WakeAction::WakeScreen:
        WakeScreen(wake);
        return;
    }
}

}  // namespace swibus
