// The platform-free rules of profile files: paths, display names, section texts.
#include "profile_rules.h"

#include <cctype>
#include <cstring>

namespace fennick::key {

namespace {

bool endsWithNoCase(std::string_view text, std::string_view tail)
{
    if (text.size() < tail.size())
        return false;
    std::string_view end = text.substr(text.size() - tail.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(end[i])) != std::tolower(static_cast<unsigned char>(tail[i])))
            return false;
    }
    return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool hasFolderOrDrive(std::string_view text) { return text.find_first_of("\\/:") != std::string_view::npos; }

bool isAbsolutePath(std::string_view text)
{
    return (!text.empty() && (text[0] == '\\' || text[0] == '/')) || (text.size() >= 2 && text[1] == ':');
}

}  // namespace

void ClearButtonTable(ButtonTable& table)
{
    for (ButtonDef& button : table)
        button = ButtonDef{};
}

bool SetButtonText(ButtonDef& button, std::string_view text)
{
    size_t length = text.size() < kMaxButtonText ? text.size() : kMaxButtonText;
    std::memcpy(button.BtCmdText, text.data(), length);
    button.BtCmdText[length] = '\0';
    return length == text.size();
}

std::string ButtonSectionName(int switchNumber) { return "Button" + std::to_string(switchNumber); }

std::string StoredButtonText(std::string_view text)
{
    std::string stored(text);
    for (char& c : stored) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    bool trimmed = !stored.empty() && (isBlank(stored.front()) || isBlank(stored.back()));
    bool unquoted = stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'') &&
                    stored.back() == stored.front();
    if (trimmed || unquoted)
        stored = '"' + stored + '"';
    return stored;
}

std::string ButtonSectionText(const ButtonDef& button)
{
    std::string section;
    section += "BtCmd=" + std::to_string(button.BtCmd);
    section += '\0';
    section += "BtCmdVal=" + std::to_string(button.BtCmdVal);
    section += '\0';
    size_t length = strnlen(button.BtCmdText, sizeof(button.BtCmdText));
    section += "BtCmdText=" + StoredButtonText(std::string_view(button.BtCmdText, length));
    section += '\0';
    section += '\0';
    return section;
}

std::string ResolveProfilePath(std::string_view nameOrPath, std::string_view folder, const FileExists& exists)
{
    if (nameOrPath.empty())
        return {};
    if (hasFolderOrDrive(nameOrPath)) {
        if (isAbsolutePath(nameOrPath))
            return std::string(nameOrPath);
        return std::string(folder) + std::string(nameOrPath);
    }
    std::string asDisplayName = std::string(folder) + std::string(nameOrPath) + kProfileExtension;
    if (!endsWithNoCase(nameOrPath, kProfileExtension) || (exists && exists(asDisplayName)))
        return asDisplayName;
    return std::string(folder) + std::string(nameOrPath);
}

bool IsProfileFileName(std::string_view fileName)
{
    return fileName.size() > std::strlen(kProfileExtension) && endsWithNoCase(fileName, kProfileExtension);
}

std::string ProfileDisplayName(std::string_view nameOrPath)
{
    size_t slash = nameOrPath.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? nameOrPath : nameOrPath.substr(slash + 1);
    if (IsProfileFileName(name))
        name.remove_suffix(std::strlen(kProfileExtension));
    return std::string(name);
}

bool HasForbiddenProfileCharacter(std::string_view name)
{
    return name.find_first_of("\\/:*?<>|\"") != std::string_view::npos;
}

}  // namespace fennick::key
