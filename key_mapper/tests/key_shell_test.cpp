// The key mapper's Win32 shell against the real API: tray menu, master volume, joystick buttons.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "fennick_key/language_module.h"
#include "key_effects.h"
#include "key_settings.h"
#include "key_window.h"
#include "tray.h"

using namespace fennick;
using namespace fennick::key;

namespace {

struct MenuItem {
    UINT id;
    std::string text;
    bool separator, checked;
};

std::vector<MenuItem> itemsOf(HMENU menu)
{
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof(text);
        GetMenuItemInfoA(menu, i, TRUE, &info);
        items.push_back({info.wID, text, (info.fType & MFT_SEPARATOR) != 0, (info.fState & MFS_CHECKED) != 0});
    }
    return items;
}

std::vector<UINT> checkedIds(const std::vector<MenuItem>& items)
{
    std::vector<UINT> ids;
    for (const MenuItem& item : items) {
        if (item.checked)
            ids.push_back(item.id);
    }
    return ids;
}

}  // namespace

TEST(TrayMenu, LanguagesAboveExitWithTheCheckMarkAndNoPortSettings)
{
    HMODULE french = LoadLanguageModule("FRF");
    ASSERT_NE(french, nullptr);
    // The module's own menu holds the port-settings item; the tray menu must not.
    HMENU raw = LoadMenuA(french, MAKEINTRESOURCEA(132));
    ASSERT_NE(raw, nullptr);
    ASSERT_NE(GetMenuState(GetSubMenu(raw, 0), 40010, MF_BYCOMMAND), static_cast<UINT>(-1));
    DestroyMenu(raw);

    HMENU popup = nullptr;
    HMENU menu = BuildTrayMenu(french, "frf", &popup);
    ASSERT_NE(menu, nullptr);
    std::vector<MenuItem> items = itemsOf(popup);
    ASSERT_GE(items.size(), 10u);
    size_t n = items.size();
    std::vector<UINT> tail;
    for (size_t i = n - 9; i < n; ++i)
        tail.push_back(items[i].id);
    EXPECT_EQ(tail, (std::vector<UINT>{145, 146, 147, 149, 150, 151, 152, 148, 128}));
    EXPECT_TRUE(items[n - 2].separator);
    EXPECT_EQ(items[n - 8].text, "Fran\xE7" "ais");
    EXPECT_EQ(items[n - 3].text, "Italiano");
    EXPECT_EQ(checkedIds(items), std::vector<UINT>{146});
    for (const MenuItem& item : items)
        EXPECT_NE(item.id, 40010u);
    EXPECT_EQ(GetMenuDefaultItem(popup, TRUE, 0), 0u);
    DestroyMenu(menu);
    FreeLibrary(french);

    // A code of no known language: the English module, English checked.
    HMODULE english = LoadLanguageModule("XYZ");
    ASSERT_NE(english, nullptr);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(english, path, sizeof(path));
    EXPECT_NE(std::string(path).find("english.dll"), std::string::npos) << path;
    menu = BuildTrayMenu(english, "XYZ", &popup);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(checkedIds(itemsOf(popup)), std::vector<UINT>{145});
    DestroyMenu(menu);
    FreeLibrary(english);

    EXPECT_EQ(BuildTrayMenu(nullptr, "ENG", &popup), nullptr);
    EXPECT_EQ(popup, nullptr);
}

// Run with a HOME whose ALSA configuration gives Wine a null output device and so a mixer. Wine keeps
// the master volume per process, so it is read back here, in the process that set it. Wine stores the
// level on its own scale, so a value reads back within a few units of what was written: the exact
// arithmetic is checked on the value written, the mixer's change on the value read back.
TEST(MasterVolume, StepsATenthOfTheRangeAndStopsAtTheBounds)
{
    MasterVolume volume, set;
    ASSERT_TRUE(ReadMasterVolume(&volume)) << "no mixer: is HOME's .asoundrc the null device?";
    ASSERT_EQ(volume.minimum, 0u);
    ASSERT_EQ(volume.maximum, 65535u);
    // Wine's mixer has 192 steps: a tenth of the range in whole steps is 65472 / 10.
    ASSERT_EQ(volume.steps, 192u);
    const DWORD step = 6547;
    const DWORD tolerance = 100;
    auto readBack = [&] {
        MasterVolume now;
        EXPECT_TRUE(ReadMasterVolume(&now));
        return now.value;
    };
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(StepMasterVolume(false, &set));
    EXPECT_EQ(set.value, 0u);
    EXPECT_EQ(readBack(), 0u);

    DWORD before = 0;
    for (int i = 1; i <= 10; ++i) {
        ASSERT_TRUE(StepMasterVolume(true, &set));
        EXPECT_EQ(set.value, before + step) << "step " << i;
        before = readBack();
        EXPECT_NEAR(static_cast<double>(before), static_cast<double>(i * step), tolerance) << "step " << i;
    }
    // Within one step of the top: the maximum exactly, and there it stays.
    ASSERT_TRUE(StepMasterVolume(true, &set));
    EXPECT_EQ(set.value, 65535u);
    EXPECT_NEAR(static_cast<double>(readBack()), 65535.0, tolerance);
    ASSERT_TRUE(StepMasterVolume(true, &set));
    EXPECT_EQ(set.value, 65535u);
    ASSERT_TRUE(StepMasterVolume(false, &set));
    EXPECT_LT(set.value, 65535u - step + tolerance);
    EXPECT_GT(set.value + tolerance, 65535u - step);
}

