// Command lists and the choice of language module by language code.
#include "command_list.h"

#include <cctype>

namespace fennick::key {

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<CommandEntry> ReadCommandList(const CommandListSource& source)
{
    std::vector<CommandEntry> entries;
    int32_t count = source.integer("NumOfFunctions", 0);
    if (count > kMaxCommandEntries)
        count = kMaxCommandEntries;
    for (int32_t i = 1; i <= count; ++i) {
        std::string number = std::to_string(i);
        int32_t value = source.integer("CmdVal" + number, -1);
        if (value == -1)
            continue;
        std::string name = source.text("CmdName" + number);
        if (name.empty())
            continue;
        entries.push_back({std::move(name), value});
    }
    return entries;
}

int FindCommandByValue(const std::vector<CommandEntry>& entries, int32_t value)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].value == value)
            return static_cast<int>(i);
    }
    return -1;
}

const char* CommandListSection(int32_t btCmd)
{
    switch (btCmd) {
    case 1: return "VirtualKeys";
    case 4: return "WindowsFunctions";
    case 5: return "Cogniva";
    case 6: return "Parlora";
    case 7: return "Hopla";
    case 8: return "Tastra";
    default: return nullptr;
    }
}

std::string CommandListFileName(std::string_view languageCode)
{
    return "FennickKey_" + std::string(languageCode) + ".ini";
}

const char* LanguageModuleFileName(std::string_view languageCode)
{
    if (EqualsNoCase(languageCode, "FRF"))
        return "french.dll";
    if (EqualsNoCase(languageCode, "DUB"))
        return "dutch.dll";
    if (EqualsNoCase(languageCode, "ITI"))
        return "italiano.dll";
    return "english.dll";
}

}  // namespace fennick::key
