// The real tester window under Wine, with a recording port monitor and a scripted joystick.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>


#include <string>
#include <vector>

#include "fennick/dialog_controls.h"
#include "fennick/dialog_answer.h"
#include "fennick/test_doubles.h"
#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "resource.h"
#include "tester_settings.h"
#include "tester_window.h"

using namespace fennick;
using namespace fennick::tester;
using fennick::testing::DialogAnswer;
using fennick::testing::RecordingPort;
using fennick::testing::ScriptedJoystick;

namespace {

void deleteSettings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, fennick::kFennickKey);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, fennick::kFennickKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, fennick::kDeviceModelValue);
        RegCloseKey(key);
    }
}

void setDword(HKEY hive, const char* path, const char* name, DWORD value)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(hive, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

bool getDword(const char* path, const char* name, DWORD* value)
{
    DWORD size = sizeof(*value);
    return RegGetValueA(HKEY_CURRENT_USER, path, name, RRF_RT_REG_DWORD, nullptr, value, &size) == ERROR_SUCCESS;
}

void pump() { fennick::testing::PumpMessages(); }
void click(HWND dialog, int id) { fennick::testing::ClickControl(dialog, id); }
void pressOk(HWND dialog) { fennick::testing::PressOk(dialog); }
bool ticked(HWND dialog, int id) { return fennick::testing::IsTicked(dialog, id); }

std::string menuText(HWND window, UINT id)
{
    char text[128] = {};
    GetMenuStringA(GetMenu(window), id, text, sizeof(text), MF_BYCOMMAND);
    return text;
}

UINT menuState(HWND window, UINT id) { return GetMenuState(GetMenu(window), id, MF_BYCOMMAND); }

class TesterWindow : public ::testing::Test {
protected:
    void SetUp() override { deleteSettings(); }
    void TearDown() override
    {
        close();
        deleteSettings();
    }
    void storeSettings(DWORD model, DWORD joystickMode)
    {
        setDword(HKEY_CURRENT_USER, fennick::kFennickKey, fennick::kDeviceModelValue, model);
        setDword(HKEY_CURRENT_USER, kTesterKey, kJoystickModeValue, joystickMode);
    }
    void start(int showCommand = SW_SHOWNORMAL)
    {
        window = StartTester(GetModuleHandleA(nullptr), showCommand, TesterServices{&port, &joystick});
        ASSERT_NE(window, nullptr);
        pump();
    }
    void close()
    {
        if (window && IsWindow(window)) {
            SendMessageA(window, WM_CLOSE, 0, 0);
            pump();
        }
        window = nullptr;
    }
    uint32_t state() const { return CurrentTester().state; }
    void switchByte(char byte) { SendMessageA(window, WM_SWITCH_BYTE, 1, static_cast<unsigned char>(byte)); }
    void poll(uint32_t x, uint32_t y, uint32_t buttons = 0)
    {
        joystick.script.push_back({x, y, buttons});
        SendMessageA(window, MM_JOY1MOVE, buttons, MAKELPARAM(x, y));
    }
    void command(UINT id) { SendMessageA(window, WM_COMMAND, id, 0); }
    // Runs the message loop until the query timer has fired and its answer dialog was closed.
    std::string queryAnswer()
    {
        std::string shown;
        DialogAnswer answer("Verifica Fennick", [&shown](HWND dialog) {
            char text[512] = {};
            GetDlgItemTextA(dialog, IDC_QUERY_RESULT, text, sizeof(text));
            shown = text;
            pressOk(dialog);
        });
        DWORD start = GetTickCount();
        while (CurrentTester().querying && GetTickCount() - start < 5000) {
            pump();
            Sleep(5);
        }
        EXPECT_TRUE(answer.seen()) << "no answer dialog";
        return shown;
    }

    RecordingPort port;
    ScriptedJoystick joystick;
    HWND window = nullptr;
};

TEST_F(TesterWindow, StartsWithStoredSettingsAndLeavesInOrder)
{
    storeSettings(1, 0);
    start();

    char title[64] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "FennickTest");
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.bottom - client.top, 300 - 2 * GetSystemMetrics(SM_CYFIXEDFRAME));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 490);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);

    EXPECT_EQ(port.registrations, 1);
    EXPECT_EQ(port.registered, window);
    EXPECT_EQ(joystick.captured, window);
    EXPECT_EQ(joystick.period, 10u);
    TesterSnapshot shown = CurrentTester();
    EXPECT_EQ(shown.model, 1u);
    EXPECT_FALSE(shown.joystickMode);
    EXPECT_TRUE(shown.drawing);
    EXPECT_FALSE(menuState(window, IDM_QUERY) & MF_GRAYED);
    EXPECT_TRUE(menuState(window, IDM_SWITCH_MODE) & MF_CHECKED);
    EXPECT_FALSE(menuState(window, IDM_JOYSTICK_MODE) & MF_CHECKED);

    command(IDM_JOYSTICK_MODE);
    command(IDM_CLOSE);
    pump();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(port.removals, 1);
    EXPECT_EQ(port.registered, nullptr);
    EXPECT_TRUE(joystick.released);
    DWORD value = 7;
    ASSERT_TRUE(getDword(kTesterKey, kJoystickModeValue, &value));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(getDword(fennick::kFennickKey, fennick::kDeviceModelValue, &value));
    EXPECT_EQ(value, 1u);
}

