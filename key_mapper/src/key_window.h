// The key mapper's invisible main window: start-up, messages, shut-down.
#pragma once
#include <windows.h>

#include <string>

#include "key_services.h"
#include "profile_rules.h"

namespace fennick::key {

inline constexpr char kWindowClass[] = "FennickKey";
inline constexpr char kInstanceMutex[] = "FennickKey";
inline constexpr UINT WM_FOREGROUND_CHANGED = 0x80C8;  // WM_APP + 200, wParam = top-level window
inline constexpr UINT WM_ACTIVATION_REPORT = 0x87EE;   // WM_APP + 2030, from Hookwatch.dll
inline constexpr UINT IDM_OPEN_SETTINGS = 127;
inline constexpr ULONG_PTR kCopyProfilePath = 1;

struct StartOptions {
    bool silent = false;
    std::string profilePath;  // from the command line; empty for none
};

// Start-up after the single-instance claim: settings, language, window, hooks, links, port,
// joystick, tray icon and the start profile. Returns the main window, or null.
HWND StartKeyMapper(HINSTANCE instance, const StartOptions& options, const KeyServices& services);
// Runs until WM_QUIT, then releases what start-up took; returns WM_QUIT's code.
int RunKeyMapper();

// What the key mapper holds, for tests.
struct KeySnapshot {
    std::string currentProfile;
    std::string language;
    ButtonTable table;
};
KeySnapshot CurrentKeyMapper();

}  // namespace fennick::key
