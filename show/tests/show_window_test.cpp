// The real show window under Wine: profiles and registry on disk, start-up, the switch path, full screen,
// and the dialogs driven from the window's own thread. The port monitor, joystick and outside actions are recorders.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fennick/dialog_controls.h"
#include "fennick/dialog_answer.h"
#include "fennick/test_doubles.h"
#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "picture.h"
#include "resource.h"
#include "show_settings.h"
#include "show_window.h"

using namespace fennick;
using namespace fennick::show;
using fennick::testing::DialogAnswer;
using fennick::testing::RecordingPort;
using fennick::testing::ScriptedJoystick;

namespace {

class RecordingActions : public OutsideActions {
public:
    void playSound(const char* path) override { sounds.push_back(path); }
    void runProgram(const char* path) override { programs.push_back(path); }
    std::vector<std::string> sounds, programs;
};

std::string testFolder()
{
    char folder[MAX_PATH];
    ProgramFolder(folder, sizeof(folder));
    return folder;
}

void deleteProfiles()
{
    std::string folder = testFolder();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.bd2").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileA((folder + found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
}

void deleteSettings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kFennickKey);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFennickKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, kDeviceModelValue);
        RegCloseKey(key);
    }
}

void setRaw(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kShowKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

bool getRaw(const char* path, const char* name, DWORD* type, std::string* data)
{
    char buffer[1024];
    DWORD size = sizeof(buffer);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return false;
    data->assign(buffer, size);
    return true;
}

DWORD getDword(const char* path, const char* name)
{
    DWORD value = 0xDEADBEEF;
    ReadRegistryDword(HKEY_CURRENT_USER, path, name, &value);
    return value;
}

// A 24-bit BMP of one colour.
void writeBitmap(const std::string& path, int width, int height, COLORREF colour)
{
    int stride = (width * 3 + 3) & ~3;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            char* p = &pixels[static_cast<size_t>(y) * stride + x * 3];
            p[0] = static_cast<char>(GetBValue(colour));
            p[1] = static_cast<char>(GetGValue(colour));
            p[2] = static_cast<char>(GetRValue(colour));
        }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of one section as the file holds them (up to the next section or a blank line).
std::vector<std::string> sectionLines(const std::string& file, const std::string& section)
{
    std::vector<std::string> lines;
    std::istringstream in(file);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (inside && (line.empty() || line[0] == '['))
            break;
        if (inside)
            lines.push_back(line);
        if (line == "[" + section + "]")
            inside = true;
    }
    return lines;
}

using Lines = std::vector<std::string>;

void pump() { fennick::testing::PumpMessages(); }
void click(HWND dialog, int id) { fennick::testing::ClickControl(dialog, id); }
void pressOk(HWND dialog) { fennick::testing::PressOk(dialog); }
bool ticked(HWND dialog, int id) { return fennick::testing::IsTicked(dialog, id); }
bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
std::string text(HWND dialog, int id)
{
    char buffer[512] = {};
    GetDlgItemTextA(dialog, id, buffer, sizeof(buffer));
    return buffer;
}
void setText(HWND dialog, int id, const std::string& value) { SetDlgItemTextA(dialog, id, value.c_str()); }
void choose(HWND dialog, int combo, int index)
{
    SendDlgItemMessageA(dialog, combo, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, combo)));
}
std::string menuText(HWND window, UINT id)
{
    char buffer[128] = {};
    GetMenuStringA(GetMenu(window), id, buffer, sizeof(buffer), MF_BYCOMMAND);
    return buffer;
}

class ShowWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        deleteSettings();
        deleteProfiles();
        folder = testFolder();
    }
    void TearDown() override
    {
        close();
        deleteSettings();
        deleteProfiles();
    }
    void storeModel(DWORD model) { WriteRegistryDword(HKEY_CURRENT_USER, kFennickKey, kDeviceModelValue, model); }
    void start()
    {
        window = StartShow(GetModuleHandleA(nullptr), ShowServices{&port, &joystick, &actions});
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
    void byte(char letter) { SendMessageA(window, WM_SWITCH_BYTE, 1, static_cast<unsigned char>(letter)); }
    void command(UINT id) { SendMessageA(window, WM_COMMAND, id, 0); }
    void poll(uint32_t x, uint32_t y, uint32_t buttons)
    {
        joystick.script.push_back({x, y, buttons});
        SendMessageA(window, MM_JOY1MOVE, buttons, MAKELPARAM(x, y));
    }
    std::string title()
    {
        char buffer[128] = {};
        GetWindowTextA(window, buffer, sizeof(buffer));
        return buffer;
    }
    COLORREF centrePixel()
    {
        RECT client;
        GetClientRect(window, &client);
        HDC dc = GetDC(window);
        COLORREF colour = GetPixel(dc, client.right / 2, client.bottom / 2);
        ReleaseDC(window, dc);
        return colour;
    }
    // A profile file with these slots, made current.
    void storeProfile(const std::string& name, const std::vector<Slot>& slots)
    {
        ShowEngine engine;
        for (size_t i = 0; i < slots.size(); ++i)
            engine.slot(static_cast<int>(i)) = slots[i];
        ASSERT_TRUE(SaveProfile(folder + name + ".bd2", engine));
        ASSERT_TRUE(WriteCurrentProfile(folder + name + ".bd2"));
    }

public:
    // Full screen from a normal window, close, a maximised start, full screen from there, close.
    void fullScreenThenMaximisedStart(bool* fullScreen, bool* zoomedAgain, bool* framedAgain)
    {
        start();
        command(IDM_FULL_SCREEN);
        *fullScreen = CurrentShow().fullScreen;
        close();
        start();
        *zoomedAgain = IsZoomed(window) != FALSE;
        *framedAgain = (GetWindowLongA(window, GWL_STYLE) & kFramedStyle) == kFramedStyle;
        command(IDM_FULL_SCREEN);
        close();
    }

protected:
    RecordingPort port;
    ScriptedJoystick joystick;
    RecordingActions actions;
    HWND window = nullptr;
    std::string folder;
};

