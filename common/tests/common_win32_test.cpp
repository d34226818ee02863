// Device-model setting, program folder and single instance against the real Win32 API.
#include "fennick/win32_common.h"

#include <gtest/gtest.h>
#include <string.h>
#include <string>

using namespace fennick;

namespace {

const char kTestMutex[] = "fennick_common_test_mutex";

void deleteModel(HKEY hive)
{
    HKEY key;
    if (RegOpenKeyExA(hive, kFennickKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, kDeviceModelValue);
        RegCloseKey(key);
    }
}

void setValue(HKEY hive, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(hive, kFennickKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, kDeviceModelValue, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void setModel(HKEY hive, DWORD model) { setValue(hive, REG_DWORD, &model, sizeof(model)); }

class DeviceModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        deleteModel(HKEY_CURRENT_USER);
        deleteModel(HKEY_LOCAL_MACHINE);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(DeviceModelTest, NeitherHiveHoldsItSoTheCallerIsToldAndTheValueKept)
{
    DWORD model = 77;
    EXPECT_FALSE(ReadDeviceModel(&model));
    EXPECT_EQ(model, 77u);
}

TEST_F(DeviceModelTest, LocalMachineIsTheFallbackAndCurrentUserWins)
{
    DWORD model = 77;
    setModel(HKEY_LOCAL_MACHINE, 1);
    ASSERT_TRUE(ReadDeviceModel(&model));
    EXPECT_EQ(model, 1u);

    setModel(HKEY_CURRENT_USER, 0);
    ASSERT_TRUE(ReadDeviceModel(&model));
    EXPECT_EQ(model, 0u);
}

TEST_F(DeviceModelTest, AValueOfTheWrongTypeCountsAsMissing)
{
    setValue(HKEY_CURRENT_USER, REG_SZ, "1", 2);
    setModel(HKEY_LOCAL_MACHINE, 1);
    DWORD model = 77;
    ASSERT_TRUE(ReadDeviceModel(&model));
    EXPECT_EQ(model, 1u);  // the text in HKCU is skipped, HKLM answers
}

TEST_F(DeviceModelTest, WriteGoesToCurrentUserOnly)
{
    setModel(HKEY_LOCAL_MACHINE, 0);
    ASSERT_TRUE(WriteDeviceModel(1));
    DWORD model = 77;
    ASSERT_TRUE(ReadDeviceModel(&model));
    EXPECT_EQ(model, 1u);

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFennickKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD stored = 77, size = sizeof(stored);
    RegQueryValueExA(key, kDeviceModelValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size);
    RegCloseKey(key);
    EXPECT_EQ(stored, 0u);
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramWithABackslash)
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof(module));
    char folder[MAX_PATH];
    size_t length = ProgramFolder(folder, sizeof(folder));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, strlen(folder));
    EXPECT_EQ(folder[length - 1], '\\');
    EXPECT_EQ(std::string(module).rfind(folder, 0), 0u) << module << " vs " << folder;
    EXPECT_EQ(strchr(module + length, '\\'), nullptr);
}

TEST(ProgramFolder, TooSmallABufferGivesNothingRatherThanACutPath)
{
    char full[MAX_PATH];
    size_t length = ProgramFolder(full, sizeof(full));
    ASSERT_GT(length, 3u);
    char small[MAX_PATH];
    memset(small, 'x', sizeof(small));
    EXPECT_EQ(ProgramFolder(small, length), 0u);  // no room for the terminating zero
    EXPECT_STREQ(small, "");
    EXPECT_EQ(small[1], 'x');  // nothing written past what was needed
    EXPECT_EQ(ProgramFolder(small, length + 1), length);
}

TEST(ProgramFolder, NamesResolveAgainstItAndAbsolutePathsStay)
{
    char folder[MAX_PATH], out[MAX_PATH];
    ProgramFolder(folder, sizeof(folder));
    ASSERT_GT(ResolveInProgramFolder("test.wav", out, sizeof(out)), 0u);
    EXPECT_EQ(std::string(out), std::string(folder) + "test.wav");
    ASSERT_GT(ResolveInProgramFolder("C:\\sounds\\a.wav", out, sizeof(out)), 0u);
    EXPECT_STREQ(out, "C:\\sounds\\a.wav");
    ASSERT_GT(ResolveInProgramFolder("\\\\server\\share\\a.wav", out, sizeof(out)), 0u);
    EXPECT_STREQ(out, "\\\\server\\share\\a.wav");

    std::string longName(MAX_PATH, 'n');
    EXPECT_EQ(ResolveInProgramFolder(longName.c_str(), out, sizeof(out)), 0u);
    EXPECT_STREQ(out, "");
}

