// Helpers of the macro library's Windows tests: the editor's dialogs, an owner window, pictures, store files.
#pragma once
#include <windows.h>

#include <string>

#include "fennick/window_picture.h"

namespace mcx_test {

struct DialogSearch {
    HWND owner;
    const char* caption;
    HWND found;
};

inline BOOL CALLBACK matchDialog(HWND window, LPARAM lParam)
{
    DialogSearch* search = reinterpret_cast<DialogSearch*>(lParam);
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != search->owner)
        return TRUE;
    if (search->caption) {
        char caption[256] = {};
        GetWindowTextA(window, caption, sizeof(caption));
        if (lstrcmpA(caption, search->caption) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

// The visible dialog (or message box) owned by `owner`, waited for up to 20 s.
inline HWND WaitForDialog(HWND owner, const char* caption = nullptr, DWORD timeoutMs = 20000)
{
    DWORD start = GetTickCount();
    do {
        DialogSearch search = {owner, caption, nullptr};
        EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

inline bool WaitForDialogGone(HWND dialog, DWORD timeoutMs = 20000)
{
    DWORD start = GetTickCount();
    while (IsWindow(dialog) && IsWindowVisible(dialog)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

inline HWND CreateOwnerWindow()
{
    return CreateWindowExA(0, "STATIC", "macro editor owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// A picture of a window as it is on the screen, as a 24-bit BMP file, after it has painted.
inline bool SaveWindowPicture(HWND window, const char* path)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    return fennick::testing::SaveWindowPicture(window, path);
}

// One record of the custom macro file: 48-byte name field, 32-bit length, text.
inline std::string StoreRecord(const std::string& name, const std::string& text)
{
    std::string bytes = name;
    bytes.resize(48, '\0');
    unsigned length = static_cast<unsigned>(text.size());
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((length >> (8 * i)) & 0xFF);
    return bytes + text;
}

inline void WriteFileBytes(const char* path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string ReadFileBytes(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline void WriteSampleStore(const char* path)
{
    WriteFileBytes(path, StoreRecord("Signature", "Kind regards,${ENTER}$Anna$") +
                             StoreRecord("Address", "12 High Street${ENTER}$Leeds$"));
}

}  // namespace mcx_test
