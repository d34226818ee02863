// swibus.exe: the background program that owns the open ports and their reader threads.
#include <windows.h>

#include "swibus.h"

namespace {

constexpr UINT_PTR kReopenTimerBase = 100;  // timer id = base + port
constexpr UINT kReopenEveryMs = 1000;
// A client program that died without leaving is noticed within this time: its port is closed
// (and this program ends) when no live client is left, and the next window of the list takes over.
constexpr UINT_PTR kDropDeadTimer = 1;
constexpr UINT kDropDeadEveryMs = 2000;

enum class Deferred { None, Open, Close };

struct ServerState {
    HWND window;
    bool reopening[17];    // per port 1..16: the device is absent and is looked for every second
    bool wanted[17];       // a client asked for the port open and has not closed it since
    bool closing[17];      // a close of the port is under way (it handles sent messages meanwhile)
    Deferred deferred[17]; // the last open or close request that arrived during that close
    DWORD lastReopen[17];  // when a lost line was last reopened at once (0: never)
    bool quitting;
};
ServerState g_server;

bool ValidPort(int port) { return port >= 1 && port <= 16; }

void StopReopening(HWND window, int port)
{
    if (ValidPort(port) && g_server.reopening[port]) {
        g_server.reopening[port] = false;
        KillTimer(window, kReopenTimerBase + port);
    }
}

void StartReopening(HWND window, int port)
{
    g_server.reopening[port] = true;
    SetTimer(window, kReopenTimerBase + port, kReopenEveryMs, nullptr);
}

// Opens the port, or, when the device is not there (yet), looks for it every second: an adapter
// plugged in after the program started works as soon as it appears.
int OpenOrRetry(HWND window, int port)
{
    int result = OpenPort(window, port);
    if (result == 1 || result == -4)
        StopReopening(window, port);
    else if (!g_server.reopening[port])
        StartReopening(window, port);
    return result;
}

void RunDeferred(HWND window, int port);

// While a close waits for its reader, the requests that arrive meanwhile are kept for its end, so
// the port never has two handles or two readers.
void CloseNow(HWND window, int port)
{
    g_server.closing[port] = true;
    ClosePort(port);
    g_server.closing[port] = false;
    RunDeferred(window, port);
}

LRESULT OnOpen(HWND window, int port)
{
    if (!ValidPort(port))
        return 0;
    if (g_server.quitting)
        return 0;
    g_server.wanted[port] = true;
    if (g_server.closing[port]) {
        g_server.deferred[port] = Deferred::Open;
        return 0;
    }
    return OpenOrRetry(window, port);
}

LRESULT OnClose(HWND window, int port)
{
    if (!ValidPort(port))
        return ClosePort(port);
    g_server.wanted[port] = false;
    StopReopening(window, port);
    if (g_server.closing[port]) {
        g_server.deferred[port] = Deferred::Close;
        return 1;
    }
    CloseNow(window, port);
    return 1;
}

void RunDeferred(HWND window, int port)
{
    Deferred next = g_server.deferred[port];
    g_server.deferred[port] = Deferred::None;
    if (next == Deferred::Open && g_server.wanted[port])
        OpenOrRetry(window, port);
    else if (next == Deferred::Close)
        CloseNow(window, port);
}

// A reader could not start on its freshly opened line: close what is left and open the port again,
// every second until the device works or a client closes the port. (A line lost later is reopened
// by its reader itself.) A request posted before the last client closed the
// port finds it no longer wanted and does nothing.
// A line that is lost again straight after such a reopen waits for the one-second retry instead,
// so a device that opens but fails at once never makes a loop of opens.
LRESULT OnReopen(HWND window, int port)
{
    if (!ValidPort(port) || !g_server.wanted[port] || g_server.closing[port])
        return 0;
    CloseNow(window, port);
    if (!g_server.wanted[port] || IsOpenPort(port))
        return 0;
    DWORD now = GetTickCount();
    DWORD last = g_server.lastReopen[port];
    if (last != 0 && now - last < kReopenEveryMs) {
        if (!g_server.reopening[port])
            StartReopening(window, port);
        return 0;
    }
    g_server.lastReopen[port] = now ? now : 1;
    OpenOrRetry(window, port);
    return 0;
}

LRESULT OnTimer(HWND window, UINT_PTR id)
{
    if (id == kDropDeadTimer) {
        if (!g_server.quitting)
            DropDeadClients(0);
        return 0;
    }
    int port = static_cast<int>(id - kReopenTimerBase);
    if (!ValidPort(port) || !g_server.reopening[port] || !g_server.wanted[port]) {
        KillTimer(window, id);
        if (ValidPort(port))
            g_server.reopening[port] = false;
        return 0;
    }
    if (g_server.closing[port])
        return 0;
    if (OpenPort(window, port) == 1)
        StopReopening(window, port);
    return 0;
}

LRESULT OnCopyData(HWND, WPARAM port, const COPYDATASTRUCT* data)
{
    if (!data)
        return FALSE;
    return WriteCommBlock(static_cast<int>(port), data->lpData, data->cbData);
}

LRESULT OnQuit(HWND window)
{
    // The sender may hold the registry mutex, which closing every port takes: let it go on first.
    ReplyMessage(0);
    g_server.quitting = true;
    for (int port = 1; port <= 16; ++port) {
        g_server.wanted[port] = false;
        g_server.deferred[port] = Deferred::None;
        StopReopening(window, port);
    }
    ClosePort(-1);
    DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK ServerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SERVER_OPENPORT:
        return OnOpen(window, static_cast<int>(wParam));
    case WM_SERVER_CLOSEPORT:
        return OnClose(window, static_cast<int>(wParam));
    case WM_SERVER_REOPENPORT:
        return OnReopen(window, static_cast<int>(wParam));
    case WM_SERVER_DROPDEAD:
        if (!g_server.quitting)
            DropDeadClients(static_cast<int>(wParam));
        return 0;
    case WM_TIMER:
        return OnTimer(window, wParam);
    case WM_SERVER_QUIT:
        return OnQuit(window);
    case WM_COPYDATA:
        return OnCopyData(window, wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_SERVER_DEVICEEVENT:
        return 0;  // the device reports events; nothing here acts on them
    case WM_CLOSE:
        return OnQuit(window);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // One server per session: a second start (two clients racing) leaves the first in charge.
    HANDLE single = CreateMutexA(nullptr, TRUE, "swibus_server_running");
    if (single && GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;
    if (FindWindowA(SWIBUS_SERVER_CLASS, nullptr))
        return 0;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ServerWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = SWIBUS_SERVER_CLASS;
    if (!RegisterClassA(&windowClass))
        return 1;
    // A hidden top-level window (not message-only): clients find it with FindWindowA.
    g_server.window = CreateWindowExA(0, SWIBUS_SERVER_CLASS, "swibus", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                      instance, nullptr);
    if (!g_server.window)
        return 1;
    SetTimer(g_server.window, kDropDeadTimer, kDropDeadEveryMs, nullptr);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ClosePort(-1);
    if (single)
        CloseHandle(single);
    return 0;
}
