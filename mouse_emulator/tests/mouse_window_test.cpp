// The real bar window under Wine, with a recording pointer, cursor scheme and port monitor.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "fennick/dialog_controls.h"
#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "mouse_window.h"
#include "resource.h"

using namespace fennick;
using namespace fennick::mouse;

namespace {

// Pointer, cursors and port monitor write into one log, so the order across them is checked too.
std::vector<std::string> g_log;

class RecordingPointer : public PointerDevice {
public:
    void moveBy(int dx, int dy) override { g_log.push_back("move " + std::to_string(dx) + " " + std::to_string(dy)); }
    void button(ButtonEvent event) override
    {
        static const char* const kNames[] = {"left down", "left up", "right down", "right up"};
        g_log.push_back(kNames[static_cast<int>(event)]);
    }
};

class RecordingCursors : public SystemCursors {
public:
    void show(HINSTANCE module, int cursor) override
    {
        // The resource must be there for SetSystemCursor to get anything.
        EXPECT_NE(LoadCursorA(module, MAKEINTRESOURCEA(cursor)), nullptr) << cursor;
        g_log.push_back("cursor " + std::to_string(cursor));
    }
    void restore() override { g_log.push_back("restore cursors"); }
};

class RecordingPort : public PortMonitor {
public:
    int isRegistered(HWND window) override { return window == registered; }
    int registerWindow(HWND window) override
    {
        registered = window;
        return 1;
    }
    int unregisterWindow(HWND window) override
    {
        g_log.push_back("unregister");
        registered = nullptr;
        if (whileUnregistering)
            whileUnregistering();
        return 1;
    }
    int showSettings() override { return 1; }
    int write(const char*, int) override { return 1; }
    HWND registered = nullptr;
    // The real unregistering waits on the server, and messages sent meanwhile are delivered.
    std::function<void()> whileUnregistering;
};

class ScriptedJoystick : public JoystickReader {
public:
    bool capture(HWND, unsigned) override { return true; }
    void release() override {}
    bool capabilities(JoystickRange* out) override
    {
        *out = {0, 65535, 0, 65535};
        return true;
    }
    bool read(JoystickReading* reading) override
    {
        *reading = next;
        return !unplugged;
    }
    JoystickReading next{32767, 32767, 0};
    bool unplugged = false;
};

void pump() { fennick::testing::PumpMessages(); }

void setDword(const char* path, const char* name, DWORD value)
{
    WriteRegistryDword(HKEY_CURRENT_USER, path, name, value);
}

class MouseWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, kFennickKey);
        g_log.clear();
    }
    void TearDown() override
    {
        if (bar && IsWindow(bar))
            DestroyWindow(bar);
        pump();
        RegDeleteTreeA(HKEY_CURRENT_USER, kFennickKey);
    }
    void start()
    {
        bar = StartMouse(GetModuleHandleA(nullptr), SW_SHOWNORMAL, MouseServices{&port, &joystick, &pointer, &cursors});
        ASSERT_NE(bar, nullptr);
        pump();
        g_log.clear();
    }
    void switchByte(char byte) { SendMessageA(bar, WM_SWITCH_BYTE, 1, static_cast<unsigned char>(byte)); }
    void joystickButtons(uint32_t buttons)
    {
        joystick.next.buttons = buttons;
        SendMessageA(bar, MM_JOY1MOVE, buttons, 0);
    }
    // Drag mode picked up with the fire switch, and the right button held on the joystick.
    void holdBothButtons()
    {
        SendMessageA(bar, WM_COMMAND, MAKEWPARAM(IDI_DRAG - IDI_DOUBLE_CLICK, BN_CLICKED), 0);
        SetCursorPos(600, 500);  // away from the bar: a real click, not a mode button
        switchByte('J');
        joystickButtons(0b10);
        ASSERT_TRUE(CurrentMouse().leftIsDown);
        ASSERT_TRUE(CurrentMouse().rightIsDown);
        g_log.clear();
    }
    // Waits in the message loop until `count` log lines have come, or two seconds passed.
    void runUntil(size_t count)
    {
        DWORD start = GetTickCount();
        while (g_log.size() < count && GetTickCount() - start < 5000) {
            pump();
            Sleep(5);
        }
    }

    RecordingPointer pointer;
    RecordingCursors cursors;
    RecordingPort port;
    ScriptedJoystick joystick;
    HWND bar = nullptr;
};

