// The key mapper's invisible main window: switch events, profiles, links, tray, languages, shut-down.
#include "key_window.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <windowsx.h>

#include <memory>

#include "app_links.h"
#include "fennick/mcx_api.h"
#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "fennick_key/language_module.h"
#include "fennick_key/language_resources.h"
#include "fennick_key/profile_store.h"
#include "hookwatch.h"
#include "key_effects.h"
#include "key_settings.h"
#include "settings_dialogs.h"
#include "settings_rules.h"
#include "startup_rules.h"
#include "switch_events.h"
#include "tray.h"

namespace fennick::key {

namespace {

struct KeyMapper {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    KeyServices services = {};
    std::string folder;
    KeySettings settings;  // current profile and language
    std::unique_ptr<ProfileStore> profiles;
    ButtonTable table = {};
    SwitchDispatcher dispatcher;
    LinkSettings links;
    bool linksUnread = false;  // "fkconfig.ini" was there but could not be read: it is not written
    ActivationFilter activation;
    uint32_t joystickButtons = 0;
    HMODULE languageModule = nullptr;
    HMODULE macroLibrary = nullptr;
    RunMacroProc runMacro = nullptr;
    ComposeMacroProc composeMacro = nullptr;
    FreeMacroDllProc freeMacroDll = nullptr;
    HMODULE richEdit = nullptr;
    UINT taskbarCreated = 0;
    bool trayShown = false;
    HMENU trayMenu = nullptr;  // the menu loaded last, kept until replaced or shut-down
    bool shutDown = false;
    bool languagePending = false;  // a language chosen while the settings dialog was open
    EffectsContext effects;
};

KeyMapper g;

// A tray icon that could not be added is tried again at this pace until it is there.
constexpr UINT_PTR kTrayRetryTimer = 1;
constexpr UINT kTrayRetryMs = 2000;

// ---- languages ------------------------------------------------------------------

void unloadMacroLibrary()
{
    if (!g.macroLibrary)
        return;
    if (g.freeMacroDll)
        g.freeMacroDll();
    FreeLibrary(g.macroLibrary);
    g.macroLibrary = nullptr;
    g.runMacro = nullptr;
    g.composeMacro = nullptr;
    g.freeMacroDll = nullptr;
}

// The click sound plays asynchronously from the language module's resources: it is stopped
// before the module goes.
void freeLanguageModule()
{
    if (!g.languageModule)
        return;
    PlaySoundA(nullptr, nullptr, 0);
    FreeLibrary(g.languageModule);
    g.languageModule = nullptr;
}

void loadLanguage(const std::string& code)
{
    freeLanguageModule();
    g.languageModule = LoadLanguageModule(code.c_str());
    unloadMacroLibrary();
    g.macroLibrary = LoadLibraryA(MacroLibraryName(code).c_str());
    if (!g.macroLibrary)
        g.macroLibrary = LoadLibraryA(MCX_LIBRARY_FALLBACK);
    if (g.macroLibrary) {
        g.runMacro = reinterpret_cast<RunMacroProc>(GetProcAddress(g.macroLibrary, "RunMacro"));
        g.composeMacro = reinterpret_cast<ComposeMacroProc>(GetProcAddress(g.macroLibrary, "ComposeMacro"));
        g.freeMacroDll = reinterpret_cast<FreeMacroDllProc>(GetProcAddress(g.macroLibrary, "FreeMacroDll"));
    }
    g.effects.languageModule = g.languageModule;
    g.effects.runMacro = g.runMacro;
}

void setLanguage(const Language& language)
{
    g.settings.CurLang = language.code;
    WriteKeySettings(g.settings);
    // The open dialogs run on the language module and the macro library (the macro editor may be
    // open): both are swapped once the settings dialog has closed.
    if (OpenSettingsDialog()) {
        g.languagePending = true;
        return;
    }
    loadLanguage(g.settings.CurLang);
}

// ---- profiles -------------------------------------------------------------------

void loadCurrentProfile() { g.profiles->Load(g.settings.CurProfile.c_str(), g.table); }

// A profile change by a switch or a link: what the open settings dialog shows is saved to the
// profile it belongs to first, and the dialog then shows the new one.
void switchToProfile(const std::string& name)
{
    if (name == g.settings.CurProfile)
        return;
    CollectSettingsDialog();
    g.settings.CurProfile = name;
    loadCurrentProfile();
    RefreshSettingsDialog();
}

void writeSettings() { WriteKeySettings(g.settings); }

// Until the link file has been read whole, the lists hold nothing of it: it is tried again, and
// never written over.
bool readLinks()
{
    if (!g.linksUnread)
        return true;
    g.linksUnread = !ReadLinkFile(g.folder, g.links);
    return !g.linksUnread;
}

void writeLinks()
{
    if (!g.linksUnread)
        WriteLinkFile(g.folder, g.links);
}

void openSettings(HWND window)
{
    SettingsContext context{g.folder,         &g.languageModule, &g.settings.CurLang, &g.composeMacro, g.profiles.get(),
                            &g.table,         &g.settings.CurProfile, &g.links,       writeSettings,
                            readLinks,        writeLinks};
    RunSettingsDialog(window, context);
    if (g.languagePending) {
        g.languagePending = false;
        loadLanguage(g.settings.CurLang);
    }
}

// The stored profile; with none stored (a first start, or the portable folder, which brings no
// settings), the starter profile when the folder has it, else the first profile of the folder.
void loadStartProfile()
{
    if (g.settings.CurProfile.empty()) {
        std::vector<std::string> names = g.profiles->List();
        int start = StartProfileIndex(names);
        if (start < 0)
            return;
        g.settings.CurProfile = g.folder + names[start] + kProfileExtension;
    }
    loadCurrentProfile();
}

// ---- messages -------------------------------------------------------------------

void onSwitchByte(LPARAM byte)
{
    Win32Effects effects(g.effects);
    g.dispatcher.onByte(static_cast<uint32_t>(byte), g.table, g.folder, effects);
}

// Another program became the port's active client: the keys the box's switches hold go up now
// (a late release the port monitor still hands over finds nothing held). The joystick is read
// here whatever the port does, so what its buttons hold stays until they are let go.
void onPortDeactivated()
{
    Win32Effects effects(g.effects);
    g.dispatcher.releaseHeldByBox(effects);
}

void onJoystickMove(HWND window)
{
    JoystickReading reading;
    if (!g.services.joystick)
        return;
    // A joystick that can no longer be read (unplugged) lets go of every button it held.
    if (!g.services.joystick->read(&reading))
        reading.buttons = 0;
    if (reading.buttons == g.joystickButtons)
        return;
    std::vector<uint8_t> bytes = JoystickSwitchBytes(g.joystickButtons, reading.buttons);
    g.joystickButtons = reading.buttons;
    for (uint8_t byte : bytes)
        SendMessageA(window, WM_SWITCH_BYTE, 0, byte);
}

LRESULT onActivationReport(HWND window, HWND activated)
{
    HWND topLevel = GetAncestor(activated, GA_ROOTOWNER);
    if (!topLevel)
        topLevel = activated;
    if (IsWindow(topLevel) && g.activation.changed(reinterpret_cast<uintptr_t>(topLevel)))
        PostMessageA(window, WM_FOREGROUND_CHANGED, reinterpret_cast<WPARAM>(topLevel), 0);
    return 1;
}

void onForegroundChanged(HWND topLevel)
{
    readLinks();
    if (g.links.links.empty())
        return;
    std::optional<std::string> target = ProfileForWindow(g.links, DescribeWindow(topLevel), g.settings.CurProfile);
    if (target)
        switchToProfile(*target);
}

void showTrayMenu(HWND window, int x, int y)
{
    if (g.trayMenu)
        DestroyMenu(g.trayMenu);
    // A stored code of no known language is taken as English, as its check mark shows.
    if (CheckedLanguageMenuId(g.settings.CurLang) == LanguageAt(0).menuId)
        g.settings.CurLang = LanguageAt(0).code;
    HMENU popup = nullptr;
    g.trayMenu = BuildTrayMenu(g.languageModule, g.settings.CurLang, &popup);
    if (popup)
        TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_RIGHTALIGN | TPM_RIGHTBUTTON, x, y, 0, window, nullptr);
}

void onTrayCallback(HWND window, LPARAM event)
{
    if (event == WM_LBUTTONDBLCLK) {
        SendMessageA(window, WM_COMMAND, IDM_OPEN_SETTINGS, 0);
    } else if (event == WM_RBUTTONUP) {
        SetForegroundWindow(window);
        POINT cursor = {};
        GetCursorPos(&cursor);
        PostMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(cursor.x, cursor.y));
    }
}

