// JoystickMode under HKEY_CURRENT_USER\SOFTWARE\Velmora\Fennick\FennickTest.
#include "tester_settings.h"

#include "fennick/win32_common.h"

namespace fennick::tester {

bool ReadJoystickMode(DWORD* mode)
{
    return ReadRegistryDword(HKEY_CURRENT_USER, kTesterKey, kJoystickModeValue, mode);
}

bool WriteJoystickMode(DWORD mode)
{
    return WriteRegistryDword(HKEY_CURRENT_USER, kTesterKey, kJoystickModeValue, mode);
}

}  // namespace fennick::tester
