// The port monitor calls the show makes, and the show's outside actions, behind interfaces tests can watch.
#pragma once
#include <windows.h>

namespace fennick::show {

class PortMonitor {
public:
    virtual ~PortMonitor() = default;
    virtual int isRegistered(HWND window) = 0;
    virtual int registerWindow(HWND window) = 0;
    virtual int unregisterWindow(HWND window) = 0;
    virtual int showSettings() = 0;
};

// The real one: the swibus exports, linked by import.
PortMonitor& SwibusPortMonitor();

// Sounds and programs: what leaves the show for the sound system and the shell.
class OutsideActions {
public:
    virtual ~OutsideActions() = default;
    virtual void playSound(const char* path) = 0;
    virtual void runProgram(const char* path) = 0;
};

// PlaySoundA, and WinExec with ShellExecuteA for documents.
OutsideActions& SystemActions();

}  // namespace fennick::show
