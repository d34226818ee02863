// Joystick 1 as every program of the suite reads it: capture, capabilities, one reading per poll.
// Tests replace the winmm reader with scripted readings (there is no joystick under Wine here).
#pragma once
#include <windows.h>

#include "fennick/joystick.h"

namespace fennick {

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

}  // namespace fennick