TEST_F(TesterWindow, MenuCarriesTheItalianTexts)
{
    storeSettings(0, 1);
    start();
    EXPECT_EQ(menuText(window, IDM_JOYSTICK_MODE), "&Modalit\xe0 joystick");
    EXPECT_EQ(menuText(window, IDM_SWITCH_MODE), "Mo&dalit\xe0 sensori");
    EXPECT_EQ(menuText(window, IDM_SELECT_MODEL), "&Seleziona modello Fennick");
    EXPECT_EQ(menuText(window, IDM_QUERY), "&Verifica");
    EXPECT_EQ(menuText(window, IDM_CLOSE), "&Chiudi\tAlt+F4");
    char popup[32] = {};
    GetMenuStringA(GetMenu(window), 0, popup, sizeof(popup), MF_BYPOSITION);
    EXPECT_STREQ(popup, "&Menu");
    EXPECT_TRUE(menuState(window, IDM_QUERY) & MF_GRAYED);
    EXPECT_TRUE(menuState(window, IDM_JOYSTICK_MODE) & MF_CHECKED);
}

TEST_F(TesterWindow, WithNothingStoredBothQuestionsAreAskedAndTheAnswersKept)
{
    bool usbPreset = false, settingsGreyed = false, settingsEnabledForSerial = false, switchesPreset = false;
    DialogAnswer model("Modello Fennick", [&](HWND dialog) {
        usbPreset = ticked(dialog, IDC_MODEL_USB) && !ticked(dialog, IDC_MODEL_SERIAL);
        settingsGreyed = !IsWindowEnabled(GetDlgItem(dialog, IDC_PORT_SETTINGS));
        click(dialog, IDC_MODEL_SERIAL);
        settingsEnabledForSerial = IsWindowEnabled(GetDlgItem(dialog, IDC_PORT_SETTINGS));
        click(dialog, IDC_PORT_SETTINGS);
        pressOk(dialog);
    });
    DialogAnswer options("Verifica input seriale", [&](HWND dialog) {
        switchesPreset = ticked(dialog, IDC_OPTION_SWITCHES);
        click(dialog, IDC_OPTION_JOYSTICK);
        pressOk(dialog);
    });
    start();
    EXPECT_TRUE(model.seen());
    EXPECT_TRUE(options.seen());
    EXPECT_TRUE(usbPreset);
    EXPECT_TRUE(settingsGreyed);
    EXPECT_TRUE(settingsEnabledForSerial);
    EXPECT_EQ(port.settingsShown, 1);
    EXPECT_TRUE(switchesPreset);
    EXPECT_EQ(CurrentTester().model, 1u);
    EXPECT_TRUE(CurrentTester().joystickMode);
    EXPECT_FALSE(menuState(window, IDM_QUERY) & MF_GRAYED);

    // The model is written back at once; the display mode at shut-down.
    DWORD value = 7;
    ASSERT_TRUE(getDword(fennick::kFennickKey, fennick::kDeviceModelValue, &value));
    EXPECT_EQ(value, 1u);
    EXPECT_FALSE(getDword(kTesterKey, kJoystickModeValue, &value));
    close();
    ASSERT_TRUE(getDword(kTesterKey, kJoystickModeValue, &value));
    EXPECT_EQ(value, 1u);
}

