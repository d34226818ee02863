// Finding and starting the server program, and sending it requests.
#include "shared_block.h"

#include <shellapi.h>
#include <string.h>

#include "fennick/win32_common.h"

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

void SendToServer(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND server = g_shared.ServerWindow;
    if (!server || !IsWindow(server)) {
        server = FindServerWindow();
        if (!server)
            return;
        g_shared.ServerWindow = server;
    }
    SendMessageA(server, message, wParam, lParam);
}

}  // namespace swibus
