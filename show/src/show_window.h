// The show's main window: start-up, the switch path from port, keyboard and joystick, drawing, shut-down.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

#include "fennick/joystick_reader.h"
#include "fennick/port_monitor.h"
#include "outside_actions.h"

namespace fennick::show {

inline constexpr const char kWindowClass[] = "FennickShow";
inline constexpr const char kInstanceMutex[] = "vlfennicksoft";
inline constexpr UINT_PTR kFadeTimer = 1;
inline constexpr UINT_PTR kJoystickTimer = 2;
inline constexpr unsigned kJoystickPeriodMs = 40;
// Just under two polls: fires only when the joystick messages stop.
inline constexpr UINT kJoystickWatchdogMs = 75;
inline constexpr int kCoveringChildId = 1;
// The style bits that full screen takes away: caption and sizing frame.
inline constexpr LONG kFramedStyle = WS_CAPTION | WS_THICKFRAME;

struct ShowServices {
    PortMonitor* port;
    JoystickReader* joystick;
    OutsideActions* actions;
};

// Start-up after the single-instance claim. Returns the main window, or null when it could not be created.
HWND StartShow(HINSTANCE instance, const ShowServices& services);
int RunMessageLoop();

// What the show holds, for tests.
struct ShowSnapshot {
    uint32_t model;
    int currentSlot;
    int32_t fadeMs;
    bool keyboard;
    COLORREF background;
    bool fullScreen;
    std::string profile;
    int pictureDraws;  // pictures drawn by a make (repaints not counted)
    int decodes;       // files decoded
    int lastLoad;      // what happened to the last picture a make drew (PictureLoad)
};
ShowSnapshot CurrentShow();

}  // namespace fennick::show
