// FennickTest.exe: one instance, the tester window, its message loop.
#include <windows.h>

#include "fennick/win32_common.h"
#include "tester_window.h"

namespace {

void showAlreadyRunning(void*)
{
    MessageBoxA(nullptr, fennick::kAlreadyRunningText, fennick::kAlreadyRunningCaption, MB_OK | MB_ICONWARNING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    using namespace fennick;
    using namespace fennick::tester;
    HANDLE instanceMutex = nullptr;
    if (!fennick::ClaimSingleInstance(kInstanceMutex, &instanceMutex, showAlreadyRunning))
        return fennick::kExitAlreadyRunning;
    TesterServices services{&SwibusPortMonitor(), &WinmmJoystick()};
    if (!StartTester(instance, showCommand, services))
        return 1;
    int code = RunMessageLoop();
    if (instanceMutex)
        CloseHandle(instanceMutex);
    return code;
}
