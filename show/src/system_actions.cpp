// Sounds through PlaySoundA; programs through WinExec in their own folder, documents through the shell.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <string.h>

#include "outside_actions.h"

namespace fennick::show {

namespace {

class System final : public OutsideActions {
public:
    // A new sound cuts off the one playing; a missing file lets the system's default sound play.
    void playSound(const char* path) override { PlaySoundA(path, nullptr, SND_FILENAME | SND_ASYNC); }

    void runProgram(const char* path) override
    {
        char full[MAX_PATH], folder[MAX_PATH];
        char* namePart = nullptr;
        DWORD length = GetFullPathNameA(path, sizeof(full), full, &namePart);
        if (length == 0 || length >= sizeof(full))
            return;
        lstrcpynA(folder, full, sizeof(folder));
        if (namePart)
            folder[namePart - full] = '\0';
        char saved[MAX_PATH];
        DWORD savedLength = GetCurrentDirectoryA(sizeof(saved), saved);
        SetCurrentDirectoryA(folder);
        UINT started = WinExec(path, SW_SHOWNORMAL);
        if (savedLength > 0 && savedLength < sizeof(saved))
            SetCurrentDirectoryA(saved);
        if (started < 32)  // not a program: open it with its associated one
            ShellExecuteA(nullptr, nullptr, path, nullptr, folder, SW_SHOWNORMAL);
    }
};

}  // namespace

OutsideActions& SystemActions()
{
    static System system;
    return system;
}

}  // namespace fennick::show
