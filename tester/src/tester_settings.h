// The tester's own registry value: the display mode under the tester's subkey.
#pragma once
#include <windows.h>

namespace fennick::tester {

inline constexpr const char kTesterKey[] = "SOFTWARE\\Velmora\\Fennick\\FennickTest";
inline constexpr const char kJoystickModeValue[] = "JoystickMode";

// False (and *mode unchanged) when the key or the DWORD value is missing.
bool ReadJoystickMode(DWORD* mode);
bool WriteJoystickMode(DWORD mode);

}  // namespace fennick::tester
