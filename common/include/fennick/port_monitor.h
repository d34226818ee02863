// The port monitor calls a client program makes, behind an interface so tests can watch them.
#pragma once
#include <windows.h>

namespace fennick {

class PortMonitor {
public:
    virtual ~PortMonitor() = default;
    virtual int isRegistered(HWND window) = 0;
    virtual int registerWindow(HWND window) = 0;
    virtual int unregisterWindow(HWND window) = 0;
    virtual int showSettings() = 0;
    virtual int write(const char* bytes, int count) = 0;
};

// The real one: the swibus exports, linked by import (library fennick_port_client).
PortMonitor& SwibusPortMonitor();

}  // namespace fennick
