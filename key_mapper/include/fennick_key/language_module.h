// The key mapper's language module: chosen by language code, loaded by file name.
#pragma once
#include <windows.h>

namespace fennick::key {

// Loads "french.dll", "dutch.dll" or "italiano.dll" for FRF, DUB or ITI (any case) and
// "english.dll" for every other code, by bare file name (standard search order). Null when
// it cannot be loaded; no other module is tried.
HMODULE LoadLanguageModule(const char* languageCode);

}  // namespace fennick::key
