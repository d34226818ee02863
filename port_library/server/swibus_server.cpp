// swibus.exe: the background program that owns the open ports and their reader threads.
#include <windows.h>

#include "swibus.h"

namespace {

constexpr UINT_PTR kReopenTimerBase = 100;  // timer id = base + port
constexpr UINT kReopenEveryMs = 1000;

struct ServerState {
    HWND window;
    bool reopening[17];  // per port 1..16: the device went away and is being waited for
};
ServerState g_server;

void StopReopening(HWND window, int port)
{
    if (port >= 1 && port <= 16 && g_server.reopening[port]) {
        g_server.reopening[port] = false;
        KillTimer(window, kReopenTimerBase + port);
    }
}

// A reader lost its device: close what is left and open the port again, every second until the
// device is back or a client closes the port.
LRESULT OnReopen(HWND window, int port)
{
    if (port < 1 || port > 16)
        return 0;
    ClosePort(port);
    if (OpenPort(window, port) == 1) {
        StopReopening(window, port);
        return 0;
    }
    g_server.reopening[port] = true;
    SetTimer(window, kReopenTimerBase + port, kReopenEveryMs, nullptr);
    return 0;
}

// A client's open request; a port still waiting for its device keeps being retried if it fails.
LRESULT OnOpen(HWND window, int port)
{
    int result = OpenPort(window, port);
    if (result == 1 || result == -4)
        StopReopening(window, port);
    return result;
}

LRESULT OnTimer(HWND window, UINT_PTR id)
{
    int port = static_cast<int>(id - kReopenTimerBase);
    if (port < 1 || port > 16 || !g_server.reopening[port]) {
        KillTimer(window, id);
        return 0;
    }
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
    for (int port = 1; port <= 16; ++port)
        StopReopening(window, port);
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
        StopReopening(window, static_cast<int>(wParam));
        return ClosePort(static_cast<int>(wParam));
    case WM_SERVER_REOPENPORT:
        return OnReopen(window, static_cast<int>(wParam));
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
