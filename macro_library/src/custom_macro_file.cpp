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

}  // namespace

LoadReport LoadCustomMacroFile(const char* path, CustomMacroStore& store)
{
    store.releaseAll();
    if (!path || !*path)
        return {};
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    FileSource source(file);
    LoadReport report = store.load(source);
    CloseHandle(file);
    return report;
}

bool SaveCustomMacroFile(const char* path, const CustomMacroStore& store)
{
    if (!path || !*path)
        return false;
    // Replacing would succeed under Wine but not on Windows: a read-only file stays as it is everywhere.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    std::string temporary = std::string(path) + ".new";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FileSink sink(file);
    bool written = store.save(sink) && FlushFileBuffers(file);
    CloseHandle(file);
    if (written && MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

}  // namespace fennick::macro
