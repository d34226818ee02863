// What the key mapper asks of the port monitor and the joystick, behind interfaces so tests can stand in.
#pragma once
#include <windows.h>

#include "fennick/joystick_reader.h"

namespace fennick::key {

class PortMonitor {
public:
    virtual ~PortMonitor() = default;
    virtual int registerWindow(HWND window) = 0;
    virtual int unregisterWindow(HWND window) = 0;
    virtual int showSettings() = 0;
    virtual int write(const char* bytes, int count) = 0;
};

// The swibus exports, linked by import.
PortMonitor& SwibusPortMonitor();

struct KeyServices {
    PortMonitor* port;
    JoystickReader* joystick;
};

}  // namespace fennick::key