// ---- profiles and registry on disk ------------------------------------------------

TEST_F(ShowWindowTest, ProfileSectionsAreWrittenWholeAndReadBackWithDefaults)
{
    std::string path = folder + "Sezioni.bd2";
    {
        std::ofstream old(path, std::ios::binary);
        old << "[Button1]\r\nBtCmd=1\r\nExtra=gone\r\nBtCmdText1=old.bmp\r\n";
    }
    ShowEngine engine;
    engine.slot(0) = {kPictureAndSound, "a.jpg", "b.wav"};
    engine.slot(2) = {kRunProgram, "C:\\x.exe", ""};
    ASSERT_TRUE(SaveProfile(path, engine));
    std::string file = readFile(path);
    EXPECT_EQ(sectionLines(file, "Button1"), (Lines{"BtCmd=4", "BtCmdText1=a.jpg", "BtCmdText2=b.wav"})) << file;
    EXPECT_EQ(sectionLines(file, "Button2"), (Lines{"BtCmd=0", "BtCmdText1=", "BtCmdText2="})) << file;
    EXPECT_EQ(sectionLines(file, "Button3"), (Lines{"BtCmd=3", "BtCmdText1=C:\\x.exe", "BtCmdText2="})) << file;
    EXPECT_EQ(sectionLines(file, "Button5"), (Lines{"BtCmd=0", "BtCmdText1=", "BtCmdText2="})) << file;

    // A hand-edited file: missing sections read as no action, long texts come back cut at 258 characters.
    std::string edited = folder + "Modificato.bd2";
    {
        std::ofstream out(edited, std::ios::binary);
        out << "[Button2]\r\nBtCmd=2\r\nBtCmdText1=bell.wav\r\n[Button5]\r\nBtCmd=1\r\nBtCmdText1="
            << std::string(300, 'x') << "\r\n";
    }
    ASSERT_TRUE(LoadProfile(edited, engine));
    EXPECT_EQ(engine.slot(0).action, kNoAction);
    EXPECT_EQ(engine.slot(0).first, "");
    EXPECT_EQ(engine.slot(0).second, "");
    EXPECT_EQ(engine.slot(1).action, kPlaySound);
    EXPECT_EQ(engine.slot(1).first, "bell.wav");
    EXPECT_EQ(engine.slot(2).action, kNoAction);
    EXPECT_EQ(engine.slot(4).first, std::string(258, 'x'));

    // A missing file changes nothing.
    EXPECT_FALSE(LoadProfile(folder + "Nessuno.bd2", engine));
    EXPECT_EQ(engine.slot(1).first, "bell.wav");
    EXPECT_EQ(ListProfiles(folder), (std::vector<std::string>{"Modificato", "Sezioni"}));
}

// Characters stored in CurProfile, asked without a buffer (a read into one may append a terminator).
size_t storedCharacters()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShowKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0, size = 0;
    LONG result = RegQueryValueExW(key, L"CurProfile", nullptr, &type, nullptr, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? size / sizeof(WCHAR) : 0;
}

TEST_F(ShowWindowTest, CurrentProfileIsStoredWithoutTerminatorAndReadEitherWay)
{
    const char path[] = "C:\\Fennick\\Animali.bd2";
    // A byte other than zero after the data keeps the system from counting a terminator in.
    std::string unterminated = std::string(path) + "X";
    setRaw(kCurProfileValue, REG_SZ, unterminated.data(), sizeof(path) - 1);
    EXPECT_EQ(storedCharacters(), sizeof(path) - 1);
    EXPECT_EQ(ReadCurrentProfile(), path);
    setRaw(kCurProfileValue, REG_SZ, path, sizeof(path));
    EXPECT_EQ(ReadCurrentProfile(), path);
    std::string tooLong(300, 'y');
    setRaw(kCurProfileValue, REG_SZ, tooLong.c_str(), static_cast<DWORD>(tooLong.size()));
    EXPECT_EQ(ReadCurrentProfile(), "");

    ASSERT_TRUE(WriteCurrentProfile("C:\\b.bd2"));
    EXPECT_EQ(storedCharacters(), 8u);  // no terminator
    EXPECT_EQ(ReadCurrentProfile(), "C:\\b.bd2");
}

