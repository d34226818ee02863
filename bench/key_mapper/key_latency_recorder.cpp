// Benchmark witness: a low-level keyboard hook in its own process that stamps every injected key
// event with the performance counter.
//   key_latency_recorder <count> <idle_ms>
// Prints "start <ticks>" when the hook is in, then, after <count> key-downs or <idle_ms> without an
// event, "got <n>", "frequency <f>" and one "t <ticks> <vk hex> down|up" line per event.
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
    g_events.reserve(wanted * 2 + 16);
    HHOOK keyboard = SetWindowsHookExA(WH_KEYBOARD_LL, hook, GetModuleHandleA(nullptr), 0);
    if (!keyboard)
        return 3;
    printf("start %lld\n", now());
    fflush(stdout);
    g_lastEvent = GetTickCount();
    SetTimer(nullptr, 0, 50, nullptr);
    MSG message;
    while (g_downs < wanted && GetTickCount() - g_lastEvent < idleMs && GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    UnhookWindowsHookEx(keyboard);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    printf("got %u\nfrequency %lld\n", static_cast<unsigned>(g_events.size()), frequency.QuadPart);
    for (const Event& e : g_events)
        printf("t %lld %02lx %s\n", e.ticks, static_cast<unsigned long>(e.vk), e.down ? "down" : "up");
    fflush(stdout);
    return 0;
}