using Lines = std::vector<std::string>;

TEST_F(MouseWindow, EveryWayOutLetsGoOfHeldButtonsBeforeAnythingElse)
{
    const Lines expected = {"left up", "right up", "restore cursors", "unregister"};
    // WM_CLOSE, the end of the Windows session, a window destroyed without WM_CLOSE, and a quit
    // message from elsewhere that ends the message loop.
    const struct {
        const char* path;
        UINT message;
        WPARAM wParam;
    } paths[] = {{"WM_CLOSE", WM_CLOSE, 0},
                 {"WM_ENDSESSION", WM_ENDSESSION, TRUE},
                 {"DestroyWindow", 0, 0},
                 {"WM_QUIT", WM_QUIT, 0}};
    for (const auto& path : paths) {
        start();
        holdBothButtons();
        if (path.message == WM_QUIT) {
            PostQuitMessage(0);
            RunMessageLoop();
        } else if (path.message) {
            SendMessageA(bar, path.message, path.wParam, 0);
        } else {
            DestroyWindow(bar);
        }
        EXPECT_EQ(g_log, expected) << path.path;
        g_log.clear();
        if (IsWindow(bar))
            SendMessageA(bar, WM_CLOSE, 0, 0);
        pump();
        EXPECT_EQ(g_log, Lines{}) << path.path << ": the clean-up runs once";
        DWORD method = 0;
        EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, kMouseKey, kMethodValue, &method)) << path.path;
        RegDeleteTreeA(HKEY_CURRENT_USER, kFennickKey);
    }
}

TEST_F(MouseWindow, InputThatArrivesWhileShuttingDownIsIgnored)
{
    start();
    switchByte('R');  // a direction held: a motion tick would move the pointer
    port.whileUnregistering = [this] {
        switchByte('J');
        SendMessageA(bar, WM_TIMER, kMotionTimer, 0);
        SendMessageA(bar, WM_TIMER, kDwellTimer, 0);
        joystickButtons(0b10);
    };
    g_log.clear();
    SendMessageA(bar, WM_CLOSE, 0, 0);
    EXPECT_EQ(g_log, (Lines{"restore cursors", "unregister"})) << "a button pressed after all was released";
    EXPECT_FALSE(CurrentMouse().leftIsDown);
    EXPECT_FALSE(CurrentMouse().rightIsDown);
}

// Another program becomes the port's active window while Fire and a direction are held: the port
// monitor will not pass their releases on, so the bar lets go of them itself.
TEST_F(MouseWindow, NoLongerTheActiveWindowItLetsGoOfWhatTheSwitchesHeld)
{
    start();
    switchByte('J');
    switchByte('R');
    ASSERT_TRUE(CurrentMouse().leftIsDown);
    g_log.clear();
    SendMessageA(bar, WM_SWITCH_ACTIVATE, 0, 1);
    SendMessageA(bar, WM_TIMER, kMotionTimer, 0);
    EXPECT_EQ(g_log, (Lines{"left up"}));
    EXPECT_FALSE(CurrentMouse().leftIsDown);
    EXPECT_EQ(CurrentMouse().direction, Direction::None);
}

