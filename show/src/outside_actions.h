// What leaves the show for the sound system and the shell, behind an interface tests can watch.
#pragma once

namespace fennick::show {

// Sounds and programs.
class OutsideActions {
public:
    virtual ~OutsideActions() = default;
    virtual void playSound(const char* path) = 0;
    virtual void runProgram(const char* path) = 0;
};

// PlaySoundA, and WinExec with ShellExecuteA for documents.
OutsideActions& SystemActions();

}  // namespace fennick::show
