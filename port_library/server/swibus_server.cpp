// swibus.exe: the background program that owns the open ports and their reader threads.
#include <windows.h>

#include "swibus.h"

namespace {

struct ServerState {
    HWND window;
};
ServerState g_server;

LRESULT OnCopyData(HWND, WPARAM port, const COPYDATASTRUCT* data)
{
    if (!data)
        return FALSE;
    return WriteCommBlock(static_cast<int>(port), data->lpData, data->cbData);
}

LRESULT OnQuit(HWND window)
{
    ClosePort(-1);
    DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK ServerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SERVER_OPENPORT:
        return OpenPort(window, static_cast<int>(wParam));
    case WM_SERVER_CLOSEPORT:
        return ClosePort(static_cast<int>(wParam));
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
