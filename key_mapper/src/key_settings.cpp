// Registry values and the link file of the key mapper.
#include "key_settings.h"

#include <tlhelp32.h>

#include "profile_rules.h"

namespace fennick::key {

namespace {

constexpr DWORD kProfileValueSize = 260;
constexpr DWORD kLanguageValueSize = 8;

// A REG_SZ value of at most `size` bytes; false (and `out` unchanged) otherwise.
bool readText(HKEY key, const char* name, DWORD size, std::string& out)
{
    char buffer[kProfileValueSize + 1] = {};
    DWORD type = 0, got = size;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    buffer[got < size ? got : size] = '\0';
    out = buffer;
    return true;
}

bool writeText(HKEY key, const char* name, const std::string& text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

class LinkFile : public IniSource {
public:
    explicit LinkFile(std::string path) : path_(std::move(path)) {}
    int32_t integer(const std::string& section, const std::string& key, int32_t fallback) const override
    {
        return static_cast<int32_t>(GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, path_.c_str()));
    }
    std::string text(const std::string& section, const std::string& key) const override
    {
        char buffer[kMaxLinkText + 1];
        DWORD length =
            GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof(buffer), path_.c_str());
        return std::string(buffer, length);
    }

private:
    std::string path_;
};

std::string programFileOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return {};
    std::string name;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == process) {
            name = entry.szExeFile;
            break;
        }
    }
    CloseHandle(snapshot);
    return name;
}

}  // namespace

KeySettings ReadKeySettings()
{
    KeySettings settings;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyMapperKey, 0, KEY_READ, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyMapperKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return settings;
    readText(key, "CurProfile", kProfileValueSize, settings.CurProfile);
    readText(key, "CurLang", kLanguageValueSize, settings.CurLang);
    RegCloseKey(key);
    return settings;
}

bool WriteKeySettings(const KeySettings& settings)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyMapperKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool written = writeText(key, "CurProfile", settings.CurProfile) && writeText(key, "CurLang", settings.CurLang);
    RegCloseKey(key);
    return written;
}

bool ReadLinkFile(const std::string& programFolder, LinkSettings& settings)
{
    std::string path = programFolder + kLinkFileName;
    // The private-profile reader answers a file it cannot open with the defaults, as if it
    // were missing: whether it could be opened is asked first.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        settings = LinkSettings();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    CloseHandle(file);
    settings = ReadLinkSettings(LinkFile(path));
    return true;
}

bool WriteLinkFile(const std::string& programFolder, const LinkSettings& settings)
{
    std::string path = programFolder + kLinkFileName;
    bool written = true;
    for (size_t i = 0; i < settings.links.size(); ++i) {
        std::string text = LinkSectionText(settings.links[i]);
        if (!WritePrivateProfileSectionA(LinkSectionName(static_cast<int>(i + 1)).c_str(), text.c_str(),
                                         path.c_str()))
            written = false;
    }
    // A count over sections that were not all written would make the next start read old ones.
    if (!written)
        return false;
    std::string count = std::to_string(settings.links.size());
    return WritePrivateProfileStringA(kLinkSettingsSection, "DefaultProfile",
                                      StoredButtonText(settings.DefaultProfile).c_str(), path.c_str()) &&
           WritePrivateProfileStringA(kLinkSettingsSection, "NrKnownProfiles", count.c_str(), path.c_str());
}

ForegroundWindow DescribeWindow(HWND window)
{
    char className[128] = {}, title[128] = {};
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, title, sizeof(title));
    return {className, programFileOf(window), title};
}

}  // namespace fennick::key