TEST_F(ShowWindowTest, PlacementDefaultsMinimizedComesBackNormalAndFullScreenComesBackFramed)
{
    storeModel(0);
    start();
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(window, &placement);
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int w = work.right - work.left, h = work.bottom - work.top;
    EXPECT_EQ(placement.rcNormalPosition.left, w / 6);
    EXPECT_EQ(placement.rcNormalPosition.top, h / 6);
    EXPECT_EQ(placement.rcNormalPosition.right, 5 * w / 6);
    EXPECT_EQ(placement.rcNormalPosition.bottom, 5 * h / 6);
    EXPECT_TRUE(IsWindowVisible(window));
    close();

    DWORD type = 0;
    std::string stored;
    ASSERT_TRUE(getRaw(kShowKey, kPlacementValue, &type, &stored));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(stored.size(), 44u);

    WINDOWPLACEMENT minimized = {};
    minimized.length = sizeof(minimized);
    minimized.showCmd = SW_SHOWMINIMIZED;
    minimized.rcNormalPosition = {100, 90, 500, 400};
    setRaw(kPlacementValue, REG_BINARY, &minimized, sizeof(minimized));
    start();
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
    GetWindowPlacement(window, &placement);
    EXPECT_EQ(placement.rcNormalPosition.left, 100);
    EXPECT_EQ(placement.rcNormalPosition.bottom, 400);

    command(IDM_FULL_SCREEN);
    EXPECT_TRUE(CurrentShow().fullScreen);
    close();
    start();
    EXPECT_FALSE(CurrentShow().fullScreen);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & kFramedStyle, kFramedStyle);
    EXPECT_NE(GetMenu(window), nullptr);
}

// A normal window as large as the screen (dragged so, or stored so) goes full screen and back: it
// comes back at its own place and size, not shrunk.
TEST_F(ShowWindowTest, AScreenSizedNormalWindowComesBackFromFullScreenAtItsSize)
{
    storeModel(0);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    WINDOWPLACEMENT stored = {};
    stored.length = sizeof(stored);
    stored.showCmd = SW_SHOWNORMAL;
    stored.rcNormalPosition = {-4, -4, width + 4, height + 4};
    setRaw(kPlacementValue, REG_BINARY, &stored, sizeof(stored));
    start();
    RECT before;
    ASSERT_TRUE(GetWindowRect(window, &before));
    ASSERT_FALSE(IsZoomed(window));
    ASSERT_TRUE(before.left <= 0 && before.top <= 0 && before.right >= width && before.bottom >= height)
        << "the case needs a normal window that covers the screen";
    command(IDM_FULL_SCREEN);
    ASSERT_TRUE(CurrentShow().fullScreen);
    command(IDM_FULL_SCREEN);
    ASSERT_FALSE(CurrentShow().fullScreen);
    RECT after;
    ASSERT_TRUE(GetWindowRect(window, &after));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    close();
}