// The box is the joystick (USB model): pulled out while held, its readings fail.
TEST_F(MouseWindow, AJoystickThatCanNoLongerBeReadLetsGoOfWhatItHeldOnce)
{
    start();
    joystick.next = {65535, 32767, 0};
    joystickButtons(0b11);  // stick right, fire; the right button in the next poll
    joystickButtons(0b11);
    ASSERT_TRUE(CurrentMouse().leftIsDown);
    ASSERT_TRUE(CurrentMouse().rightIsDown);
    g_log.clear();
    joystick.unplugged = true;
    SendMessageA(bar, MM_JOY1MOVE, 0, 0);
    EXPECT_EQ(g_log, (Lines{"left up", "right up"})) << "within one poll";
    SendMessageA(bar, MM_JOY1MOVE, 0, 0);
    SendMessageA(bar, WM_TIMER, kMotionTimer, 0);
    EXPECT_EQ(g_log, (Lines{"left up", "right up"})) << "let go once, and the pointer stopped";

    // Plugged in again and held; then the joystick messages stop altogether: the motion timer looks.
    joystick.unplugged = false;
    joystick.next = {32767, 32767, 0b1};
    SendMessageA(bar, MM_JOY1MOVE, 0, 0);
    ASSERT_TRUE(CurrentMouse().leftIsDown);
    g_log.clear();
    joystick.unplugged = true;
    SendMessageA(bar, WM_TIMER, kMotionTimer, 0);  // a poll came since the last tick
    EXPECT_EQ(g_log, Lines{});
    SendMessageA(bar, WM_TIMER, kMotionTimer, 0);
    EXPECT_EQ(g_log, (Lines{"left up"}));
    EXPECT_FALSE(CurrentMouse().leftIsDown);
}

// Another program registering with the port monitor takes the box's switches away, not the joystick.
TEST_F(MouseWindow, AnotherProgramTakingTheBoxLeavesTheJoystickHolding)
{
    start();
    joystick.next = {65535, 32767, 0};
    joystickButtons(0b1);  // stick right, a drag held on button 1
    switchByte('D');       // and the box's Down switch
    ASSERT_EQ(CurrentMouse().direction, Direction::DownRight);
    g_log.clear();
    SendMessageA(bar, WM_SWITCH_ACTIVATE, 0, 1);
    SendMessageA(bar, WM_TIMER, kMotionTimer, 0);
    EXPECT_EQ(g_log, (Lines{"move 4 0"})) << "the held stick stopped or the drag was dropped";
    EXPECT_TRUE(CurrentMouse().leftIsDown);
    joystickButtons(0);
    EXPECT_EQ(g_log, (Lines{"move 4 0", "left up"})) << "one left-up, at the button's release";
}

TEST_F(MouseWindow, ChoosingTheSerialModelLetsGoOfWhatTheJoystickHolds)
{
    start();
    ASSERT_EQ(CurrentMouse().settings.model, kModelUsb);
    joystick.next = {65535, 32767, 0};
    joystickButtons(0b10);  // stick right, button 2 (right button) held
    ASSERT_EQ(CurrentMouse().direction, Direction::Right);
    ASSERT_TRUE(CurrentMouse().rightIsDown);
    SendMessageA(bar, WM_SYSCOMMAND, IDM_OPTIONS, 0);
    HWND dialog = CurrentMouse().options;
    ASSERT_NE(dialog, nullptr);
    fennick::testing::ClickControl(dialog, IDC_MODEL_SERIAL);
    g_log.clear();
    fennick::testing::ClickControl(dialog, IDOK);
    ASSERT_EQ(CurrentMouse().options, nullptr);
    EXPECT_EQ(CurrentMouse().settings.model, kModelSerial);
    EXPECT_FALSE(CurrentMouse().rightIsDown);
    EXPECT_EQ(CurrentMouse().direction, Direction::None) << "the pointer would run on with no poll to stop it";
    SendMessageA(bar, WM_TIMER, kMotionTimer, 0);
    for (const std::string& line : g_log)
        EXPECT_EQ(line.find("move"), std::string::npos) << line;
    EXPECT_NE(std::find(g_log.begin(), g_log.end(), "right up"), g_log.end());
}

