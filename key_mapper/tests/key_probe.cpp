// The key mapper's end-to-end witness: records keys and posted commands from outside the key mapper.
//   key_probe watch [class:title ...]   a low-level keyboard hook recorder, plus one top-level window
//                                       per argument ("+class:title": owned by the one before); prints "ready <hwnd>..." then one line per event:
//                                       "key down|up <vk hex> injected|real" and
//                                       "msg <hwnd> <message hex> <wParam> <lParam>" for WM_APP messages
//   key_probe hang <class>              a hidden window that stops answering at its first WM_APP message
//   key_probe front <hwnd>              brings the window to the front; exit 1 when it did not get there
//   key_probe keys                      prints the virtual keys the system holds down, one hex per line
//   key_probe hold <file>               keeps the file open without sharing (as a program that locks
//                                       it would); prints "ready" once it holds it, runs until killed
// Every line is flushed at once so a driver reading the pipe sees events as they happen.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

bool g_hang = false;

LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool up = wParam == WM_KEYUP || wParam == WM_SYSKEYUP;
        printf("key %s %02lx %s\n", up ? "up" : "down", static_cast<unsigned long>(key->vkCode),
               (key->flags & LLKHF_INJECTED) ? "injected" : "real");
        fflush(stdout);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK probeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_APP && message <= 0xBFFF) {
        printf("msg %lu %04x %lu %ld\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)), message,
               static_cast<unsigned long>(wParam), static_cast<long>(lParam));
        fflush(stdout);
        if (g_hang)
            Sleep(INFINITE);  // a hung application: ended only by killing the process
        return 1;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// "class:title"; a leading "+" makes the window owned by `owner` (a dialog of that window).
HWND createProbeWindow(const char* classAndTitle, HWND owner = nullptr, bool visible = true)
{
    if (classAndTitle[0] != '+')
        owner = nullptr;
    else
        ++classAndTitle;
    char className[128] = {}, title[128] = {};
    const char* colon = strchr(classAndTitle, ':');
    size_t classLength = colon ? static_cast<size_t>(colon - classAndTitle) : strlen(classAndTitle);
    if (classLength >= sizeof(className))
        return nullptr;
    memcpy(className, classAndTitle, classLength);
    snprintf(title, sizeof(title), "%s", colon ? colon + 1 : classAndTitle);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = probeWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    // An owned window is a popup with a caption, as a dialog is.
    DWORD style = (owner ? WS_POPUP | WS_CAPTION | WS_SYSMENU : WS_OVERLAPPEDWINDOW) | (visible ? WS_VISIBLE : 0);
    HWND window = CreateWindowExA(0, className, title, style, 40, 40, 300, 120, owner,
                                  nullptr, wc.hInstance, nullptr);
    return window;
}

int runLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int watch(int count, char** windowTexts)
{
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, keyboardHook, GetModuleHandleA(nullptr), 0);
    if (!hook)
        return 3;
    printf("ready");
    HWND window = nullptr;
    for (int i = 0; i < count; ++i) {
        window = createProbeWindow(windowTexts[i], window);
        if (!window)
            return 4;
        printf(" %lu", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
    }
    printf("\n");
    fflush(stdout);
    int code = runLoop();
    UnhookWindowsHookEx(hook);
    return code;
}

int bringToFront(HWND window)
{
    for (int i = 0; i < 100; ++i) {
        SetForegroundWindow(window);
        if (GetForegroundWindow() == window)
            return 0;
        Sleep(50);
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "watch") == 0)
        return watch(argc - 2, argv + 2);
    if (argc >= 3 && strcmp(argv[1], "hang") == 0) {
        g_hang = true;
        HWND window = createProbeWindow(argv[2], nullptr, false);  // never in front: no profile change
        printf("ready %lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
        fflush(stdout);
        return window ? runLoop() : 4;
    }
    if (argc >= 3 && strcmp(argv[1], "front") == 0)
        return bringToFront(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(strtoull(argv[2], nullptr, 0))));
    if (argc >= 3 && strcmp(argv[1], "hold") == 0) {
        HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 5;
        printf("ready\n");
        fflush(stdout);
        Sleep(INFINITE);
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "keys") == 0) {
        for (int vk = 1; vk < 256; ++vk) {
            if (GetAsyncKeyState(vk) & 0x8000)
                printf("%02x\n", vk);
        }
        return 0;
    }
    fprintf(stderr, "key_probe: bad arguments\n");
    return 2;
}
