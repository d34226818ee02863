// The button bar of the mouse emulator: turns messages into engine calls and engine effects into API calls.
#include "mouse_window.h"

#include <mmsystem.h>

#include <climits>
#include <optional>
#include <string>
#include <string.h>

#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "resource.h"
#include "ui_language.h"

namespace fennick::mouse {

namespace {

constexpr DWORD kBarStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // 0x80C80000
constexpr DWORD kModeButtonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHLIKE | BS_ICON | BS_AUTOCHECKBOX;
constexpr DWORD kOptionsButtonStyle = WS_CHILD | WS_VISIBLE | BS_ICON;
constexpr int kButtonSize = 36;
constexpr int kButtonCount = 4;

class ShellEffects;

struct Mouse {
    HINSTANCE instance = nullptr;
    HWND bar = nullptr;
    HWND buttons[kButtonCount] = {};
    HWND options = nullptr;
    HWND foregroundBeforeOptions = nullptr;
    DWORD methodBeforeOptions = 0;
    MouseServices services = {};
    MouseSettings settings;
    uint16_t language = kLanguageEnglishUk;
    MotionEngine* engine = nullptr;
    // A joystick message came since the last motion tick.
    bool joystickPolled = false;
    bool ended = false;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
};

Mouse g;

class ShellEffects final : public MotionEffects {
public:
    void movePointer(int dx, int dy) override { g.services.pointer->moveBy(dx, dy); }
    void mouseButton(ButtonEvent event) override { g.services.pointer->button(event); }
    PointerTarget targetUnderPointer() override
    {
        POINT at;
        if (!GetCursorPos(&at))
            return PointerTarget::Elsewhere;
        HWND under = WindowFromPoint(at);
        if (!under)
            return PointerTarget::Elsewhere;
        if (under == g.buttons[kOptionsButton])
            return PointerTarget::OptionsButton;
        for (int i = kDoubleClickButton; i <= kDragButton; ++i)
            if (under == g.buttons[i])
                return PointerTarget::ModeButton;
        return PointerTarget::Elsewhere;
    }
    void uncheckModeButtons(int keep) override
    {
        for (int i = kDoubleClickButton; i <= kDragButton; ++i)
            if (i != keep && g.buttons[i])
                SendMessageA(g.buttons[i], BM_SETCHECK, BST_UNCHECKED, 0);
    }
    void showCursor(int cursorResource) override { g.services.cursors->show(g.instance, cursorResource); }
    void restoreCursors() override { g.services.cursors->restore(); }
    void startDwellTimer(uint32_t milliseconds) override
    {
        if (g.bar)
            SetTimer(g.bar, kDwellTimer, milliseconds, nullptr);
    }
    void stopDwellTimer() override
    {
        if (g.bar)
            KillTimer(g.bar, kDwellTimer);
    }
    void openOptions() override { SendMessageA(g.bar, WM_SYSCOMMAND, IDM_OPTIONS, 0); }
};

ShellEffects g_effects;
std::optional<MotionEngine> g_engine;

MotionSettings engineSettings(const MouseSettings& settings)
{
    MotionSettings motion;
    motion.increaseSpeed = settings.increaseSpeed != 0;
    motion.method = settings.method;
    motion.dwellTime = settings.dwellTime;
    motion.cursorInterval = settings.cursorInterval;
    return motion;
}

void applySettings() { g.engine->setSettings(engineSettings(g.settings)); }

SIZE barSize()
{
    RECT rect = {0, 0, kBarClientWidth, kBarClientHeight};
    AdjustWindowRectEx(&rect, kBarStyle, FALSE, WS_EX_TOPMOST);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// A stored position on no monitor (one since unplugged, or an old minimised bar's) would keep the
// bar out of reach for good: it comes to the top-left corner of the nearest screen instead.
void keepBarOnScreen()
{
    SIZE size = barSize();
    auto end = [](int from, LONG length) { return from > LONG_MAX - length ? LONG_MAX : from + length; };
    RECT rect = {g.settings.windowLeft, g.settings.windowTop, end(g.settings.windowLeft, size.cx),
                 end(g.settings.windowTop, size.cy)};
    if (MonitorFromRect(&rect, MONITOR_DEFAULTTONULL))
        return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
        monitor.rcWork = RECT{0, 0, 0, 0};
    g.settings.windowLeft = monitor.rcWork.left;
    g.settings.windowTop = monitor.rcWork.top;
}

void text(UINT id, char* out, int size) { LoadUiText(g.instance, id, g.language, out, size); }

// ---- options dialog -------------------------------------------------------------

void setControlText(HWND dialog, int control, UINT id)
{
    char buffer[128];
    text(id, buffer, sizeof(buffer));
    HWND item = GetDlgItem(dialog, control);
    // A group box stored with id -1 comes back as 0xFFFF or as -1 depending on the system.
    if (!item && control == IDC_GROUP_MODEL)
        item = GetDlgItem(dialog, -1);
    SetWindowTextA(item, buffer);
}

void initOptions(HWND dialog)
{
    g.methodBeforeOptions = g.settings.method;
    g.settings.method = kMethodHiddenBar;  // no dwell cycle behind the dialog
    applySettings();
    SetForegroundWindow(dialog);
    bool serial = g.settings.model != kModelUsb;
    CheckDlgButton(dialog, serial ? IDC_MODEL_SERIAL : IDC_MODEL_USB, BST_CHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), serial);
    if (g.settings.increaseSpeed)
        CheckDlgButton(dialog, IDC_INCREASE_SPEED, BST_CHECKED);
    if (g.methodBeforeOptions == kMethodButtonBar)
        CheckDlgButton(dialog, IDC_USE_BAR, BST_CHECKED);
    static const struct {
        int control;
        UINT text;
    } kTexts[] = {{IDC_GROUP_MODEL, IDS_GROUP_MODEL},   {IDC_MODEL_USB, IDS_MODEL_USB},
                  {IDC_MODEL_SERIAL, IDS_MODEL_SERIAL}, {IDC_PORT_SETTINGS, IDS_PORT_SETTINGS},
                  {IDC_USE_BAR, IDS_USE_BAR},           {IDC_INCREASE_SPEED, IDS_INCREASE_SPEED},
                  {IDOK, IDS_OK},                       {IDCANCEL, IDS_CANCEL}};
    for (const auto& entry : kTexts)
        setControlText(dialog, entry.control, entry.text);
}

void closeOptions()
{
    DestroyWindow(g.options);
    g.options = nullptr;
    if (g.foregroundBeforeOptions && IsWindow(g.foregroundBeforeOptions))
        SetForegroundWindow(g.foregroundBeforeOptions);
}

void showBar()
{
    SIZE size = barSize();
    SetWindowPos(g.bar, nullptr, g.settings.windowLeft, g.settings.windowTop, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(g.bar);
}

void hideBar()
{
    POINT corner;
    if (BarRestoredCorner(g.bar, &corner)) {
        g.settings.windowLeft = corner.x;
        g.settings.windowTop = corner.y;
    }
    SetWindowPos(g.bar, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void acceptOptions(HWND dialog)
{
    g.settings.increaseSpeed = IsDlgButtonChecked(dialog, IDC_INCREASE_SPEED) == BST_CHECKED ? 1 : 0;
    DWORD modelBefore = g.settings.model;
    g.settings.model = IsDlgButtonChecked(dialog, IDC_MODEL_USB) == BST_CHECKED ? kModelUsb : kModelSerial;
    if (modelBefore == kModelUsb && g.settings.model != kModelUsb)
        g.engine->stopJoystick();  // no poll will come to see its buttons and stick let go
    g.settings.method = IsDlgButtonChecked(dialog, IDC_USE_BAR) == BST_CHECKED ? kMethodButtonBar : kMethodHiddenBar;
    if (g.settings.method != g.methodBeforeOptions) {
        if (g.settings.method == kMethodButtonBar)
            showBar();
        else if (g.methodBeforeOptions == kMethodButtonBar)
            hideBar();
    }
    applySettings();
    closeOptions();
}

void cancelOptions()
{
    closeOptions();
    g.settings.method = g.methodBeforeOptions;
    applySettings();
}

INT_PTR CALLBACK optionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: initOptions(dialog); return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_MODEL_USB: EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), FALSE); return TRUE;
        case IDC_MODEL_SERIAL: EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), TRUE); return TRUE;
        case IDC_PORT_SETTINGS: g.services.port->showSettings(); return TRUE;
        case IDOK: acceptOptions(dialog); return TRUE;
        case IDCANCEL: cancelOptions(); return TRUE;
        }
        break;
    }
    return FALSE;
}

