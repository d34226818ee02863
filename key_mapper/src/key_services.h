// What the key mapper asks of the port monitor and the joystick, behind interfaces so tests can stand in.
#pragma once
#include <windows.h>

#include "fennick/joystick_reader.h"
#include "fennick/port_monitor.h"

namespace fennick::key {

struct KeyServices {
    PortMonitor* port;
    JoystickReader* joystick;
};

}  // namespace fennick::key
