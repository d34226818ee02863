// A client program for end-to-end tests: registers windows with swibus and prints every switch
// byte and activation it receives, one line each, so a driver can compare the sequence.
//   swibus_test_client [--class NAME] [--windows N] [--no-register] [--port P FLAGS]
//   swibus_test_client write <hex bytes>...      one WriteToPort per argument, prints each result
//                                                and how long it took
//   swibus_test_client writeex <port> <hex>      WriteToPortEx, prints the result
//   swibus_test_client churn <seed>              two windows register, activate and unregister at
//                                                random until "churnstop"; prints what was lost
//   swibus_test_client churnstop | entries       stop the churners | count the current port's list
//   --show: the windows are shown (for real mouse input)
//   --close-race: the first switch byte makes the window unregister from inside its handler, and
//     a thread writes "A" with WriteToPort once the close has begun, while the server's close still
//     waits for the reader held by that handler: an open request in the middle of a close
// Output lines: "ready <hwnd> <result> <ms the registration took>" per window, "byte <hwnd> <port> <hex>",
// "activate <hwnd> <0|1> <port>", and "<command> <result>" for the commands below.
// Commands, posted to a window (probe post <hwnd> <msg> <wParam> <lParam>):
//   WM_APP+1 UnRegisterFromDLL   WM_APP+2 RegisterToDLL   WM_APP+3 SetActiveHwnd
//   WM_APP+4 WriteToPort of the byte lParam   WM_APP+5 mouse filter (wParam on/off)
//   WM_APP+6 PoortInstellingen   WM_APP+7 PoortInstellingenEx(wParam port, "Port test", lParam pages)
//   WM_APP+8 quit without unregistering (a client that dies)   WM_APP+9 close every window
//   WM_APP+10 stop handling messages for lParam ms (a program that hangs)
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "swibus.h"

namespace {

enum Command : UINT {
    kUnregister = WM_APP + 1,
    kRegister,
    kSetActive,
    kWrite,
    kMouseFilter,
    kSheet,
    kSheetEx,
    kDie,
    kCloseAll,
    kHang,
};

struct ClientState {
    HWND windows[64] = {};
    int created = 0;
    bool registerWindows = true;
    int port = 0;  // 0: RegisterToDLL; otherwise HwndGetPort with these flags
    int flags = 1;
    int open = 0;
    bool show = false;
    bool quiet = false;
    bool closeRace = false;
    int raceStage = 0;  // 1 once the first byte started the race
};
ClientState g_client;

void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

unsigned long Id(HWND window) { return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)); }

int CallMouseFilter(int on)
{
    HMODULE module = GetModuleHandleA("swibus.dll");
    auto filter = reinterpret_cast<SwibusMouseFilterProc>(
        reinterpret_cast<void*>(GetProcAddress(module, SWIBUS_MOUSE_FILTER_EXPORT)));
    return filter ? filter(on) : -100;
}