TEST(CopyText, AlwaysTerminatesAndSaysWhenItCut)
{
    char buffer[6];
    EXPECT_TRUE(CopyText(buffer, sizeof(buffer), "abcde"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_FALSE(CopyText(buffer, sizeof(buffer), "abcdef"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_TRUE(CopyText(buffer, sizeof(buffer), nullptr));
    EXPECT_STREQ(buffer, "");
}

// ---- single instance across processes ---------------------------------------

DWORD runChild(const char* mode, DWORD timeoutMs = 20000)
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof(module));
    std::string command = std::string("\"") + module + "\" " + mode;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 0xFFFFFFFE);
    DWORD code = 0xFFFFFFFE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(SingleInstance, ASecondProcessIsRefusedWithExitCodeSix)
{
    HANDLE held = nullptr;
    ASSERT_TRUE(ClaimSingleInstance(kTestMutex, &held));
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(runChild("--claim-quiet"), static_cast<DWORD>(kExitAlreadyRunning));
    ReleaseMutex(held);
    CloseHandle(held);
    // Once the first copy is gone the next one may run.
    EXPECT_EQ(runChild("--claim-quiet"), 0u);
}

TEST(SingleInstance, TheHandlerRunsInsteadOfTheMessage)
{
    HANDLE held = nullptr;
    ASSERT_TRUE(ClaimSingleInstance(kTestMutex, &held));
    int calls = 0;
    HANDLE second = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(ClaimSingleInstance(kTestMutex, &second, [](void* context) { ++*static_cast<int*>(context); }, &calls));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(second, nullptr);
    ReleaseMutex(held);
    CloseHandle(held);
}

struct MessageBoxSeen {
    std::string text;
    bool found = false;
    int yellow = 0;  // yellow pixels of the box's icon: the warning triangle has them, the information sign none
    int iconPixels = 0;
};

// Reads the icon of a message box from the screen and counts its yellow pixels.
BOOL CALLBACK measureIcon(HWND child, LPARAM context)
{
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
        return TRUE;
    auto* seen = reinterpret_cast<MessageBoxSeen*>(context);
    RECT r;
    GetWindowRect(child, &r);
    HDC screen = GetDC(nullptr);
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            COLORREF c = GetPixel(screen, x, y);
            ++seen->iconPixels;
            seen->yellow += GetRValue(c) > 200 && GetGValue(c) > 150 && GetBValue(c) < 100;
        }
    }
    ReleaseDC(nullptr, screen);
    return TRUE;
}

BOOL CALLBACK collectStatic(HWND child, LPARAM context)
{
    char className[32] = {}, text[256] = {};
    GetClassNameA(child, className, sizeof(className));
    GetWindowTextA(child, text, sizeof(text));
    if (lstrcmpiA(className, "Static") == 0 && text[0])
        reinterpret_cast<MessageBoxSeen*>(context)->text = text;
    return TRUE;
}

TEST(SingleInstance, TheDefaultMessageNamesTheProblemAndTheChildExitsSix)
{
    HANDLE held = nullptr;
    ASSERT_TRUE(ClaimSingleInstance(kTestMutex, &held));

    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof(module));
    std::string command = std::string("\"") + module + "\" --claim-default";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));

    MessageBoxSeen seen;
    for (int i = 0; i < 1200 && !seen.found; ++i) {
        HWND box = FindWindowA("#32770", kAlreadyRunningCaption);
        if (box) {
            seen.found = true;
            SetForegroundWindow(box);
            Sleep(500);  // painted
            EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&seen));
            EnumChildWindows(box, measureIcon, reinterpret_cast<LPARAM>(&seen));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        } else {
            Sleep(50);
        }
    }
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.text, kAlreadyRunningText);
    EXPECT_GT(seen.iconPixels, 0) << "the box shows no icon";
    EXPECT_GT(seen.yellow, 20) << "the box shows another icon than the warning sign";
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    TerminateProcess(process.hProcess, 99);  // never leave a box on screen after a failure
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, static_cast<DWORD>(kExitAlreadyRunning));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReleaseMutex(held);
    CloseHandle(held);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (strcmp(argv[1], "--claim-quiet") == 0 || strcmp(argv[1], "--claim-default") == 0)) {
        HANDLE held = nullptr;
        AlreadyRunningHandler quietHandler = [](void*) {};
        bool quiet = strcmp(argv[1], "--claim-quiet") == 0;
        if (!ClaimSingleInstance(kTestMutex, &held, quiet ? quietHandler : nullptr, nullptr))
            return kExitAlreadyRunning;
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
