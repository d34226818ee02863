// The library's shell against the real Win32 API in one process: registration, removal and
// activation messages, the stored settings, the write path's buffering, the settings sheet.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "shared_block.h"
#include "sheet_resources.h"
#include "swibus.h"

namespace swibus {
// This program's own block: the shell's code runs here as it runs inside the library.
SharedPortData g_shared;
ProcessState g_process;
}  // namespace swibus

using namespace swibus;

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen& o) const
    {
        return window == o.window && message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};
std::vector<Seen> g_seen;
std::uint32_t g_pendingAtOpen = 0xFFFFFFFF;

std::string Describe(const std::vector<Seen>& list)
{
    std::string text;
    char line[96];
    for (const Seen& s : list) {
        snprintf(line, sizeof(line), "  hwnd %p msg %#x w %lu l %ld\n", static_cast<void*>(s.window), s.message,
                 static_cast<unsigned long>(s.wParam), static_cast<long>(s.lParam));
        text += line;
    }
    return text;
}

// Compares the whole recorded sequence in one go and prints both on failure.
void ExpectSequence(const std::vector<Seen>& expected)
{
    EXPECT_TRUE(g_seen == expected) << "expected:\n" << Describe(expected) << "seen:\n" << Describe(g_seen);
    g_seen.clear();
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SWITCH_ACTIVATE || message == WM_SERVER_OPENPORT || message == WM_SERVER_CLOSEPORT ||
        message == WM_SERVER_QUIT) {
        g_seen.push_back({window, message, wParam, lParam});
        if (message == WM_SERVER_OPENPORT)
            g_pendingAtOpen = g_shared.Pending.length;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char* windowClass)
{
    return CreateWindowExA(0, windowClass, windowClass, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

class Shell : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_process.module = GetModuleHandleA(nullptr);
        InitPortLocks();
        for (const char* name : {"RecordingClient", kServerClass}) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = RecordingProc;
            wc.hInstance = g_process.module;
            wc.lpszClassName = name;
            RegisterClassA(&wc);
        }
    }

    void SetUp() override
    {
        g_shared = SharedPortData{};
        memcpy(g_shared.PortInput, kDefaultCodes, sizeof(kDefaultCodes));
        memcpy(g_shared.DefaultInput, kDefaultCodes, sizeof(kDefaultCodes));
        g_shared.ComPort = 1;
        // Ports count as open so no real server is started; a window of the server's class
        // stands in for it and records the requests.
        for (auto& port : g_shared.Ports)
            port.Connected = 1;
        server = MakeWindow(kServerClass);
        g_shared.ServerWindow = server;
        for (HWND& w : windows)
            w = MakeWindow("RecordingClient");
        g_seen.clear();
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velmora\\Swibus");
    }

    void TearDown() override
    {
        for (HWND w : windows)
            DestroyWindow(w);
        DestroyWindow(server);
        for (auto& port : g_shared.Ports)
            port.Connected = 0;  // nothing here really opened a port
    }

    Seen activate(int i, int on, int port = 1) { return {windows[i], WM_SWITCH_ACTIVATE, WPARAM(on), port}; }
    Seen request(UINT message, int port) { return {server, message, WPARAM(port), 0}; }

    HWND server = nullptr;
    HWND windows[18] = {};
};

}  // namespace

TEST_F(Shell, RegistrationOrderAndActivationMessages)
{
    EXPECT_EQ(RegisterToDLL(windows[0]), 1);
    EXPECT_EQ(RegisterToDLL(windows[1]), 1);
    ExpectSequence({activate(0, 1), activate(0, 0), activate(1, 1)});
    EXPECT_EQ(GetActiveHwnd(-1), windows[1]);

    // Twice: moved to the active position, no messages.
    EXPECT_EQ(RegisterToDLL(windows[0]), -1);
    ExpectSequence({});
    EXPECT_EQ(GetActiveHwnd(-1), windows[0]);
    EXPECT_EQ(GetActiveHwnd(0), windows[1]);
    EXPECT_EQ(GetActiveHwnd(16), nullptr);

    // SetActiveHwnd: the active one gets 0 then 1 even when it is the same window.
    EXPECT_EQ(SetActiveHwnd(windows[0]), 1);
    EXPECT_EQ(SetActiveHwnd(windows[1]), 1);
    ExpectSequence({activate(0, 0), activate(0, 1), activate(0, 0), activate(1, 1)});
    EXPECT_EQ(SetActiveHwnd(windows[5]), 0);
    EXPECT_EQ(RegisterToDLL(nullptr), 0);
}

