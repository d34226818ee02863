// FennickMouse.exe: one instance, the button bar, its message loop.
#include <windows.h>

#include "fennick/win32_common.h"
#include "mouse_window.h"

namespace {

void showAlreadyRunning(void*)
{
    MessageBoxA(nullptr, fennick::kAlreadyRunningText, fennick::kAlreadyRunningCaption, MB_ICONWARNING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    using namespace fennick::mouse;
    HANDLE instanceMutex = nullptr;
    if (!fennick::ClaimSingleInstance(kInstanceMutex, &instanceMutex, showAlreadyRunning))
        return fennick::kExitAlreadyRunning;
    MouseServices services{&fennick::SwibusPortMonitor(), &fennick::WinmmJoystick(), &SystemPointer(), &SystemCursorScheme()};
    if (!StartMouse(instance, showCommand, services))
        return 0;
    int code = RunMessageLoop();
    if (instanceMutex)
        CloseHandle(instanceMutex);
    return code;
}
