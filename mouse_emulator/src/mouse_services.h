// What the mouse emulator's window reaches outside itself, behind interfaces so tests can watch it.
#pragma once
#include <windows.h>

#include <memory>

#include "fennick/joystick_reader.h"
#include "fennick/port_monitor.h"
#include "motion_engine.h"

namespace fennick::mouse {

// The system pointer: moves and button events at the pointer's position.
class PointerDevice {
public:
    virtual ~PointerDevice() = default;
    virtual void moveBy(int dx, int dy) = 0;
    virtual void button(ButtonEvent event) = 0;
};

// The system cursor scheme. Under Wine replacing a system cursor does nothing and the restore
// fails, so this is where tests see which cursor would be shown and when the scheme comes back.
class SystemCursors {
public:
    virtual ~SystemCursors() = default;
    virtual void show(HINSTANCE module, int cursorResource) = 0;
    virtual void restore() = 0;
};

struct MouseServices {
    PortMonitor* port;
    JoystickReader* joystick;
    PointerDevice* pointer;
    SystemCursors* cursors;
};

PointerDevice& SystemPointer();
SystemCursors& SystemCursorScheme();

// The scheme through another cursor setter than SetSystemCursor (tests: one that refuses).
using SetSystemCursorFunction = BOOL(WINAPI*)(HCURSOR cursor, DWORD id);
std::unique_ptr<SystemCursors> MakeSystemCursorScheme(SetSystemCursorFunction setCursor);

}  // namespace fennick::mouse