// Closing the window while the first start-up question is open ends the program normally: no
// second question over a window that has gone, and the quit reaches the program's own loop.
TEST_F(TesterWindow, ClosedDuringTheModelQuestionItEndsWithoutTheNextQuestion)
{
    DialogAnswer model("Modello Fennick", [](HWND dialog) { PostMessageA(GetWindow(dialog, GW_OWNER), WM_CLOSE, 0, 0); });
    DialogAnswer options("Verifica input seriale", [](HWND dialog) { pressOk(dialog); });
    HWND created = StartTester(GetModuleHandleA(nullptr), SW_SHOWNORMAL, TesterServices{&port, &joystick});
    EXPECT_TRUE(model.seen());
    EXPECT_FALSE(options.seen());
    EXPECT_NE(created, nullptr);
    EXPECT_FALSE(IsWindow(created));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(port.registered, nullptr) << "the closed window is still registered";
}

TEST_F(TesterWindow, ModelFromTheLocalMachineIsUsedAndCopiedToTheUser)
{
    setDword(HKEY_LOCAL_MACHINE, fennick::kFennickKey, fennick::kDeviceModelValue, 1);
    setDword(HKEY_CURRENT_USER, kTesterKey, kJoystickModeValue, 0);
    start();
    EXPECT_EQ(CurrentTester().model, 1u);
    DWORD value = 7;
    ASSERT_TRUE(getDword(fennick::kFennickKey, fennick::kDeviceModelValue, &value));
    EXPECT_EQ(value, 1u);
}

TEST_F(TesterWindow, JoystickReadingsLightArrowsAndAFailedReadChangesNothing)
{
    storeSettings(0, 1);
    start();
    poll(65535, 0);
    EXPECT_EQ(state(), 0x08u | 0x04u);  // right and up: a diagonal
    poll(0, 32767);
    EXPECT_EQ(state(), 0x02u);          // far right to far left in one reading
    joystick.script.push_back({0, 0, ScriptedJoystick::kFailure});
    SendMessageA(window, MM_JOY1MOVE, 0, 0);
    EXPECT_EQ(state(), 0x02u);
    poll(32767, 32767, 0x41);            // buttons 1 and 7
    EXPECT_EQ(state(), 0x10u);
    poll(32767, 32767, 0x3C);            // buttons 3..6; 1 and 7 released
    EXPECT_EQ(state(), 0x0Fu);
    // Serial bytes mean nothing to the USB model.
    switchByte('j');
    switchByte('u');
    EXPECT_EQ(state(), 0x0Fu);
}

TEST_F(TesterWindow, SerialModelTakesBytesAndIgnoresTheJoystick)
{
    storeSettings(1, 0);
    start();
    poll(65535, 65535, 0x01);
    EXPECT_EQ(state(), 0u);
    switchByte('D');
    EXPECT_EQ(state(), 0x01u);
    switchByte('J');
    EXPECT_EQ(state(), 0x03u);
    switchByte('j');
    switchByte('L');
    EXPECT_EQ(state(), 0x03u);
    switchByte('l');
    switchByte('d');
    EXPECT_EQ(state(), 0u);
}

TEST_F(TesterWindow, ChangingTheDisplayModeClearsEveryLitShape)
{
    storeSettings(1, 1);
    start();
    switchByte('U');
    switchByte('J');
    EXPECT_EQ(state(), 0x14u);
    command(IDM_SWITCH_MODE);
    EXPECT_EQ(state(), 0u);
    EXPECT_FALSE(CurrentTester().joystickMode);
    EXPECT_TRUE(menuState(window, IDM_SWITCH_MODE) & MF_CHECKED);
    EXPECT_FALSE(menuState(window, IDM_JOYSTICK_MODE) & MF_CHECKED);
    switchByte('J');
    EXPECT_EQ(state(), 0x02u);
    command(IDM_JOYSTICK_MODE);
    EXPECT_EQ(state(), 0u);
    EXPECT_TRUE(menuState(window, IDM_JOYSTICK_MODE) & MF_CHECKED);
}

