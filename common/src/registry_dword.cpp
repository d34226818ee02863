// REG_DWORD settings: read with "missing leaves the value as it was", write creating the key.
#include "fennick/win32_common.h"

namespace fennick {

bool ReadRegistryDword(HKEY hive, const char* keyPath, const char* valueName, DWORD* value)
{
    HKEY key;
    if (RegOpenKeyExA(hive, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, data = 0, size = sizeof(data);
    LONG status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data))
        return false;
    *value = data;
    return true;
}

bool WriteRegistryDword(HKEY hive, const char* keyPath, const char* valueName, DWORD value)
{
    HKEY key;
    if (RegCreateKeyExA(hive, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace fennick