// The show runs full screen all day: log-off or shut-down is its usual end, with no close.
TEST_F(ShowWindowTest, TheEndOfTheSessionKeepsWhatWasChangedAndTheWindowsPlace)
{
    storeModel(0);
    start();
    {
        DialogAnswer options("Opzioni", [](HWND dialog) {
            click(dialog, IDC_KEYBOARD);
            pressOk(dialog);
        });
        command(IDM_OPTIONS);
        ASSERT_TRUE(options.seen());
    }
    ASSERT_FALSE(CurrentShow().keyboard);
    {
        DialogAnswer model("Modello Fennick", [](HWND dialog) {
            click(dialog, IDC_MODEL_SERIAL);
            pressOk(dialog);
        });
        command(IDM_SELECT_MODEL);
        ASSERT_TRUE(model.seen());
    }
    SetWindowPos(window, nullptr, 120, 80, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(getDword(kShowKey, kKeyboardValue), 0u);
    EXPECT_EQ(getDword(kFennickKey, kDeviceModelValue), 1u);
    WINDOWPLACEMENT placement = {};
    ASSERT_TRUE(ReadWindowPlacement(&placement));
    EXPECT_EQ(placement.rcNormalPosition.left, 120);
    EXPECT_EQ(placement.rcNormalPosition.top, 80);
    EXPECT_EQ(port.registered, nullptr) << "the port was not let go";
}

// A stored show command other than normal or maximised (a hand edit, another version) could start
// the show hidden, and the single-instance rule would then refuse the next start too.
TEST_F(ShowWindowTest, AStoredPlacementStartsVisibleWhateverItsShowCommand)
{
    storeModel(0);
    for (UINT showCommand : {11u, 12u, 0x4000u}) {
        WINDOWPLACEMENT stored = {};
        stored.length = sizeof(stored);
        stored.showCmd = showCommand;
        stored.rcNormalPosition = {100, 90, 500, 400};
        setRaw(kPlacementValue, REG_BINARY, &stored, sizeof(stored));
        start();
        EXPECT_TRUE(IsWindowVisible(window)) << showCommand;
        EXPECT_FALSE(IsIconic(window)) << showCommand;
        close();
    }
}

// FNType is shared by the suite: a value the show does not know is another program's business.
TEST_F(ShowWindowTest, AModelValueTheShowDoesNotKnowIsLeftAloneUntilTheUserChooses)
{
    storeModel(7);
    {
        DialogAnswer notAsked("Modello Fennick", [](HWND dialog) { pressOk(dialog); });
        start();
        EXPECT_FALSE(notAsked.seen());
    }
    EXPECT_EQ(CurrentShow().model, static_cast<uint32_t>(kModelUsb));
    close();
    EXPECT_EQ(getDword(kFennickKey, kDeviceModelValue), 7u);
    start();
    {
        DialogAnswer model("Modello Fennick", [](HWND dialog) { pressOk(dialog); });
        command(IDM_SELECT_MODEL);
        ASSERT_TRUE(model.seen());
    }
    close();
    EXPECT_EQ(getDword(kFennickKey, kDeviceModelValue), static_cast<DWORD>(kModelUsb)) << "the user chose";
}

TEST_F(ShowWindowTest, WithoutAStoredModelTheDialogAsksAndTheAnswerIsStoredAtOnce)
{
    bool usbPreset = false, settingsGreyed = false, registeredOnSerial = false, unregisteredOnUsb = false;
    DialogAnswer model("Modello Fennick", [&](HWND dialog) {
        usbPreset = ticked(dialog, IDC_MODEL_USB) && !ticked(dialog, IDC_MODEL_SERIAL);
        settingsGreyed = !enabled(dialog, IDC_PORT_SETTINGS);
        click(dialog, IDC_MODEL_SERIAL);
        registeredOnSerial = port.registered != nullptr && enabled(dialog, IDC_PORT_SETTINGS);
        click(dialog, IDC_PORT_SETTINGS);
        click(dialog, IDC_MODEL_USB);
        unregisteredOnUsb = port.registered == nullptr && !enabled(dialog, IDC_PORT_SETTINGS);
        click(dialog, IDC_MODEL_SERIAL);
        pressOk(dialog);
    });
    start();
    EXPECT_TRUE(model.seen());
    EXPECT_TRUE(usbPreset);
    EXPECT_TRUE(settingsGreyed);
    EXPECT_TRUE(registeredOnSerial);
    EXPECT_TRUE(unregisteredOnUsb);
    EXPECT_EQ(port.settingsShown, 1);
    EXPECT_EQ(port.registered, window);
    EXPECT_TRUE(port.writes.empty());  // the show never sends to the box
    EXPECT_EQ(CurrentShow().model, 1u);
    EXPECT_EQ(getDword(kFennickKey, kDeviceModelValue), 1u);
    EXPECT_EQ(title(), "FennickShow");
    EXPECT_EQ(joystick.period, kJoystickPeriodMs);
    EXPECT_EQ(joystick.captured, window);

    // The serial model ignores the joystick; shut-down stores every setting and lets go of everything.
    poll(0, 0, 1);
    EXPECT_EQ(joystick.script.size(), 1u);
    EXPECT_EQ(CurrentShow().currentSlot, -1);
    close();
    EXPECT_EQ(port.registered, nullptr);
    EXPECT_TRUE(joystick.released);
    EXPECT_EQ(getDword(kShowKey, kFadeValue), 0xFFFFFFFFu);
    EXPECT_EQ(getDword(kShowKey, kKeyboardValue), 1u);
    EXPECT_EQ(getDword(kShowKey, kBackgroundValue), 0xFFFFFFu);

    // The machine-wide value is taken when the user has none, and copied to the user.
    deleteSettings();
    WriteRegistryDword(HKEY_LOCAL_MACHINE, kFennickKey, kDeviceModelValue, 1);
    DialogAnswer notAsked("Modello Fennick", [](HWND dialog) { pressOk(dialog); });
    start();
    EXPECT_FALSE(notAsked.seen());
    EXPECT_EQ(getDword(kFennickKey, kDeviceModelValue), 1u);
}

// ---- the switch path ----------------------------------------------------------------

TEST_F(ShowWindowTest, MakesShowPlayAndRunOnceAndRepeatedMakesOnlyReplayTheSound)
{
    storeModel(0);
    writeBitmap(folder + "show_test_red.bmp", 64, 48, RGB(255, 0, 0));
    writeBitmap(folder + "show_test_blue.bmp", 64, 48, RGB(0, 0, 255));
    storeProfile("Prova", {{kShowPicture, "show_test_red.bmp", ""},
                           {kPictureAndSound, "show_test_blue.bmp", "bell.wav"},
                           {kPlaySound, "D:\\suoni\\bell.wav", ""},
                           {kRunProgram, "prog.exe", ""},
                           {kNoAction, "", ""}});
    start();
    EXPECT_EQ(title(), "FennickShow - Prova");
    EXPECT_EQ(CurrentShow().profile, folder + "Prova.bd2");

    byte('D');
    EXPECT_EQ(CurrentShow().currentSlot, 0);
    EXPECT_EQ(CurrentShow().pictureDraws, 1);
    EXPECT_EQ(CurrentShow().lastLoad, static_cast<int>(PictureLoad::Loaded));
    pump();
    EXPECT_EQ(centrePixel(), RGB(255, 0, 0));
    byte('D');
    byte('d');
    byte('E');
    EXPECT_EQ(CurrentShow().pictureDraws, 1);

    byte('U');
    byte('U');
    EXPECT_EQ(CurrentShow().pictureDraws, 2);
    EXPECT_EQ(actions.sounds, (std::vector<std::string>{folder + "bell.wav", folder + "bell.wav"}));
    pump();
    EXPECT_EQ(centrePixel(), RGB(0, 0, 255));

    byte('R');
    byte('L');
    EXPECT_EQ(actions.sounds.back(), "D:\\suoni\\bell.wav");
    EXPECT_EQ(actions.programs, (std::vector<std::string>{"prog.exe"}));  // never joined with the folder
    byte('J');
    pump();
    EXPECT_EQ(centrePixel(), RGB(255, 255, 255));  // action 0 clears the other picture

    // Keys: arrows and space are switches; other keys are swallowed.
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(CurrentShow().currentSlot, 0);
    SendMessageA(window, WM_KEYUP, VK_DOWN, 0);
    SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(CurrentShow().currentSlot, 4);

    // Joystick, USB model: the watchdog captured it; buttons 1 and 3 in one poll report only button 1.
    EXPECT_GE(joystick.captures, 1);
    poll(32767, 32767, 0);
    poll(32767, 32767, 0x05);
    EXPECT_EQ(CurrentShow().currentSlot, 4);
    poll(32767, 0, 0x05);  // up
    EXPECT_EQ(CurrentShow().currentSlot, 1);
    EXPECT_TRUE(joystick.script.empty());

    // Options: fade after 1 second, keyboard access off.
    bool fadeGreyed = false, filledTwo = false;
    DialogAnswer options("Opzioni", [&](HWND dialog) {
        fadeGreyed = !enabled(dialog, IDC_FADE_SECONDS) && !enabled(dialog, IDC_FADE_AFTER) &&
                     !enabled(dialog, IDC_FADE_UNIT) && !ticked(dialog, IDC_FADE) && ticked(dialog, IDC_KEYBOARD);
        click(dialog, IDC_FADE);
        filledTwo = enabled(dialog, IDC_FADE_SECONDS) && text(dialog, IDC_FADE_SECONDS) == "2";
        setText(dialog, IDC_FADE_SECONDS, "1");
        click(dialog, IDC_KEYBOARD);
        pressOk(dialog);
    });
    command(IDM_OPTIONS);
    EXPECT_TRUE(fadeGreyed);
    EXPECT_TRUE(filledTwo);
    EXPECT_EQ(CurrentShow().fadeMs, 1000);
    EXPECT_FALSE(CurrentShow().keyboard);
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(CurrentShow().currentSlot, 1);  // keys do nothing now

    byte('D');
    DWORD started = GetTickCount();
    while (CurrentShow().currentSlot != -1 && GetTickCount() - started < 20000) {
        pump();
        Sleep(10);
    }
    EXPECT_EQ(CurrentShow().currentSlot, -1);
    pump();
    EXPECT_EQ(centrePixel(), RGB(255, 255, 255));
    close();
    EXPECT_EQ(getDword(kShowKey, kFadeValue), 1000u);
    EXPECT_EQ(getDword(kShowKey, kKeyboardValue), 0u);
}

// A key held down is one press, as a switch held down is; a program picked inside the program folder
// is found there whatever the current directory; the covering child erases with the background.
TEST_F(ShowWindowTest, HeldKeysPressOnceAndProgramsInTheFolderAreFoundThere)
{
    storeModel(0);
    CreateDirectoryA((folder + "show_test_sub").c_str(), nullptr);
    std::ofstream(folder + "show_test_sub\\gioco.exe") << "MZ";
    writeBitmap(folder + "show_test_blue.bmp", 64, 48, RGB(0, 0, 255));
    storeProfile("Tasti", {{kNoAction, "", ""},
                           {kPictureAndSound, "show_test_blue.bmp", "bell.wav"},
                           {kRunProgram, "show_test_sub\\gioco.exe", ""},
                           {kRunProgram, "notepad.exe", ""},
                           {kNoAction, "", ""}});
    start();
    const LPARAM repeat = 1L << 30;
    SendMessageA(window, WM_KEYDOWN, VK_UP, 0);
    for (int i = 0; i < 3; ++i)
        SendMessageA(window, WM_KEYDOWN, VK_UP, repeat);
    EXPECT_EQ(actions.sounds.size(), 1u) << "a held key played its sound again";
    SendMessageA(window, WM_KEYUP, VK_UP, repeat | (1L << 31));
    SendMessageA(window, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(actions.sounds.size(), 2u) << "a new press of the key did not play the sound again";

    SendMessageA(window, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(window, WM_KEYDOWN, VK_RIGHT, repeat);
    SendMessageA(window, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(actions.programs, (std::vector<std::string>{folder + "show_test_sub\\gioco.exe", "notepad.exe"}));

    HWND child = GetWindow(window, GW_CHILD);
    HDC dc = GetDC(child);
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageA(window, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child)));
    ReleaseDC(child, dc);
    LOGBRUSH seen = {};
    ASSERT_TRUE(brush && GetObjectA(brush, sizeof(seen), &seen));
    EXPECT_EQ(seen.lbColor, CurrentShow().background);

    close();
    DeleteFileA((folder + "show_test_sub\\gioco.exe").c_str());
    RemoveDirectoryA((folder + "show_test_sub").c_str());
}

TEST_F(ShowWindowTest, HugeForeignAndOverlongPicturesAreRefusedBeforeReading)
{
    storeModel(0);
    std::string huge = folder + "show_test_huge.bmp";
    {
        // A real bitmap header on a file past the bound: refused by its size alone.
        HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written;
        WriteFile(file, "BM", 2, &written, nullptr);
        LONG high = 0;
        SetFilePointer(file, static_cast<LONG>(kMaxPictureBytes + 1), &high, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }
    {
        std::ofstream text(folder + "show_test_text.jpg", std::ios::binary);
        text << "not a picture at all";
    }
    writeBitmap(folder + "show_test_ok.bmp", 8, 8, RGB(0, 128, 0));
    std::string overlong(kMaxPathLength - 1, 'a');  // fits a slot; joined with the folder it does not fit a path
    storeProfile("Rifiuti", {{kShowPicture, "show_test_huge.bmp", ""},
                             {kShowPicture, "show_test_text.jpg", ""},
                             {kPictureAndSound, overlong, overlong},
                             {kShowPicture, "show_test_ok.bmp", ""}});
    start();
    byte('D');
    EXPECT_EQ(CurrentShow().lastLoad, static_cast<int>(PictureLoad::TooLarge));
    byte('U');
    EXPECT_EQ(CurrentShow().lastLoad, static_cast<int>(PictureLoad::NotAPicture));
    byte('R');
    EXPECT_EQ(CurrentShow().lastLoad, static_cast<int>(PictureLoad::PathTooLong));
    EXPECT_TRUE(actions.sounds.empty());
    EXPECT_EQ(CurrentShow().decodes, 0);
    pump();
    EXPECT_EQ(centrePixel(), RGB(255, 255, 255));
    byte('L');
    EXPECT_EQ(CurrentShow().lastLoad, static_cast<int>(PictureLoad::Loaded));
    EXPECT_EQ(CurrentShow().decodes, 1);
    DeleteFileA(huge.c_str());
}

TEST_F(ShowWindowTest, FullScreenTakesCaptionFrameAndMenuAndAClickGivesThemBack)
{
    storeModel(0);
    start();
    EXPECT_EQ(menuText(window, IDM_BUTTON_ACTIONS), "&Azioni sensori\tCtrl+B");
    EXPECT_EQ(menuText(window, IDM_OPTIONS), "&Opzioni");
    EXPECT_EQ(menuText(window, IDM_FULL_SCREEN), "&Schermo intero\tEsc");
    EXPECT_EQ(menuText(window, IDM_SELECT_MODEL), "Seleziona &modello Fennick");
    EXPECT_EQ(menuText(window, IDM_CLOSE), "&Chiudi\tAlt+F4");
    HWND child = GetDlgItem(window, kCoveringChildId);
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(IsWindowEnabled(child));
    RECT client, covered;
    GetClientRect(window, &client);
    GetClientRect(child, &covered);
    EXPECT_EQ(covered.right, client.right);
    EXPECT_EQ(covered.bottom, client.bottom);

    command(IDM_FULL_SCREEN);
    EXPECT_TRUE(CurrentShow().fullScreen);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & kFramedStyle, 0);
    EXPECT_EQ(GetMenu(window), nullptr);
    EXPECT_TRUE(IsZoomed(window));
    SendMessageA(window, WM_RBUTTONDOWN, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(CurrentShow().fullScreen);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & kFramedStyle, kFramedStyle);
    EXPECT_EQ(menuText(window, IDM_FULL_SCREEN), "&Schermo intero\tEsc");
    EXPECT_FALSE(IsZoomed(window));
    command(IDM_FULL_SCREEN);
    command(IDM_FULL_SCREEN);  // Esc's command toggles both ways
    EXPECT_FALSE(CurrentShow().fullScreen);
    EXPECT_NE(GetMenu(window), nullptr);

    // The one program text that is not a dialog's: the settings subkey's name.
    char subkey[32] = {};
    LoadStringA(GetModuleHandleA(nullptr), IDS_SETTINGS_SUBKEY, subkey, sizeof(subkey));
    EXPECT_STREQ(subkey, "Fennickshow");
}

// Under Wine the desktop window holds the id of an X window that Wine's desktop process made for
// cursor clipping; when that process dies (as it does now and then under qemu-user) the id names a
// dead window, and a program that takes a screen-covering window off the screen makes the X11
// driver unmap it: Xlib's error handler then ends the program. A dead id is planted here, and a
// thread of its own (the driver reads the id once per thread) runs the show through full screen,
// a maximised start and closes. On Windows the property means nothing and the case checks the same.
constexpr char kWineClipWindowProperty[] = "__wine_x11_clip_window";
constexpr ULONG_PTR kDeadXWindow = 0x1ffff0;  // in the X server's own range, where no window is made

struct DeadClipCase {
    ShowWindowTest* test;
    bool fullScreen = false, zoomedAgain = false, framedAgain = false;
};

DWORD WINAPI runDeadClipCase(void* argument)
{
    auto* run = static_cast<DeadClipCase*>(argument);
    run->test->fullScreenThenMaximisedStart(&run->fullScreen, &run->zoomedAgain, &run->framedAgain);
    return 0;
}

TEST_F(ShowWindowTest, FullScreenAndClosingSurviveADeadDesktopClipWindow)
{
    storeModel(0);
    HWND desktop = GetDesktopWindow();
    HANDLE kept = GetPropA(desktop, kWineClipWindowProperty);
    ASSERT_TRUE(SetPropA(desktop, kWineClipWindowProperty, reinterpret_cast<HANDLE>(kDeadXWindow)));
    DeadClipCase run{this};
    HANDLE thread = CreateThread(nullptr, 0, runDeadClipCase, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
    CloseHandle(thread);
    if (kept)
        SetPropA(desktop, kWineClipWindowProperty, kept);
    else
        RemovePropA(desktop, kWineClipWindowProperty);
    EXPECT_TRUE(run.fullScreen);
    EXPECT_TRUE(run.zoomedAgain) << "the show did not come back maximised after closing full screen";
    EXPECT_TRUE(run.framedAgain);
}

// ---- the switch actions dialog ------------------------------------------------------

// Answers the next message box "FennickShow" with `button`, keeping its text.
std::unique_ptr<DialogAnswer> answerMessage(std::string* shown, int button)
{
    return std::make_unique<DialogAnswer>("FennickShow", [shown, button](HWND box) {
        *shown = text(box, 0xFFFF);
        PostMessageA(box, WM_COMMAND, button, 0);
    });
}

// Opens "Nuovo profilo" from the actions dialog and tries each name in turn; returns the messages shown.
std::vector<std::string> tryNames(HWND actions, const std::vector<std::string>& names, bool cancelAtEnd)
{
    std::vector<std::string> messages;
    DialogAnswer nameBox("Nuovo profilo", [&](HWND dialog) {
        for (size_t i = 0; i < names.size(); ++i) {
            setText(dialog, IDC_NEW_NAME, names[i]);
            bool last = i + 1 == names.size();
            if (last && !cancelAtEnd) {
                pressOk(dialog);
                return;
            }
            std::string shown;
            auto box = answerMessage(&shown, IDOK);
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);  // refused: the message box runs its loop in here
            messages.push_back(shown);
            EXPECT_TRUE(IsWindow(dialog)) << "the name dialog closed on a refused name";
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_NEW_NAME));
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    click(actions, IDC_PROFILE_NEW);
    return messages;
}

void forgetCurrentProfile()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShowKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, kCurProfileValue);
        RegCloseKey(key);
    }
}