TEST_F(TesterWindow, PaintingFillsLitShapesGreenAndOthersWhite)
{
    storeSettings(1, 0);
    start();
    RECT client;
    GetClientRect(window, &client);
    HDC screen = GetDC(window);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(window, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    auto paint = [&] {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        PaintShapes(dc);
    };
    // Two circles of the serial model, centred with 50 between them.
    int d = (client.right - 90) / 5, top = (client.bottom - d) / 2, left = (client.right - 2 * d - 50) / 2;
    int y = top + d / 2, leftCentre = left + d / 2, rightCentre = left + d + 50 + d / 2;

    switchByte('D');
    paint();
    EXPECT_EQ(GetPixel(dc, leftCentre, y), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, rightCentre, y), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, left, y), RGB(0, 0, 0));  // the outline, default pen
    switchByte('d');
    switchByte('L');
    paint();
    EXPECT_EQ(GetPixel(dc, leftCentre, y), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, rightCentre, y), RGB(0, 255, 0));

    command(IDM_JOYSTICK_MODE);
    switchByte('J');
    paint();
    EXPECT_EQ(GetPixel(dc, client.right / 2, client.bottom / 2), RGB(0, 255, 0));
    int a = (client.bottom - 120) / 2;
    EXPECT_EQ(GetPixel(dc, client.right / 2, 20 + a - 5), RGB(255, 255, 255));  // up arrow's shaft, unlit
    switchByte('U');
    paint();
    EXPECT_EQ(GetPixel(dc, client.right / 2, 20 + a - 5), RGB(0, 255, 0));

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(TesterWindow, StartedMinimisedItDrawsInPlaceOnceRestored)
{
    storeSettings(1, 0);
    start(SW_SHOWMINIMIZED);
    ShowWindow(window, SW_RESTORE);
    pump();
    RECT client;
    GetClientRect(window, &client);
    ASSERT_GT(client.right, 0);
    HDC screen = GetDC(window);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(window, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    switchByte('L');
    PaintShapes(dc);
    int d = (client.right - 90) / 5, top = (client.bottom - d) / 2, left = (client.right - 2 * d - 50) / 2;
    EXPECT_EQ(GetPixel(dc, left + d + 50 + d / 2, top + d / 2), RGB(0, 255, 0)) << "right circle in place, lit";
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 255)) << "nothing heaped in the top-left corner";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(TesterWindow, QueryShowsTheRepairedAnswerOrTheNoReplyText)
{
    storeSettings(1, 0);
    start();

    command(IDM_QUERY);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], "?");
    EXPECT_TRUE(CurrentTester().querying);
    for (char c : std::string("OK D\n\r"))
        switchByte(c);
    EXPECT_EQ(state(), 0u) << "reply bytes must not light shapes";
    EXPECT_EQ(queryAnswer(), "OK D\r\n");
    EXPECT_FALSE(CurrentTester().querying);
    switchByte('D');
    EXPECT_EQ(state(), 0x01u) << "after the query bytes light shapes again";

    command(IDM_QUERY);
    EXPECT_EQ(queryAnswer(), "Nessuna risposta .\r\n\r\n*Verificare la porta COM");

    // A chatty device: the first 128 bytes are shown, the rest dropped.
    command(IDM_QUERY);
    std::string sent;
    for (int i = 0; i < 200; ++i)
        sent += static_cast<char>('a' + i % 26);
    for (char c : sent)
        switchByte(c);
    EXPECT_EQ(queryAnswer(), sent.substr(0, 128));
}

TEST_F(TesterWindow, QueryIsGreyedForTheUsbModelUntilTheSerialModelIsChosen)
{
    storeSettings(0, 0);
    start();
    EXPECT_TRUE(menuState(window, IDM_QUERY) & MF_GRAYED);
    command(IDM_QUERY);
    EXPECT_TRUE(port.writes.empty());
    poll(32767, 32767, 0x04);
    EXPECT_EQ(state(), 0x01u);

    DialogAnswer model("Modello Fennick", [](HWND dialog) {
        click(dialog, IDC_MODEL_SERIAL);
        pressOk(dialog);
    });
    command(IDM_SELECT_MODEL);
    EXPECT_TRUE(model.seen());
    EXPECT_EQ(CurrentTester().model, 1u);
    EXPECT_FALSE(menuState(window, IDM_QUERY) & MF_GRAYED);
    EXPECT_EQ(state(), 0u) << "a circle lit by the joystick must not stay lit as a serial switch";
    EXPECT_EQ(port.registrations, 1) << "the model dialog leaves the registration alone";
}

TEST_F(TesterWindow, EscapeSendsTheTestCommandAndOtherKeysNothing)
{
    storeSettings(1, 0);
    start();
    SendMessageA(window, WM_KEYDOWN, 'A', 0);
    SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(port.writes.empty());
    SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], std::string("!s 01 10"));
    EXPECT_EQ(port.writes[0].size(), 8u);
}

}  // namespace
