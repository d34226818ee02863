// FNType: the device model shared by the client programs.
#include "fennick/win32_common.h"

namespace fennick {

bool ReadDeviceModel(DWORD* model)
{
    return ReadRegistryDword(HKEY_CURRENT_USER, kFennickKey, kDeviceModelValue, model) ||
           ReadRegistryDword(HKEY_LOCAL_MACHINE, kFennickKey, kDeviceModelValue, model);
}

bool WriteDeviceModel(DWORD model)
{
    return WriteRegistryDword(HKEY_CURRENT_USER, kFennickKey, kDeviceModelValue, model);
}

}  // namespace fennick
