// A real application receives a macro: Wine's notepad, its edit control read back with WM_GETTEXT.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "fennick/mcx_api.h"

namespace {

struct Notepad {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
    HWND edit = nullptr;

    bool Start()
    {
        char command[] = "notepad.exe";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        // No standard handles: a notepad left behind must not hold the test runner's output open.
        startup.dwFlags = STARTF_USESTDHANDLES;
        if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return false;
        WaitForInputIdle(process.hProcess, 15000);
        for (int i = 0; i < 300 && !edit; ++i) {
            window = FindWindowA("Notepad", nullptr);
            if (window)
                edit = FindWindowExA(window, nullptr, "Edit", nullptr);
            if (!edit)
                Sleep(50);
        }
        return edit != nullptr;
    }

    // The typed keys go to the focus window: wait until that is notepad's edit control.
    bool HasKeyboardFocus()
    {
        for (int i = 0; i < 200; ++i) {
            SetForegroundWindow(window);
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            if (GetForegroundWindow() == window && GetGUIThreadInfo(process.dwThreadId, &info) &&
                info.hwndFocus == edit)
                return true;
            Sleep(50);
        }
        return false;
    }

    std::string Text()
    {
        char text[1024] = {};
        SendMessageA(edit, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
        return text;
    }

    // Typed keys arrive asynchronously: wait until the text is the expected one or stops changing.
    std::string TextOnceSettled(const std::string& expected)
    {
        std::string text = Text();
        for (int stable = 0, i = 0; i < 100 && text != expected && stable < 10; ++i) {
            Sleep(50);
            std::string now = Text();
            stable = now == text ? stable + 1 : 0;
            text = now;
        }
        return text;
    }

    ~Notepad()
    {
        if (process.hProcess) {
            TerminateProcess(process.hProcess, 0);  // no "save changes?" question to answer
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
};

}  // namespace

TEST(MacroIntoNotepad, TextShiftEnterTabDollarAndPauseArriveExactly)
{
    HMODULE library = LoadLibraryA("mcx_GED.dll");
    if (!library)
        library = LoadLibraryA(MCX_LIBRARY_FALLBACK);
    ASSERT_NE(library, nullptr);
    RunMacroProc RunMacro = reinterpret_cast<RunMacroProc>(GetProcAddress(library, "RunMacro"));
    ASSERT_NE(RunMacro, nullptr);

    Notepad notepad;
    ASSERT_TRUE(notepad.Start());
    ASSERT_TRUE(notepad.HasKeyboardFocus());

    RunMacro("Dear Sam,${ENTER}${TAB}$it costs 5 $$${PAUSE 300}$ ${SHIFT}$ok$, ${shift}${shift}$yes "
             "Really${SHIFT}$!${LF}$end$ignored",
             0);
    const std::string expected = "Dear Sam,\r\n\tit costs 5 $ OK, YES REALLY!\r\nend";
    EXPECT_EQ(notepad.TextOnceSettled(expected), expected);
    for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU})
        EXPECT_FALSE(GetAsyncKeyState(vk) & 0x8000) << vk;

    FARPROC freeMacroDll = GetProcAddress(library, "FreeMacroDll");
    ASSERT_NE(freeMacroDll, nullptr);
    reinterpret_cast<FreeMacroDllProc>(freeMacroDll)();
    FreeLibrary(library);
}