namespace {

struct FakePort : PortMonitor {
    std::string written;
    int registered = 0;
    int isRegistered(HWND) override { return registered > 0; }
    int registerWindow(HWND) override { return ++registered; }
    int unregisterWindow(HWND) override { return --registered, 1; }
    int showSettings() override { return 1; }
    int write(const char* bytes, int count) override { return written.append(bytes, count), 1; }
};

struct ScriptedJoystick : JoystickReader {
    std::deque<uint32_t> buttons;
    bool captured = false;
    bool capture(HWND, unsigned) override { return captured = true; }
    void release() override { captured = false; }
    bool capabilities(JoystickRange*) override { return false; }
    bool read(JoystickReading* reading) override
    {
        if (buttons.empty())
            return false;
        *reading = {0, 0, buttons.front()};
        buttons.pop_front();
        return true;
    }
};

}  // namespace

bool keyIsDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

// The whole window in this process, with the port and the joystick stood in for: buttons 3 to 7 of
// one poll are switches in bit order; a key held by a switch goes up when its joystick can no
// longer be read and when another program takes the port; shut-down lets go of everything it took.
TEST(KeyMapperWindow, JoystickButtonsOfOneTickActLowerBitFirstAndNoKeyStaysDown)
{
    char folder[MAX_PATH];
    ASSERT_GT(ProgramFolder(folder, sizeof(folder)), 0u);
    std::string profile = std::string(folder) + "key_shell_test.bpf";
    // Switches 1..3: the device bytes "R", "G" and "T"; switch 4 holds F13 (no program reacts to it).
    const char* sections[] = {"BtCmd=4\0BtCmdVal=4\0BtCmdText=\0", "BtCmd=4\0BtCmdVal=5\0BtCmdText=\0",
                              "BtCmd=4\0BtCmdVal=6\0BtCmdText=\0", "BtCmd=1\0BtCmdVal=124\0BtCmdText=\0"};
    for (int n = 0; n < 4; ++n)
        ASSERT_TRUE(WritePrivateProfileSectionA(("Button" + std::to_string(n + 1)).c_str(), sections[n],
                                                profile.c_str()));
    KeySettings stored;
    stored.CurProfile = profile;
    ASSERT_TRUE(WriteKeySettings(stored));

    FakePort port;
    ScriptedJoystick joystick;
    HWND window = StartKeyMapper(GetModuleHandleA(nullptr), {true, ""}, {&port, &joystick});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(joystick.captured);
    EXPECT_EQ(port.registered, 1);

    joystick.buttons = {0x04 | 0x10, 0x04 | 0x10, 0x04 | 0x08 | 0x10 | 0x01, 0x20};
    for (int tick = 0; tick < 4; ++tick)
        SendMessageA(window, MM_JOY1MOVE, 0, 0);
    EXPECT_EQ(port.written, "RTG");
    EXPECT_TRUE(keyIsDown(VK_F13));
    SendMessageA(window, MM_JOY1MOVE, 0, 0);  // the read fails: the joystick was unplugged
    EXPECT_FALSE(keyIsDown(VK_F13));
    SendMessageA(window, MM_JOY1MOVE, 0, 0);  // and still fails: nothing more happens
    EXPECT_EQ(port.written, "RTG");

    // Switch 4 from the box; another program then becomes the port's client, and the port
    // monitor will never send this switch's release.
    SendMessageA(window, WM_SWITCH_BYTE, 1, 'L');
    EXPECT_TRUE(keyIsDown(VK_F13));
    SendMessageA(window, WM_SWITCH_ACTIVATE, 1, 1);
    EXPECT_TRUE(keyIsDown(VK_F13));
    EXPECT_EQ(SendMessageA(window, WM_SWITCH_ACTIVATE, 0, 1), 0);
    EXPECT_FALSE(keyIsDown(VK_F13));

    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(port.registered, 0);
    EXPECT_EQ(RunKeyMapper(), 0);
    EXPECT_FALSE(joystick.captured);
    EXPECT_EQ(ReadKeySettings().CurProfile, profile);
    DeleteFileA(profile.c_str());
    DeleteFileA((std::string(folder) + "fkconfig.ini").c_str());
}