void onCommand(HWND window, int id)
{
    if (const Language* language = LanguageForMenuId(id)) {
        setLanguage(*language);
        return;
    }
    switch (id) {
    case IDM_OPEN_SETTINGS: openSettings(window); break;
    case IDM_EXIT: SendMessageA(window, WM_CLOSE, 0, 0); break;
    case IDM_PORT_SETTINGS:
        if (g.services.port)
            g.services.port->showSettings();
        break;
    }
}

LRESULT onCopyData(const COPYDATASTRUCT* data)
{
    if (!data || data->dwData != kCopyProfilePath)
        return 0;
    std::optional<std::string> path = HandedOverProfilePath(data->lpData, data->cbData);
    if (path) {
        g.settings.CurProfile = *path;
        loadCurrentProfile();
    }
    return 0;
}

// Everything that must outlive the program is written, and every key a switch holds goes up.
// Runs once: on WM_CLOSE, or when the session ends and the window may never see WM_CLOSE.
void shutDown(HWND window)
{
    if (g.shutDown)
        return;
    g.shutDown = true;
    UnRegisterCBTHook(window);
    UnInitializeHookwatch();
    if (g.trayMenu)
        DestroyMenu(g.trayMenu);
    g.trayMenu = nullptr;
    writeLinks();
    WriteKeySettings(g.settings);
    Win32Effects effects(g.effects);
    g.dispatcher.releaseAll(effects);
    // The open settings dialog (and the macro editor inside it) still runs on the macro library:
    // it goes after the message loop then.
    if (!OpenSettingsDialog())
        unloadMacroLibrary();
    g.effects.runMacro = nullptr;
    if (g.services.port)
        g.services.port->unregisterWindow(window);
    KillTimer(window, kTrayRetryTimer);
    if (g.trayShown)
        RemoveTrayIcon(window);
    g.trayShown = false;
}