// Nothing stored (a first start, the portable folder): the starter profile, whichever file the
// folder lists first. A stored profile always wins; a folder without the starter starts as before.
TEST_F(ShowWindowTest, WithNothingStoredTheStarterProfileStartsAndAStoredOneWins)
{
    storeModel(0);
    for (const char* name : {"Animali", "Casa", "Veicoli", "First steps", "Zoo"})
        storeProfile(name, {{kShowPicture, std::string(name) + ".bmp", ""}});
    forgetCurrentProfile();
    start();
    EXPECT_EQ(CurrentShow().profile, folder + "First steps.bd2");
    EXPECT_EQ(ReadCurrentProfile(), folder + "First steps.bd2");
    EXPECT_EQ(title(), "FennickShow - First steps");
    close();

    ASSERT_TRUE(WriteCurrentProfile(folder + "Casa.bd2"));
    start();
    EXPECT_EQ(CurrentShow().profile, folder + "Casa.bd2");
    close();

    ASSERT_TRUE(DeleteFileA((folder + "First steps.bd2").c_str()));
    forgetCurrentProfile();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.bd2").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    start();
    EXPECT_EQ(CurrentShow().profile, folder + found.cFileName);
    EXPECT_EQ(ReadCurrentProfile(), folder + found.cFileName);
}

