// Looks at and pokes windows from outside, for end-to-end tests driven from Linux.
//   probe find <class|-> [title|-]            print the window handle (decimal) or 0
//   probe wait <class|-> [title|-] <ms>       like find, but waits up to ms; exit 1 when absent
//   probe text <hwnd> [control id]            print the window's or the control's text
//   probe send <hwnd> <msg> <wparam> <lparam> SendMessage, print the result
//   probe post <hwnd> <msg> <wparam> <lparam> PostMessage
//   probe click <hwnd> <control id>           post BM_CLICK to the dialog control
//   probe settext <hwnd> <control id> <text>  set a control's text
//   probe children <hwnd>                     list child windows: handle id class text
//   probe wait-gone <hwnd> <ms>               wait until the window no longer exists
//   probe client-rect <hwnd>                  the client area in screen coordinates: left top right bottom
//   probe count <class|-> <title|->           how many top-level windows have that class and title
//   probe state <hwnd>                        "enabled" or "disabled", then "visible" or "hidden"
//   probe desktop                             start the desktop process if it is not up; print its
//                                             process id (0 and exit 1 when no live process owns
//                                             the desktop window), the X id of its clip window and
//                                             the desktop window
//   probe hold [file]                         keep the desktop (and so its process) up until ended;
//                                             drop the clip window id of a desktop process that died;
//                                             set the file's time at every round
// Numbers may be decimal or 0x-hex.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

static ULONG_PTR number(const char* text) { return static_cast<ULONG_PTR>(strtoull(text, nullptr, 0)); }
static HWND handle(const char* text) { return reinterpret_cast<HWND>(number(text)); }
static const char* orNull(const char* text) { return strcmp(text, "-") == 0 ? nullptr : text; }

static BOOL CALLBACK printChild(HWND child, LPARAM)
{
    char className[64] = {}, text[256] = {};
    GetClassNameA(child, className, sizeof(className));
    GetWindowTextA(child, text, sizeof(text));
    printf("%lu %d %s %s\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(child)), GetDlgCtrlID(child),
           className, text);
    return TRUE;
}

// Where Wine's desktop process keeps the id of its cursor-clip X window, which every program reads.
static const char kClipWindowProperty[] = "__wine_x11_clip_window";

// The live process that owns the desktop window, or 0. A desktop process that died while others
// still use the desktop leaves its window behind, owned by nobody, and is not started again; the
// clip window its X connection made is gone with it.
static DWORD desktopOwner(HWND desktop)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(desktop, &pid);
    if (!pid || pid == GetCurrentProcessId())
        return 0;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return 0;
    bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive ? pid : 0;
}

struct Count {
    const char* className;
    const char* title;
    int found;
};

