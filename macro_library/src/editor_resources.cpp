// Finding the editor's resources by language. The resource loader, left to itself, takes the
// first language in the file for a user whose language is not there (US English included),
// so every lookup names its language.
#include "editor_resources.h"

#include "macro_list.h"

namespace fennick::macro {

namespace {

HRSRC findIn(HMODULE module, LPCSTR type, LPCSTR name, WORD language)
{
    HRSRC found = FindResourceExA(module, type, name, language);
    return found ? found : FindResourceExA(module, type, name, kFallbackLanguage);
}

}  // namespace

WORD EditorLanguage()
{
    // The thread's language follows a program's own choice; Windows XP has only the user's.
    using ThreadLanguage = LANGID(WINAPI*)();
    auto threadLanguage = reinterpret_cast<ThreadLanguage>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadUILanguage")));
    return editorLanguageFor(threadLanguage ? threadLanguage() : GetUserDefaultUILanguage());
}

const DLGTEMPLATE* FindEditorDialog(HMODULE module, WORD language, LPCSTR name)
{
    HRSRC found = findIn(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, name, language);
    return found ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found))) : nullptr;
}

std::string LoadEditorString(HMODULE module, WORD language, UINT id)
{
    // Strings live in blocks of sixteen, each a count followed by that many UTF-16 units.
    HRSRC found = findIn(module, MAKEINTRESOURCEA(6) /* RT_STRING */, MAKEINTRESOURCEA(id / 16 + 1), language);
    if (!found)
        return {};
    const WCHAR* entry = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
    DWORD size = SizeofResource(module, found) / sizeof(WCHAR);
    if (!entry)
        return {};
    const WCHAR* end = entry + size;
    for (UINT i = 0; i < id % 16 && entry < end; ++i)
        entry += 1 + *entry;
    if (entry >= end || *entry == 0 || entry + 1 + *entry > end)
        return {};
    int length = *entry;
    int bytes = WideCharToMultiByte(CP_ACP, 0, entry + 1, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, entry + 1, length, &text[0], bytes, nullptr, nullptr);
    return text;
}

}  // namespace fennick::macro
