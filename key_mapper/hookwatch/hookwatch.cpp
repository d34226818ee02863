// Hookwatch.dll: reports window activations anywhere on the desktop to registered windows.
//
// Two watches, and the key mapper drops the second report of the same window:
//  - an out-of-context WinEvent hook on EVENT_SYSTEM_FOREGROUND. It runs in the caller's own thread
//    and sees every process, 64-bit ones included, without loading this DLL anywhere else. Wine 8
//    never raises that event, though (checked: no callback for any foreground change);
//  - under Wine only, a global WH_CBT hook reporting HCBT_ACTIVATE, loaded into every GUI process.
//    Not on Windows: there a 32-bit global hook is marshalled to the installing thread for every
//    64-bit program's window events (they would wait whenever the key mapper's thread is busy),
//    and it reports background activations that do not change the front window.
// The registered windows live in a section shared by every process that loads the DLL, because the
// CBT hook runs inside the process whose window is being activated.
#include "hookwatch.h"

#include <string.h>

namespace {

constexpr int kMaxWindows = 16;

struct SharedWatch {
    HWND windows[kMaxWindows];
    LONG count;
};

SharedWatch g_shared __attribute__((section(".shared"), shared)) = {};

// Per process: the module, the hooks this process set (the system removes them when it ends, so a
// process that crashed leaves none behind), the folder given.
struct LocalWatch {
    HINSTANCE module = nullptr;
    HWINEVENTHOOK winEvent = nullptr;
    HHOOK cbtHook = nullptr;
    char folder[MAX_PATH] = {};
};

LocalWatch g_local;

// Posted, never sent: a registered window that hangs must not hold up the activating process.
void report(HWND activated)
{
    if (!activated)
        return;  // Wine's desktop activates "no window" now and then
    for (LONG i = 0; i < g_shared.count && i < kMaxWindows; ++i) {
        if (g_shared.windows[i])
            PostMessageA(g_shared.windows[i], WM_HOOKWATCH_ACTIVATED, reinterpret_cast<WPARAM>(activated), 0);
    }
}

LRESULT CALLBACK cbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE)
        report(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK onForeground(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD, DWORD)
{
    if (event == EVENT_SYSTEM_FOREGROUND && object == OBJID_WINDOW)
        report(window);
}

// Wine does not raise the foreground WinEvent; Windows does, and there a global CBT hook would
// stall every 64-bit program's window events on this thread (a 32-bit hook is marshalled back to
// the installing thread) and report activations of background windows too.
bool winEventRaised()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
}

bool startWatch()
{
    if (!g_local.winEvent)
        g_local.winEvent = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, onForeground,
                                           0, 0, WINEVENT_OUTOFCONTEXT);
    if (!g_local.cbtHook && !winEventRaised())
        g_local.cbtHook = SetWindowsHookExA(WH_CBT, cbtProc, g_local.module, 0);
    return g_local.winEvent || g_local.cbtHook;
}

void stopWatch()
{
    if (g_local.winEvent)
        UnhookWinEvent(g_local.winEvent);
    g_local.winEvent = nullptr;
    if (g_local.cbtHook)
        UnhookWindowsHookEx(g_local.cbtHook);
    g_local.cbtHook = nullptr;
}

int indexOf(HWND window)
{
    for (LONG i = 0; i < g_shared.count && i < kMaxWindows; ++i) {
        if (g_shared.windows[i] == window)
            return static_cast<int>(i);
    }
    return -1;
}

void forget(int index)
{
    g_shared.windows[index] = g_shared.windows[g_shared.count - 1];
    g_shared.windows[--g_shared.count] = nullptr;
}

// Windows of this process (all of them, or only those destroyed already), and windows left behind
// by a process that ended without unregistering.
void forgetWindows(bool allOfThisProcess)
{
    DWORD self = GetCurrentProcessId();
    for (int i = static_cast<int>(g_shared.count) - 1; i >= 0; --i) {
        DWORD owner = 0;
        GetWindowThreadProcessId(g_shared.windows[i], &owner);
        if ((allOfThisProcess && owner == self) || !IsWindow(g_shared.windows[i]))
            forget(i);
    }
}

bool hasOwnWindows()
{
    DWORD self = GetCurrentProcessId();
    for (LONG i = 0; i < g_shared.count && i < kMaxWindows; ++i) {
        DWORD owner = 0;
        GetWindowThreadProcessId(g_shared.windows[i], &owner);
        if (owner == self)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int WINAPI InitializeHookwatchA(const char* folder)
{
    size_t length = folder ? strlen(folder) : 0;
    if (length >= sizeof(g_local.folder))
        length = 0;  // a folder we could not keep whole is not kept at all
    memcpy(g_local.folder, folder ? folder : "", length);
    g_local.folder[length] = '\0';
    return 1;
}

extern "C" int WINAPI RegisterCBTHook(HWND window)
{
    if (!window)
        return 0;
    if (indexOf(window) >= 0)
        return 1;
    forgetWindows(false);
    if (g_shared.count >= kMaxWindows || !startWatch())
        return 0;
    g_shared.windows[g_shared.count++] = window;
    return 1;
}

extern "C" int WINAPI UnRegisterCBTHook(HWND window)
{
    int index = indexOf(window);
    if (index < 0)
        return 0;
    forget(index);
    if (!hasOwnWindows())
        stopWatch();
    return 1;
}

extern "C" int WINAPI UnInitializeHookwatch(void)
{
    forgetWindows(true);
    stopWatch();
    g_local.folder[0] = '\0';
    return 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_local.module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
