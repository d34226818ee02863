// Application-linked profiles: reading the link file, matching a foreground window.
#include "app_links.h"

#include "profile_rules.h"

namespace fennick::key {

namespace {

int32_t boundedCount(const IniSource& source, const char* key)
{
    int32_t count = source.integer(kLinkSettingsSection, key, 0);
    if (count < 0)
        return 0;
    return count > kMaxLinkEntries ? kMaxLinkEntries : count;
}

bool matches(const LinkSettings& settings, const ProfileLink& link, const ForegroundWindow& window)
{
    switch (link.Type) {
    case kByApplication:
        if (link.Name == window.className)
            return true;
        for (const KnownApp& app : settings.apps) {
            if (app.Class == window.className && app.Name == link.Name)
                return true;
        }
        return false;
    case kByProgramFile: return link.Name == window.programFile;
    case kByWindowTitle: return window.title.compare(0, link.Name.size(), link.Name) == 0;
    default: return false;
    }
}

}  // namespace

LinkSettings ReadLinkSettings(const IniSource& source)
{
    LinkSettings settings;
    settings.DefaultProfile = source.text(kLinkSettingsSection, "DefaultProfile");
    int32_t apps = boundedCount(source, "NrKnownApps");
    for (int32_t i = 1; i <= apps; ++i) {
        std::string section = "App" + std::to_string(i);
        KnownApp app{source.text(section, "Name"), source.text(section, "Class")};
        if (!app.Name.empty() && !app.Class.empty())
            settings.apps.push_back(app);
    }
    int32_t links = boundedCount(source, "NrKnownProfiles");
    for (int32_t i = 1; i <= links; ++i) {
        std::string section = LinkSectionName(i);
        ProfileLink link{source.integer(section, "Type", -1), source.text(section, "Name"),
                         source.text(section, "Profile")};
        if (link.Type >= 0 && !link.Name.empty() && !link.Profile.empty())
            settings.links.push_back(link);
    }
    return settings;
}

std::string LinkSectionName(int number) { return "Prof" + std::to_string(number); }

std::string LinkSectionText(const ProfileLink& link)
{
    std::string text = "Type=" + std::to_string(link.Type);
    text += '\0';
    // Written so that the reader gives them back as they are (a title "Letter " keeps its blank).
    text += "Name=" + StoredButtonText(link.Name);
    text += '\0';
    text += "Profile=" + StoredButtonText(link.Profile);
    text += '\0';
    text += '\0';
    return text;
}

bool IsIgnoredWindowClass(std::string_view className)
{
    return className == "FennickKey" || className == "Shell_TrayWnd";
}

const ProfileLink* MatchingLink(const LinkSettings& settings, const ForegroundWindow& window)
{
    for (const ProfileLink& link : settings.links) {
        if (matches(settings, link, window))
            return &link;
    }
    return nullptr;
}

std::optional<std::string> ProfileForWindow(const LinkSettings& settings, const ForegroundWindow& window,
                                            std::string_view currentProfile)
{
    if (settings.links.empty() || IsIgnoredWindowClass(window.className))
        return std::nullopt;
    const ProfileLink* link = MatchingLink(settings, window);
    const std::string& target = link ? link->Profile : settings.DefaultProfile;
    if (target.empty() || target == currentProfile)
        return std::nullopt;
    return target;
}

bool ActivationFilter::changed(uintptr_t topLevel)
{
    if (topLevel == 0 || topLevel == last_)
        return false;
    last_ = topLevel;
    return true;
}

}  // namespace fennick::key