LRESULT CALLBACK keyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == g.taskbarCreated && g.taskbarCreated) {
        if (g.trayShown && AddTrayIcon(window, g.instance))
            KillTimer(window, kTrayRetryTimer);
        return 0;
    }
    if (message == WM_TIMER && wParam == kTrayRetryTimer) {
        if (!g.trayShown || AddTrayIcon(window, g.instance))
            KillTimer(window, kTrayRetryTimer);
        return 0;
    }
    switch (message) {
    case WM_CREATE: g.taskbarCreated = RegisterWindowMessageA("TaskbarCreated"); return 0;
    case WM_SWITCH_BYTE: onSwitchByte(lParam); return 0;
    case WM_SWITCH_ACTIVATE:
        if (!wParam)
            onPortDeactivated();
        return 0;
    case MM_JOY1MOVE: onJoystickMove(window); return 0;
    case WM_ACTIVATION_REPORT: return onActivationReport(window, reinterpret_cast<HWND>(wParam));
    case WM_FOREGROUND_CHANGED: onForegroundChanged(reinterpret_cast<HWND>(wParam)); return 0;
    case kTrayCallback: onTrayCallback(window, lParam); return 0;
    case WM_CONTEXTMENU: showTrayMenu(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_COMMAND: onCommand(window, LOWORD(wParam)); return 0;
    case WM_COPYDATA: return onCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_ENDSESSION:
        if (wParam)
            shutDown(window);
        return 0;
    case WM_CLOSE:
        shutDown(window);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = keyWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "IDI_ICON1");
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = "AppMenu";  // no such menu resource: the window has none
    wc.lpszClassName = kWindowClass;
    return RegisterClassExA(&wc) != 0;
}

}  // namespace

HWND StartKeyMapper(HINSTANCE instance, const StartOptions& options, const KeyServices& services)
{
    g.instance = instance;
    g.services = services;
    char folder[MAX_PATH];
    if (!fennick::ProgramFolder(folder, sizeof(folder)))
        return nullptr;
    g.folder = folder;
    g.profiles = std::make_unique<ProfileStore>(folder);
    g.effects.services = services;
    g.effects.switchProfile = switchToProfile;

    g.settings = ReadKeySettings();
    loadLanguage(g.settings.CurLang);
    if (!options.profilePath.empty())
        g.settings.CurProfile = options.profilePath;
    // The table is ready before the window exists: a switch pressed while the program starts
    // acts on the profile, not on an empty table. A normal start then opens the settings dialog,
    // which selects the profile in its list and loads it again.
    loadStartProfile();

    if (!registerWindowClass(instance))
        return nullptr;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    g.richEdit = LoadLibraryA("RichEd32.Dll");
    g.window = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, kWindowClass, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                               nullptr, instance, nullptr);
    if (!g.window)
        return nullptr;
    g.effects.window = g.window;

    InitializeHookwatchA(folder);
    RegisterCBTHook(g.window);
    g.linksUnread = !ReadLinkFile(g.folder, g.links);
    if (services.port)
        services.port->registerWindow(g.window);
    if (services.joystick)
        services.joystick->capture(g.window, kJoystickPeriodMs);
    // The icon is wanted even when the taskbar is not there yet (logon): "TaskbarCreated" adds it then.
    if (!AddTrayIcon(g.window, instance))
        SetTimer(g.window, kTrayRetryTimer, kTrayRetryMs, nullptr);
    g.trayShown = true;

    // Posted: the dialog's modal loop runs from the program's own loop, not inside start-up.
    if (!options.silent)
        PostMessageA(g.window, WM_COMMAND, IDM_OPEN_SETTINGS, 0);
    return g.window;
}

int RunKeyMapper()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (g.services.joystick)
        g.services.joystick->release();
    freeLanguageModule();
    unloadMacroLibrary();
    ReleaseSettingsDialogs();
    if (g.richEdit)
        FreeLibrary(g.richEdit);
    g.richEdit = nullptr;
    return static_cast<int>(message.wParam);
}

KeySnapshot CurrentKeyMapper() { return {g.settings.CurProfile, g.settings.CurLang, g.table}; }

}  // namespace fennick::key