// Handles this thread's messages (activations sent by another thread) for `ms` milliseconds.
void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(5);
    }
}

// Changing the active window and clearing every list are changes of the shared lists: each waits
// for the registry mutex that a registration in another process may be holding.
TEST_F(Shell, ActivationAndClearingWaitForTheRegistryMutex)
{
    EXPECT_EQ(RegisterToDLL(windows[0]), 1);
    EXPECT_EQ(RegisterToDLL(windows[1]), 1);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    volatile LONG done = 0;
    std::thread activation([&] {
        SetActiveHwnd(windows[0]);
        InterlockedExchange(&done, 1);
    });
    PumpFor(300);
    EXPECT_EQ(done, 0) << "the active window changed while another holder had the mutex";
    EXPECT_EQ(GetActiveHwnd(-1), windows[1]);
    ReleaseMutex(mutex);
    while (!done)
        PumpFor(10);
    activation.join();
    EXPECT_EQ(GetActiveHwnd(-1), windows[0]);

    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    done = 0;
    std::thread clearing([&] {
        ClosePort(-1);
        InterlockedExchange(&done, 1);
    });
    PumpFor(300);
    EXPECT_EQ(done, 0) << "every list was cleared while another holder had the mutex";
    EXPECT_EQ(clientCount(1), 2);
    ReleaseMutex(mutex);
    clearing.join();
    EXPECT_EQ(clientCount(1), 0);
    CloseHandle(mutex);
}

TEST_F(Shell, SeventeenthWindowIsReportedButNotAdded)
{
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(RegisterToDLL(windows[i]), 1);
    g_seen.clear();
    EXPECT_EQ(RegisterToDLL(windows[16]), 1);
    EXPECT_EQ(IsRegisteredToDLL(windows[16]), 0);
    EXPECT_EQ(IsRegisteredToDLL(windows[15]), 1);
    EXPECT_EQ(clientCount(1), 16);
    ExpectSequence({});
}

TEST_F(Shell, RemovalActivatesTheNewLastAndTheLastOneQuitsTheServer)
{
    RegisterToDLL(windows[0]);
    RegisterToDLL(windows[1]);
    HwndGetPort(windows[2], 2, 1);
    g_seen.clear();
    g_shared.Held.slot[0] = 'D';
    EXPECT_EQ(UnRegisterFromDLL(windows[1]), 1);
    ExpectSequence({activate(1, 0), activate(0, 1)});
    EXPECT_EQ(g_shared.Held.slot[0], 0) << "an activation change forgets held codes";
    EXPECT_EQ(UnRegisterFromDLL(windows[1]), 1) << "absent windows are fine";
    ExpectSequence({});

    // Last window of COM1 while COM2 still has one: only COM1 closes.
    EXPECT_EQ(UnRegisterFromDLL(windows[0]), 1);
    ExpectSequence({activate(0, 0), request(WM_SERVER_CLOSEPORT, 1)});
    // Last window of all ports: the server is told to quit.
    EXPECT_EQ(HwndRemovePort(windows[2], 2), 1);
    ExpectSequence({activate(2, 0, 2), request(WM_SERVER_QUIT, 0)});
    EXPECT_EQ(HwndRemovePort(windows[2], 17), 0);
    EXPECT_EQ(GetActiveHwnd(-1), nullptr);
}

