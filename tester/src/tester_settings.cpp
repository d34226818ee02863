// JoystickMode under HKEY_CURRENT_USER\SOFTWARE\Velmora\Fennick\FennickTest.
#include "tester_settings.h"

namespace fennick::tester {

bool ReadJoystickMode(DWORD* mode)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTesterKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, data = 0, size = sizeof(data);
    LONG status = RegQueryValueExA(key, kJoystickModeValue, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data))
        return false;
    *mode = data;
    return true;
}

bool WriteJoystickMode(DWORD mode)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kTesterKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, kJoystickModeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode), sizeof(mode));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace fennick::tester
