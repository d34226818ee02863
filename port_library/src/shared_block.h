// The block every process that loads swibus.dll shares, and the state each process keeps for itself.
#pragma once
#include <windows.h>

#include <cstdint>

#include "byte_filter.h"
#include "client_list.h"
#include "pending_writes.h"

namespace swibus {

struct PortRecord {
    HANDLE Comm;  // valid only inside the server process
    std::uint32_t Switches;
    std::int32_t Connected;
    std::uint8_t ByteSize;
    std::uint8_t FlowCtrl;
    std::uint8_t Parity;
    std::uint8_t StopBits;
    std::uint32_t BaudRate;
    HANDLE Thread;
    std::uint32_t ThreadId;
    OVERLAPPED WriteOverlapped;
    OVERLAPPED ReadOverlapped;
    HANDLE ThreadDone;
};

// Every member has an initializer, so the block is constant-initialized: no constructor runs when
// a process loads the library (one would reset what the other processes share).
struct SharedPortData {
    ClientList ClientLists[kPortCount] = {};
    std::int32_t ClientCount[kPortCount] = {};
    PortRecord Ports[kPortCount] = {};
    std::uint8_t PortInput[kCodeCount + 1] = {};
    std::uint8_t DefaultInput[kCodeCount + 1] = {};
    HWND ServerWindow = nullptr;
    std::int32_t MonitorOff = 0;
    std::int32_t SaverActive = 0;
    std::int32_t DoWakeUp = 1;
    std::int32_t SheetOpen = 0;
    HHOOK CbtHook = nullptr;
    HHOOK MouseFilterHook = nullptr;
    std::int32_t AttachCount = 0;
    HeldCodes Held = {};
    PendingWrites Pending = {};
    std::int32_t ComPort = -1;
    std::int32_t DialogPort = 0;
};

extern SharedPortData g_shared;

// Per process: the module and what only the server process uses.
struct ProcessState {
    HINSTANCE module;
    CRITICAL_SECTION portLock[kPortCount];  // the reader's reopen against the server thread's writes
    HANDLE stopEvent[kPortCount];           // wakes a reader that waits or backs off
    bool failureEpisode[kPortCount];        // a read-error box was shown for the current failure
    DWORD lastFailure[kPortCount];
    volatile LONG closing[kPortCount];      // a close sequence is under way: no open may touch the record
    HANDLE reader[kPortCount];              // the port's reader thread, kept across closes
    HANDLE readerWake[kPortCount];          // wakes a parked reader for the next open
};
extern ProcessState g_process;

inline bool validPort(int port) { return port >= 1 && port <= kPortCount; }
inline PortRecord& portRecord(int port) { return g_shared.Ports[port - 1]; }
inline ClientList& clientList(int port) { return g_shared.ClientLists[port - 1]; }
inline std::int32_t& clientCount(int port) { return g_shared.ClientCount[port - 1]; }
inline HWND toHwnd(WindowId id) { return reinterpret_cast<HWND>(id); }
inline WindowId toId(HWND window) { return reinterpret_cast<WindowId>(window); }

// Names the library and the server share.
inline constexpr char kMutexName[] = "swibusmutex1";
inline constexpr char kServerClass[] = "vlm_sb_Hidden";
inline constexpr char kServerProgram[] = "swibus.exe";
inline constexpr char kServerParameter[] = "qx_linde";
inline constexpr char kModuleName[] = "swibus.dll";

// Holds "swibusmutex1" for one change of the client lists, across processes. The wait handles
// messages sent to this thread's windows meanwhile: the holder may be notifying one of them.
class RegistryMutex {
public:
    RegistryMutex();
    ~RegistryMutex();
    RegistryMutex(const RegistryMutex&) = delete;
    RegistryMutex& operator=(const RegistryMutex&) = delete;

    // What is left of `boundMs` for sending messages during this hold (counted from the first ask).
    DWORD sendTimeLeft(DWORD boundMs);

private:
    HANDLE handle_;
    DWORD sendStart_ = 0;
    bool sending_ = false;
};

// Serialises the pending-write buffer between writers in any process and the server's flush.
class PendingLock {
public:
    PendingLock() : handle_(CreateMutexA(nullptr, FALSE, "swibus_pending_writes"))
    {
        if (handle_)
            WaitForSingleObject(handle_, INFINITE);  // held only for a copy; abandoned still means ours
    }
    ~PendingLock()
    {
        if (handle_) {
            ReleaseMutex(handle_);
            CloseHandle(handle_);
        }
    }
    PendingLock(const PendingLock&) = delete;
    PendingLock& operator=(const PendingLock&) = delete;

private:
    HANDLE handle_;
};

// settings_store.cpp
void LoadSettings();
void SaveSettings();
void SaveComPort();
void SavePortInput();

// hooks.cpp
bool InstallWatchHook();
void RemoveWatchHook();

// server_link.cpp
HWND FindServerWindow();
// The server's window if one exists (refreshing ServerWindow), else null.
HWND LiveServerWindow();
bool StartServerProgram(int failureBelow);
// Every message to the server is bounded: a server that hangs or dies holds up no client.
inline constexpr DWORD kServerSendBoundMs = 2000;
enum class ServerReply {
    Answered,
    Slow,  // it did not answer in time but is alive: the request is still handled
    Gone,  // no server, or it stopped answering and was ended (its ports now count as closed)
};
ServerReply SendToServer(UINT message, WPARAM wParam, LPARAM lParam);
// Marks every port closed: the process that held them is gone.
void ForgetOpenPorts();

// serial_port.cpp
void InitPortLocks();
void FreePortLocks();

}  // namespace swibus
