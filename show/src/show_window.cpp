// Main window of the show: one switch path for port bytes, keys and joystick; pictures, fade, full screen.
#include "show_window.h"

#include <mmsystem.h>
#include <ole2.h>

#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "resource.h"
#include "show_state.h"

namespace fennick::show {

Show g;

namespace {

// The make rules' effects on this window.
class WindowEffects final : public ShowEffects {
public:
    void restartFadeTimer(int32_t ms) override { SetTimer(g.window, kFadeTimer, static_cast<UINT>(ms), nullptr); }
    void stopFadeTimer() override { KillTimer(g.window, kFadeTimer); }
    void clearScreen() override { RepaintShow(); }
    void drawPicture(const std::string& path) override
    {
        std::string full;
        ++g.pictureDraws;
        if (!resolvePath(g.folder, path, &full)) {
            g.lastLoad = PictureLoad::PathTooLong;  // refused, never cut into another file's name
            return;
        }
        RECT client;
        GetClientRect(g.window, &client);
        HDC dc = GetDC(g.window);
        g.lastLoad = g.pictures.draw(dc, client, full);
        ReleaseDC(g.window, dc);
    }
    void playSound(const std::string& path) override
    {
        std::string full;
        if (resolvePath(g.folder, path, &full))
            g.services.actions->playSound(full.c_str());
    }
    // A program path is taken as it is, so a bare name is still searched for as the system does
    // ("notepad.exe"). But the file picker stores a file inside the program folder relative to it,
    // and such a path names the file there whatever the current directory happens to be.
    void runProgram(const std::string& path) override
    {
        std::string full;
        if (resolvePath(g.folder, path, &full) && full != path &&
            GetFileAttributesA(full.c_str()) != INVALID_FILE_ATTRIBUTES)
            g.services.actions->runProgram(full.c_str());
        else
            g.services.actions->runProgram(path.c_str());
    }
};

WindowEffects effects;

// ---- full screen --------------------------------------------------------------

// Whether the window covers its whole monitor: full screen, or maximised with its frame past the edges.
bool coversScreen(HWND window)
{
    RECT rect;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetWindowRect(window, &rect) ||
        !GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return false;
    const RECT& screen = monitor.rcMonitor;
    return rect.left <= screen.left && rect.top <= screen.top && rect.right >= screen.right &&
           rect.bottom >= screen.bottom;
}

// Under Wine, a window that covers the screen and is hidden or destroyed makes the X11 driver also
// take down the cursor-clip window that Wine's desktop process made. When that process has died
// (under qemu-user it now and then does), the id it left names a dead X window, and the X error
// ends this program; or the id was given again to a window of ours, which then vanishes. Shrunk to
// one pixel first (still on the screen, so not hidden by the shrink itself), the window covers
// nothing when it goes. Called only where the window is about to be hidden or destroyed, so on
// Windows nobody sees it.
void uncoverScreen(HWND window)
{
    // Only a maximised (or full-screen) window: a normal one keeps its size as the place it comes
    // back to, and one sized over the whole screen is taken down by the driver when shrunk as well.
    if (!IsZoomed(window) || !coversScreen(window))
        return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    SetWindowPos(window, nullptr, monitor.rcMonitor.left, monitor.rcMonitor.top, 1, 1,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void enterFullScreen(HWND window)
{
    g.fullScreen = true;
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~kFramedStyle);
    HMENU menu = GetMenu(window);
    SetMenu(window, nullptr);
    if (menu)
        DestroyMenu(menu);
    uncoverScreen(window);  // a maximised window covers it with its frame
    ShowWindow(window, SW_HIDE);
    if (IsZoomed(window))
        ShowWindow(window, SW_RESTORE);
    ShowWindow(window, SW_SHOWMAXIMIZED);
}

void leaveFullScreen(HWND window)
{
    g.fullScreen = false;
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | kFramedStyle);
    ShowWindow(window, SW_SHOWNORMAL);
    SetMenu(window, LoadMenuA(g.instance, "APPMENU"));
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void toggleFullScreen(HWND window)
{
    if (g.fullScreen)
        leaveFullScreen(window);
    else
        enterFullScreen(window);
}

// ---- messages -----------------------------------------------------------------

void onCommand(HWND window, int id)
{
    switch (id) {
    case IDM_BUTTON_ACTIONS: OpenButtonActions(); break;
    case IDM_OPTIONS: OpenOptions(); break;
    case IDM_FULL_SCREEN: toggleFullScreen(window); break;
    case IDM_SELECT_MODEL: OpenDeviceModel(); break;
    case IDM_CLOSE: SendMessageA(window, WM_CLOSE, 0, 0); break;
    }
}

void sendLetter(HWND window, char letter, WPARAM source)
{
    SendMessageA(window, WM_SWITCH_BYTE, source, static_cast<LPARAM>(static_cast<uint8_t>(letter)));
}

// A key held down repeats its WM_KEYDOWN; like a switch held down it is one press, so the repeats
// (previous state down) make nothing: no sound buzzing again, no program started over and over.
bool onKey(HWND window, WPARAM key, LPARAM flags, bool down)
{
    if (!g.settings.keyboard)
        return false;
    bool repeat = down && (flags & (1L << 30)) != 0;
    if (char letter = repeat ? 0 : keyLetter(static_cast<unsigned>(key), down))
        sendLetter(window, letter, 0);
    return true;  // with keyboard access on, every other key is swallowed
}

void onJoystickWatchdog(HWND window)
{
    SetTimer(window, kJoystickTimer, kJoystickWatchdogMs, nullptr);
    g.services.joystick->capture(window, kJoystickPeriodMs);
    JoystickRange range;
    if (g.services.joystick->capabilities(&range))
        g.joystick.setRange(range);
}

void onJoystickMove(HWND window)
{
    if (g.model == kModelSerial)
        return;
    SetTimer(window, kJoystickTimer, kJoystickWatchdogMs, nullptr);
    JoystickReading reading;
    if (!g.services.joystick->read(&reading))
        return;  // a failed read says nothing about the switches
    char letters[JoystickDirections::kMaxLetters];
    int count = g.joystick.apply(reading, letters);
    for (int i = 0; i < count; ++i)
        sendLetter(window, letters[i], static_cast<WPARAM>(0xFFFFFFFF));
}

void onEraseBackground(HWND window, HDC dc)
{
    RECT box;
    GetClipBox(dc, &box);
    HGDIOBJ old = SelectObject(dc, g.brush);
    PatBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, PATCOPY);
    SelectObject(dc, old);
}

// The covering child's paint: background and the current picture composed off screen, then copied at once.
void onDrawItem(const DRAWITEMSTRUCT* item)
{
    const RECT& area = item->rcItem;
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return;
    HDC memory = CreateCompatibleDC(item->hDC);
    HBITMAP bitmap = CreateCompatibleBitmap(item->hDC, width, height);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    RECT local = {0, 0, width, height};
    FillRect(memory, &local, g.brush);
    if (const std::string* picture = g.engine.currentPicture()) {
        std::string full;
        if (resolvePath(g.folder, *picture, &full))
            g.pictures.draw(memory, local, full);
    }
    BitBlt(item->hDC, area.left, area.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void saveSettings(HWND window)
{
    if (!g.modelLeftAlone)
        WriteDeviceModel(g.model);
    WriteShowSettings(g.settings);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (GetWindowPlacement(window, &placement))
        WriteWindowPlacement(placement);
}

// Both ways out pass here once: at log-off or shut-down the process may be ended as soon as
// WM_ENDSESSION returns, and the show runs all day, so a close is not to be waited for.
void shutDown(HWND window)
{
    if (g.ended)
        return;
    g.ended = true;
    if (g.services.port->isRegistered(window))
        g.services.port->unregisterWindow(window);
    g.services.joystick->release();
    KillTimer(window, kJoystickTimer);
    KillTimer(window, kFadeTimer);
    saveSettings(window);
}

void onClose(HWND window)
{
    shutDown(window);
    if (g.brush)
        DeleteObject(g.brush);
    g.brush = nullptr;
    g.pictures.clear();
    uncoverScreen(window);  // the place was saved above
    DestroyWindow(window);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SWITCH_BYTE: g.engine.onByte(static_cast<uint8_t>(lParam & 0xFF), effects); return 0;
    case MM_JOY1MOVE: onJoystickMove(window); return 0;
    case WM_TIMER:
        if (wParam == kFadeTimer)
            g.engine.onFade(effects);
        else if (wParam == kJoystickTimer)
            onJoystickWatchdog(window);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (onKey(window, wParam, lParam, message == WM_KEYDOWN))
            return 0;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        if (g.fullScreen)
            leaveFullScreen(window);
        break;
    case WM_COMMAND: onCommand(window, LOWORD(wParam)); return 0;
    case WM_SIZE:
        if (g.child)
            MoveWindow(g.child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_ERASEBKGND: onEraseBackground(window, reinterpret_cast<HDC>(wParam)); return 1;
    case WM_DRAWITEM:
        if (wParam == kCoveringChildId) {
            onDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CTLCOLORBTN:
        // The covering child erases itself with this brush before it draws: the background colour,
        // not the grey of a button face, so a new picture or a fade never flashes grey.
        if (reinterpret_cast<HWND>(lParam) == g.child && g.brush)
            return reinterpret_cast<LRESULT>(g.brush);
        break;
    case WM_ENDSESSION:
        if (wParam)
            shutDown(window);
        return 0;
    case WM_CLOSE: onClose(window); return 0;
    case WM_DESTROY:
        g.window = g.child = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerWindowClass(HINSTANCE instance)
{
    return fennick::RegisterMainWindowClass(instance, kWindowClass, windowProc, "ICONAPP",
                                            static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), "AppMenu",
                                            CS_HREDRAW | CS_VREDRAW);
}

void loadDeviceModel()
{
    DWORD stored = kModelUsb;
    if (ReadDeviceModel(&stored)) {
        g.model = stored == kModelSerial ? kModelSerial : kModelUsb;
        g.modelLeftAlone = stored != kModelUsb && stored != kModelSerial;
    } else {
        OpenDeviceModel();  // asked once; the answer is stored at once
    }
    if (!g.modelLeftAlone)
        WriteDeviceModel(g.model);
}

void loadStartupProfile()
{
    std::string path = ReadCurrentProfile();
    if (path.empty()) {
        path = StartingProfile(g.folder);
        if (!path.empty())
            WriteCurrentProfile(path);
    }
    g.profile = !path.empty() && LoadProfile(path, g.engine) ? path : std::string();
    UpdateTitle();
}

}  // namespace

// ---- shared with the dialogs ------------------------------------------------------

void RepaintShow()
{
    if (!g.window)
        return;
    InvalidateRect(g.window, nullptr, TRUE);
    UpdateWindow(g.window);
}

void UpdateTitle()
{
    if (g.window)
        SetWindowTextA(g.window, windowTitle(g.profile).c_str());
}

void RemakeBackgroundBrush()
{
    HBRUSH old = g.brush;
    g.brush = CreateSolidBrush(g.settings.background);
    if (old)
        DeleteObject(old);
}

std::string LoadText(UINT id)
{
    char text[512] = {};
    LoadStringA(g.instance, id, text, sizeof(text));
    return text;
}

HWND StartShow(HINSTANCE instance, const ShowServices& services)
{
    g.pictures.clear();
    g = Show();
    g.instance = instance;
    g.services = services;
    OleInitialize(nullptr);

    if (!registerWindowClass(instance))
        return nullptr;
    char folder[kPathCapacity];
    if (ProgramFolder(folder, sizeof(folder)) == 0)
        return nullptr;
    g.folder = folder;

    g.window = CreateWindowA(kWindowClass, kWindowClass, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                             instance, nullptr);
    if (!g.window)
        return nullptr;
    // Disabled, so clicks on it reach the main window (they leave full screen).
    g.child = CreateWindowA("button", "", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_OWNERDRAW, 0, 0, 0, 0, g.window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCoveringChildId)), instance, nullptr);
    g.engine.clearSlots();

    loadDeviceModel();
    WINDOWPLACEMENT placement;
    if (!ReadWindowPlacement(&placement))
        placement = DefaultWindowPlacement();
    ApplyWindowPlacement(g.window, placement);
    g.settings = ReadShowSettings();
    g.engine.setFadeTime(g.settings.fadeMs);

    if (g.model == kModelSerial && !services.port->isRegistered(g.window))
        services.port->registerWindow(g.window);
    RemakeBackgroundBrush();
    loadStartupProfile();

    SendMessageA(g.window, WM_TIMER, kJoystickTimer, 0);
    UpdateWindow(g.window);
    return g.window;
}

int RunMessageLoop()
{
    HACCEL accelerators = LoadAcceleratorsA(g.instance, "APPACCEL");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (g.window && accelerators && TranslateAcceleratorA(g.window, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

ShowSnapshot CurrentShow()
{
    return {g.model,       g.engine.currentSlot(), g.settings.fadeMs, g.settings.keyboard, g.settings.background,
            g.fullScreen,  g.profile,              g.pictureDraws,    g.pictures.decodes(),
            static_cast<int>(g.lastLoad)};
}

}  // namespace fennick::show
