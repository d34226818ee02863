// FennickKey.exe: one instance (a second one hands its profile to the first), the key mapper, its loop.
#include <windows.h>

#include "fennick/win32_common.h"
#include "key_window.h"
#include "startup_rules.h"

namespace {

// Messages to another process never wait for ever on it.
constexpr UINT kHandOverTimeoutMs = 5000;

struct HandOver {
    const std::string* profilePath;
};

// The running instance gets the profile path, or is asked to open its settings dialog.
void handOver(void* context)
{
    const std::string& path = *static_cast<HandOver*>(context)->profilePath;
    HWND running = FindWindowA(fennick::key::kWindowClass, nullptr);
    if (!running)
        return;
    if (path.empty()) {
        // Posted: opening the dialog runs a modal loop inside the handler.
        PostMessageA(running, WM_COMMAND, fennick::key::IDM_OPEN_SETTINGS, 0);
        return;
    }
    COPYDATASTRUCT data = {};
    data.dwData = fennick::key::kCopyProfilePath;
    data.cbData = static_cast<DWORD>(path.size() + 1);
    data.lpData = const_cast<char*>(path.c_str());
    DWORD_PTR result = 0;
    SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                        kHandOverTimeoutMs, &result);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    using namespace fennick::key;
    char folder[MAX_PATH];
    if (!fennick::ProgramFolder(folder, sizeof(folder)))
        return 1;
    fennick::key::CommandLine parsed = ParseCommandLine(commandLine ? commandLine : "", folder);

    HANDLE instanceMutex = nullptr;
    HandOver handOverContext{&parsed.profilePath};
    if (!fennick::ClaimSingleInstance(kInstanceMutex, &instanceMutex, handOver, &handOverContext))
        return fennick::kExitAlreadyRunning;

    StartOptions options{parsed.silent, parsed.profilePath};
    KeyServices services{&fennick::SwibusPortMonitor(), &fennick::WinmmJoystick()};
    if (!StartKeyMapper(instance, options, services))
        return 1;
    int code = RunKeyMapper();
    if (instanceMutex)
        CloseHandle(instanceMutex);
    return code;
}
