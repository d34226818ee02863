// The suite soak's witness and hands inside the Wine session, one long-lived process so that no look
// costs a program start (0.3-1 s each under emulation).
//   soak_agent <path of swibus.dll>
// Prints "ready <ticks>" once its hooks and windows are up. Every key and mouse-button event any program
// makes is printed as it happens, stamped with the performance counter (CLOCK_MONOTONIC_RAW in
// 100 ns units under Wine):
//   key d|u <vk hex> i|r <ticks>           (i: injected, r: real input)
//   btn d|u l|r|m <x> <y> i|r <ticks>
// It reads one command per line on standard input and answers each with one line starting "= ":
//   windows                 "= <app A> <app B> <target> <target left top right bottom>"
//   front <hwnd>            brings the window to the front: "= 1" when it got there, else "= 0"
//   activate <hwnd>         SetActiveHwnd of the port monitor library: "= <result>"
//   setpos <x> <y> / pos    the pointer: "= x y"
//   ping <hwnd>             SendMessageTimeout(WM_NULL, abort if hung, 2 s): "= 1 <ms>" or "= 0 <ms>"
//   stats <image>...        per running process of these image names (case ignored), fields
//                           separated by blanks, processes by " ; ":
//                           name pid windows gdi guiUser guiGdi privateKiB handles
//   gdiselftest             the GDI count of this process before and after making 10 brushes
//   boxes                   every visible dialog-class window: hwnd|process|title|texts, " ; " apart
//   keys                    the virtual keys the system holds down (GetAsyncKeyState), hex
//   quit
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "fennick/win32_common.h"

namespace {

CRITICAL_SECTION g_output;
HMODULE g_swibus = nullptr;
HWND g_appA = nullptr, g_appB = nullptr, g_target = nullptr;
DWORD g_mainThread = 0;
const UINT kCommandMessage = WM_APP + 1;

void say(const char* format, ...)
{
    EnterCriticalSection(&g_output);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
    LeaveCriticalSection(&g_output);
}

LONGLONG ticks()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        LONGLONG now = ticks();
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool up = wParam == WM_KEYUP || wParam == WM_SYSKEYUP;
        say("key %c %02lx %c %lld\n", up ? 'u' : 'd', static_cast<unsigned long>(key->vkCode),
            (key->flags & LLKHF_INJECTED) ? 'i' : 'r', now);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam != WM_MOUSEMOVE && wParam != WM_MOUSEWHEEL) {
        LONGLONG now = ticks();
        const MSLLHOOKSTRUCT* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        char direction = 0, button = 0;
        switch (wParam) {
        case WM_LBUTTONDOWN: direction = 'd'; button = 'l'; break;
        case WM_LBUTTONUP: direction = 'u'; button = 'l'; break;
        case WM_RBUTTONDOWN: direction = 'd'; button = 'r'; break;
        case WM_RBUTTONUP: direction = 'u'; button = 'r'; break;
        case WM_MBUTTONDOWN: direction = 'd'; button = 'm'; break;
        case WM_MBUTTONUP: direction = 'u'; button = 'm'; break;
        }
        if (direction)
            say("btn %c %c %ld %ld %c %lld\n", direction, button, mouse->pt.x, mouse->pt.y,
                (mouse->flags & LLMHF_INJECTED) ? 'i' : 'r', now);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool installHooks()
{
    return SetWindowsHookExA(WH_KEYBOARD_LL, keyboardHook, GetModuleHandleA(nullptr), 0)
           && SetWindowsHookExA(WH_MOUSE_LL, mouseHook, GetModuleHandleA(nullptr), 0);
}

LRESULT CALLBACK appProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE)
        return 0;  // only the agent's end closes them
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow(const char* className, const char* title, int x, int y, int width, int height)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    fennick::RegisterMainWindowClass(instance, className, appProc, nullptr,
                                     static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), nullptr, CS_DBLCLKS);
    return CreateWindowA(className, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                         instance, nullptr);
}

bool makeWindows()
{
    g_appA = makeWindow("SoakAppA", "Soak application A", 420, 120, 320, 160);
    g_appB = makeWindow("SoakAppB", "Soak application B", 460, 320, 320, 160);
    g_target = makeWindow("SoakTarget", "Soak pointer target", 300, 200, 600, 400);
    return g_appA && g_appB && g_target;
}

// Only reads standard input: the commands run on the main thread with the hooks and windows (under
// emulation a second thread that makes windows or hooks has brought the process down).
DWORD WINAPI readerThread(void*)
{
    char line[1024];
    while (fgets(line, sizeof(line), stdin)) {
        char* copy = _strdup(line);
        while (!PostThreadMessageA(g_mainThread, kCommandMessage, 0, reinterpret_cast<LPARAM>(copy)))
            Sleep(10);
    }
    PostThreadMessageA(g_mainThread, WM_QUIT, 0, 0);
    return 0;
}

HWND handleOf(const char* text) { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(strtoull(text, nullptr, 0))); }

struct WindowCount {
    DWORD pid;
    int count;
};

