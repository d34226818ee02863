// Benchmark witness: a low-level keyboard hook in its own process that stamps every injected key
// event with the performance counter.
//   key_latency_recorder <count> <idle_ms> [first_ms]
// Prints "start <ticks>" when the hook is in and "first <ticks>" soon after the first event (so the
// caller knows the keys come through), then, after <count> key-downs, <idle_ms> without an event
// or <first_ms> (default idle_ms) without any, "got <n>", "frequency <f>" and one
// "t <ticks> <vk hex> down|up" line per event.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

namespace {

struct Event {
    LONGLONG ticks;
    DWORD vk;
    bool down;
};

std::vector<Event> g_events;
size_t g_downs = 0;
DWORD g_lastEvent = 0;

LONGLONG now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        LONGLONG ticks = now();
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        if (key->flags & LLKHF_INJECTED) {
            g_events.push_back({ticks, key->vkCode, down});
            g_downs += down;
            g_lastEvent = GetTickCount();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    size_t wanted = strtoul(argv[1], nullptr, 10);
    DWORD idleMs = strtoul(argv[2], nullptr, 10);
    DWORD firstMs = argc > 3 ? strtoul(argv[3], nullptr, 10) : idleMs;
    g_events.reserve(wanted * 2 + 16);
    HHOOK keyboard = SetWindowsHookExA(WH_KEYBOARD_LL, hook, GetModuleHandleA(nullptr), 0);
    if (!keyboard)
        return 3;
    printf("start %lld\n", now());
    fflush(stdout);
    g_lastEvent = GetTickCount();
    SetTimer(nullptr, 0, 50, nullptr);
    MSG message;
    bool told = false;
    // Printing stays out of the hook, whose time is what is measured.
    while (g_downs < wanted && GetTickCount() - g_lastEvent < (g_events.empty() ? firstMs : idleMs) &&
           GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
        if (!told && !g_events.empty()) {
            printf("first %lld\n", g_events.front().ticks);
            fflush(stdout);
            told = true;
        }
    }
    UnhookWindowsHookEx(keyboard);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    printf("got %u\nfrequency %lld\n", static_cast<unsigned>(g_events.size()), frequency.QuadPart);
    for (const Event& e : g_events)
        printf("t %lld %02lx %s\n", e.ticks, static_cast<unsigned long>(e.vk), e.down ? "down" : "up");
    fflush(stdout);
    return 0;
}
