// Command lists read with the private-profile functions.
#include "fennick_key/command_list_file.h"

#include <windows.h>

namespace fennick::key {

namespace {

// Names are shown up to 126 characters.
constexpr DWORD kNameBufferSize = 127;

class ProfileSection : public CommandListSource {
public:
    ProfileSection(const char* path, const char* section) : path_(path), section_(section) {}

    int32_t integer(const std::string& key, int32_t fallback) const override
    {
        return static_cast<int32_t>(GetPrivateProfileIntA(section_, key.c_str(), fallback, path_));
    }

    std::string text(const std::string& key) const override
    {
        char buffer[kNameBufferSize];
        DWORD length = GetPrivateProfileStringA(section_, key.c_str(), "", buffer, sizeof(buffer), path_);
        return std::string(buffer, length);
    }

private:
    const char* path_;
    const char* section_;
};

}  // namespace

std::vector<CommandEntry> ReadCommandListFile(const char* path, const char* section)
{
    if (!path || !section)
        return {};
    return ReadCommandList(ProfileSection(path, section));
}

std::vector<CommandEntry> ReadCommandsFor(const char* programFolder, const char* languageCode, int32_t btCmd)
{
    const char* section = CommandListSection(btCmd);
    if (!section || !programFolder || !languageCode)
        return {};
    std::string path = std::string(programFolder) + CommandListFileName(languageCode);
    return ReadCommandListFile(path.c_str(), section);
}

}  // namespace fennick::key
