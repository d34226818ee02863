// Benchmark host for the mouse emulator: the real bar on the real port monitor, with a pointer that
// timestamps every move it passes on to the system.
//   mouse_bench <x> <y> <idle_ms>
// Puts the pointer at (x, y), prints "start <ticks>", runs the bar until no move came for idle_ms
// (after the first one), then prints "moves <n>", one "t <ticks> <dx> <dy>" per move, and
// "pos <x> <y>" for where the pointer really is, and closes the bar the normal way.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "fennick/joystick_reader.h"
#include "mouse_window.h"

using namespace fennick::mouse;

namespace {

LONGLONG now()
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

struct Move {
    LONGLONG ticks;
    int dx, dy;
};

class TimedPointer final : public PointerDevice {
public:
    void moveBy(int dx, int dy) override
    {
        moves.push_back({now(), dx, dy});
        lastMove = GetTickCount();
        SystemPointer().moveBy(dx, dy);
    }
    void button(ButtonEvent event) override { SystemPointer().button(event); }
    std::vector<Move> moves;
    DWORD lastMove = 0;
};

TimedPointer g_pointer;
HWND g_bar = nullptr;
DWORD g_idleMs = 0;

void CALLBACK checkIdle(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_pointer.moves.empty() || GetTickCount() - g_pointer.lastMove < g_idleMs)
        return;
    POINT at = {0, 0};
    GetCursorPos(&at);
    printf("moves %u\n", static_cast<unsigned>(g_pointer.moves.size()));
    for (const Move& move : g_pointer.moves)
        printf("t %lld %d %d\n", move.ticks, move.dx, move.dy);
    printf("pos %ld %ld\n", at.x, at.y);
    fflush(stdout);
    g_pointer.moves.clear();
    PostMessageA(g_bar, WM_CLOSE, 0, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: mouse_bench <x> <y> <idle_ms>\n");
        return 2;
    }
    SetCursorPos(atoi(argv[1]), atoi(argv[2]));
    g_idleMs = strtoul(argv[3], nullptr, 10);
    g_pointer.moves.reserve(4096);
    MouseServices services{&fennick::SwibusPortMonitor(), &fennick::WinmmJoystick(), &g_pointer, &SystemCursorScheme()};
    g_bar = StartMouse(GetModuleHandleA(nullptr), SW_SHOWNOACTIVATE, services);
    if (!g_bar)
        return 3;
    SetTimer(nullptr, 0, 100, checkIdle);
    printf("start %lld\n", now());
    fflush(stdout);
    return RunMessageLoop();
}
