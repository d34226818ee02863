// FNType: the device model shared by the client programs.
#include "fennick/win32_common.h"

namespace fennick {

static bool readDword(HKEY hive, DWORD* value)
{
    HKEY key;
    if (RegOpenKeyExA(hive, kFennickKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, data = 0, size = sizeof(data);
    LONG status = RegQueryValueExA(key, kDeviceModelValue, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data))
        return false;
    *value = data;
    return true;
}

bool ReadDeviceModel(DWORD* model)
{
    return readDword(HKEY_CURRENT_USER, model) || readDword(HKEY_LOCAL_MACHINE, model);
}

bool WriteDeviceModel(DWORD model)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kFennickKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, kDeviceModelValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&model), sizeof(model));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace fennick
