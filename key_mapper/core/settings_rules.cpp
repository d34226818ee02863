// The settings dialogs' decisions, without windows.
#include "settings_rules.h"

#include "command_list.h"

namespace fennick::key {

const std::vector<CommandTypeItem>& OfferedCommandTypes()
{
    static const std::vector<CommandTypeItem> items = {{4, 0}, {5, 1}, {6, 2},  {7, 3}, {8, 4},
                                                       {9, 5}, {10, 6}, {11, 7}, {12, 9}};
    return items;
}

bool CommandTakesText(int32_t btCmd) { return btCmd == 0 || btCmd == 2 || btCmd == 3; }

int FindProfileName(const std::vector<std::string>& names, std::string_view name)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (EqualsNoCase(names[i], name))
            return static_cast<int>(i);
    return -1;
}

int FindCurrentProfile(const std::vector<std::string>& names, std::string_view currentProfile)
{
    if (currentProfile.empty())
        return -1;
    return FindProfileName(names, ProfileDisplayName(currentProfile));
}

int StartProfileIndex(const std::vector<std::string>& names)
{
    if (names.empty())
        return -1;
    int starter = FindProfileName(names, kStarterProfile);
    return starter >= 0 ? starter : 0;
}

ButtonDef CollectButton(const ButtonControls& controls, const ButtonDef* shown)
{
    ButtonDef button;
    if (!controls.present) {
        button.BtCmd = 0;
        button.BtCmdVal = -1;
        return button;
    }
    // No type chosen: the stored type is none the list offers (8, -1, ...); it is kept as it is.
    if (controls.typeData < 0 && shown)
        return *shown;
    button.BtCmd = controls.typeData;
    if (!CommandTakesText(button.BtCmd) && !controls.listChosen && shown && shown->BtCmd == button.BtCmd)
        return *shown;
    if (CommandTakesText(button.BtCmd)) {
        button.BtCmdVal = -1;
        SetButtonText(button, controls.text);
    } else if (button.BtCmd == 9) {
        button.BtCmdVal = -1;
        SetButtonText(button, controls.listText);
    } else {
        button.BtCmdVal = controls.listValue;
    }
    return button;
}

int CheckNewProfileName(std::string_view name, bool fileExists, std::string_view folder)
{
    if (name.empty())
        return kNameEmpty;
    if (HasForbiddenProfileCharacter(name))
        return kNameForbiddenCharacter;
    if (folder.size() + name.size() + std::string_view(kProfileExtension).size() > kMaxProfilePathLength)
        return kNameTooLong;
    if (fileExists)
        return kNameExists;
    return kNameAccepted;
}

int CheckLink(int32_t type, std::string_view name, std::string_view profile)
{
    if (type != kByApplication && type != kByProgramFile && type != kByWindowTitle)
        return kLinkNoType;
    if (name.empty())
        return kLinkEmptyName;
    if (profile.empty())
        return kLinkNoProfile;
    return kLinkAccepted;
}

namespace {

std::string formatWithName(std::string_view format, std::string_view name)
{
    size_t at = format.find("%s");
    if (at == std::string_view::npos)
        return std::string(format);
    std::string text(format.substr(0, at));
    text += name;
    text += format.substr(at + 2);
    return text;
}

}  // namespace

std::string LinkApplicationName(const ProfileLink& link, const std::vector<KnownApp>& apps)
{
    for (const KnownApp& app : apps)
        if (app.Class == link.Name)
            return app.Name;
    return link.Name;
}

std::string LinkRowText(const ProfileLink& link, const std::vector<KnownApp>& apps, std::string_view byProgramFormat,
                        std::string_view byTitleFormat)
{
    switch (link.Type) {
    case kByApplication: return LinkApplicationName(link, apps);
    case kByProgramFile: return formatWithName(byProgramFormat, link.Name);
    case kByWindowTitle: return formatWithName(byTitleFormat, link.Name);
    default: return "Unknown";
    }
}

}  // namespace fennick::key
