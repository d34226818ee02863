// Application-linked profiles: the link file's content, which profile a foreground window selects.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fennick::key {

enum LinkType : int32_t { kByApplication = 1, kByProgramFile = 2, kByWindowTitle = 3 };

struct KnownApp {
    std::string Name;
    std::string Class;
};

struct ProfileLink {
    int32_t Type = -1;
    std::string Name;
    std::string Profile;
};

struct LinkSettings {
    std::vector<KnownApp> apps;
    std::vector<ProfileLink> links;
    std::string DefaultProfile;
};

inline constexpr char kLinkFileName[] = "fkconfig.ini";
inline constexpr char kLinkSettingsSection[] = "FKSettings";
// Link texts are read up to this many characters.
inline constexpr size_t kMaxLinkText = 259;

// The link file as the private-profile reader sees it.
class IniSource {
public:
    virtual ~IniSource() = default;
    virtual int32_t integer(const std::string& section, const std::string& key, int32_t fallback) const = 0;
    virtual std::string text(const std::string& section, const std::string& key) const = 0;
};

// Counts beyond this are a damaged file: nobody links ten thousand applications.
inline constexpr int32_t kMaxLinkEntries = 10000;

// Known applications App1..AppN and links Prof1..ProfN; entries with an empty name, class or
// profile, or a negative link type, are dropped.
LinkSettings ReadLinkSettings(const IniSource& source);

// "Prof1" ..
std::string LinkSectionName(int number);
// A link section as handed to WritePrivateProfileSectionA: three NUL-separated lines and the final NUL.
std::string LinkSectionText(const ProfileLink& link);

// What the foreground window is.
struct ForegroundWindow {
    std::string className;
    std::string programFile;  // executable file name of its process
    std::string title;
};

// The key mapper's own windows and the taskbar never switch profiles.
bool IsIgnoredWindowClass(std::string_view className);

// The first link in list order that the window matches, or null.
const ProfileLink* MatchingLink(const LinkSettings& settings, const ForegroundWindow& window);

// The profile to switch to when this window comes to the front, or nothing: no links at all,
// an ignored window, a target that is already current, or no match and no default profile.
std::optional<std::string> ProfileForWindow(const LinkSettings& settings, const ForegroundWindow& window,
                                            std::string_view currentProfile);

// Activation reports name the window being activated anywhere; only a change of the top-level
// window in front is worth a check.
class ActivationFilter {
public:
    // True when this top-level window differs from the last one reported (which it becomes).
    bool changed(uintptr_t topLevel);

private:
    uintptr_t last_ = 0;
};

}  // namespace fennick::key
