// Registry values of the show and its ".bd2" profile files.
#include "show_settings.h"

#include <string.h>

#include "fennick/win32_common.h"

namespace fennick::show {

namespace {

class Key {
public:
    Key(bool create)
    {
        LONG result = create ? RegCreateKeyExA(HKEY_CURRENT_USER, kShowKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                               nullptr, &key_, nullptr)
                             : RegOpenKeyExA(HKEY_CURRENT_USER, kShowKey, 0, KEY_READ, &key_);
        if (result != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key()
    {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool profileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

ShowSettings ReadShowSettings()
{
    ShowSettings settings;
    DWORD value;
    if (ReadRegistryDword(HKEY_CURRENT_USER, kShowKey, kFadeValue, &value))
        settings.fadeMs = static_cast<int32_t>(value);
    if (ReadRegistryDword(HKEY_CURRENT_USER, kShowKey, kKeyboardValue, &value))
        settings.keyboard = value != 0;
    if (ReadRegistryDword(HKEY_CURRENT_USER, kShowKey, kBackgroundValue, &value))
        settings.background = value;
    return settings;
}

bool WriteShowSettings(const ShowSettings& settings)
{
    bool ok = WriteRegistryDword(HKEY_CURRENT_USER, kShowKey, kFadeValue, static_cast<DWORD>(settings.fadeMs));
    ok &= WriteRegistryDword(HKEY_CURRENT_USER, kShowKey, kKeyboardValue, settings.keyboard ? 1 : 0);
    ok &= WriteRegistryDword(HKEY_CURRENT_USER, kShowKey, kBackgroundValue, settings.background);
    return ok;
}

static_assert(sizeof(WINDOWPLACEMENT) == 44, "the stored placement record");

bool ReadWindowPlacement(WINDOWPLACEMENT* placement)
{
    Key key(false);
    if (!key)
        return false;
    WINDOWPLACEMENT stored = {};
    DWORD type = 0, size = sizeof(stored);
    if (RegQueryValueExA(key.get(), kPlacementValue, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof(stored))
        return false;
    *placement = stored;
    placement->length = sizeof(WINDOWPLACEMENT);
    return true;
}

bool WriteWindowPlacement(const WINDOWPLACEMENT& placement)
{
    Key key(true);
    return key && RegSetValueExA(key.get(), kPlacementValue, 0, REG_BINARY,
                                 reinterpret_cast<const BYTE*>(&placement), sizeof(placement)) == ERROR_SUCCESS;
}

WINDOWPLACEMENT DefaultWindowPlacement()
{
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int width = work.right - work.left, height = work.bottom - work.top;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    placement.showCmd = SW_SHOWNORMAL;
    placement.ptMinPosition = {-1, -1};
    placement.ptMaxPosition = {-1, -1};
    placement.rcNormalPosition = {width / 6, height / 6, 5 * width / 6, 5 * height / 6};
    return placement;
}

void ApplyWindowPlacement(HWND window, WINDOWPLACEMENT placement)
{
    placement.length = sizeof(placement);
    // A show that comes back minimized or hidden would look as if it had not started, and the
    // single-instance rule would then refuse the copy the user starts to find it: only normal and
    // maximised are kept.
    if (placement.showCmd != SW_SHOWNORMAL && placement.showCmd != SW_SHOWMAXIMIZED)
        placement.showCmd = SW_SHOWNORMAL;
    SetWindowPlacement(window, &placement);
}

std::string ReadCurrentProfile()
{
    Key key(false);
    if (!key)
        return {};
    char path[kPathCapacity + 1] = {};
    DWORD type = 0, size = kPathCapacity;
    if (RegQueryValueExA(key.get(), kCurProfileValue, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    path[size] = '\0';  // stored without a terminator, or with one
    if (strlen(path) > kMaxPathLength)
        return {};
    return path;
}

bool WriteCurrentProfile(const std::string& path)
{
    Key key(true);
    // The system counts a terminator the caller left out when a zero byte follows the data; a
    // non-zero byte there keeps the stored length equal to the string length.
    std::string data = path + '\x01';
    return key && RegSetValueExA(key.get(), kCurProfileValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(path.size())) == ERROR_SUCCESS;
}

bool LoadProfile(const std::string& path, ShowEngine& engine)
{
    if (!profileExists(path))
        return false;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::string section = sectionName(slot);
        // The reader's buffer of 259 characters: at most 258 come back.
        char first[kMaxPathLength] = {}, second[kMaxPathLength] = {};
        Slot& target = engine.slot(slot);
        target.action = static_cast<int32_t>(GetPrivateProfileIntA(section.c_str(), "BtCmd", 0, path.c_str()));
        GetPrivateProfileStringA(section.c_str(), "BtCmdText1", "", first, sizeof(first), path.c_str());
        GetPrivateProfileStringA(section.c_str(), "BtCmdText2", "", second, sizeof(second), path.c_str());
        target.first = first;
        target.second = second;
    }
    return true;
}

bool SaveProfile(const std::string& path, const ShowEngine& engine)
{
    if (path.empty())
        return false;
    bool ok = true;
    for (int slot = 0; slot < kSlotCount; ++slot)
        ok &= WritePrivateProfileSectionA(sectionName(slot).c_str(), sectionText(engine.slot(slot)).c_str(),
                                          path.c_str()) != FALSE;
    return ok;
}

std::vector<std::string> ListProfiles(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.bd2").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(profileName(found.cFileName));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string FirstProfile(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.bd2").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::string path;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            path = folder + found.cFileName;
            break;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return path;
}

std::string StartingProfile(const std::string& folder)
{
    // Which file the folder lists first is the file system's matter: the portable folder, which
    // brings no settings, could as well start on "Sounds only" as on the pictures.
    std::string starter = folder + kStarterProfile + ".bd2";
    return profileExists(starter) ? starter : FirstProfile(folder);
}

}  // namespace fennick::show
