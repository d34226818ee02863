// Joystick 1 through the multimedia joystick functions.
#include "fennick/joystick_reader.h"

#include <mmsystem.h>

namespace fennick {

// The record sizes the driver is told: older drivers check them.
static_assert(sizeof(JOYCAPSA) == 404, "joystick capabilities record");
static_assert(sizeof(JOYINFOEX) == 52, "joystick position record");

namespace {

class Winmm final : public JoystickReader {
public:
    bool capture(HWND window, unsigned periodMs) override
    {
        return joySetCapture(window, JOYSTICKID1, periodMs, FALSE) == JOYERR_NOERROR;
    }
    void release() override { joyReleaseCapture(JOYSTICKID1); }
    bool capabilities(JoystickRange* range) override
    {
        JOYCAPSA caps = {};
        if (joyGetDevCapsA(JOYSTICKID1, &caps, sizeof(caps)) != JOYERR_NOERROR)
            return false;
        *range = {caps.wXmin, caps.wXmax, caps.wYmin, caps.wYmax};
        return true;
    }
    bool read(JoystickReading* reading) override
    {
        JOYINFOEX info = {};
        info.dwSize = sizeof(info);
        info.dwFlags = JOY_RETURNX | JOY_RETURNY | JOY_RETURNBUTTONS;
        if (joyGetPosEx(JOYSTICKID1, &info) != JOYERR_NOERROR)
            return false;
        *reading = {info.dwXpos, info.dwYpos, info.dwButtons};
        return true;
    }
};

}  // namespace

JoystickReader& WinmmJoystick()
{
    static Winmm joystick;
    return joystick;
}

}  // namespace fennick