TEST_F(Shell, NoCurrentPortRefusesAndNullEntriesAreCompacted)
{
    g_shared.ComPort = 0;
    EXPECT_EQ(RegisterToDLL(windows[0]), -2);
    EXPECT_EQ(IsRegisteredToDLL(windows[0]), 0);
    EXPECT_EQ(GetActiveHwnd(-1), nullptr);
    EXPECT_EQ(HwndGetPort(windows[0], 0, 1), -2);
    ExpectSequence({});

    g_shared.ComPort = 1;
    RegisterToDLL(windows[0]);
    RegisterToDLL(windows[1]);
    clientList(1).entry[0] = 0;  // a window that went away without unregistering, cleared
    g_seen.clear();
    EXPECT_EQ(RegisterToDLL(windows[2]), 1);
    EXPECT_EQ(clientCount(1), 2);
    EXPECT_EQ(GetActiveHwnd(0), windows[1]);
    EXPECT_EQ(GetActiveHwnd(1), windows[2]);
}

TEST_F(Shell, RawRegistrationLeavesSwitchesAlone)
{
    portRecord(3).Switches = 0;
    HwndGetPort(windows[0], 3, 1);
    HwndGetPort(windows[1], 3, 0);
    EXPECT_EQ(portRecord(3).Switches, 1u) << "a clear bit 0 on a later registration changes nothing";
}

// ---- settings in the registry -------------------------------------------------------
namespace {
const char kKey[] = "Software\\Velmora\\Swibus";

void SetDword(const char* key, const char* name, DWORD value)
{
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), 0);
    RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
    RegCloseKey(h);
}
}  // namespace

TEST_F(Shell, DefaultsWithoutTheKey)
{
    g_shared.DoWakeUp = 1;
    LoadSettings();
    EXPECT_EQ(g_shared.ComPort, 1);
    EXPECT_STREQ(reinterpret_cast<char*>(g_shared.PortInput), "LlRrUuDdJjDd");
    EXPECT_STREQ(reinterpret_cast<char*>(g_shared.DefaultInput), "LlRrUuDdJjDd");
    EXPECT_EQ(g_shared.DoWakeUp, 1);
    for (int port = 1; port <= kPortCount; ++port) {
        const PortRecord& rec = portRecord(port);
        EXPECT_EQ(rec.BaudRate, 9600u) << port;
        EXPECT_EQ(rec.ByteSize, 8) << port;
        EXPECT_EQ(rec.Parity, 0) << port;
        EXPECT_EQ(rec.StopBits, 0) << port;
        EXPECT_EQ(rec.FlowCtrl, 4) << port;
        EXPECT_EQ(rec.Switches, port == 1 ? 1u : 0u) << port;
        EXPECT_EQ(rec.Connected, 0) << port;
    }
}

TEST_F(Shell, SettingsRoundTripAndOddStoredValues)
{
    LoadSettings();
    g_shared.ComPort = 4;
    memcpy(g_shared.PortInput, "ABCDEFGHIJKL", 12);
    portRecord(4).BaudRate = 19200;
    portRecord(4).FlowCtrl = 2;
    portRecord(4).Switches = 1;
    portRecord(9).StopBits = 2;
    SaveSettings();
    g_shared = SharedPortData{};
    LoadSettings();
    EXPECT_EQ(g_shared.ComPort, 4);
    EXPECT_STREQ(reinterpret_cast<char*>(g_shared.PortInput), "ABCDEFGHIJKL");
    EXPECT_EQ(portRecord(4).BaudRate, 19200u);
    EXPECT_EQ(portRecord(4).FlowCtrl, 2);
    EXPECT_EQ(portRecord(4).Switches, 1u);
    EXPECT_EQ(portRecord(9).StopBits, 2);
    EXPECT_EQ(portRecord(1).Switches, 1u) << "saved as it was loaded";

    SetDword("Software\\Velmora\\Swibus\\COM2", "Parity", 0x104);
    SetDword(kKey, "DoWakeUp", 0);
    HKEY h;
    RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &h);
    RegSetValueExA(h, "PortInput", 0, REG_SZ, reinterpret_cast<const BYTE*>("xy"), 3);
    RegCloseKey(h);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velmora\\Swibus\\COM4");
    SetDword("Software\\Velmora\\Swibus\\COM4", "BaudRate", 1000);  // subkey without Switches
    LoadSettings();
    EXPECT_EQ(portRecord(2).Parity, 4) << "only the low byte counts";
    EXPECT_EQ(g_shared.DoWakeUp, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(g_shared.PortInput), 12), std::string("xy\0rUuDdJjDd", 12));
    EXPECT_EQ(portRecord(4).Switches, 0u) << "an existing subkey without Switches: plain port, even the current one";
    EXPECT_EQ(portRecord(4).BaudRate, 1000u);
}

