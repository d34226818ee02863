// Joystick 1 as the tester reads it: capture, capabilities, one reading per poll.
#pragma once
#include <windows.h>

#include "tester_core.h"

namespace fennick::tester {

class JoystickReader {
public:
    virtual ~JoystickReader() = default;
    // Asks for MM_JOY1MOVE every periodMs, changed or not.
    virtual bool capture(HWND window, unsigned periodMs) = 0;
    virtual void release() = 0;
    virtual bool capabilities(JoystickRange* range) = 0;
    virtual bool read(JoystickReading* reading) = 0;
};

// The multimedia joystick functions of winmm.
JoystickReader& WinmmJoystick();

}  // namespace fennick::tester
