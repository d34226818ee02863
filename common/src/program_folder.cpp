// Program folder and bounded text copies.
#include "fennick/win32_common.h"

#include <stdio.h>
#include <string.h>

namespace fennick {

bool CopyText(char* out, size_t size, const char* text)
{
    if (size == 0)
        return false;
    size_t length = text ? strlen(text) : 0;
    bool fits = length < size;
    if (!fits)
        length = size - 1;
    memcpy(out, text ? text : "", length);
    out[length] = '\0';
    return fits;
}

size_t ModuleFolder(HMODULE module, char* out, size_t size)
{
    if (size == 0)
        return 0;
    out[0] = '\0';
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return 0;
    char* slash = strrchr(path, '\\');
    if (slash)
        slash[1] = '\0';
    else
        strcpy(path, ".\\");  // no folder part at all: the current folder
    size_t folderLength = strlen(path);
    if (folderLength + 1 > size)
        return 0;
    memcpy(out, path, folderLength + 1);
    return folderLength;
}

static bool isAbsolute(const char* name)
{
    return name[0] == '\\' || name[0] == '/' || (name[0] && name[1] == ':');
}

size_t ResolveInProgramFolder(const char* name, char* out, size_t size)
{
    if (size == 0)
        return 0;
    out[0] = '\0';
    if (!name)
        return 0;
    size_t folderLength = 0;
    if (!isAbsolute(name)) {
        folderLength = ProgramFolder(out, size);
        if (folderLength == 0)
            return 0;
    }
    size_t nameLength = strlen(name);
    if (folderLength + nameLength + 1 > size) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out + folderLength, name, nameLength + 1);
    return folderLength + nameLength;
}

void FormatErrorText(DWORD error, char* out, size_t size)
{
    if (size == 0)
        return;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, out,
                                  static_cast<DWORD>(size), nullptr);
    if (length == 0) {
        snprintf(out, size, "Error %lu", static_cast<unsigned long>(error));
        return;
    }
    while (length > 0 && (out[length - 1] == '\n' || out[length - 1] == '\r' || out[length - 1] == ' '))
        out[--length] = '\0';
}

}  // namespace fennick
