// The key mapper's notification-area icon and its menu.
#pragma once
#include <windows.h>

#include <string>

namespace fennick::key {

// Tray callback message and icon id.
inline constexpr UINT kTrayCallback = WM_USER;
inline constexpr UINT kTrayIconId = 1;

bool AddTrayIcon(HWND window, HINSTANCE instance);
void RemoveTrayIcon(HWND window);

// Menu 132 of the language module with the port-settings item taken out and the seven languages
// and a separator inserted above "exit" (128), the current language checked and the first item
// the default. Returns the loaded menu (destroy it when done) and its first submenu in *popup;
// null when the module or its menu is missing.
HMENU BuildTrayMenu(HMODULE languageModule, const std::string& languageCode, HMENU* popup);

}  // namespace fennick::key
