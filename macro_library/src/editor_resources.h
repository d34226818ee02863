// The macro editor's dialogs and texts in the language chosen for the user, found explicitly.
#pragma once
#include <windows.h>

#include <string>

namespace fennick::macro {

// English (United Kingdom): what a user whose language the library does not speak sees.
inline constexpr WORD kFallbackLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);

// The resource language for the calling thread's user interface language.
WORD EditorLanguage();

// A dialog template or string of that language; English when the language lacks it.
const DLGTEMPLATE* FindEditorDialog(HMODULE module, WORD language, LPCSTR name);
std::string LoadEditorString(HMODULE module, WORD language, UINT id);

}  // namespace fennick::macro