TEST_F(Shell, AbsurdStoredValuesFallBackToTheirDefaults)
{
    const char* com3 = "Software\\Velmora\\Swibus\\COM3";
    SetDword(kKey, "ComPort", 3);
    SetDword(com3, "ByteSize", 0);
    SetDword(com3, "Parity", 7);
    SetDword(com3, "StopBits", 9);
    SetDword(com3, "FlowCtrl", 0x30);
    SetDword(com3, "BaudRate", 0);
    SetDword(com3, "Switches", 1);
    SetDword("Software\\Velmora\\Swibus\\COM5", "ByteSize", 0x107);  // low byte 7: kept
    LoadSettings();
    const PortRecord& rec = portRecord(3);
    EXPECT_EQ(rec.ByteSize, 8);
    EXPECT_EQ(rec.Parity, 0);
    EXPECT_EQ(rec.StopBits, 0);
    EXPECT_EQ(rec.FlowCtrl, 4);
    EXPECT_EQ(rec.BaudRate, 9600u);
    EXPECT_EQ(rec.Switches, 1u);
    EXPECT_EQ(portRecord(5).ByteSize, 7);
    SetDword(kKey, "ComPort", 40);
    LoadSettings();
    EXPECT_EQ(g_shared.ComPort, 1) << "a port number beyond 16 means the default port";
}

// ---- write path -----------------------------------------------------------------
TEST_F(Shell, ClosedPortWritesAreStoredBeforeTheOpenRequest)
{
    portRecord(1).Connected = 0;
    g_pendingAtOpen = 0xFFFFFFFF;
    EXPECT_EQ(WriteToPort("A", 1), 1);
    ExpectSequence({request(WM_SERVER_OPENPORT, 1)});
    EXPECT_EQ(g_pendingAtOpen, 1u) << "the open found the byte already buffered";
    EXPECT_EQ(WriteToPort("B", 1), 1);
    EXPECT_EQ(WriteToPort("C", 1), 1);
    ExpectSequence({});  // one open request only
    EXPECT_EQ(std::string(g_shared.Pending.data, pendingBlockSize(g_shared.Pending)), std::string("ABC\0", 4));

    std::string big(kPendingCapacity - 3, 'x');
    EXPECT_EQ(WriteToPort(big.data(), static_cast<DWORD>(big.size())), 1);
    EXPECT_EQ(WriteToPort("!", 1), 0) << "a write that does not fit is refused";
    EXPECT_EQ(g_shared.Pending.length, kPendingCapacity);

    EXPECT_EQ(WriteToPortEx(1, "?", 1), 0) << "never buffers";
    EXPECT_EQ(WriteToPortEx(0, "?", 1), 0);
    g_shared.ComPort = 0;
    EXPECT_EQ(WriteToPort("?", 1), 0);
}

// ---- settings sheet, driven from a second thread ----------------------------------
namespace {

// A sheet whose first page exists (a window left from an earlier sheet does not count).
HWND WaitForSheet(HWND previous)
{
    for (int i = 0; i < 400; ++i) {
        HWND sheet = FindWindowA("#32770", "Serial Port");
        if (sheet && sheet != previous && IsWindowVisible(sheet) && SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))
            return sheet;
        Sleep(10);
    }
    return nullptr;
}
HWND g_lastSheet = nullptr;

