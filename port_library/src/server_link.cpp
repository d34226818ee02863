// Finding and starting the server program, and sending it requests.
#include "shared_block.h"

#include <shellapi.h>
#include <string.h>

#include "fennick/win32_common.h"
#include "swibus.h"

namespace swibus {

namespace {

void WaitHandlingSentMessages(HANDLE mutex)
{
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &mutex, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED_0)
            return;  // an abandoned mutex is ours as well
        if (woke != WAIT_OBJECT_0 + 1)
            return;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

RegistryMutex::RegistryMutex() : handle_(CreateMutexA(nullptr, FALSE, kMutexName))
{
    if (handle_)
        WaitHandlingSentMessages(handle_);
}

RegistryMutex::~RegistryMutex()
{
    if (handle_) {
        ReleaseMutex(handle_);
        CloseHandle(handle_);
    }
}

DWORD RegistryMutex::sendTimeLeft(DWORD boundMs)
{
    if (!sending_) {
        sending_ = true;
        sendStart_ = GetTickCount();
    }
    DWORD spent = GetTickCount() - sendStart_;
    return spent < boundMs ? boundMs - spent : 0;
}

HWND FindServerWindow()
{
    return FindWindowA(kServerClass, nullptr);
}

// The server lives beside the library; start it by full path when it is there, so a client whose
// current folder is elsewhere (or whose own folder differs from the library's) still finds it.
bool StartServerProgram(int failureBelow)
{
    char path[MAX_PATH];
    const char* file = kServerProgram;
    if (fennick::ModuleFolder(g_process.module, path, sizeof(path)) &&
        strlen(path) + sizeof(kServerProgram) <= sizeof(path)) {
        strcat(path, kServerProgram);
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            file = path;
    }
    HINSTANCE result = ShellExecuteA(nullptr, nullptr, file, kServerParameter, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) >= failureBelow;
}

namespace {

constexpr DWORD kServerPingBoundMs = 1000;

// Whether the process behind this window runs the server program (not some other program that
// took its window class): only that one may be ended when it hangs.
bool IsServerProcess(HANDLE process)
{
    char image[MAX_PATH];
    DWORD size = sizeof(image);
    if (!QueryFullProcessImageNameA(process, 0, image, &size))
        return false;
    const char* name = strrchr(image, '\\');
    name = name ? name + 1 : image;
    return lstrcmpiA(name, kServerProgram) == 0;
}

// A server that stopped answering holds nothing the others need any more: its window is forgotten,
// the ports it had open count as closed (the next registration opens them in a fresh server), it
// is told to quit should it ever wake up, and a hung server program is ended so it frees the port.
void ForgetServer(HWND server)
{
    InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_shared.ServerWindow), nullptr, server);
    DWORD pid = 0;
    if (IsWindow(server) && GetWindowThreadProcessId(server, &pid) && pid != GetCurrentProcessId()) {
        PostMessageA(server, WM_SERVER_QUIT, 0, 0);
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
            if (IsServerProcess(process)) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 2000);
            }
            CloseHandle(process);
        }
    }
    ForgetOpenPorts();
}

}  // namespace

void ForgetOpenPorts()
{
    for (int port = 1; port <= kPortCount; ++port) {
        PortRecord& rec = portRecord(port);
        rec.Connected = 0;
        rec.Comm = INVALID_HANDLE_VALUE;  // handles of a process that is gone
        rec.Thread = nullptr;
        rec.ThreadDone = nullptr;
    }
}

HWND LiveServerWindow()
{
    HWND server = g_shared.ServerWindow;
    if (server && IsWindow(server))
        return server;
    server = FindServerWindow();
    g_shared.ServerWindow = server;
    return server;
}

ServerReply SendToServer(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND server = LiveServerWindow();
    if (!server)
        return ServerReply::Gone;
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutA(server, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kServerSendBoundMs,
                            &ignored))
        return ServerReply::Answered;
    // Slow is not gone: a close waits for its reader and still answers other messages meanwhile.
    // A server that does not even take an empty message is hung (or stopped) and counts as gone.
    if (IsWindow(server) && SendMessageTimeoutA(server, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                                kServerPingBoundMs, &ignored))
        return ServerReply::Slow;
    ForgetServer(server);
    return ServerReply::Gone;
}

}  // namespace swibus
