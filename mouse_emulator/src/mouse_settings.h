// The mouse emulator's registry settings: read once at start, written once at the end.
#pragma once
#include <windows.h>

namespace fennick::mouse {

inline constexpr const char kMouseKey[] = "SOFTWARE\\Velmora\\Fennick\\FennickMouse";
inline constexpr const char kDwellTimeValue[] = "DwellTime";
inline constexpr const char kCursorIntervalValue[] = "CursorInterval";
inline constexpr const char kIncreaseSpeedValue[] = "IncreaseSpeed";
inline constexpr const char kMethodValue[] = "Method";
inline constexpr const char kWindowTopValue[] = "WindowTop";
inline constexpr const char kWindowLeftValue[] = "WindowLeft";

struct MouseSettings {
    DWORD model = 0;
    DWORD dwellTime = 2000;
    DWORD cursorInterval = 1000;
    DWORD increaseSpeed = 1;
    DWORD method = 1;
    int windowLeft = 0;
    int windowTop = 0;
};

// FNType from the user's key, else the machine's (copied to the user's key); the rest from the
// program's key, with one set of defaults when the key is missing and another per missing value.
MouseSettings LoadMouseSettings();
// Writes every value; with the bar shown its current position is taken first.
void SaveMouseSettings(MouseSettings& settings, HWND bar);
// The bar's top-left corner in screen pixels where it is restored to, also while it is minimised
// (its own rectangle is then where the system parks it, off screen or in an icon slot).
bool BarRestoredCorner(HWND bar, POINT* corner);

}  // namespace fennick::mouse