// Writes "A" once the port's close has begun (while the reader is still held by this window's
// unfinished byte handler): the write's open request reaches the server in the middle of the close.
DWORD WINAPI WriteOnceClosing(LPVOID)
{
    for (int i = 0; i < 1000 && IsOpenPort(g_client.port ? g_client.port : 1); ++i)
        Sleep(5);
    BYTE byte = 'A';
    Say("write %d", WriteToPort(&byte, 1));
    return 0;
}

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kUnregister: {
        DWORD started = GetTickCount();
        int result = UnRegisterFromDLL(window);
        Say("unregister %lu %d %lu", Id(window), result, static_cast<unsigned long>(GetTickCount() - started));
        return 0;
    }
    case kHang:
        Say("hang %lu", static_cast<unsigned long>(lParam));
        Sleep(static_cast<DWORD>(lParam));
        Say("hang over");
        return 0;
    case kRegister:
        Say("register %lu %d", Id(window), RegisterToDLL(window));
        return 0;
    case kSetActive:
        Say("setactive %lu %d", Id(window), SetActiveHwnd(window));
        return 0;
    case kWrite: {
        BYTE byte = static_cast<BYTE>(lParam);
        Say("write %d", WriteToPort(&byte, 1));
        return 0;
    }
    case kMouseFilter:
        Say("mousefilter %d", CallMouseFilter(static_cast<int>(wParam)));
        return 0;
    case kSheet:
        Say("sheet %d", PoortInstellingen());
        return 0;
    case kSheetEx:
        Say("sheetex %d", PoortInstellingenEx(static_cast<int>(wParam), "Port test", static_cast<int>(lParam)));
        return 0;
    case kDie:
        ExitProcess(3);
    case kCloseAll:
        for (int i = 0; i < g_client.created; ++i)
            PostMessageA(g_client.windows[i], WM_CLOSE, 0, 0);
        return 0;
    }
    return 0;
}

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SWITCH_BYTE:
        Say("byte %lu %d %02x", Id(window), static_cast<int>(wParam), static_cast<unsigned>(lParam & 0xFF));
        if (g_client.closeRace && g_client.raceStage == 0) {
            g_client.raceStage = 1;
            HANDLE writer = CreateThread(nullptr, 0, WriteOnceClosing, nullptr, 0, nullptr);
            if (writer)
                CloseHandle(writer);
            Say("unregister %lu %d", Id(window), UnRegisterFromDLL(window));
        }
        return 0;
    case WM_SWITCH_ACTIVATE:
        Say("activate %lu %d %d", Id(window), static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        Say("mouse %s", message == WM_RBUTTONDOWN ? "rdown" : message == WM_RBUTTONUP ? "rup"
                        : message == WM_LBUTTONDOWN ? "ldown" : "lup");
        return 0;
    case WM_CLOSE:
        if (g_client.registerWindows)
            Say("unregister %lu %d", Id(window), g_client.port ? HwndRemovePort(window, g_client.port)
                                                                 : UnRegisterFromDLL(window));
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (--g_client.open == 0)
            PostQuitMessage(0);
        return 0;
    default:
        if (message >= kUnregister && message <= kHang)
            return OnCommand(window, message, wParam, lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WriteCommand(int argc, char** argv)
{
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        unsigned char bytes[512];
        size_t length = strlen(argv[i]) / 2;
        if (length > sizeof(bytes))
            length = sizeof(bytes);
        for (size_t k = 0; k < length; ++k) {
            char pair[3] = {argv[i][2 * k], argv[i][2 * k + 1], 0};
            bytes[k] = static_cast<unsigned char>(strtoul(pair, nullptr, 16));
        }
        DWORD started = GetTickCount();
        int result = WriteToPort(bytes, static_cast<DWORD>(length));
        Say("write %d %lu ms", result, static_cast<unsigned long>(GetTickCount() - started));
        failures += result != 1;
    }
    return failures;
}

int WriteExCommand(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    unsigned char byte = static_cast<unsigned char>(strtoul(argv[3], nullptr, 16));
    Say("writeex %d", WriteToPortEx(atoi(argv[2]), &byte, 1));
    return 0;
}

constexpr char kChurnStopEvent[] = "swibus_test_churn_stop";

// Handles every message for `ms` milliseconds.
void PumpFor(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    for (;;) {
        LONG left = static_cast<LONG>(end - GetTickCount());
        if (left <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Two windows registering, activating and unregistering at random every 10-70 ms until the stop
// event is set; then, once everyone has stopped, each window's registration is checked against
// what this process did with it.
int ChurnCommand(int argc, char** argv)
{
    srand(argc >= 3 ? static_cast<unsigned>(atoi(argv[2])) : 1u);
    g_client.quiet = true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SwibusChurn";
    RegisterClassA(&wc);
    HWND windows[2];
    for (HWND& w : windows)
        w = CreateWindowExA(0, "SwibusChurn", "churn", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                            wc.hInstance, nullptr);
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, kChurnStopEvent);
    Say("churning");
    bool registered[2] = {};
    int operations = 0;
    while (WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
        int w = rand() % 2;
        if (!registered[w]) {
            RegisterToDLL(windows[w]);
            registered[w] = true;
        } else if (rand() % 3 == 0) {
            UnRegisterFromDLL(windows[w]);
            registered[w] = false;
        } else {
            SetActiveHwnd(windows[w]);
        }
        ++operations;
        PumpFor(10 + rand() % 61);
    }
    PumpFor(2000);  // every other churner has stopped as well
    int lost = 0, extra = 0;
    for (int w = 0; w < 2; ++w) {
        bool listed = IsRegisteredToDLL(windows[w]) == 1;
        lost += registered[w] && !listed;
        extra += !registered[w] && listed;
    }
    Say("churn %d operations %d lost %d extra", operations, lost, extra);
    for (int w = 0; w < 2; ++w)
        if (registered[w])
            UnRegisterFromDLL(windows[w]);
    Say("churned");
    return 0;
}

int ChurnStopCommand()
{
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, kChurnStopEvent);
    SetEvent(stop);
    Say("stopped");
    Sleep(5000);  // the event lives while the churners still look at it
    return 0;
}

// The windows left in the current port's list.
int EntriesCommand()
{
    int entries = 0;
    for (int i = 0; i < 16; ++i)
        entries += GetActiveHwnd(i) != nullptr;
    Say("entries %d", entries);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "churn") == 0)
        return ChurnCommand(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "churnstop") == 0)
        return ChurnStopCommand();
    if (argc >= 2 && strcmp(argv[1], "entries") == 0)
        return EntriesCommand();
    if (argc >= 2 && strcmp(argv[1], "write") == 0)
        return WriteCommand(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "writeex") == 0)
        return WriteExCommand(argc, argv);

    const char* windowClass = "SwibusTestClient";
    int windows = 1;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--class") == 0 && i + 1 < argc)
            windowClass = argv[++i];
        else if (strcmp(argv[i], "--windows") == 0 && i + 1 < argc)
            windows = atoi(argv[++i]);
        else if (strcmp(argv[i], "--show") == 0)
            g_client.show = true;
        else if (strcmp(argv[i], "--close-race") == 0)
            g_client.closeRace = true;
        else if (strcmp(argv[i], "--no-register") == 0)
            g_client.registerWindows = false;
        else if (strcmp(argv[i], "--port") == 0 && i + 2 < argc) {
            g_client.port = atoi(argv[++i]);
            g_client.flags = atoi(argv[++i]);
        }
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = ClientWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = windowClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    for (int i = 0; i < windows; ++i) {
        HWND window = CreateWindowExA(0, windowClass, windowClass, WS_OVERLAPPEDWINDOW, 40 + 20 * i, 40 + 20 * i, 300,
                                      200, nullptr, nullptr, wc.hInstance, nullptr);
        if (!window)
            return 1;
        ++g_client.open;
        if (g_client.created < 64)
            g_client.windows[g_client.created++] = window;
        if (g_client.show)
            ShowWindow(window, SW_SHOWNORMAL);
        int result = 0;
        DWORD started = GetTickCount();
        if (g_client.registerWindows)
            result = g_client.port ? HwndGetPort(window, g_client.port, g_client.flags) : RegisterToDLL(window);
        Say("ready %lu %d %lu", Id(window), result, static_cast<unsigned long>(GetTickCount() - started));
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
