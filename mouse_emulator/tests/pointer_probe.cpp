// Watches the pointer from outside for the mouse emulator's end-to-end tests.
//   pointer_probe window        a window that prints every button message it gets and every pointer
//                               position change (screen coordinates), one line each, until closed:
//                                 ready <hwnd> <button left top right bottom> <client left top right bottom>
//                                 pos x y | down x y | up x y | dblclk x y | rdown x y | rup x y | clicked
//   pointer_probe setpos x y    puts the pointer there
//   pointer_probe rect <hwnd>   the window's rectangle: left top right bottom
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr int kButtonId = 100;
POINT g_last = {-1, -1};

void report(const char* what, HWND window, LPARAM lParam)
{
    POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(window, &at);
    printf("%s %ld %ld\n", what, at.x, at.y);
    fflush(stdout);
}

void reportPointer()
{
    POINT at;
    if (!GetCursorPos(&at) || (at.x == g_last.x && at.y == g_last.y))
        return;
    g_last = at;
    printf("pos %ld %ld\n", at.x, at.y);
    fflush(stdout);
}

LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN: report("down", window, lParam); return 0;
    case WM_LBUTTONUP: report("up", window, lParam); return 0;
    case WM_LBUTTONDBLCLK: report("dblclk", window, lParam); return 0;
    case WM_RBUTTONDOWN: report("rdown", window, lParam); return 0;
    case WM_RBUTTONUP: report("rup", window, lParam); return 0;
    case WM_TIMER: reportPointer(); return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
            printf("clicked\n");
            fflush(stdout);
        }
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int runWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = probeProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "FennickPointerProbe";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("FennickPointerProbe", "Pointer probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200,
                                600, 400, nullptr, nullptr, windowClass.hInstance, nullptr);
    HWND button = CreateWindowA("button", "Press me", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 120, 40, window,
                                reinterpret_cast<HMENU>(kButtonId), windowClass.hInstance, nullptr);
    if (!window || !button)
        return 1;
    SetTimer(window, 1, 10, nullptr);
    RECT buttonRect, client;
    GetWindowRect(button, &buttonRect);
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    printf("ready %lu %ld %ld %ld %ld %ld %ld %ld %ld\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)),
           buttonRect.left, buttonRect.top, buttonRect.right, buttonRect.bottom, client.left, client.top, client.right,
           client.bottom);
    fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "window") == 0)
        return runWindow();
    if (argc >= 4 && strcmp(argv[1], "setpos") == 0)
        return SetCursorPos(atoi(argv[2]), atoi(argv[3])) ? 0 : 1;
    if (argc >= 3 && strcmp(argv[1], "rect") == 0) {
        RECT rect;
        if (!GetWindowRect(reinterpret_cast<HWND>(strtoul(argv[2], nullptr, 0)), &rect))
            return 1;
        printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    fprintf(stderr, "pointer_probe: bad arguments\n");
    return 2;
}
