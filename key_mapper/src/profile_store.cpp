// Button profile files read and written with the private-profile functions.
#include "fennick_key/profile_store.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace fennick::key {

namespace {

// Room for a 1023-character text in quotes: the reader drops a closing quote only when the
// whole quoted value fits in its buffer, so read wide and cut afterwards.
constexpr DWORD kReadBufferSize = kMaxButtonText + 8;

bool fileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Missing, readable, or there but closed to us (locked, no access, a folder of that name).
ProfileLoad probeFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return ProfileLoad::Loaded;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
        return ProfileLoad::Missing;
    return ProfileLoad::Unreadable;
}

bool lessNoCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool samePath(const std::string& a, const std::string& b) { return !lessNoCase(a, b) && !lessNoCase(b, a); }

}  // namespace

ProfileStore::ProfileStore(const char* programFolder) : folder_(programFolder ? programFolder : "")
{
    if (!folder_.empty() && folder_.back() != '\\' && folder_.back() != '/')
        folder_ += '\\';
}

std::string ProfileStore::PathOf(const char* nameOrPath) const
{
    return ResolveProfilePath(nameOrPath ? nameOrPath : "", folder_, fileExists);
}

ProfileLoad ProfileStore::Load(const char* nameOrPath, ButtonTable& table)
{
    ClearButtonTable(table);
    std::string path = PathOf(nameOrPath);
    if (path.empty())
        return ProfileLoad::Missing;
    ProfileLoad state = probeFile(path);
    auto isThis = [&](const std::string& p) { return samePath(p, path); };
    if (state == ProfileLoad::Unreadable) {
        if (std::none_of(protected_.begin(), protected_.end(), isThis))
            protected_.push_back(path);
        return state;
    }
    protected_.erase(std::remove_if(protected_.begin(), protected_.end(), isThis), protected_.end());
    if (state == ProfileLoad::Missing)
        return state;

    char text[kReadBufferSize];
    for (int n = 1; n <= kSwitchCount; ++n) {
        std::string section = ButtonSectionName(n);
        ButtonDef& button = table[n - 1];
        button.BtCmd = static_cast<int32_t>(GetPrivateProfileIntA(section.c_str(), "BtCmd", 0, path.c_str()));
        button.BtCmdVal = static_cast<int32_t>(GetPrivateProfileIntA(section.c_str(), "BtCmdVal", 0, path.c_str()));
        DWORD length = GetPrivateProfileStringA(section.c_str(), "BtCmdText", "", text, sizeof(text), path.c_str());
        SetButtonText(button, std::string_view(text, length));
    }
    return ProfileLoad::Loaded;
}

bool ProfileStore::Save(const char* nameOrPath, const ButtonTable& table)
{
    std::string path = PathOf(nameOrPath);
    if (path.empty())
        return false;
    if (std::any_of(protected_.begin(), protected_.end(), [&](const std::string& p) { return samePath(p, path); }))
        return false;
    bool written = true;
    for (int n = 1; n <= kSwitchCount; ++n) {
        std::string text = ButtonSectionText(table[n - 1]);
        if (!WritePrivateProfileSectionA(ButtonSectionName(n).c_str(), text.c_str(), path.c_str()))
            written = false;
    }
    return written;
}

std::vector<std::string> ProfileStore::List() const
{
    std::vector<std::string> names;
    std::string pattern = folder_ + "*" + kProfileExtension;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        // The pattern also matches through short 8.3 names ("x.bpfold"), so check the long name.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsProfileFileName(found.cFileName))
            names.push_back(ProfileDisplayName(found.cFileName));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), lessNoCase);
    return names;
}

}  // namespace fennick::key
