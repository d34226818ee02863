// The key mapper's registry values (current profile and language) and its link file "fkconfig.ini".
#pragma once
#include <windows.h>

#include <string>

#include "app_links.h"

namespace fennick::key {

inline constexpr char kKeyMapperKey[] = "SOFTWARE\\Velmora\\Orrin2Key";

struct KeySettings {
    std::string CurProfile;
    std::string CurLang = "ENG";
};

// Defaults first, then the values of HKEY_CURRENT_USER, or of HKEY_LOCAL_MACHINE only when the
// user's key cannot be opened. A value that is missing or not text leaves its default.
KeySettings ReadKeySettings();
// Both values to HKEY_CURRENT_USER, the key created when needed.
bool WriteKeySettings(const KeySettings& settings);

// "fkconfig.ini" in the program folder into `settings`; a missing file gives empty lists. False
// (and empty lists) when the file is there but cannot be opened (held by another program, a
// folder that does not answer): the lists then do not hold what the file holds, and writing
// them would wipe the user's links.
bool ReadLinkFile(const std::string& programFolder, LinkSettings& settings);
// Every link section, the default profile, then the link count; known applications are left
// alone. The count goes last: a program ended half-way never leaves a count that reaches past
// the sections written.
bool WriteLinkFile(const std::string& programFolder, const LinkSettings& settings);

// Class, program file and title of a top-level window.
ForegroundWindow DescribeWindow(HWND window);

}  // namespace fennick::key
