// The macro DLL as the key mapper meets it: loaded by file name, RunMacro recorded by low-level hooks.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fennick/mcx_api.h"

namespace {

// ---- loading the way the key mapper does -----------------------------------------

HMODULE LoadMacroLibrary(const char* code)
{
    std::string name = std::string(MCX_LIBRARY_PREFIX) + code + MCX_LIBRARY_SUFFIX;
    HMODULE library = LoadLibraryA(name.c_str());
    return library ? library : LoadLibraryA(MCX_LIBRARY_FALLBACK);
}

std::string ModuleFileName(HMODULE module)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof(path));
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

struct MacroLibrary {
    HMODULE module = nullptr;
    RunMacroProc RunMacro = nullptr;
    FreeMacroDllProc FreeMacroDll = nullptr;
    explicit MacroLibrary(const char* code) : module(LoadMacroLibrary(code))
    {
        if (!module)
            return;
        RunMacro = reinterpret_cast<RunMacroProc>(GetProcAddress(module, "RunMacro"));
        FreeMacroDll = reinterpret_cast<FreeMacroDllProc>(GetProcAddress(module, "FreeMacroDll"));
    }
    ~MacroLibrary()
    {
        if (FreeMacroDll)
            FreeMacroDll();
        if (module)
            FreeLibrary(module);
    }
};

// ---- recorder: low-level hooks on their own thread ---------------------------------

struct Event {
    const char* what;  // "key" or "mouse"
    unsigned code;     // virtual key, or mouse message
    unsigned scan;
    unsigned flags;    // LLKHF_* / LLMHF_*
    DWORD time;
    bool operator==(const Event& other) const
    {
        return std::string(what) == other.what && code == other.code && scan == other.scan && flags == other.flags;
    }
};

struct Recorder {
    CRITICAL_SECTION lock;
    std::vector<Event> events;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE ready = nullptr;
} g_recorder;

// Windows reports an injected VK_SHIFT to low-level hooks as VK_LSHIFT, Wine as VK_SHIFT:
// compare modifiers by their generic code.
unsigned GenericModifier(unsigned vk)
{
    switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL: case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU: case VK_RMENU: return VK_MENU;
    default: return vk;
    }
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        EnterCriticalSection(&g_recorder.lock);
        // Windows sets LLKHF_ALTDOWN while Alt is down, Wine does not: it is left out of the comparison.
        g_recorder.events.push_back(
            {"key", GenericModifier(key->vkCode), key->scanCode, key->flags & ~LLKHF_ALTDOWN, key->time});
        LeaveCriticalSection(&g_recorder.lock);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const MSLLHOOKSTRUCT* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        EnterCriticalSection(&g_recorder.lock);
        g_recorder.events.push_back({"mouse", static_cast<unsigned>(wParam), 0, mouse->flags, mouse->time});
        LeaveCriticalSection(&g_recorder.lock);
        return 1;  // clicks stay here: nothing on the test desktop should be clicked
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI RecorderThread(void*)
{
    HHOOK keyboard = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleA(nullptr), 0);
    HHOOK mouse = SetWindowsHookExA(WH_MOUSE_LL, MouseHook, GetModuleHandleA(nullptr), 0);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before "ready"
    SetEvent(g_recorder.ready);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    UnhookWindowsHookEx(keyboard);
    UnhookWindowsHookEx(mouse);
    return 0;
}

class RecorderEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitializeCriticalSection(&g_recorder.lock);
        g_recorder.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_recorder.thread = CreateThread(nullptr, 0, RecorderThread, nullptr, 0, &g_recorder.threadId);
        WaitForSingleObject(g_recorder.ready, 10000);
    }
    void TearDown() override
    {
        PostThreadMessageA(g_recorder.threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(g_recorder.thread, 10000);
    }
};

// Low-level hooks run in the recorder thread while the injecting thread waits, but
// give the queue a moment for anything still in flight.
std::vector<Event> TakeEvents(size_t atLeast = 0, DWORD timeoutMs = 3000)
{
    DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&g_recorder.lock);
        size_t count = g_recorder.events.size();
        LeaveCriticalSection(&g_recorder.lock);
        if (count >= atLeast || GetTickCount() - start > timeoutMs)
            break;
        Sleep(10);
    }
    Sleep(50);
    EnterCriticalSection(&g_recorder.lock);
    std::vector<Event> events;
    events.swap(g_recorder.events);
    LeaveCriticalSection(&g_recorder.lock);
    return events;
}

std::string Describe(const std::vector<Event>& events)
{
    std::string text;
    char line[96];
    for (const Event& e : events) {
        snprintf(line, sizeof(line), "  {%s, 0x%02x, 0x%02x, 0x%02x}\n", e.what, e.code, e.scan, e.flags);
        text += line;
    }
    return text;
}

