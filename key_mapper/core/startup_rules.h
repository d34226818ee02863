// Start-up decisions of the key mapper: the command line, the hand-over text, the languages.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace fennick::key {

struct CommandLine {
    bool silent = false;
    std::string profilePath;  // empty: none given (or refused)
};

// "-silent" anywhere means a silent start and nothing else is used. Otherwise a text holding
// ".bpf" is a profile path: surrounding blanks and quotes go, a path that does not start "\\" or
// "X:\" is taken in the program folder. A path longer than a path buffer is refused.
CommandLine ParseCommandLine(std::string_view text, std::string_view programFolder);

// The profile path a second instance hands over in WM_COPYDATA: the text must end with a NUL
// within the bytes given and fit in a path buffer; anything else is refused.
std::optional<std::string> HandedOverProfilePath(const void* data, size_t size);

struct Language {
    int menuId;
    const char* menuText;  // code page 1252
    const char* code;
};
inline constexpr int kLanguageCount = 7;
inline constexpr int kLanguageSeparatorId = 148;
const Language& LanguageAt(int index);
// The language of a tray menu item, or null for other ids.
const Language* LanguageForMenuId(int menuId);
// The menu item that carries the check mark: the language whose code matches (any case), or
// English (145) for a code that is none of them.
int CheckedLanguageMenuId(std::string_view code);

// "mcx_" + code + ".dll"
std::string MacroLibraryName(std::string_view code);

}  // namespace fennick::key