BOOL CALLBACK countChild(HWND, LPARAM context)
{
    ++reinterpret_cast<WindowCount*>(context)->count;
    return TRUE;
}

void countTree(HWND window, WindowCount* counter)
{
    ++counter->count;
    EnumChildWindows(window, countChild, reinterpret_cast<LPARAM>(counter));
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM context)
{
    WindowCount* counter = reinterpret_cast<WindowCount*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == counter->pid)
        countTree(window, counter);
    return TRUE;
}

// Windows of the process: top-level ones with their children, and message-only ones.
int windowCount(DWORD pid)
{
    WindowCount counter = {pid, 0};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&counter));
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            countTree(window, &counter);
    }
    return counter.count;
}

// Wine keeps each process's GDI objects in a handle table the PEB points to (GdiSharedHandleTable,
// at 0x94 in a 32-bit PEB), one 24-byte entry per handle: a non-zero type byte at offset 14 marks a
// live object, bit 7 of byte 12 a stock one. Counted here: live objects that are not stock.
int gdiCount(HANDLE process)
{
    typedef NTSTATUS(WINAPI * QueryProc)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    QueryProc query = reinterpret_cast<QueryProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return -1;
    DWORD table = 0;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<char*>(basic.PebBaseAddress) + 0x94, &table, sizeof(table), &got)
        || !table)
        return -2;
    const size_t kEntry = 24, kChunk = 4096, kMaxEntries = 0x10000;
    std::vector<unsigned char> chunk(kEntry * kChunk);
    int live = 0;
    for (size_t first = 0; first < kMaxEntries; first += kChunk) {
        if (!ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<ULONG_PTR>(table) + first * kEntry),
                               chunk.data(), chunk.size(), &got))
            break;
        bool anyUsed = false;
        for (size_t i = 0; i < kChunk; ++i) {
            const unsigned char* entry = &chunk[i * kEntry];
            bool everUsed = false;
            for (size_t b = 0; b < kEntry; ++b)
                everUsed |= entry[b] != 0;
            anyUsed |= everUsed;
            if (entry[14] != 0 && !(entry[12] & 0x80))
                ++live;
        }
        if (!anyUsed)
            break;  // entries are handed out from the bottom: nothing was ever used beyond
    }
    return live;
}

// Committed private memory, as the process's own address space shows it (heaps, stacks, private
// allocations), walked with VirtualQueryEx.
unsigned long privateKiB(HANDLE process)
{
    unsigned long long total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (char* at = nullptr; VirtualQueryEx(process, at, &info, sizeof(info)) == sizeof(info);) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        char* next = static_cast<char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return static_cast<unsigned long>(total / 1024);
}

struct MemoryQuery {
    HANDLE process;
    unsigned long kib;
};

DWORD WINAPI memoryThread(void* context)
{
    MemoryQuery* query = static_cast<MemoryQuery*>(context);
    query->kib = privateKiB(query->process);
    return 0;
}

// A remote VirtualQueryEx runs inside the target process under Wine: a process that hangs would hang
// the agent with it, so the walk runs on a thread given 5 s. -1: the process did not let it finish.
long privateKiBBounded(HANDLE process)
{
    MemoryQuery* query = new MemoryQuery{process, 0};
    HANDLE thread = CreateThread(nullptr, 0, memoryThread, query, 0, nullptr);
    if (!thread)
        return -1;
    if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0) {
        CloseHandle(thread);
        return -1;  // the query and its thread are left behind on purpose: the thread may still use them
    }
    CloseHandle(thread);
    long kib = static_cast<long>(query->kib);
    delete query;
    return kib;
}

std::string processStats(const PROCESSENTRY32& entry)
{
    char line[512];
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID);
    if (!process) {
        snprintf(line, sizeof(line), "%s %lu open-failed", entry.szExeFile, entry.th32ProcessID);
        return line;
    }
    SetLastError(0);
    DWORD guiUser = GetGuiResources(process, GR_USEROBJECTS);
    DWORD guiGdi = GetGuiResources(process, GR_GDIOBJECTS);
    DWORD guiError = GetLastError();
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    long kib = privateKiBBounded(process);
    snprintf(line, sizeof(line), "%s %lu %d %d %lu %lu/%lu %ld %lu", entry.szExeFile, entry.th32ProcessID,
             windowCount(entry.th32ProcessID), gdiCount(process), guiUser, guiGdi, guiError, kib, handles);
    if (kib >= 0)
        CloseHandle(process);
    return line;
}

void stats(const std::vector<std::string>& names)
{
    std::string out;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        for (const std::string& name : names) {
            if (_stricmp(name.c_str(), entry.szExeFile) == 0) {
                out += (out.empty() ? "" : " ; ") + processStats(entry);
                break;
            }
        }
    }
    CloseHandle(snapshot);
    say("= %s\n", out.c_str());
}