TEST_F(MouseWindow, ClosedMinimisedTheBarComesBackWhereItWasAndNeverOffScreen)
{
    setDword(kMouseKey, kWindowLeftValue, 200);
    setDword(kMouseKey, kWindowTopValue, 150);
    start();
    ShowWindow(bar, SW_MINIMIZE);
    pump();
    ASSERT_TRUE(IsIconic(bar));
    SendMessageA(bar, WM_CLOSE, 0, 0);
    DWORD left = 0, top = 0;
    EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, kMouseKey, kWindowLeftValue, &left));
    EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, kMouseKey, kWindowTopValue, &top));
    EXPECT_EQ(static_cast<int>(left), 200);
    EXPECT_EQ(static_cast<int>(top), 150);

    // Hidden with the options while minimised: shown again later, it comes back there too.
    start();
    ShowWindow(bar, SW_MINIMIZE);
    pump();
    SendMessageA(bar, WM_SYSCOMMAND, IDM_OPTIONS, 0);
    ASSERT_NE(CurrentMouse().options, nullptr);
    fennick::testing::ClickControl(CurrentMouse().options, IDC_USE_BAR);
    fennick::testing::ClickControl(CurrentMouse().options, IDOK);
    EXPECT_EQ(CurrentMouse().settings.method, kMethodHiddenBar);
    EXPECT_EQ(CurrentMouse().settings.windowLeft, 200);
    EXPECT_EQ(CurrentMouse().settings.windowTop, 150);
    SendMessageA(bar, WM_CLOSE, 0, 0);

    // Stored where no monitor is (as a minimised bar used to leave it): shown on the screen.
    setDword(kMouseKey, kMethodValue, kMethodButtonBar);
    setDword(kMouseKey, kWindowLeftValue, static_cast<DWORD>(-32000));
    setDword(kMouseKey, kWindowTopValue, static_cast<DWORD>(-32000));
    start();
    RECT rect;
    ASSERT_TRUE(GetWindowRect(bar, &rect));
    EXPECT_NE(MonitorFromRect(&rect, MONITOR_DEFAULTTONULL), nullptr)
        << "bar at " << rect.left << "," << rect.top;
}

TEST_F(MouseWindow, UnhandledExceptionFilterReleasesButtonsAndRestoresCursors)
{
    start();
    holdBothButtons();
    LPTOP_LEVEL_EXCEPTION_FILTER installed = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(installed);
    ASSERT_NE(installed, nullptr);
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    CONTEXT context = {};
    EXCEPTION_POINTERS pointers = {&record, &context};
    installed(&pointers);
    EXPECT_EQ(g_log, (Lines{"left up", "right up", "restore cursors"}));
}

TEST_F(MouseWindow, DwellShowsTheFourCursorsInTurnAndMovingRestoresTheScheme)
{
    setDword(kMouseKey, kMethodValue, 2);
    setDword(kMouseKey, kDwellTimeValue, 60);
    setDword(kMouseKey, kCursorIntervalValue, 60);
    start();
    runUntil(5);
    ASSERT_GE(g_log.size(), 5u);
    g_log.resize(5);
    EXPECT_EQ(g_log, (Lines{"cursor 178", "cursor 180", "cursor 179", "cursor 181", "cursor 178"}));
    g_log.clear();
    switchByte('L');
    runUntil(2);
    switchByte('l');
    ASSERT_GE(g_log.size(), 2u);
    EXPECT_EQ(g_log[0], "move -4 0");
    EXPECT_EQ(g_log[1], "restore cursors");
    EXPECT_EQ(CurrentMouse().clickMode, ClickMode::None);
}

TEST_F(MouseWindow, SerialModelIgnoresTheJoystick)
{
    setDword(kFennickKey, kDeviceModelValue, 1);
    start();
    joystickButtons(0b1);  // fire
    joystick.next = {65535, 32767, 0};
    SendMessageA(bar, MM_JOY1MOVE, 0, 0);
    EXPECT_EQ(g_log, Lines{});
    EXPECT_EQ(CurrentMouse().direction, Direction::None);
    switchByte('J');
    switchByte('j');
    EXPECT_EQ(g_log, (Lines{"left down", "left up"})) << "switch bytes work with either model";
}

