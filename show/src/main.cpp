// FennickShow.exe: one instance, the show window, its message loop.
#include <windows.h>

#include "fennick/win32_common.h"
#include "show_window.h"

namespace {

void showAlreadyRunning(void*)
{
    MessageBoxA(nullptr, fennick::kAlreadyRunningText, fennick::kAlreadyRunningCaption, MB_OK | MB_ICONWARNING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    using namespace fennick::show;
    HANDLE instanceMutex = nullptr;
    if (!fennick::ClaimSingleInstance(kInstanceMutex, &instanceMutex, showAlreadyRunning))
        return fennick::kExitAlreadyRunning;
    ShowServices services{&fennick::SwibusPortMonitor(), &fennick::WinmmJoystick(), &SystemActions()};
    if (!StartShow(instance, services))
        return 1;
    int code = RunMessageLoop();
    if (instanceMutex)
        CloseHandle(instanceMutex);
    return code;
}