void openOptions()
{
    g.engine->optionsOpening();
    if (g.options) {  // already open: bring it forward rather than open a second one
        SetForegroundWindow(g.options);
        return;
    }
    g.foregroundBeforeOptions = GetForegroundWindow();
    g.options = CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_OPTIONS), g.bar, optionsProc, 0);
    if (!g.options)
        return;
    SetWindowPos(g.options, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(g.options, SW_SHOW);
    UpdateWindow(g.options);
}

// ---- bar ------------------------------------------------------------------------

// Every way out passes here once: no button left down, the cursor scheme back, the settings kept.
void shutDown(HWND window)
{
    if (g.ended)
        return;
    g.ended = true;
    g.engine->releaseEverything();
    if (g.options) {  // closing with the dialog open counts as its Cancel
        DestroyWindow(g.options);
        g.options = nullptr;
        g.settings.method = g.methodBeforeOptions;
    }
    if (g.services.port->isRegistered(window))
        g.services.port->unregisterWindow(window);
    g.services.joystick->release();
    SaveMouseSettings(g.settings, window);
    KillTimer(window, kMotionTimer);
    KillTimer(window, kDwellTimer);
}

void onCommand(int id, int code)
{
    if (id >= kDoubleClickButton && id <= kDragButton && code != BN_CLICKED)
        return;
    if (id >= kDoubleClickButton && id <= kOptionsButton)
        g.engine->barCommand(id);
}