TEST_F(MouseWindow, OptionsDialogHoldsOffDwellAndClosingWithItOpenKeepsTheMethod)
{
    setDword(kFennickKey, kDeviceModelValue, 1);
    setDword(kMouseKey, kMethodValue, 2);
    start();
    SendMessageA(bar, WM_SYSCOMMAND, IDM_OPTIONS, 0);
    HWND dialog = CurrentMouse().options;
    ASSERT_NE(dialog, nullptr);
    SendMessageA(bar, WM_SYSCOMMAND, IDM_OPTIONS, 0);
    EXPECT_EQ(CurrentMouse().options, dialog) << "a second open shows the same dialog";
    EXPECT_EQ(CurrentMouse().settings.method, 0u) << "no dwell cycle behind the dialog";
    HWND portSettings = GetDlgItem(dialog, IDC_PORT_SETTINGS);
    EXPECT_TRUE(IsWindowEnabled(portSettings)) << "serial model: the port settings are offered";
    SendMessageA(GetDlgItem(dialog, IDC_MODEL_USB), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(portSettings)) << "USB chosen: disabled at once";
    SendMessageA(GetDlgItem(dialog, IDC_MODEL_SERIAL), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(portSettings));
    EXPECT_FALSE(IsDlgButtonChecked(dialog, IDC_USE_BAR)) << "Method 2 is not the bar";

    SendMessageA(bar, WM_CLOSE, 0, 0);  // the dialog still open
    EXPECT_FALSE(IsWindow(dialog));
    DWORD method = 0;
    EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, kMouseKey, kMethodValue, &method));
    EXPECT_EQ(method, 2u) << "closing with the dialog open lost the dwell method";
}

// What SetSystemCursor was handed, and how it answered.
std::vector<HCURSOR> g_handed;

BOOL WINAPI refuseCursor(HCURSOR cursor, DWORD)
{
    g_handed.push_back(cursor);
    return FALSE;
}

// Wine's answer: TRUE, and nothing kept.
BOOL WINAPI acceptWithoutKeeping(HCURSOR cursor, DWORD)
{
    g_handed.push_back(cursor);
    return TRUE;
}

// Windows' answer: the system takes the cursor over and destroys the handle.
BOOL WINAPI takeOver(HCURSOR cursor, DWORD)
{
    g_handed.push_back(cursor);
    return DestroyCursor(cursor);
}

TEST(MouseCursors, NoCopyOutlivesAStepWhateverTheSystemDidWithIt)
{
    for (SetSystemCursorFunction system : {refuseCursor, acceptWithoutKeeping, takeOver}) {
        g_handed.clear();
        std::unique_ptr<SystemCursors> scheme = MakeSystemCursorScheme(system);
        for (int step = 0; step < 3; ++step)
            scheme->show(GetModuleHandleA(nullptr), kCursorDrag);
        if (system == acceptWithoutKeeping)
            EXPECT_EQ(g_handed.size(), 1u) << "a system that keeps no cursor is not handed more of them";
        else
            ASSERT_EQ(g_handed.size(), 45u) << "one copy for each system cursor at each step";
        for (HCURSOR copy : g_handed) {
            ICONINFO info = {};
            bool alive = GetIconInfo(copy, &info) != FALSE;
            if (alive) {
                DeleteObject(info.hbmMask);
                DeleteObject(info.hbmColor);
            }
            EXPECT_FALSE(alive) << "a copy was left behind";
        }
    }
}

TEST(MouseTexts, DutchItalianAndEnglishForEveryOtherLanguage)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    char text[128];
    const struct {
        uint16_t language;
        UINT id;
        const char* expected;
    } cases[] = {
        {1043, IDS_MODEL_SERIAL, "&Seri\xEBle Poort (2 schakelaars)"},
        {2067, IDS_OPTIONS, "Opties"},
        {1040, IDS_INCREASE_SPEED, "Aumenta velocit\xE0 &muovendo nella stessa direzione"},
        {1040, IDS_CANCEL, "&Annulla"},
        {2057, IDS_USE_BAR, "Use button &bar"},
        {1033, IDS_OPTIONS, "Options"},  // US English: not carried, English (UK) explicitly
        {1033, IDS_CANCEL, "&Cancel"},
        {1036, IDS_GROUP_MODEL, "Fennick Type"},  // French
        {1031, IDS_MODEL_USB, "&USB connection (5 switches)"},  // German
    };
    for (const auto& c : cases) {
        LoadUiText(module, c.id, c.language, text, sizeof(text));
        EXPECT_STREQ(text, c.expected) << c.language << " " << c.id;
    }
    // The copy is bounded: a short buffer gets the start of the text, terminated.
    EXPECT_EQ(LoadUiText(module, IDS_INCREASE_SPEED, 2057, text, 8), 7);
    EXPECT_STREQ(text, "Inc&rea");
}

}  // namespace
