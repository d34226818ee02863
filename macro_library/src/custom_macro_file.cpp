// The custom macro store's file: reading with ReadFile, saving through a replaced sibling file.
#include "custom_macro_file.h"

#include <windows.h>

#include <string>

namespace fennick::macro {

namespace {

class FileSource : public ByteSource {
public:
    explicit FileSource(HANDLE file) : file_(file) {}
    std::size_t read(void* buffer, std::size_t size) override
    {
        std::size_t total = 0;
        while (total < size) {
            DWORD got = 0;
            DWORD want = static_cast<DWORD>(size - total);
            if (!ReadFile(file_, static_cast<char*>(buffer) + total, want, &got, nullptr) || got == 0)
                break;
            total += got;
        }
        return total;
    }

private:
    HANDLE file_;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(HANDLE file) : file_(file) {}
    bool write(const void* data, std::size_t size) override
    {
        DWORD written = 0;
        return WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    }

private:
    HANDLE file_;
};

// The form of a path that the file functions take at any length. The ANSI functions stop at
// MAX_PATH whatever the form, so the path goes to the wide ones; a path that is, or whose
// sibling ".new" would be, MAX_PATH or longer goes in the "\\?\" form of its full path.
std::wstring fileSystemPath(const char* path)
{
    int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], length);
    wide.resize(static_cast<std::size_t>(length - 1));
    if (wide.size() + 4 < MAX_PATH || wide.compare(0, 4, L"\\\\?\\") == 0)
        return wide;
    std::wstring full(32768, L'\0');
    DWORD fullLength = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (fullLength == 0 || fullLength >= full.size())
        return wide;
    full.resize(fullLength);
    for (wchar_t& c : full) {
        if (c == L'/')
            c = L'\\';
    }
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace

CustomFileLoad LoadCustomMacroFile(const char* path, CustomMacroStore& store)
{
    store.releaseAll();
    if (!path || !*path)
        return CustomFileLoad::Missing;
    // Shared for writing too: a backup or sync program that holds the file open must not
    // make it look missing.
    std::wstring name = fileSystemPath(path);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return CustomFileLoad::Missing;
        return CustomFileLoad::Unreadable;
    }
    FileSource source(file);
    LoadReport report = store.load(source);
    CloseHandle(file);
    return report.damaged ? CustomFileLoad::Damaged : CustomFileLoad::Loaded;
}

bool SaveCustomMacroFile(const char* path, const CustomMacroStore& store)
{
    if (!path || !*path)
        return false;
    std::wstring target = fileSystemPath(path);
    // Replacing would succeed under Wine but not on Windows: a read-only file stays as it is everywhere.
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    std::wstring temporary = target + L".new";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FileSink sink(file);
    bool written = store.save(sink) && FlushFileBuffers(file);
    CloseHandle(file);
    if (written && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (attributes != INVALID_FILE_ATTRIBUTES && attributes != FILE_ATTRIBUTE_NORMAL)
            SetFileAttributesW(target.c_str(), attributes);
        return true;
    }
    DeleteFileW(temporary.c_str());
    return false;
}

}  // namespace fennick::macro