LRESULT onSysCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case IDM_OPTIONS: openOptions(); return 0;
    case IDM_PORT_SETTINGS: g.services.port->showSettings(); return 0;
    }
    return DefWindowProcA(window, WM_SYSCOMMAND, wParam, lParam);
}

void readJoystick()
{
    JoystickReading reading;
    if (g.services.joystick->read(&reading))
        g.engine->joystickPoll(reading);
    else
        g.engine->stopJoystick();  // unplugged: no reading will ever let go of what it held
}

void onJoystickMove()
{
    if (g.settings.model != kModelUsb)
        return;
    g.joystickPolled = true;
    readJoystick();
}

// The capture sends no message at all once the joystick cannot be read, so what the joystick
// holds is checked from the motion timer too when its messages have stopped.
void onMotionTimer()
{
    bool polled = g.joystickPolled;
    g.joystickPolled = false;
    if (g.settings.model == kModelUsb && !polled && g.engine->joystickHolds())
        readJoystick();
    g.engine->tick();
}

void onTimer(UINT_PTR id)
{
    if (id == kMotionTimer)
        onMotionTimer();
    else if (id == kDwellTimer)
        g.engine->dwellTimer();
}

LRESULT CALLBACK barProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Once everything was let go, nothing may press again: unregistering waits on the server,
    // and a switch byte or joystick poll sent meanwhile is still delivered here.
    if (g.ended && (message == WM_SWITCH_BYTE || message == MM_JOY1MOVE || message == WM_TIMER))
        return 0;
    switch (message) {
    case WM_SWITCH_BYTE: g.engine->switchByte(static_cast<uint8_t>(lParam & 0xFF)); return 0;
    case WM_SWITCH_ACTIVATE:
        // No longer the port's active window: the port monitor forgets the switches held and
        // will not pass on their releases.
        if (wParam == 0 && !g.ended)
            g.engine->switchesForgotten();
        return 0;
    case MM_JOY1MOVE: onJoystickMove(); return 0;
    case WM_TIMER: onTimer(wParam); return 0;
    case WM_COMMAND: onCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_SYSCOMMAND: return onSysCommand(window, wParam, lParam);
    case WM_ENDSESSION:
        if (wParam)
            shutDown(window);  // the process may be ended straight after this returns
        return 0;
    case WM_CLOSE:
        shutDown(window);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        shutDown(window);  // destroyed without WM_CLOSE: the same clean-up
        g.bar = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LONG WINAPI lastChance(EXCEPTION_POINTERS* exception)
{
    // The process is about to die: whatever else is broken, the user keeps a usable mouse.
    if (g.engine)
        g.engine->releaseEverything();
    return g.previousFilter ? g.previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

bool registerBarClass(HINSTANCE instance)
{
    return fennick::RegisterMainWindowClass(instance, kWindowClass, barProc, MAKEINTRESOURCEA(IDI_PROGRAM),
                                            static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
}

void createButtons()
{
    for (int i = 0; i < kButtonCount; ++i) {
        DWORD style = i == kOptionsButton ? kOptionsButtonStyle : kModeButtonStyle;
        g.buttons[i] = CreateWindowExA(0, "button", "", style, i * (kButtonSize + 2), 2, kButtonSize, kButtonSize,
                                       g.bar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)), g.instance, nullptr);
        HANDLE icon = LoadImageA(g.instance, MAKEINTRESOURCEA(IDI_DOUBLE_CLICK + i), IMAGE_ICON, 32, 32, 0);
        SendMessageA(g.buttons[i], BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
}

void addOptionsMenuItem()
{
    char label[64];
    text(IDS_OPTIONS, label, sizeof(label));
    HMENU menu = GetSystemMenu(g.bar, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_OPTIONS, label);
}

}  // namespace

int LoadUiText(HINSTANCE module, UINT id, uint16_t userLanguage, char* out, int size)
{
    if (size <= 0)
        return 0;
    out[0] = '\0';
    // Looked up by language on purpose: left to itself the loader may pick any of the three
    // tables for a language the program does not carry (US English among them).
    LPCSTR block = MAKEINTRESOURCEA(id / 16 + 1);
    HRSRC found = FindResourceExA(module, RT_STRING, block, stringLanguageFor(userLanguage));
    if (!found)
        found = FindResourceExA(module, RT_STRING, block, kLanguageEnglishUk);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const WCHAR* entry = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!entry)
        return 0;
    for (UINT i = 0; i < id % 16; ++i)
        entry += 1 + *entry;  // each entry: its length, then that many characters
    std::string converted(static_cast<size_t>(*entry) * 2, '\0');
    int length = WideCharToMultiByte(CP_ACP, 0, entry + 1, *entry, &converted[0], static_cast<int>(converted.size()),
                                     nullptr, nullptr);
    converted.resize(length > 0 ? length : 0);
    CopyText(out, static_cast<size_t>(size), converted.c_str());
    return static_cast<int>(strlen(out));
}

HWND StartMouse(HINSTANCE instance, int showCommand, const MouseServices& services)
{
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = g.previousFilter;
    g = Mouse();
    g.previousFilter = previousFilter;
    g.instance = instance;
    g.services = services;
    g.language = static_cast<uint16_t>(GetUserDefaultUILanguage());
    g_engine.emplace(g_effects, MotionSettings());
    g.engine = &*g_engine;

    if (!registerBarClass(instance))
        return nullptr;
    g.settings = LoadMouseSettings();
    keepBarOnScreen();
    applySettings();

    SIZE size = g.settings.method == kMethodButtonBar ? barSize() : SIZE{0, 0};
    g.bar = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, kWindowTitle, kBarStyle, g.settings.windowLeft,
                            g.settings.windowTop, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
    if (!g.bar)
        return nullptr;
    createButtons();
    addOptionsMenuItem();
    ShowWindow(g.bar, showCommand);
    UpdateWindow(g.bar);

    if (!services.port->isRegistered(g.bar))
        services.port->registerWindow(g.bar);
    // Without a joystick both fail once and are not retried: switches work as before.
    services.joystick->capture(g.bar, kJoystickPeriodMs);
    JoystickRange range;
    if (services.joystick->capabilities(&range))
        g.engine->setJoystickRange(range);
    SetTimer(g.bar, kMotionTimer, kMotionMilliseconds, nullptr);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(lastChance);
    if (previous != lastChance)  // started again in one process (tests): never chain to itself
        g.previousFilter = previous;
    return g.bar;
}

int RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Tab, Enter and Esc work in the modeless options dialog.
        if (g.options && IsDialogMessageA(g.options, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // A quit that did not come from the bar's own end: the same clean-up before the process goes.
    if (g.bar)
        DestroyWindow(g.bar);
    return static_cast<int>(message.wParam);
}

MouseSnapshot CurrentMouse()
{
    return {g.settings, g.engine->direction(), g.engine->clickMode(), g.engine->leftIsDown(),
            g.engine->rightIsDown(), g.engine->dwellActive(), g.options};
}

}  // namespace fennick::mouse
