// Registration of client windows per port, the active window, removal.
#include "shared_block.h"

#include "byte_dispatch.h"
#include "swibus.h"

namespace swibus {

namespace {

// Tells a window whether it is now the active one. A window of the calling thread is called
// directly: it cannot keep us waiting on another program, and it must learn where it stands even
// after a hung window spent the bound. Another program's window gets what is left of one bound per
// hold of the mutex; once that is spent, or when it is hung, the notice is queued for it without
// waiting, so no registration waits on a program that stopped answering and every window is told.
void SendActivation(RegistryMutex& lock, HWND window, bool active, int port)
{
    if (!window || !IsWindow(window))
        return;
    WPARAM wParam = active ? 1 : 0;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        SendMessageA(window, WM_SWITCH_ACTIVATE, wParam, port);
        return;
    }
    DWORD left = lock.sendTimeLeft(kClientSendBoundMs);
    DWORD_PTR ignored = 0;
    if (left > 0 && SendMessageTimeoutA(window, WM_SWITCH_ACTIVATE, wParam, port, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                        left, &ignored))
        return;
    // A send that timed out is taken back from the window's queue (under Wine; Windows may still
    // deliver it, and a second notice of the same state is harmless).
    SendNotifyMessageA(window, WM_SWITCH_ACTIVATE, wParam, port);
}

// Drops the windows of a port's list that no longer exist (their program ended without leaving);
// returns whether the active window was among them.
bool DropDeadWindows(int port)
{
    ClientList& list = clientList(port);
    std::int32_t& count = clientCount(port);
    count = compactList(list, count);
    WindowId active = activeWindow(list, count);
    for (int i = count - 1; i >= 0; --i)
        if (!IsWindow(toHwnd(list.entry[i])))
            removeAt(list, count, i);
    return active != 0 && activeWindow(list, count) != active;
}

// Makes sure a server runs and asks it to open the port. A server that does not answer is ended
// and a fresh one started in its place. false: the server program could not be started.
bool BringUpPort(int port)
{
    for (int round = 0; round < 2; ++round) {
        if (!LiveServerWindow() && !StartServerProgram(32))
            return false;
        HWND server = nullptr;
        for (int attempt = 0; attempt < 150; ++attempt) {
            server = FindServerWindow();
            Sleep(200);  // also for a server that was already there: it may still be setting up
            if (server)
                break;
        }
        if (!server)
            break;  // registration still succeeds; a later request opens the port
        g_shared.ServerWindow = server;
        if (SendToServer(WM_SERVER_OPENPORT, port, 0) != ServerReply::Gone)
            break;
    }
    if (!g_shared.CbtHook)
        InstallWatchHook();
    return true;
}

// Every port's list is empty (or holds only windows that are gone).
bool NoClientLeft()
{
    for (int p = 1; p <= kPortCount; ++p)
        if (clientCount(p) > 0)
            return false;
    return true;
}

// The port's last window left: close the port, or end the server when no port has a window left.
void PortEmptied(int port)
{
    if (NoClientLeft()) {
        SendToServer(WM_SERVER_QUIT, 0, 0);
        RemoveWatchHook();
    } else {
        SendToServer(WM_SERVER_CLOSEPORT, port, 0);
    }
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
    // Windows whose programs ended without leaving are dropped; the ports of a server that is gone
    // count as closed, so this registration brings up a fresh one.
    DropDeadWindows(port);
    if (!LiveServerWindow())
        ForgetOpenPorts();

    if (count == 0 && !portRecord(port).Connected) {
        if (!BringUpPort(port))
            return 0;
        list.entry[0] = toId(window);
        count = 1;
        portRecord(port).Switches = flags & 1;
        SendActivation(lock, window, true, port);
        return 1;
    }
    if (!portRecord(port).Connected && !LiveServerWindow() && !BringUpPort(port))
        return 0;  // the server died under its clients: this registration starts it again

    int index = findUsed(list, count, toId(window));
    if (index >= 0) {
        moveToEnd(list, count, index);
        return -1;
    }
    if (count >= kMaxClients)
        return 1;  // documented: a full list reports success without adding the window
    HWND previous = toHwnd(activeWindow(list, count));
    SendActivation(lock, previous, false, port);
    // From here on the box's bytes go to the new window; it is told so straight after.
    if (flags & 1) {
        portRecord(port).Switches = 1;
        clearHeld(g_shared.Held);
    }
    list.entry[count] = toId(window);
    ++count;
    SendActivation(lock, window, true, port);
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
    DropDeadWindows(port);

    if (count <= 0) {
        PortEmptied(port);
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

// The server's slow look at its clients, and the reader's when it finds the active window gone:
// windows whose programs ended without leaving are dropped, the next window of the list becomes
// the active one and is told so, and a port left without windows is closed (the server ended when
// no port has any). Runs in the server process.
extern "C" void WINAPI DropDeadClients(int port)
{
    RegistryMutex lock;
    for (int p = 1; p <= kPortCount; ++p) {
        if ((port > 0 && p != port) || clientCount(p) <= 0)
            continue;
        bool activeGone = DropDeadWindows(p);
        if (clientCount(p) == 0) {
            clearHeld(g_shared.Held);
            PortEmptied(p);
        } else if (activeGone) {
            clearHeld(g_shared.Held);
            SendActivation(lock, toHwnd(activeWindow(clientList(p), clientCount(p))), true, p);
        }
    }
}
