// Registration of client windows per port, the active window, removal.
#include "shared_block.h"

#include "byte_dispatch.h"
#include "swibus.h"

namespace swibus {

namespace {

// Activation messages go to windows of other processes while the mutex is held: each waits at
// most for what is left of one bound per hold (a hung window is not waited for at all), and once
// that is spent the rest are queued without waiting, in order, so no registration anywhere waits
// on a program that stopped answering.
void SendActivation(RegistryMutex& lock, HWND window, bool active, int port)
{
    if (!window)
        return;
    WPARAM wParam = active ? 1 : 0;
    DWORD left = lock.sendTimeLeft(kClientSendBoundMs);
    DWORD_PTR ignored = 0;
    if (left > 0 && SendMessageTimeoutA(window, WM_SWITCH_ACTIVATE, wParam, port, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                        left, &ignored))
        return;
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        SendNotifyMessageA(window, WM_SWITCH_ACTIVATE, wParam, port);
}

// First client of a closed port: make sure the server runs and ask it to open the port.
// false: the server program could not be started.
bool BringUpPortForFirstClient(int port)
{
    if (!FindServerWindow() && !StartServerProgram(32))
        return false;
    HWND server = nullptr;
    for (int attempt = 0; attempt < 150; ++attempt) {
        server = FindServerWindow();
        Sleep(200);  // also for a server that was already there: it may still be setting up
        if (server)
            break;
    }
    if (server) {
        g_shared.ServerWindow = server;
        SendMessageA(server, WM_SERVER_OPENPORT, port, 0);
    }
    if (!g_shared.CbtHook)
        InstallWatchHook();
    return true;
}

}  // namespace
}  // namespace swibus

using namespace swibus;

extern "C" int WINAPI HwndGetPort(HWND window, int port, int flags)
{
    if (!window)
        return 0;
    if (!validPort(port))
        return -2;
    RegistryMutex lock;
    ClientList& list = clientList(port);
    std::int32_t& count = clientCount(port);
    count = compactList(list, count);

    if (count == 0 && !portRecord(port).Connected) {
        if (!BringUpPortForFirstClient(port))
            return 0;
        list.entry[0] = toId(window);
        SendActivation(lock, window, true, port);
        count = 1;
        portRecord(port).Switches = flags & 1;
        return 1;
    }

    int index = findUsed(list, count, toId(window));
    if (index >= 0) {
        moveToEnd(list, count, index);
        return -1;
    }
    if (count >= kMaxClients)
        return 1;  // documented: a full list reports success without adding the window
    HWND previous = toHwnd(activeWindow(list, count));
    SendActivation(lock, previous, false, port);
    list.entry[count] = toId(window);
    SendActivation(lock, window, true, port);
    if (flags & 1) {
        portRecord(port).Switches = 1;
        clearHeld(g_shared.Held);
    }
    ++count;
    return 1;
}

extern "C" int WINAPI RegisterToDLL(HWND window)
{
    if (!window)
        return 0;
    return HwndGetPort(window, g_shared.ComPort, 1);
}

extern "C" int WINAPI HwndRemovePort(HWND window, int port)
{
    if (!validPort(port))
        return 0;
    RegistryMutex lock;
    ClientList& list = clientList(port);
    std::int32_t& count = clientCount(port);
    int index = findAny(list, toId(window));
    if (index < 0 || !window)
        return 1;
    // The held codes are forgotten when the active window changes, since the next window never got
    // those presses. A window leaving from behind the active one changes nothing for it: what it
    // holds stays held, so the releases of presses it received still reach it.
    bool activeStays = toHwnd(activeWindow(list, count)) != window;
    SendActivation(lock, window, false, port);
    if (!activeStays)
        clearHeld(g_shared.Held);
    removeAt(list, count, index);

    if (count <= 0) {
        bool anyLeft = false;
        for (int p = 1; p <= kPortCount; ++p)
            anyLeft = anyLeft || clientCount(p) > 0;
        if (!anyLeft) {
            SendToServer(WM_SERVER_QUIT, 0, 0);
            RemoveWatchHook();
        } else {
            SendToServer(WM_SERVER_CLOSEPORT, port, 0);
        }
    } else {
        SendActivation(lock, toHwnd(activeWindow(list, count)), true, port);
        if (!activeStays)
            clearHeld(g_shared.Held);
    }
    return 1;
}

extern "C" int WINAPI UnRegisterFromDLL(HWND window)
{
    return HwndRemovePort(window, g_shared.ComPort);
}

extern "C" int WINAPI IsRegisteredToDLL(HWND window)
{
    int port = g_shared.ComPort;
    if (!validPort(port) || !window)
        return 0;
    return findUsed(clientList(port), clientCount(port), toId(window)) >= 0 ? 1 : 0;
}

extern "C" int WINAPI SetActiveHwnd(HWND window)
{
    int port = g_shared.ComPort;
    if (!validPort(port) || !window)
        return 0;
    RegistryMutex lock;
    ClientList& list = clientList(port);
    std::int32_t count = clientCount(port);
    int index = findAny(list, toId(window));
    if (index < 0 || index >= count)
        return 0;
    SendActivation(lock, toHwnd(activeWindow(list, count)), false, port);
    SendActivation(lock, window, true, port);
    clearHeld(g_shared.Held);
    moveToEnd(list, count, index);
    return 1;
}

extern "C" HWND WINAPI GetActiveHwnd(int index)
{
    int port = g_shared.ComPort;
    if (!validPort(port))
        return nullptr;
    const ClientList& list = clientList(port);
    std::int32_t count = clientCount(port);
    if (count <= 0)
        return nullptr;
    if (index == -1)
        return toHwnd(activeWindow(list, count));
    if (index >= 0 && index < kMaxClients)
        return toHwnd(list.entry[index]);
    return nullptr;
}