// Compares a whole recorded sequence with the expected table and prints both on failure.
void ExpectSequence(const std::vector<Event>& expected, const std::vector<Event>& actual)
{
    EXPECT_TRUE(expected == actual) << "expected:\n" << Describe(expected) << "recorded:\n" << Describe(actual);
}

bool AnyModifierDown()
{
    for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LSHIFT, VK_LCONTROL, VK_LMENU})
        if (GetAsyncKeyState(vk) & 0x8000)
            return true;
    return false;
}

const unsigned kInjected = LLKHF_INJECTED;
const unsigned kUp = LLKHF_UP;
const unsigned kExt = LLKHF_EXTENDED;

Event Key(unsigned vk, unsigned scan, unsigned flags) { return {"key", vk, scan, flags | kInjected, 0}; }
Event Mouse(unsigned message) { return {"mouse", message, 0, LLMHF_INJECTED, 0}; }

class MacroDll : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(library.module, nullptr);
        ASSERT_NE(library.RunMacro, nullptr);
        TakeEvents();
    }
    void TearDown() override { EXPECT_FALSE(AnyModifierDown()); }
    MacroLibrary library{"GED"};
};

}  // namespace

// ---- tests -----------------------------------------------------------------------

TEST(MacroLibraryLoading, ByLanguageCodeWithFallbackToEnglish)
{
    MacroLibrary german("GED");
    ASSERT_NE(german.module, nullptr);
    EXPECT_STRCASEEQ(ModuleFileName(german.module).c_str(), "mcx_GED.dll");
    EXPECT_NE(german.RunMacro, nullptr);
    EXPECT_NE(german.FreeMacroDll, nullptr);
    EXPECT_NE(GetProcAddress(german.module, "ComposeMacro"), nullptr);

    MacroLibrary unknown("XYZ");
    ASSERT_NE(unknown.module, nullptr);
    EXPECT_STRCASEEQ(ModuleFileName(unknown.module).c_str(), "mcx_eng.dll");

    for (const char* code : {"ENG", "FRF", "DUB", "GED", "SWS", "NON", "ITI"}) {
        std::string name = std::string("mcx_") + code + ".dll";
        HMODULE module = LoadLibraryA(name.c_str());
        EXPECT_NE(module, nullptr) << name;
        EXPECT_STRCASEEQ(ModuleFileName(module).c_str(), name.c_str());
        FreeLibrary(module);
    }
}

TEST_F(MacroDll, TextModifiersAndNamedKeysWithExactScanCodesAndFlags)
{
    // The shifted "A" carries the scan code of its own key, 0x1e.
    library.RunMacro("{SHIFT}$aB${ctrl}${HOME}${NUMPADOFF7}$x$$$", 0);
    ExpectSequence({Key(VK_SHIFT, 0x2a, 0), Key('A', 0x1e, 0), Key('A', 0x1e, kUp),
                    Key('B', 0x30, 0), Key('B', 0x30, kUp), Key(VK_SHIFT, 0x2a, kUp),
                    Key(VK_CONTROL, 0x1d, 0), Key(VK_HOME, 0x47, kExt), Key(VK_HOME, 0x47, kExt | kUp),
                    Key(VK_CONTROL, 0x1d, kUp),
                    Key(VK_HOME, 0x47, 0), Key(VK_HOME, 0x47, kUp),
                    Key('X', 0x2d, 0), Key('X', 0x2d, kUp),
                    Key(VK_SHIFT, 0x2a, 0), Key('4', 0x05, 0), Key('4', 0x05, kUp), Key(VK_SHIFT, 0x2a, kUp)},
                   TakeEvents(18));
}

TEST_F(MacroDll, HeldAltIsReleasedAtTheEndOfTheMacro)
{
    library.RunMacro("{ALT}${ALT}${TAB}${NUMPADENTER}$", 0);
    ExpectSequence({Key(VK_MENU, 0x38, 0), Key(VK_TAB, 0x0f, 0), Key(VK_TAB, 0x0f, kUp),
                    Key(VK_RETURN, 0x1c, kExt), Key(VK_RETURN, 0x1c, kExt | kUp), Key(VK_MENU, 0x38, kUp)},
                   TakeEvents(6));
}

TEST_F(MacroDll, MouseActionsAndOneShotRelease)
{
    library.RunMacro("{SHIFT}${MouseClickLeft}${MouseDoubleClick}${mouseclickright}$", 0);
    ExpectSequence({Key(VK_SHIFT, 0x2a, 0), Mouse(WM_LBUTTONDOWN), Mouse(WM_LBUTTONUP),
                    Key(VK_SHIFT, 0x2a, kUp), Mouse(WM_LBUTTONDOWN), Mouse(WM_LBUTTONUP),
                    Mouse(WM_LBUTTONDOWN), Mouse(WM_LBUTTONUP), Mouse(WM_RBUTTONDOWN), Mouse(WM_RBUTTONUP)},
                   TakeEvents(10));
}

