// The settings dialogs: BUTTONDEFBOX (one command per switch, the profiles), NEWLISTBOX,
// PROFLINKS and LINKEDIT, from the current language module.
#pragma once
#include <windows.h>

#include <string>

#include "app_links.h"
#include "fennick/mcx_api.h"
#include "fennick_key/profile_store.h"
#include "profile_rules.h"

namespace fennick::key {

// What the dialogs edit, owned by the main window's module. Pointers, because the language and
// the macro library can change while the dialog is open (tray menu).
struct SettingsContext {
    std::string folder;  // program folder, with its trailing backslash
    HMODULE* languageModule;
    std::string* languageCode;
    ComposeMacroProc* composeMacro;
    ProfileStore* profiles;
    ButtonTable* table;
    std::string* currentProfile;
    LinkSettings* links;
    void (*writeSettings)();  // the registry values, after the dialog changed the current profile
    bool (*readLinks)();      // false while "fkconfig.ini" cannot be read: the links are not shown
    void (*writeLinks)();     // "fkconfig.ini", unless it could not be read
};

// Runs BUTTONDEFBOX modally unless it is open already; returns how it closed (1 OK, 2 Cancel,
// 0 close box), or -1 when it was open already or could not be shown.
INT_PTR RunSettingsDialog(HWND owner, const SettingsContext& context);
// The open settings dialog, or null.
HWND OpenSettingsDialog();
// Reads the open dialog's five rows into the table and saves it to the current profile.
void CollectSettingsDialog();
// Sets the open dialog's rows from the table and selects the current profile in its list.
void RefreshSettingsDialog();
// Releases the text buffer handed to the macro editor.
void ReleaseSettingsDialogs();

}  // namespace fennick::key
