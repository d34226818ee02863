// Start-up decisions of the key mapper: command line, hand-over text, languages.
#include "startup_rules.h"

#include <cstring>

#include "command_list.h"
#include "switch_events.h"

namespace fennick::key {

namespace {

constexpr Language kLanguages[kLanguageCount] = {
    {145, "English", "ENG"},  {146, "Fran\xE7" "ais", "FRF"}, {147, "Nederlands", "DUB"},
    {149, "Deutsch", "GED"},  {150, "Svenska", "SWS"},         {151, "Norsk", "NON"},
    {152, "Italiano", "ITI"},
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

CommandLine ParseCommandLine(std::string_view text, std::string_view programFolder)
{
    CommandLine result;
    if (text.find("-silent") != std::string_view::npos) {
        result.silent = true;
        return result;
    }
    if (text.find(".bpf") == std::string_view::npos)
        return result;
    std::string_view path = trimmed(text);
    if (!path.empty() && path.back() == '"')
        path.remove_suffix(1);
    if (!path.empty() && path.front() == '"')
        path.remove_prefix(1);
    bool full = (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') ||
                (path.size() >= 3 && path[1] == ':' && path[2] == '\\');
    std::string joined = full ? std::string(path) : std::string(programFolder) + std::string(path);
    if (joined.size() <= kMaxPathLength)
        result.profilePath = joined;
    return result;
}

std::optional<std::string> HandedOverProfilePath(const void* data, size_t size)
{
    if (!data || size == 0)
        return std::nullopt;
    const char* text = static_cast<const char*>(data);
    const void* end = std::memchr(text, '\0', size);
    if (!end)
        return std::nullopt;
    size_t length = static_cast<size_t>(static_cast<const char*>(end) - text);
    if (length > kMaxPathLength)
        return std::nullopt;
    return std::string(text, length);
}

const Language& LanguageAt(int index) { return kLanguages[index]; }

const Language* LanguageForMenuId(int menuId)
{
    for (const Language& language : kLanguages) {
        if (language.menuId == menuId)
            return &language;
    }
    return nullptr;
}

int CheckedLanguageMenuId(std::string_view code)
{
    for (const Language& language : kLanguages) {
        if (EqualsNoCase(language.code, code))
            return language.menuId;
    }
    return kLanguages[0].menuId;
}

std::string MacroLibraryName(std::string_view code) { return "mcx_" + std::string(code) + ".dll"; }

}  // namespace fennick::key
