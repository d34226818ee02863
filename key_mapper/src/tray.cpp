// The key mapper's notification-area icon and its menu.
#include "tray.h"

#include <shellapi.h>
#include <string.h>

#include "fennick_key/language_resources.h"
#include "startup_rules.h"

namespace fennick::key {

namespace {

NOTIFYICONDATAA iconData(HWND window)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

}  // namespace

bool AddTrayIcon(HWND window, HINSTANCE instance)
{
    NOTIFYICONDATAA data = iconData(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = LoadIconA(instance, "IDI_ICON1");
    strcpy(data.szTip, "FennickKey");
    return Shell_NotifyIconA(NIM_ADD, &data);
}

void RemoveTrayIcon(HWND window)
{
    NOTIFYICONDATAA data = iconData(window);
    Shell_NotifyIconA(NIM_DELETE, &data);
}

HMENU BuildTrayMenu(HMODULE languageModule, const std::string& languageCode, HMENU* popup)
{
    *popup = nullptr;
    if (!languageModule)
        return nullptr;
    HMENU menu = LoadMenuA(languageModule, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (!menu)
        return nullptr;
    HMENU sub = GetSubMenu(menu, 0);
    if (!sub) {
        DestroyMenu(menu);
        return nullptr;
    }
    DeleteMenu(sub, IDM_PORT_SETTINGS, MF_BYCOMMAND);
    for (int i = 0; i < kLanguageCount; ++i) {
        const Language& language = LanguageAt(i);
        InsertMenuA(sub, IDM_EXIT, MF_BYCOMMAND | MF_STRING, language.menuId, language.menuText);
    }
    InsertMenuA(sub, IDM_EXIT, MF_BYCOMMAND | MF_SEPARATOR, kLanguageSeparatorId, nullptr);
    CheckMenuItem(sub, CheckedLanguageMenuId(languageCode), MF_BYCOMMAND | MF_CHECKED);
    SetMenuDefaultItem(sub, 0, TRUE);
    *popup = sub;
    return menu;
}

}  // namespace fennick::key
