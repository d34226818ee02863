// The show's registry values and its profile files (".bd2").
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

#include "show_core.h"

namespace fennick::show {

// Under HKEY_CURRENT_USER; the subkey's name is also the program's string 1.
inline constexpr const char kShowKey[] = "SOFTWARE\\Velmora\\Fennick\\Fennickshow";
inline constexpr const char kCurProfileValue[] = "CurProfile";
inline constexpr const char kFadeValue[] = "MSecs";
inline constexpr const char kKeyboardValue[] = "EnableKeyb";
inline constexpr const char kBackgroundValue[] = "BackgroundCol";
inline constexpr const char kPlacementValue[] = "WindowPlacement";

struct ShowSettings {
    int32_t fadeMs = kFadeNever;
    bool keyboard = true;
    COLORREF background = RGB(255, 255, 255);
};

// Defaults first, then every value that is stored with the right type on top.
ShowSettings ReadShowSettings();
bool WriteShowSettings(const ShowSettings& settings);

// The stored placement record (exactly 44 bytes), or false.
bool ReadWindowPlacement(WINDOWPLACEMENT* placement);
bool WriteWindowPlacement(const WINDOWPLACEMENT& placement);
// Normal rectangle from a sixth to five sixths of the work area, shown normally.
WINDOWPLACEMENT DefaultWindowPlacement();
// Shows the window as placed; a minimized (or hidden) show command shows it normally instead.
void ApplyWindowPlacement(HWND window, WINDOWPLACEMENT placement);

// CurProfile, stored with or without a terminator; empty when absent or too long for a path.
std::string ReadCurrentProfile();
// Stored without a terminator (data length = string length).
bool WriteCurrentProfile(const std::string& path);

// Five "Button%d" sections into the engine's slots; false (nothing changed) when the file is missing.
bool LoadProfile(const std::string& path, ShowEngine& engine);
// Every section written whole; false when a section could not be written.
bool SaveProfile(const std::string& path, const ShowEngine& engine);
// Profile file names (without ".bd2") in the folder, directories skipped.
std::vector<std::string> ListProfiles(const std::string& folder);
// The first "*.bd2" file of the folder as a full path, or empty.
std::string FirstProfile(const std::string& folder);
// The profile a start with no current profile stored begins on: the ready-made "First steps"
// when the folder holds it, else the first one the folder lists. A full path, or empty.
inline constexpr char kStarterProfile[] = "First steps";
std::string StartingProfile(const std::string& folder);

}  // namespace fennick::show
