// Benchmark client: records when each switch byte arrives, either through swibus (a registered
// window) or through a raw overlapped read loop on the port, as performance-counter ticks.
//   port_monitor_bench client <count> <idle_ms>
//   port_monitor_bench raw <COMn> <count> <idle_ms> [forward]
//   port_monitor_bench listen <count> <idle_ms>
// "raw ... forward" hands each byte to the "listen" window of another process with SendMessage,
// the way swibus delivers it, so the cost of that delivery alone can be told apart.
// Prints "start <ticks>" when ready, then, after <count> bytes or <idle_ms> without a byte,
// "got <n>", "frequency <f>" and one "t <ticks> <hex>" line per byte.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "swibus.h"

namespace {

struct Arrival {
    LONGLONG ticks;
    unsigned char byte;
};

struct BenchState {
    HWND forwardTo = nullptr;
    std::vector<Arrival> arrivals;
    size_t wanted = 0;
    DWORD idleMs = 0;
    DWORD lastArrival = 0;
};
BenchState g_bench;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void Record(unsigned char byte)
{
    if (g_bench.forwardTo) {
        SendMessageA(g_bench.forwardTo, WM_SWITCH_BYTE, 1, byte);
        g_bench.arrivals.push_back({0, byte});
        g_bench.lastArrival = GetTickCount();
        return;
    }
    g_bench.arrivals.push_back({Now(), byte});
    g_bench.lastArrival = GetTickCount();
}

void Report()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    printf("got %u\nfrequency %lld\n", static_cast<unsigned>(g_bench.arrivals.size()), frequency.QuadPart);
    for (const Arrival& a : g_bench.arrivals)
        printf("t %lld %02x\n", a.ticks, a.byte);
    fflush(stdout);
}

bool Finished()
{
    if (g_bench.arrivals.size() >= g_bench.wanted)
        return true;
    return GetTickCount() - g_bench.lastArrival > g_bench.idleMs;
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SWITCH_BYTE) {
        Record(static_cast<unsigned char>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RunClient(bool registerWindow)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PortMonitorBench";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "bench", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (registerWindow && RegisterToDLL(window) != 1)
        return 3;
    printf("start %lld\n", Now());
    fflush(stdout);
    g_bench.lastArrival = GetTickCount();
    SetTimer(window, 1, 50, nullptr);
    MSG message;
    while (!Finished() && GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    if (registerWindow)
        UnRegisterFromDLL(window);
    Report();
    DestroyWindow(window);
    return 0;
}

// The baseline: what a program reading the port itself sees, with the same overlapped wait.
int RunRaw(const char* name)
{
    HANDLE port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                              nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return 4;
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(port, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(port, &dcb);
    COMMTIMEOUTS timeouts = {0, 0, 0, 2, 0};  // a read of one byte completes when it arrives
    SetCommTimeouts(port, &timeouts);
    OVERLAPPED read = {};
    read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    printf("start %lld\n", Now());
    fflush(stdout);
    g_bench.lastArrival = GetTickCount();
    while (!Finished()) {
        unsigned char buffer[80];
        DWORD got = 0;
        ResetEvent(read.hEvent);
        if (!ReadFile(port, buffer, 1, &got, &read)) {
            if (GetLastError() != ERROR_IO_PENDING)
                break;
            if (WaitForSingleObject(read.hEvent, 200) == WAIT_TIMEOUT) {
                CancelIo(port);
                WaitForSingleObject(read.hEvent, 1000);
            }
            if (!GetOverlappedResult(port, &read, &got, FALSE))
                got = 0;
        }
        for (DWORD i = 0; i < got; ++i)
            Record(buffer[i]);
        // Then whatever else of the burst is already queued.
        DWORD errors = 0;
        COMSTAT status;
        while (got && ClearCommError(port, &errors, &status) && status.cbInQue) {
            DWORD wanted = status.cbInQue < sizeof(buffer) ? status.cbInQue : sizeof(buffer);
            ResetEvent(read.hEvent);
            if (!ReadFile(port, buffer, wanted, &got, &read) &&
                (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(port, &read, &got, TRUE)))
                break;
            for (DWORD i = 0; i < got; ++i)
                Record(buffer[i]);
        }
    }
    CloseHandle(port);
    Report();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && strcmp(argv[1], "client") == 0) {
        g_bench.wanted = strtoul(argv[2], nullptr, 10);
        g_bench.idleMs = strtoul(argv[3], nullptr, 10);
        g_bench.arrivals.reserve(g_bench.wanted);
        return RunClient(true);
    }
    if (argc >= 4 && strcmp(argv[1], "listen") == 0) {
        g_bench.wanted = strtoul(argv[2], nullptr, 10);
        g_bench.idleMs = strtoul(argv[3], nullptr, 10);
        g_bench.arrivals.reserve(g_bench.wanted);
        return RunClient(false);
    }
    if (argc >= 5 && strcmp(argv[1], "raw") == 0) {
        g_bench.wanted = strtoul(argv[3], nullptr, 10);
        g_bench.idleMs = strtoul(argv[4], nullptr, 10);
        g_bench.arrivals.reserve(g_bench.wanted);
        if (argc >= 6 && strcmp(argv[5], "forward") == 0) {
            g_bench.forwardTo = FindWindowA("PortMonitorBench", nullptr);
            if (!g_bench.forwardTo)
                return 5;
        }
        return RunRaw(argv[2]);
    }
    fprintf(stderr, "usage: port_monitor_bench client <count> <idle_ms> | raw <COMn> <count> <idle_ms>\n");
    return 2;
}
