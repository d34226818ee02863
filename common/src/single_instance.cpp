// One running copy per program, guarded by a named mutex.
#include "fennick/win32_common.h"

namespace fennick {

static void showAlreadyRunning(void*)
{
    MessageBoxA(nullptr, kAlreadyRunningText, kAlreadyRunningCaption, MB_OK | MB_ICONWARNING);
}

bool ClaimSingleInstance(const char* mutexName, HANDLE* held, AlreadyRunningHandler handler, void* context)
{
    *held = nullptr;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName);
    DWORD error = GetLastError();
    bool running = (mutex && error == ERROR_ALREADY_EXISTS) || (!mutex && error == ERROR_ACCESS_DENIED);
    if (!running) {
        *held = mutex;
        return true;
    }
    if (mutex)
        CloseHandle(mutex);
    (handler ? handler : showAlreadyRunning)(context);
    return false;
}

}  // namespace fennick
