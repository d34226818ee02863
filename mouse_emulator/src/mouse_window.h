// The mouse emulator's button bar: start-up, message handling, options dialog and shut-down.
#pragma once
#include <windows.h>
#include <cstdint>

#include "motion_engine.h"
#include "mouse_services.h"
#include "mouse_settings.h"

namespace fennick::mouse {

inline constexpr const char kWindowClass[] = "KeyWndClass";
inline constexpr const char kWindowTitle[] = "FennickMouse";
inline constexpr const char kInstanceMutex[] = "vljoymove";
inline constexpr UINT_PTR kMotionTimer = 1;
inline constexpr UINT_PTR kDwellTimer = 2;
inline constexpr UINT kMotionMilliseconds = 50;
inline constexpr unsigned kJoystickPeriodMs = 10;
inline constexpr int kBarClientWidth = 152;
inline constexpr int kBarClientHeight = 40;

// Start-up after the single-instance claim: settings, bar, registration, joystick, motion timer,
// and a last-chance filter that lets go of held buttons and restores the cursors if the process
// dies. Returns the bar window, or null when it could not be made.
HWND StartMouse(HINSTANCE instance, int showCommand, const MouseServices& services);
int RunMessageLoop();

// A text of the string table in the language a user of `userLanguage` reads (English for all but
// Dutch and Italian). Returns the length; an empty text when the id is missing.
int LoadUiText(HINSTANCE module, UINT id, uint16_t userLanguage, char* out, int size);

// What the bar holds, for tests.
struct MouseSnapshot {
    MouseSettings settings;
    Direction direction;
    ClickMode clickMode;
    bool leftIsDown;
    bool rightIsDown;
    bool dwellActive;
    HWND options;
};
MouseSnapshot CurrentMouse();

}  // namespace fennick::mouse
