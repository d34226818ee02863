// The real pointer and cursor scheme: SetCursorPos, mouse_event, SetSystemCursor.
#include "mouse_services.h"

namespace fennick::mouse {

namespace {

class Pointer final : public PointerDevice {
public:
    void moveBy(int dx, int dy) override
    {
        POINT at;
        if (GetCursorPos(&at))
            SetCursorPos(at.x + dx, at.y + dy);  // no clipping: where the system puts it is the result
    }
    void button(ButtonEvent event) override
    {
        static const DWORD kFlags[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTDOWN,
                                       MOUSEEVENTF_RIGHTUP};
        POINT at = {0, 0};
        GetCursorPos(&at);
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        DWORD x = width > 0 ? static_cast<DWORD>(static_cast<long long>(at.x) * 65536 / width) : 0;
        DWORD y = height > 0 ? static_cast<DWORD>(static_cast<long long>(at.y) * 65536 / height) : 0;
        mouse_event(MOUSEEVENTF_ABSOLUTE | kFlags[static_cast<int>(event)], x, y, 0, 0);
    }
};

class Cursors final : public SystemCursors {
public:
    explicit Cursors(SetSystemCursorFunction setCursor) : setCursor_(setCursor) {}
    void show(HINSTANCE module, int cursorResource) override
    {
        static const DWORD kSystemCursors[] = {32650, 32512, 32515, 32651, 32513, 32641, 32648, 32646,
                                               32643, 32645, 32642, 32644, 32516, 32514, 32631};
        if (ignored_)
            return;
        for (DWORD id : kSystemCursors) {
            // SetSystemCursor takes the handle over and destroys it, so each call gets its own copy.
            // A copy it refused is still ours, and so is one it accepted without taking it over
            // (Wine answers TRUE and keeps nothing): 15 of them every dwell step would pile up.
            HANDLE copy = LoadImageA(module, MAKEINTRESOURCEA(cursorResource), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE);
            if (!copy)
                continue;
            bool accepted = setCursor_(static_cast<HCURSOR>(copy), id) != FALSE;
            if (accepted && !stillOurs(static_cast<HCURSOR>(copy)))
                continue;
            DestroyCursor(static_cast<HCURSOR>(copy));
            if (accepted) {
                // A system that says yes and keeps nothing shows no pointer shapes at all: loading 15
                // cursors for it at every dwell step only costs time (most of the bar's work at rest).
                ignored_ = true;
                return;
            }
        }
    }
    void restore() override { SystemParametersInfoA(SPI_SETCURSORS, 0, nullptr, 0); }

private:
    // A cursor the system took over was destroyed with the call; one that still answers was not.
    static bool stillOurs(HCURSOR cursor)
    {
        ICONINFO info = {};
        if (!GetIconInfo(cursor, &info))
            return false;
        if (info.hbmMask)
            DeleteObject(info.hbmMask);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        return true;
    }

    SetSystemCursorFunction setCursor_;
    bool ignored_ = false;
};

}  // namespace

PointerDevice& SystemPointer()
{
    static Pointer pointer;
    return pointer;
}

SystemCursors& SystemCursorScheme()
{
    static Cursors cursors(SetSystemCursor);
    return cursors;
}

std::unique_ptr<SystemCursors> MakeSystemCursorScheme(SetSystemCursorFunction setCursor)
{
    return std::make_unique<Cursors>(setCursor);
}

}  // namespace fennick::mouse