void gdiSelfTest()
{
    HANDLE self = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId());
    int before = gdiCount(self);
    HBRUSH brushes[10];
    for (HBRUSH& brush : brushes)
        brush = CreateSolidBrush(RGB(1, 2, 3));
    int during = gdiCount(self);
    for (HBRUSH brush : brushes)
        DeleteObject(brush);
    int after = gdiCount(self);
    CloseHandle(self);
    say("= %d %d %d\n", before, during, after);
}

struct Boxes {
    std::string text;
};

BOOL CALLBACK childText(HWND child, LPARAM context)
{
    char text[256] = {};
    GetWindowTextA(child, text, sizeof(text));
    if (text[0]) {
        std::string* out = reinterpret_cast<std::string*>(context);
        *out += " ";
        *out += text;
    }
    return TRUE;
}

BOOL CALLBACK findBox(HWND window, LPARAM context)
{
    char className[64] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof(className));
    if (strcmp(className, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    GetWindowTextA(window, title, sizeof(title));
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::string texts;
    EnumChildWindows(window, childText, reinterpret_cast<LPARAM>(&texts));
    for (char& c : texts)
        c = (c == '\r' || c == '\n' || c == ';' || c == '|') ? ' ' : c;
    char head[400];
    snprintf(head, sizeof(head), "%lu|%lu|%s|", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)), pid,
             title);
    Boxes* boxes = reinterpret_cast<Boxes*>(context);
    boxes->text += (boxes->text.empty() ? "" : " ; ") + std::string(head) + texts;
    return TRUE;
}

bool bringToFront(HWND window)
{
    for (int i = 0; i < 100; ++i) {
        SetForegroundWindow(window);
        if (GetForegroundWindow() == window)
            return true;
        Sleep(50);
    }
    return false;
}

void command(char* line)
{
    char* words[16] = {};
    int count = 0;
    for (char* word = strtok(line, " \t\r\n"); word && count < 16; word = strtok(nullptr, " \t\r\n"))
        words[count++] = word;
    if (count == 0)
        return;
    const char* verb = words[0];
    if (strcmp(verb, "windows") == 0) {
        RECT r;
        GetWindowRect(g_target, &r);
        say("= %lu %lu %lu %ld %ld %ld %ld\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(g_appA)),
            static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(g_appB)),
            static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(g_target)), r.left, r.top, r.right, r.bottom);
    } else if (strcmp(verb, "front") == 0 && count >= 2) {
        say("= %d\n", bringToFront(handleOf(words[1])) ? 1 : 0);
    } else if (strcmp(verb, "activate") == 0 && count >= 2) {
        typedef int(WINAPI * SetActiveProc)(HWND);
        SetActiveProc setActive =
            reinterpret_cast<SetActiveProc>(reinterpret_cast<void*>(GetProcAddress(g_swibus, "SetActiveHwnd")));
        say("= %d\n", setActive ? setActive(handleOf(words[1])) : -100);
    } else if (strcmp(verb, "setpos") == 0 && count >= 3) {
        SetCursorPos(atoi(words[1]), atoi(words[2]));
        POINT at;
        GetCursorPos(&at);
        say("= %ld %ld\n", at.x, at.y);
    } else if (strcmp(verb, "pos") == 0) {
        POINT at;
        GetCursorPos(&at);
        say("= %ld %ld\n", at.x, at.y);
    } else if (strcmp(verb, "ping") == 0 && count >= 2) {
        DWORD_PTR result = 0;
        DWORD started = GetTickCount();
        LRESULT ok = SendMessageTimeoutA(handleOf(words[1]), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
        say("= %d %lu\n", ok ? 1 : 0, GetTickCount() - started);
    } else if (strcmp(verb, "stats") == 0) {
        std::vector<std::string> names(words + 1, words + count);
        stats(names);
    } else if (strcmp(verb, "gdiselftest") == 0) {
        gdiSelfTest();
    } else if (strcmp(verb, "boxes") == 0) {
        Boxes boxes;
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&boxes));
        say("= %s\n", boxes.text.c_str());
    } else if (strcmp(verb, "keys") == 0) {
        std::string held;
        for (int vk = 1; vk < 256; ++vk) {
            if (GetAsyncKeyState(vk) & 0x8000) {
                char hex[8];
                snprintf(hex, sizeof(hex), " %02x", vk);
                held += hex;
            }
        }
        say("=%s\n", held.c_str());
    } else if (strcmp(verb, "quit") == 0) {
        say("= bye\n");
        ExitProcess(0);
    } else {
        say("= error unknown command %s\n", verb);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    InitializeCriticalSection(&g_output);
    if (argc < 2)
        return 2;
    g_swibus = LoadLibraryA(argv[1]);
    if (!g_swibus)
        return 5;
    if (!installHooks() || !makeWindows())
        return 3;
    g_mainThread = GetCurrentThreadId();
    HANDLE reader = CreateThread(nullptr, 0, readerThread, nullptr, 0, nullptr);
    if (!reader)
        return 4;
    say("ready %lld\n", ticks());
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!message.hwnd && message.message == kCommandMessage) {
            char* line = reinterpret_cast<char*>(message.lParam);
            command(line);
            free(line);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