// The current profile's file gone meanwhile: another whose name starts the same is not it.
TEST_F(ShowWindowTest, ActionsDialogFindsTheCurrentProfileByItsWholeName)
{
    storeModel(0);
    storeProfile("Casa grande", {{kShowPicture, "grande.bmp", ""}});
    storeProfile("Casa", {{kShowPicture, "casa.bmp", ""}});
    start();
    ASSERT_EQ(CurrentShow().profile, folder + "Casa.bd2");
    ASSERT_TRUE(DeleteFileA((folder + "Casa.bd2").c_str()));
    std::string shown;
    DialogAnswer actions("Azioni sensori", [&](HWND dialog) {
        shown = text(dialog, IDC_PROFILE_LIST);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    command(IDM_BUTTON_ACTIONS);
    ASSERT_TRUE(actions.seen());
    EXPECT_EQ(shown, "Casa grande");
    EXPECT_EQ(CurrentShow().profile, folder + "Casa grande.bd2") << "the dialog shows one profile, the show uses another";
}

// Opened a hundred times in a day: each time it must give back every picture it showed.
TEST_F(ShowWindowTest, ActionsDialogDeletesEveryPictureItShowedWhenItCloses)
{
    storeModel(0);
    storeProfile("Casa", {{kShowPicture, "casa.bmp", ""}, {kPlaySound, "a.wav", ""}, {kRunProgram, "b.exe", ""}});
    start();
    std::vector<HGDIOBJ> pictures;
    DialogAnswer actions("Azioni sensori", [&](HWND dialog) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (HGDIOBJ image = reinterpret_cast<HGDIOBJ>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0)))
                pictures.push_back(image);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    command(IDM_BUTTON_ACTIONS);
    ASSERT_TRUE(actions.seen());
    ASSERT_EQ(pictures.size(), 15u) << "a ball, a first and a second icon per row";
    for (HGDIOBJ picture : pictures)
        EXPECT_EQ(GetObjectType(picture), 0u) << "a picture of the closed dialog still exists";
}

TEST_F(ShowWindowTest, ActionsDialogCreatesSelectsAndDeletesProfilesAndMovesPathsBetweenFields)
{
    storeModel(0);
    start();
    bool checked = false;
    DialogAnswer first("Azioni sensori", [&](HWND dialog) {
        HWND selector = GetDlgItem(dialog, IDC_PROFILE_LIST);
        EXPECT_EQ(SendMessageA(selector, CB_GETCOUNT, 0, 0), 0);
        EXPECT_FALSE(enabled(dialog, IDC_PROFILE_DELETE));
        char entry[64] = {};
        SendDlgItemMessageA(dialog, IDC_ROW_ACTION + 2, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(entry));
        EXPECT_STREQ(entry, "Mostra immagine e avvia file audio");

        // A name whose file name would not fit is refused too: such a profile could never be saved.
        EXPECT_EQ(tryNames(dialog, {"", "a/b", std::string(256, 'n'), "Animali"}, false),
                  (std::vector<std::string>{"Inserire il nome del nuovo profilo",
                                            "I caratteri \\/:?*<>\"| non possono essere usati",
                                            "Il nome del profilo \xe8 troppo lungo. Scegliere un nome pi\xf9 breve."}));
        EXPECT_EQ(SendMessageA(selector, CB_GETCOUNT, 0, 0), 1);
        EXPECT_FALSE(enabled(dialog, IDC_PROFILE_DELETE));
        EXPECT_EQ(text(dialog, IDC_PROFILE_LIST), "Animali");
        EXPECT_EQ(text(dialog, IDC_ROW_ACTION), "Nessuna azione");
        EXPECT_FALSE(visible(dialog, IDC_ROW_FIRST_TEXT));

        // Row 1: a sound, then picture and sound (the sound path moves down), then back (it moves up).
        choose(dialog, IDC_ROW_ACTION, kPlaySound);
        EXPECT_TRUE(visible(dialog, IDC_ROW_FIRST_TEXT));
        EXPECT_FALSE(visible(dialog, IDC_ROW_SECOND_TEXT));
        setText(dialog, IDC_ROW_FIRST_TEXT, "bell.wav");
        choose(dialog, IDC_ROW_ACTION, kPictureAndSound);
        EXPECT_TRUE(visible(dialog, IDC_ROW_SECOND_TEXT));
        EXPECT_EQ(text(dialog, IDC_ROW_FIRST_TEXT), "");
        EXPECT_EQ(text(dialog, IDC_ROW_SECOND_TEXT), "bell.wav");
        choose(dialog, IDC_ROW_ACTION, kPlaySound);
        EXPECT_EQ(text(dialog, IDC_ROW_FIRST_TEXT), "bell.wav");
        EXPECT_EQ(text(dialog, IDC_ROW_SECOND_TEXT), "");
        choose(dialog, IDC_ROW_ACTION, kPictureAndSound);
        setText(dialog, IDC_ROW_FIRST_TEXT, "cat.jpg");
        choose(dialog, IDC_ROW_ACTION + 3, kRunProgram);
        setText(dialog, IDC_ROW_FIRST_TEXT + 3, "C:\\giochi\\gioco.exe");

        // A second profile: the first is saved (its unconfirmed rows are not part of it); it starts empty.
        EXPECT_TRUE(tryNames(dialog, {"Veicoli"}, false).empty());
        EXPECT_EQ(SendMessageA(selector, CB_GETCOUNT, 0, 0), 2);
        EXPECT_TRUE(enabled(dialog, IDC_PROFILE_DELETE));
        EXPECT_EQ(text(dialog, IDC_ROW_ACTION), "Nessuna azione");
        choose(dialog, IDC_ROW_ACTION + 4, kShowPicture);
        setText(dialog, IDC_ROW_FIRST_TEXT + 4, "auto.gif");
        checked = true;
        pressOk(dialog);
    });
    command(IDM_BUTTON_ACTIONS);
    ASSERT_TRUE(checked);
    EXPECT_EQ(title(), "FennickShow - Veicoli");
    std::string veicoli = readFile(folder + "Veicoli.bd2");
    EXPECT_EQ(sectionLines(veicoli, "Button5"), (Lines{"BtCmd=1", "BtCmdText1=auto.gif", "BtCmdText2="}));
    EXPECT_EQ(sectionLines(readFile(folder + "Animali.bd2"), "Button1"),
              (Lines{"BtCmd=0", "BtCmdText1=", "BtCmdText2="}));

    // Again: pick the other profile, try an existing name, then delete the selected one.
    std::string existsMessage, confirmMessage;
    checked = false;
    DialogAnswer second("Azioni sensori", [&](HWND dialog) {
        HWND selector = GetDlgItem(dialog, IDC_PROFILE_LIST);
        EXPECT_EQ(text(dialog, IDC_PROFILE_LIST), "Veicoli");
        EXPECT_EQ(text(dialog, IDC_ROW_FIRST_TEXT + 4), "auto.gif");
        choose(dialog, IDC_PROFILE_LIST, 0);
        EXPECT_EQ(text(dialog, IDC_PROFILE_LIST), "Animali");
        EXPECT_EQ(CurrentShow().profile, folder + "Animali.bd2");
        auto messages = tryNames(dialog, {"Veicoli"}, true);
        EXPECT_EQ(messages, (std::vector<std::string>{"Profilo gi\xe0 esistente. Specificare un altro nome."}));

        auto box = answerMessage(&confirmMessage, IDYES);
        click(dialog, IDC_PROFILE_DELETE);
        EXPECT_EQ(SendMessageA(selector, CB_GETCOUNT, 0, 0), 1);
        EXPECT_EQ(text(dialog, IDC_PROFILE_LIST), "Veicoli");
        EXPECT_FALSE(enabled(dialog, IDC_PROFILE_DELETE));
        EXPECT_EQ(text(dialog, IDC_ROW_FIRST_TEXT + 4), "auto.gif");
        checked = true;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    command(IDM_BUTTON_ACTIONS);
    ASSERT_TRUE(checked);
    EXPECT_EQ(confirmMessage, "Eliminazione definitiva del profilo!\nContinuare?");
    EXPECT_EQ(GetFileAttributesA((folder + "Animali.bd2").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadCurrentProfile(), folder + "Veicoli.bd2");
    EXPECT_EQ(CurrentShow().profile, folder + "Veicoli.bd2");
}

}  // namespace