static BOOL CALLBACK countWindow(HWND window, LPARAM context)
{
    Count* count = reinterpret_cast<Count*>(context);
    char className[256] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, title, sizeof(title));
    if ((!count->className || strcmp(className, count->className) == 0) && (!count->title || strcmp(title, count->title) == 0))
        ++count->found;
    return TRUE;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const char* verb = argv[1];
    if (strcmp(verb, "desktop") == 0) {
        // Wine starts its desktop process for the first program that asks for the desktop window;
        // asking here lets that process inherit this probe's output rather than a test program's.
        HWND desktop = GetDesktopWindow();
        DWORD owner = desktopOwner(desktop);
        printf("%lu %lu %lu\n", static_cast<unsigned long>(owner),
               static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(GetPropA(desktop, kClipWindowProperty))),
               static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(desktop)));
        return owner ? 0 : 1;
    }
    if (strcmp(verb, "hold") == 0) {
        // Wine ends the desktop process about a second after the last program on the desktop has
        // ended, and starts a new one with the next: held, it starts once per session. When it has
        // died (emulated Wine: at its start), its clip window's id is dropped: with no id Wine's
        // X11 driver skips the clip window, rather than take down one that is gone and end the
        // program with an X error.
        // With a file named, its time is set at every round: the session sees a holder that hangs
        // (emulated Wine: seen blocked for good in a call to the server) and starts another.
        const char* beat = argc >= 3 ? argv[2] : nullptr;
        for (;;) {
            HWND desktop = GetDesktopWindow();
            if (GetPropA(desktop, kClipWindowProperty) && !desktopOwner(desktop))
                RemovePropA(desktop, kClipWindowProperty);
            if (beat) {
                HANDLE file = CreateFileA(beat, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, 0, nullptr);
                if (file != INVALID_HANDLE_VALUE) {
                    FILETIME now;
                    GetSystemTimeAsFileTime(&now);
                    SetFileTime(file, nullptr, nullptr, &now);
                    CloseHandle(file);
                }
            }
            Sleep(250);
        }
    }
    if (strcmp(verb, "find") == 0 && argc >= 3) {
        HWND window = FindWindowA(orNull(argv[2]), argc >= 4 ? orNull(argv[3]) : nullptr);
        printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
        return 0;
    }
    if (strcmp(verb, "wait") == 0 && argc >= 4) {
        const char* title = argc >= 5 ? orNull(argv[3]) : nullptr;
        DWORD limit = static_cast<DWORD>(number(argv[argc - 1]));
        DWORD start = GetTickCount();
        do {
            HWND window = FindWindowA(orNull(argv[2]), title);
            if (window) {
                printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
                return 0;
            }
            Sleep(25);
        } while (GetTickCount() - start < limit);
        printf("0\n");
        return 1;
    }
    if (strcmp(verb, "wait-gone") == 0 && argc >= 4) {
        DWORD start = GetTickCount();
        while (IsWindow(handle(argv[2]))) {
            if (GetTickCount() - start > number(argv[3]))
                return 1;
            Sleep(25);
        }
        return 0;
    }
    if (strcmp(verb, "text") == 0 && argc >= 3) {
        HWND window = handle(argv[2]);
        if (argc >= 4)
            window = GetDlgItem(window, static_cast<int>(number(argv[3])));
        std::vector<char> text(65536);
        SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
        fwrite(text.data(), 1, strlen(text.data()), stdout);
        printf("\n");
        return window ? 0 : 1;
    }
    if ((strcmp(verb, "send") == 0 || strcmp(verb, "post") == 0) && argc >= 6) {
        HWND window = handle(argv[2]);
        UINT message = static_cast<UINT>(number(argv[3]));
        WPARAM wParam = static_cast<WPARAM>(number(argv[4]));
        LPARAM lParam = static_cast<LPARAM>(number(argv[5]));
        if (verb[0] == 's') {
            printf("%ld\n", static_cast<long>(SendMessageA(window, message, wParam, lParam)));
            return 0;
        }
        return PostMessageA(window, message, wParam, lParam) ? 0 : 1;
    }
    if (strcmp(verb, "click") == 0 && argc >= 4) {
        HWND control = GetDlgItem(handle(argv[2]), static_cast<int>(number(argv[3])));
        return control && PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
    }
    if (strcmp(verb, "settext") == 0 && argc >= 5) {
        HWND control = GetDlgItem(handle(argv[2]), static_cast<int>(number(argv[3])));
        return control && SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4])) ? 0 : 1;
    }
    if (strcmp(verb, "client-rect") == 0 && argc >= 3) {
        HWND window = handle(argv[2]);
        RECT client;
        if (!GetClientRect(window, &client))
            return 1;
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        printf("%ld %ld %ld %ld\n", origin.x, origin.y, origin.x + client.right, origin.y + client.bottom);
        return 0;
    }
    if (strcmp(verb, "count") == 0 && argc >= 4) {
        Count count = {orNull(argv[2]), orNull(argv[3]), 0};
        EnumWindows(countWindow, reinterpret_cast<LPARAM>(&count));
        printf("%d\n", count.found);
        return 0;
    }
    if (strcmp(verb, "state") == 0 && argc >= 3) {
        HWND window = handle(argv[2]);
        if (!IsWindow(window))
            return 1;
        printf("%s %s\n", IsWindowEnabled(window) ? "enabled" : "disabled", IsWindowVisible(window) ? "visible" : "hidden");
        return 0;
    }
    if (strcmp(verb, "children") == 0 && argc >= 3) {
        EnumChildWindows(handle(argv[2]), printChild, 0);
        return 0;
    }
    fprintf(stderr, "probe: bad arguments\n");
    return 2;
}
