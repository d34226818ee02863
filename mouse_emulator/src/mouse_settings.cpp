// Settings under HKEY_CURRENT_USER\SOFTWARE\Velmora\Fennick\FennickMouse, and FNType beside them.
#include "mouse_settings.h"

#include "fennick/win32_common.h"
#include "motion_engine.h"

namespace fennick::mouse {

namespace {

// A value that cannot be read leaves the default in place.
void readValue(HKEY key, const char* name, DWORD* value)
{
    DWORD type = 0, data = 0, size = sizeof(data);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(data))
        *value = data;
}

void readPosition(HKEY key, const char* name, int* value)
{
    DWORD stored = static_cast<DWORD>(*value);
    readValue(key, name, &stored);
    *value = static_cast<int>(stored);
}

void writeValue(HKEY key, const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

}  // namespace

MouseSettings LoadMouseSettings()
{
    MouseSettings settings;
    ReadDeviceModel(&settings.model);
    WriteDeviceModel(settings.model);

    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMouseKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return settings;  // a first start: the bar in the top-left corner
    settings.windowLeft = settings.windowTop = 50;
    readValue(key, kDwellTimeValue, &settings.dwellTime);
    readValue(key, kCursorIntervalValue, &settings.cursorInterval);
    readValue(key, kIncreaseSpeedValue, &settings.increaseSpeed);
    readValue(key, kMethodValue, &settings.method);
    readPosition(key, kWindowTopValue, &settings.windowTop);
    readPosition(key, kWindowLeftValue, &settings.windowLeft);
    RegCloseKey(key);
    return settings;
}

void SaveMouseSettings(MouseSettings& settings, HWND bar)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kMouseKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        writeValue(key, kDwellTimeValue, settings.dwellTime);
        writeValue(key, kCursorIntervalValue, settings.cursorInterval);
        writeValue(key, kIncreaseSpeedValue, settings.increaseSpeed);
        writeValue(key, kMethodValue, settings.method);
        POINT corner;
        if (settings.method == kMethodButtonBar && bar && BarRestoredCorner(bar, &corner)) {
            settings.windowTop = corner.y;
            settings.windowLeft = corner.x;
        }
        writeValue(key, kWindowTopValue, static_cast<DWORD>(settings.windowTop));
        writeValue(key, kWindowLeftValue, static_cast<DWORD>(settings.windowLeft));
        RegCloseKey(key);
    }
    WriteDeviceModel(settings.model);
}

bool BarRestoredCorner(HWND bar, POINT* corner)
{
    if (!IsIconic(bar)) {
        RECT rect;
        if (!GetWindowRect(bar, &rect))
            return false;
        *corner = {rect.left, rect.top};
        return true;
    }
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(bar, &placement))
        return false;
    // The placement is in work-area coordinates: a taskbar at the top or left shifts them.
    RECT normal = placement.rcNormalPosition;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoA(MonitorFromRect(&normal, MONITOR_DEFAULTTOPRIMARY), &monitor))
        OffsetRect(&normal, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    *corner = {normal.left, normal.top};
    return true;
}

}  // namespace fennick::mouse