TEST_F(MacroDll, AccentedLettersOnTheUsLayout)
{
    // The US layout has no key for these letters nor for the acute or diaeresis
    // accents: only the base letter is typed. Circumflex and tilde have keys there.
    library.RunMacro("\xE9\xFC\xEA\xC6\xDF\xD7$", 0);
    ExpectSequence({Key('E', 0x12, 0), Key('E', 0x12, kUp),
                    Key('U', 0x16, 0), Key('U', 0x16, kUp),
                    Key(VK_SHIFT, 0x2a, 0), Key('6', 0x07, 0), Key('6', 0x07, kUp), Key(VK_SHIFT, 0x2a, kUp),
                    Key('E', 0x12, 0), Key('E', 0x12, kUp),
                    Key(VK_SHIFT, 0x2a, 0), Key('A', 0x1e, 0), Key('A', 0x1e, kUp), Key(VK_SHIFT, 0x2a, kUp),
                    Key(VK_SHIFT, 0x2a, 0), Key('E', 0x12, 0), Key('E', 0x12, kUp), Key(VK_SHIFT, 0x2a, kUp),
                    Key('S', 0x1f, 0), Key('S', 0x1f, kUp), Key('S', 0x1f, 0), Key('S', 0x1f, kUp)},
                   TakeEvents(22));
}

TEST_F(MacroDll, PausesAndDelaysWait)
{
    library.RunMacro("a${PAUSE 300}$b$", 0);
    std::vector<Event> events = TakeEvents(4);
    ASSERT_EQ(events.size(), 4u) << Describe(events);
    EXPECT_GE(events[2].time - events[1].time, 280u);

    library.RunMacro("a$b$", 200);
    events = TakeEvents(4);
    ASSERT_EQ(events.size(), 4u) << Describe(events);
    EXPECT_GE(events[2].time - events[1].time, 180u);
}

TEST_F(MacroDll, NullOrUnterminatedMacroSendsNothing)
{
    EXPECT_EQ(library.RunMacro(nullptr, 0), 0);
    library.RunMacro("typed nothing", 0);
    library.RunMacro("", 0);
    ExpectSequence({}, TakeEvents(0, 0));
}

static DWORD WINAPI PlayLongMacro(void* run)
{
    reinterpret_cast<RunMacroProc>(run)("{SHIFT}${SHIFT}${CTRL}${PAUSE 30000}$x$", 0);
    return 0;
}

// The child ends its process while its macro holds Shift and Ctrl in a long pause.
static int ChildEndsDuringMacro()
{
    MacroLibrary library("ENG");
    if (!library.RunMacro)
        return 3;
    CreateThread(nullptr, 0, PlayLongMacro, reinterpret_cast<void*>(library.RunMacro), 0, nullptr);
    // End only once the macro holds both modifiers and sits in its pause.
    for (int i = 0; i < 400 && !(GetAsyncKeyState(VK_CONTROL) & 0x8000); ++i)
        Sleep(50);
    Sleep(200);
    ExitProcess((GetAsyncKeyState(VK_CONTROL) & 0x8000) && (GetAsyncKeyState(VK_SHIFT) & 0x8000) ? 0 : 4);
}

TEST_F(MacroDll, ProcessEndingDuringAMacroReleasesItsModifiers)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string command = std::string("\"") + self + "\" --child-ends-during-macro";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u) << "the child's macro never held Shift and Ctrl";
    ExpectSequence({Key(VK_SHIFT, 0x2a, 0), Key(VK_CONTROL, 0x1d, 0), Key(VK_CONTROL, 0x1d, kUp),
                    Key(VK_SHIFT, 0x2a, kUp)},
                   TakeEvents(4));
}

TEST_F(MacroDll, MacroAfterOneWhoseThreadWasEndedReleasesItsKeysFirst)
{
    HANDLE thread = CreateThread(nullptr, 0, PlayLongMacro, reinterpret_cast<void*>(library.RunMacro), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    std::vector<Event> pressed = TakeEvents(2, 20000);
    Sleep(200);  // inside the pause
    TerminateThread(thread, 1);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    ExpectSequence({Key(VK_SHIFT, 0x2a, 0), Key(VK_CONTROL, 0x1d, 0)}, pressed);

    library.RunMacro("a$", 0);
    ExpectSequence({Key(VK_CONTROL, 0x1d, kUp), Key(VK_SHIFT, 0x2a, kUp), Key('A', 0x1e, 0), Key('A', 0x1e, kUp)},
                   TakeEvents(4));
}

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "--child-ends-during-macro") == 0)
        return ChildEndsDuringMacro();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new RecorderEnvironment);
    return RUN_ALL_TESTS();
}