// Picks a port in the Parameters page (optionally a baud item) and presses OK or Cancel.
void DriveSheet(int port, int baudItem, bool ok, bool* found)
{
    HWND sheet = WaitForSheet(g_lastSheet);
    *found = sheet != nullptr;
    if (!sheet)
        return;
    g_lastSheet = sheet;
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    HWND list = GetDlgItem(page, IDC_PORT_LIST);
    SendMessageA(list, CB_SETCURSEL, port, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_PORT_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    if (baudItem >= 0)
        SendDlgItemMessageA(page, IDC_BAUD_LIST, CB_SETCURSEL, baudItem, 0);
    // The modal loop notices the end only with its next posted message; press until it is gone.
    for (int i = 0; i < 50 && IsWindow(sheet); ++i) {
        PostMessageA(sheet, PSM_PRESSBUTTON, ok ? PSBTN_OK : PSBTN_CANCEL, 0);
        PostMessageA(sheet, WM_NULL, 0, 0);
        Sleep(100);
    }
}

int RunSheet(int port, int baudItem, bool ok)
{
    bool found = false;
    std::thread driver(DriveSheet, port, baudItem, ok, &found);
    int result = PoortInstellingen();
    driver.join();
    EXPECT_TRUE(found) << "no sheet captioned \"Serial Port\"";
    return result;
}

DWORD StoredComPort()
{
    DWORD value = 0xFFFF, size = 4;
    RegGetValueA(HKEY_CURRENT_USER, kKey, "ComPort", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

}  // namespace

TEST_F(Shell, SheetMovesWindowsToThePickedPort)
{
    RegisterToDLL(windows[0]);  // A, bottom
    RegisterToDLL(windows[1]);  // B, active
    HwndGetPort(windows[2], 3, 1);  // C on COM3
    g_seen.clear();
    EXPECT_GT(RunSheet(3, 8, true), 0);
    EXPECT_EQ(g_shared.ComPort, 3);
    EXPECT_EQ(StoredComPort(), 3u);
    EXPECT_EQ(clientCount(1), 0);
    ASSERT_EQ(clientCount(3), 3);
    EXPECT_EQ(GetActiveHwnd(0), windows[2]);
    EXPECT_EQ(GetActiveHwnd(1), windows[0]);
    EXPECT_EQ(GetActiveHwnd(-1), windows[1]) << "the active window stays active";
    EXPECT_EQ(portRecord(3).BaudRate, 19200u);
    EXPECT_EQ(portRecord(1).Switches, 0u);
    EXPECT_EQ(portRecord(3).Switches, 1u);
    ExpectSequence({request(WM_SERVER_CLOSEPORT, 1), request(WM_SERVER_CLOSEPORT, 3),
                    request(WM_SERVER_OPENPORT, 3)});
}

TEST_F(Shell, SheetCancelAfterPickingAnotherPortChangesNothing)
{
    RegisterToDLL(windows[0]);
    g_seen.clear();
    EXPECT_EQ(RunSheet(5, 0, false), 0);
    EXPECT_EQ(g_shared.ComPort, 1);
    EXPECT_EQ(clientCount(1), 1);
    EXPECT_EQ(portRecord(5).BaudRate, 0u) << "Cancel stores nothing";
    EXPECT_EQ(StoredComPort(), 0xFFFFu) << "nothing saved";
    ExpectSequence({});
}

TEST_F(Shell, SheetNoneClearsTheListsAndQuitsTheServer)
{
    RegisterToDLL(windows[0]);
    RegisterToDLL(windows[1]);
    g_seen.clear();
    EXPECT_GT(RunSheet(0, -1, true), 0);
    EXPECT_EQ(g_shared.ComPort, 0);
    EXPECT_EQ(StoredComPort(), 0u);
    EXPECT_EQ(clientCount(1), 0);
    ExpectSequence({request(WM_SERVER_QUIT, 0)});
    EXPECT_EQ(RegisterToDLL(windows[0]), -2);
}

TEST_F(Shell, SecondSheetIsRefusedWhileOneIsOpen)
{
    g_shared.SheetOpen = 1;
    EXPECT_EQ(PoortInstellingen(), 0);
    EXPECT_EQ(PoortInstellingenEx(1, "x", 3), -1);
    g_shared.SheetOpen = 0;
}
