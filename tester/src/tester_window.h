// The tester's main window: start-up, message handling, dialogs and shut-down.
#pragma once
#include <windows.h>
#include <cstdint>

#include "fennick/joystick_reader.h"
#include "fennick/port_monitor.h"

namespace fennick::tester {

inline constexpr const char kWindowClass[] = "FennickTest";
inline constexpr const char kInstanceMutex[] = "vlfennicktest";
inline constexpr UINT_PTR kQueryTimer = 1;
inline constexpr UINT kQueryMilliseconds = 1000;
inline constexpr unsigned kJoystickPeriodMs = 10;

struct TesterServices {
    PortMonitor* port;
    JoystickReader* joystick;
};

// Start-up after the single-instance claim: window, registration, joystick,
// device model and display mode (asking when they are not stored). Returns the
// main window, or null when it could not be created. A window the user closed
// while a question was open is returned too (no longer valid): the message loop
// then ends at once with the quit that the close posted.
HWND StartTester(HINSTANCE instance, int showCommand, const TesterServices& services);
int RunMessageLoop();

// What the window shows, for tests.
struct TesterSnapshot {
    uint32_t model;
    bool joystickMode;
    uint32_t state;
    bool querying;
    bool drawing;
};
TesterSnapshot CurrentTester();

// Draws the current shapes into any device context (the window's, or a bitmap in tests).
void PaintShapes(HDC dc);

}  // namespace fennick::tester
