// The system-wide screen watch hook and the one-shot mouse filter.
#include "shared_block.h"

namespace swibus {

namespace {

LRESULT CALLBACK CbtWatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        g_shared.MonitorOff = 0;
    } else if (code == HCBT_SYSCOMMAND) {
        WPARAM command = wParam & 0xFFF0;
        if (command == SC_MONITORPOWER && (lParam == 1 || lParam == 2))
            g_shared.MonitorOff = 1;
        else if (command == SC_SCREENSAVE)
            g_shared.SaverActive = 1;
    }
    return CallNextHookEx(g_shared.CbtHook, code, wParam, lParam);
}

LRESULT CALLBACK MouseFilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_LBUTTONDOWN) {
        HHOOK hook = reinterpret_cast<HHOOK>(
            InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_shared.MouseFilterHook), nullptr));
        if (hook) {
            mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
            mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
            UnhookWindowsHookEx(hook);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HMODULE LibraryModule()
{
    HMODULE module = GetModuleHandleA(kModuleName);
    return module ? module : g_process.module;
}

}  // namespace

bool InstallWatchHook()
{
    HHOOK hook = SetWindowsHookExA(WH_CBT, CbtWatchProc, LibraryModule(), 0);
    g_shared.CbtHook = hook;
    return hook != nullptr;
}

void RemoveWatchHook()
{
    HHOOK hook = g_shared.CbtHook;
    g_shared.CbtHook = nullptr;
    if (hook)
        UnhookWindowsHookEx(hook);
}

}  // namespace swibus

using namespace swibus;

// Exported as "_MouseFilter@4".
extern "C" int WINAPI MouseFilter(int on)
{
    if (!on) {
        HHOOK hook = reinterpret_cast<HHOOK>(
            InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_shared.MouseFilterHook), nullptr));
        if (hook)
            UnhookWindowsHookEx(hook);
        return 0;
    }
    if (g_shared.MouseFilterHook)
        return 0;
    HHOOK hook = SetWindowsHookExA(WH_MOUSE_LL, MouseFilterProc, LibraryModule(), 0);
    if (!hook)
        return 0;
    g_shared.MouseFilterHook = hook;
    return 1;
}
