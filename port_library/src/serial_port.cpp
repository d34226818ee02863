// Opening, configuring and closing a port, writing to it, and the reader thread that waits for bytes.
#include "shared_block.h"

#include <stdio.h>
#include <string.h>

#include "byte_dispatch.h"
#include "swibus.h"

namespace swibus {

namespace {

constexpr DWORD kWaitSliceMs = 1000;      // a wait that missed its wake-up still reads within this
constexpr DWORD kIoCompletionMs = 5000;   // bound on a read or write the driver has accepted
constexpr DWORD kEpisodeQuietMs = 30000;  // a failure this long after the last one starts a new episode
constexpr int kReadChunk = 80;
constexpr DWORD kReopenEveryMs = 1000;  // a lost device is looked for this often

class PortLock {
public:
    explicit PortLock(int port) : cs_(&g_process.portLock[port - 1]) { EnterCriticalSection(cs_); }
    ~PortLock() { LeaveCriticalSection(cs_); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

private:
    CRITICAL_SECTION* cs_;
};

HANDLE StopEvent(int port)
{
    HANDLE& event = g_process.stopEvent[port - 1];
    if (!event)
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

// Read-error boxes are shown one after another by one thread that lives as long as the process:
// the reader keeps recovering while a box waits for a person, and no thread ever ends here while
// the port is in use. (A 32-bit Wine process under qemu-user has been seen to die as a thread of
// it ended, so threads are started once and kept rather than started per box or per reopen.)
struct BoxQueue {
    CRITICAL_SECTION lock;
    HANDLE wake;
    char texts[8][32];
    int count;
    bool started;
};
BoxQueue g_boxes;
volatile LONG g_boxesReady = 0;

DWORD WINAPI ShowBoxesThread(LPVOID)
{
    for (;;) {
        WaitForSingleObject(g_boxes.wake, INFINITE);
        for (;;) {
            char text[32];
            EnterCriticalSection(&g_boxes.lock);
            bool any = g_boxes.count > 0;
            if (any) {
                memcpy(text, g_boxes.texts[0], sizeof(text));
                memmove(g_boxes.texts[0], g_boxes.texts[1], sizeof(g_boxes.texts[0]) * (g_boxes.count - 1));
                --g_boxes.count;
            }
            LeaveCriticalSection(&g_boxes.lock);
            if (!any)
                break;
            MessageBoxA(nullptr, text, nullptr, MB_OK);
        }
    }
}

// Started by the first open of a port, before its reader: under qemu-user a thread started while
// a serial read is pending in the process has been seen to kill the process.
void StartBoxThread()
{
    if (InterlockedCompareExchange(&g_boxesReady, 1, 0) != 0)
        return;
    InitializeCriticalSection(&g_boxes.lock);
    g_boxes.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = g_boxes.wake ? CreateThread(nullptr, 0, ShowBoxesThread, nullptr, 0, nullptr) : nullptr;
    if (thread)
        CloseHandle(thread);
    g_boxes.started = thread != nullptr;
}

void ShowReadError(const char* format, DWORD value)
{
    if (!g_boxes.started)
        return;
    EnterCriticalSection(&g_boxes.lock);
    if (g_boxes.count < 8)
        snprintf(g_boxes.texts[g_boxes.count++], sizeof(g_boxes.texts[0]), format, static_cast<unsigned>(value));
    LeaveCriticalSection(&g_boxes.lock);
    SetEvent(g_boxes.wake);
}

bool ConfigurePortLine(HANDLE comm, const PortRecord& rec)
{
    DCB dcb;
    memset(&dcb, 0, sizeof(dcb));
    dcb.DCBlength = sizeof(dcb);
    GetCommState(comm, &dcb);
    dcb.BaudRate = rec.BaudRate;
    dcb.ByteSize = rec.ByteSize;
    dcb.Parity = rec.Parity;
    dcb.StopBits = rec.StopBits;
    dcb.fParity = rec.Parity != 0;
    bool dtrDsr = rec.FlowCtrl & 1, rtsCts = rec.FlowCtrl & 2, xonXoff = rec.FlowCtrl & 4;
    dcb.fOutxDsrFlow = dtrDsr;
    dcb.fDtrControl = dtrDsr ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = rtsCts;
    dcb.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    dcb.fInX = dcb.fOutX = xonXoff;
    dcb.fDsrSensitivity = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    return SetCommState(comm, &dcb) != 0;
}

void DeviceName(int port, char* name, size_t size)
{
    snprintf(name, size, port < 10 ? "COM%d" : "\\\\.\\COM%d", port);
}

// Opens and configures the device; the invalid handle when it is absent or refuses the settings.
// Every open starts from empty queues: bytes left from before the open belong to no press the
// reader knows of.
HANDLE OpenPortDevice(int port)
{
    char name[16];
    DeviceName(port, name, sizeof(name));
    HANDLE comm = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                              nullptr);
    if (comm == INVALID_HANDLE_VALUE)
        return comm;
    SetupComm(comm, 4096, 4096);
    PurgeComm(comm, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    const PortRecord& rec = portRecord(port);
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = writeTimeoutMultiplier(rec.BaudRate);
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(comm, &timeouts);
    if (!ConfigurePortLine(comm, rec)) {
        CloseHandle(comm);
        return INVALID_HANDLE_VALUE;
    }
    return comm;
}

// Whether the port's device has vanished (a USB adapter pulled out): its name no longer opens.
// While the port is held open, a present device refuses a second open (exclusive access); one
// that opens after all is present too and is closed again at once.
bool DeviceGone(int port)
{
    char name[16];
    DeviceName(port, name, sizeof(name));
    HANDLE probe = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                               nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return false;
    }
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DEV_NOT_EXIST;
}

// Waits for an overlapped operation the driver accepted; false on failure or when it takes too long
// (then it is cancelled, so the record is free again).
// The result of an operation whose event was seen set. Under Wine the event can be seen a moment
// before the result is posted: that is not a failed line (taking it for one reopened a working port
// and put an error box up), so the result is asked for again within the time limit. False with
// ERROR_IO_INCOMPLETE in *error when it is still not there.
bool ResultOnceSignalled(HANDLE comm, OVERLAPPED* overlapped, DWORD* transferred, DWORD* error, DWORD start)
{
    for (;;) {
        if (GetOverlappedResult(comm, overlapped, transferred, FALSE))
            return true;
        *error = GetLastError();
        if (*error != ERROR_IO_INCOMPLETE || GetTickCount() - start >= kIoCompletionMs)
            return false;
        Sleep(1);
    }
}

bool FinishOverlapped(HANDLE comm, OVERLAPPED* overlapped, DWORD* transferred, DWORD* error)
{
    DWORD start = GetTickCount();
    if (WaitForSingleObject(overlapped->hEvent, kIoCompletionMs) == WAIT_OBJECT_0) {
        if (ResultOnceSignalled(comm, overlapped, transferred, error, start))
            return true;
        if (*error != ERROR_IO_INCOMPLETE)
            return false;
    }
    CancelIo(comm);
    WaitForSingleObject(overlapped->hEvent, 1000);
    *error = ERROR_OPERATION_ABORTED;
    return false;
}

// How the reader waits for bytes. Both wait on an overlapped record with the thread's own event
// and end at once when the port is closed (the close sequence clears the event mask, drops DTR and
// sets the reader's stop event).
//  - FirstByteRead (default): an overlapped ReadFile of one byte without timeouts, which completes
//    when a byte arrives; the rest of a burst is then read from the queue. At rest nothing runs,
//    under Wine as on Windows. A read that has not ended although bytes are queued is taken back
//    within a slice (never seen on Windows; under emulation Wine has lost such a wake-up).
//  - CommEvent: WaitCommEvent(EV_RXCHAR) with the overlapped record, then read what is queued, at
//    most 80 bytes at a time. Chosen with the environment variable SWIBUS_READER=commevent. Under
//    Wine it costs more at rest, and Wine ends its waits as cancelled on a live line now and then
//    (a run of them is taken for a lost line and reopened) as well as once the far end is gone.
enum class WaitStrategy { FirstByteRead, CommEvent };

WaitStrategy ChosenStrategy()
{
    char value[32] = {};
    if (GetEnvironmentVariableA("SWIBUS_READER", value, sizeof(value)) && lstrcmpiA(value, "commevent") == 0)
        return WaitStrategy::CommEvent;
    return WaitStrategy::FirstByteRead;
}

// The reader of one port. Only this thread touches its wait record; the port lock guards the
// handle against the server thread's writes while the reader replaces it after a failure.
class PortReader {
public:
    explicit PortReader(int port)
        : port_(port), rec_(portRecord(port)), stop_(StopEvent(port)), strategy_(ChosenStrategy())
    {
    }
    ~PortReader()
    {
        if (waitEvent_)
            CloseHandle(waitEvent_);
    }

    bool start()
    {
        waitEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!waitEvent_) {
            MessageBoxA(nullptr, "Failed to create event for thread.", "Serial Port Error",
                        MB_ICONEXCLAMATION | MB_OK);
            return false;
        }
        memset(&waitRecord_, 0, sizeof(waitRecord_));
        waitRecord_.hEvent = waitEvent_;
        return prepareLine(rec_.Comm);
    }

    void run()
    {
        while (rec_.Connected && !stopped_) {
            if (lost_)
                reopen();
            else if (strategy_ == WaitStrategy::CommEvent)
                waitForCommEvent();
            else
                waitForFirstByte();
        }
        cancelWait();
    }

private:
    bool prepareLine(HANDLE comm)
    {
        if (strategy_ == WaitStrategy::FirstByteRead) {
            COMMTIMEOUTS timeouts = {0, 0, 0, writeTimeoutMultiplier(rec_.BaudRate), 0};
            SetCommTimeouts(comm, &timeouts);
        }
        return SetCommMask(comm, EV_RXCHAR) != 0;
    }

    // Waits on the record's event or the stop event; false when the port is being closed.
    bool waitForRecord(DWORD timeoutMs, bool* timedOut)
    {
        HANDLE handles[2] = {waitEvent_, stop_};
        DWORD woke = WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
        *timedOut = woke == WAIT_TIMEOUT;
        return rec_.Connected && woke != WAIT_OBJECT_0 + 1;
    }

    // The read targets a member, and every way out of here takes a pending read back first: a
    // read left pending would complete later into memory that is no longer this wait's.
    void waitForFirstByte()
    {
        first_ = 0;
        DWORD got = 0;
        ResetEvent(waitEvent_);
        if (!ReadFile(rec_.Comm, &first_, 1, &got, &waitRecord_)) {
            DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                lineFailed(error, ReadFailure::Immediate);
                return;
            }
            waitPending_ = true;
            bool stalled = false;
            for (;;) {
                bool timedOut = false;
                if (!waitForRecord(kWaitSliceMs, &timedOut)) {
                    cancelWait();
                    return;
                }
                if (!timedOut)
                    break;
                RetryOwedBytes(port_);
                if (bytesQueued()) {
                    stalled = true;  // bytes wait while the read does not end: take it back, read them
                    cancelWait();
                    break;
                }
            }
            if (!finishWait(&got, &error)) {
                if (closing())
                    return;
                if (!stalled) {
                    waitFailed(error);
                    return;
                }
                got = 0;
            }
            if (stalled && got == 0) {
                drain();
                return;
            }
        }
        if (got == 0) {
            // With no total timeout a live line never completes a read empty: the device is gone.
            if (emptyWake())
                lineFailed(ERROR_DEVICE_NOT_CONNECTED);
            return;
        }
        emptyWakes_ = 0;
        g_process.failureEpisode[port_ - 1] = false;
        DispatchByte(port_, first_);
        drain();
    }

    void waitForCommEvent()
    {
        mask_ = 0;
        ResetEvent(waitEvent_);
        if (!WaitCommEvent(rec_.Comm, &mask_, &waitRecord_)) {
            DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                lineFailed(error);
                return;
            }
            waitPending_ = true;
            bool timedOut = false;
            while (waitPending_) {
                if (!waitForRecord(kWaitSliceMs, &timedOut))
                    return;
                if (!timedOut)
                    break;
                RetryOwedBytes(port_);
                drain();  // a missed wake-up costs at most one slice, never a byte
                if (!rec_.Connected || !waitPending_)
                    return;
            }
            DWORD ignored = 0;
            if (!finishWait(&ignored, &error)) {
                if (!closing())
                    waitFailed(error);
                return;
            }
        }
        // A wake-up that brings nothing to read, whatever its mask, counts as empty: a line that
        // hung up can report received characters for ever without any.
        if (drain() > 0)
            emptyWakes_ = 0;
        else if (emptyWake())
            lineFailed(ERROR_DEVICE_NOT_CONNECTED);
    }

    // A wait that ended in failure although this reader did not cancel it and no close asked for
    // it. Under Wine a line whose far end went away ends every wait as cancelled, but Wine also
    // cancels comm-event waits on a live line now and then. So a cancel asks whether the device
    // is still there: gone, the line is lost (the same path as a read failure); there, it counts
    // as an empty wake-up, which backs off (so it cannot spin) and, after a few in a row, is
    // taken for a lost line too, so a dead line is never kept.
    void waitFailed(DWORD error)
    {
        if (error != ERROR_OPERATION_ABORTED || DeviceGone(port_) || emptyWake())
            lineFailed(error);
    }

    // The result of the wait whose event was seen set (or that was taken back). A result still not
    // posted within the time limit is taken back too: no operation stays pending into this record.
    bool finishWait(DWORD* transferred, DWORD* error)
    {
        bool done = ResultOnceSignalled(rec_.Comm, &waitRecord_, transferred, error, GetTickCount());
        if (!done && *error == ERROR_IO_INCOMPLETE)
            cancelWait();
        waitPending_ = false;
        return done;
    }

    // The close sequence has begun for this port (it clears Connected and sets the stop event).
    bool closing() { return !rec_.Connected || WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

    bool bytesQueued()
    {
        DWORD errors = 0;
        COMSTAT status;
        return ClearCommError(rec_.Comm, &errors, &status) && status.cbInQue > 0;
    }

    void cancelWait()
    {
        if (!waitPending_)
            return;
        CancelIo(rec_.Comm);
        WaitForSingleObject(waitEvent_, 1000);
        waitPending_ = false;
    }

    // Reads and dispatches what is waiting; returns the number of bytes dispatched.
    int drain()
    {
        int total = 0;
        for (;;) {
            unsigned char buffer[kReadChunk + 1] = {};
            int count = stopped_ || lost_ || closing() ? -1 : readBlock(buffer, kReadChunk);
            if (count <= 0)
                break;
            total += count;
            // A close waits for this reader: it stops between bytes rather than sending the rest
            // of a burst to a slow window, one bounded send after another.
            for (int i = 0; i < count && !closing(); ++i)
                DispatchByte(port_, buffer[i]);
        }
        if (total > 0)
            g_process.failureEpisode[port_ - 1] = false;
        return total;
    }

    // Only what is already queued, at most `maximum`; -1 after a failure of the line.
    int readBlock(unsigned char* buffer, DWORD maximum)
    {
        DWORD errors = 0;
        COMSTAT status;
        if (!ClearCommError(rec_.Comm, &errors, &status)) {
            lineFailed(GetLastError());
            return -1;
        }
        DWORD wanted = status.cbInQue < maximum ? status.cbInQue : maximum;
        if (wanted == 0)
            return 0;
        DWORD got = 0;
        ResetEvent(rec_.ReadOverlapped.hEvent);
        if (ReadFile(rec_.Comm, buffer, wanted, &got, &rec_.ReadOverlapped))
            return static_cast<int>(got);
        DWORD error = GetLastError();
        bool pending = error == ERROR_IO_PENDING;
        if (pending && FinishOverlapped(rec_.Comm, &rec_.ReadOverlapped, &got, &error))
            return static_cast<int>(got);
        lineFailed(error, pending ? ReadFailure::Completion : ReadFailure::Immediate);
        return -1;
    }

    // A wake-up that brought nothing. Windows gives one when the mask changes; a line that keeps
    // doing so is backed off so it cannot spin. True once it has happened too often in a row.
    bool emptyWake()
    {
        ++emptyWakes_;
        if (emptyWakes_ >= 3) {
            DWORD pause = emptyWakes_ < 8 ? 10u << (emptyWakes_ - 3) : kWaitSliceMs;
            WaitForSingleObject(stop_, pause);
        }
        return emptyWakes_ >= 5;
    }

    // The line failed (device unplugged, adapter pulled): report once per failure episode and stop
    // reading; reopen() then looks for the device every second until it is back or the port is
    // closed. The episode spans the reopen: it ends when bytes arrive again, or after a long quiet
    // time.
    // A failed read completion shows its error code and then the line's error flags; a read that
    // failed at once shows the flags alone (or the code, when the line reports none).
    enum class ReadFailure { Completion, Immediate };

    void lineFailed(DWORD error, ReadFailure kind = ReadFailure::Completion)
    {
        cancelWait();  // before the box's thread starts: no read may be pending then
        DWORD now = GetTickCount();
        bool& episode = g_process.failureEpisode[port_ - 1];
        DWORD& lastFailure = g_process.lastFailure[port_ - 1];
        if (episode && now - lastFailure > kEpisodeQuietMs)
            episode = false;
        lastFailure = now;
        if (!episode) {
            episode = true;
            DWORD flags = 0;
            ClearCommError(rec_.Comm, &flags, nullptr);
            if (kind == ReadFailure::Completion || flags == 0)
                ShowReadError("<CE1-%u>", error);
            if (flags != 0)
                ShowReadError(kind == ReadFailure::Completion ? "<CE2-%u>" : "<CE3-%u>", flags);
        }
        lost_ = true;
    }

    // The line was lost: its handle goes, and this thread looks for the device every second until
    // it is back (then it reads on) or the port is closed. The thread itself stays: threads of
    // this process are never ended while the port is wanted.
    void reopen()
    {
        {
            PortLock lock(port_);
            if (rec_.Comm != INVALID_HANDLE_VALUE)
                CloseHandle(rec_.Comm);
            rec_.Comm = INVALID_HANDLE_VALUE;
        }
        while (rec_.Connected) {
            if (WaitForSingleObject(stop_, kReopenEveryMs) == WAIT_OBJECT_0 || !rec_.Connected)
                return;
            HANDLE comm = OpenPortDevice(port_);
            if (comm == INVALID_HANDLE_VALUE)
                continue;
            if (!prepareLine(comm)) {
                CloseHandle(comm);
                continue;
            }
            EscapeCommFunction(comm, SETDTR);
            {
                PortLock lock(port_);
                rec_.Comm = comm;
            }
            lost_ = false;
            emptyWakes_ = 0;
            return;
        }
    }

    int port_;
    PortRecord& rec_;
    HANDLE stop_;
    WaitStrategy strategy_;
    HANDLE waitEvent_ = nullptr;
    OVERLAPPED waitRecord_;
    DWORD mask_ = 0;
    unsigned char first_ = 0;
    bool waitPending_ = false;
    int emptyWakes_ = 0;
    bool stopped_ = false;
    bool lost_ = false;  // the line failed: reopen before reading on
};

// One reader thread per port for the life of the process: when its port closes it waits to be
// woken by the next open rather than ending (a 32-bit Wine process under qemu-user has been seen
// to die as one of its threads ended).
DWORD WINAPI PortReaderThread(LPVOID argument)
{
    int port = static_cast<int>(reinterpret_cast<INT_PTR>(argument));
    for (;;) {
        {
            PortReader reader(port);
            if (reader.start())
                reader.run();
            else if (HWND server = g_shared.ServerWindow)
                PostMessageA(server, WM_SERVER_REOPENPORT, port, 0);  // a reader that could not start is a lost line
        }
        SetEvent(portRecord(port).ThreadDone);
        WaitForSingleObject(g_process.readerWake[port - 1], INFINITE);
    }
}

// Wakes the port's parked reader, or starts it the first time; null when no thread could start.
HANDLE StartReader(int port, DWORD* threadId)
{
    HANDLE& thread = g_process.reader[port - 1];
    HANDLE& wake = g_process.readerWake[port - 1];
    if (thread && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        *threadId = GetThreadId(thread);
        SetEvent(wake);
        return thread;
    }
    if (thread)
        CloseHandle(thread);  // it was ended by force: a new one takes its place
    thread = nullptr;
    if (!wake && !(wake = CreateEventA(nullptr, FALSE, FALSE, nullptr)))
        return nullptr;
    ResetEvent(wake);
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    thread = CreateThread(&inheritable, 0, PortReaderThread, reinterpret_cast<LPVOID>(INT_PTR(port)), 0, threadId);
    return thread;
}

// Waits for the reader to end while still handling messages sent to this thread's windows:
// the reader may be in the middle of a SendMessage to the server window.
bool WaitForReader(HANDLE done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        DWORD woke = MsgWaitForMultipleObjects(1, &done, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1)
            return false;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void CloseEvent(HANDLE& event)
{
    if (event)
        CloseHandle(event);
    event = nullptr;
}

// The wait for the reader handles sent messages, so an open request can arrive in the middle;
// `closing` makes OpenPort refuse it until the record is clean again.
void CloseSequence(int port)
{
    PortRecord& rec = portRecord(port);
    InterlockedExchange(&g_process.closing[port - 1], 1);
    rec.Connected = 0;
    SetEvent(StopEvent(port));
    {
        PortLock lock(port);
        if (rec.Comm != INVALID_HANDLE_VALUE) {
            SetCommMask(rec.Comm, 0);  // ends the reader's wait at once
            EscapeCommFunction(rec.Comm, CLRDTR);
            PurgeComm(rec.Comm, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        }
    }
    // The handles are closed only once the reader has stopped using them.
    if (rec.Thread) {
        if (!WaitForReader(rec.ThreadDone, 3000)) {
            TerminateThread(rec.Thread, 77);
            WaitForSingleObject(rec.Thread, 1000);
        }
    }
    {
        PortLock lock(port);
        if (rec.Comm != INVALID_HANDLE_VALUE)
            CloseHandle(rec.Comm);
        rec.Comm = INVALID_HANDLE_VALUE;
        CloseEvent(rec.ReadOverlapped.hEvent);
        CloseEvent(rec.WriteOverlapped.hEvent);
    }
    rec.Thread = nullptr;  // the thread is kept for the next open (StartReader owns its handle)
    CloseEvent(rec.ThreadDone);
    InterlockedExchange(&g_process.closing[port - 1], 0);
}

void FlushPendingWrites(int port)
{
    char block[kPendingCapacity + 1];
    size_t size = 0;
    {
        PendingLock lock;
        if (g_shared.Pending.state != 1)
            return;
        size = pendingBlockSize(g_shared.Pending);
        memcpy(block, g_shared.Pending.data, size);
        clearPending(g_shared.Pending);
    }
    COPYDATASTRUCT data = {0, static_cast<DWORD>(size), block};
    SendMessageA(g_shared.ServerWindow, WM_COPYDATA, port, reinterpret_cast<LPARAM>(&data));
}

}  // namespace

void InitPortLocks()
{
    for (auto& cs : g_process.portLock)
        InitializeCriticalSection(&cs);
}

void FreePortLocks()
{
    for (auto& cs : g_process.portLock)
        DeleteCriticalSection(&cs);
    for (auto& event : g_process.stopEvent)
        CloseEvent(event);
}

}  // namespace swibus

using namespace swibus;

extern "C" int WINAPI OpenPort(HWND server, int port)
{
    g_shared.ServerWindow = server;
    if (!validPort(port))
        return 0;
    PortRecord& rec = portRecord(port);
    if (rec.Connected)
        return -4;
    if (g_process.closing[port - 1])
        return 0;  // its close is still waiting for the reader; the caller asks again afterwards
    rec.Comm = INVALID_HANDLE_VALUE;
    memset(&rec.ReadOverlapped, 0, sizeof(rec.ReadOverlapped));
    memset(&rec.WriteOverlapped, 0, sizeof(rec.WriteOverlapped));
    rec.ReadOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!rec.ReadOverlapped.hEvent)
        return -1;
    rec.WriteOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!rec.WriteOverlapped.hEvent) {
        CloseEvent(rec.ReadOverlapped.hEvent);
        return -2;
    }
    HANDLE comm = OpenPortDevice(port);
    HANDLE done = comm != INVALID_HANDLE_VALUE ? CreateEventA(nullptr, FALSE, FALSE, nullptr) : nullptr;
    HANDLE stop = StopEvent(port);
    if (comm == INVALID_HANDLE_VALUE || !done || !stop) {
        if (comm != INVALID_HANDLE_VALUE)
            CloseHandle(comm);
        CloseEvent(done);
        CloseEvent(rec.ReadOverlapped.hEvent);
        CloseEvent(rec.WriteOverlapped.hEvent);
        return 0;
    }
    {
        PortLock lock(port);
        rec.Comm = comm;
    }
    // ThreadDone exists before the thread does, so even a thread that ends at once can signal it.
    rec.ThreadDone = done;
    ResetEvent(stop);
    StartBoxThread();
    rec.Connected = 1;
    DWORD threadId = 0;
    HANDLE thread = StartReader(port, &threadId);
    if (!thread) {
        rec.Connected = 0;
        PortLock lock(port);
        CloseHandle(rec.Comm);
        rec.Comm = INVALID_HANDLE_VALUE;
        CloseEvent(rec.ThreadDone);
        CloseEvent(rec.ReadOverlapped.hEvent);
        CloseEvent(rec.WriteOverlapped.hEvent);
        return 0;
    }
    rec.Thread = thread;
    rec.ThreadId = threadId;
    {
        PortLock lock(port);
        EscapeCommFunction(rec.Comm, SETDTR);
    }
    if (port == g_shared.ComPort)
        FlushPendingWrites(port);
    return 1;
}

extern "C" int WINAPI ClosePort(int port)
{
    if (port == -1) {
        {
            RegistryMutex lock;  // the lists are cleared as one change, not under a registration
            for (int p = 1; p <= kPortCount; ++p) {
                ClientList& list = clientList(p);
                for (auto& e : list.entry)
                    e = 0;
                clientCount(p) = 0;
                portRecord(p).Switches = 0;
            }
        }
        for (int p = 1; p <= kPortCount; ++p)
            if (portRecord(p).Connected)
                CloseSequence(p);
        return 1;
    }
    if (validPort(port) && portRecord(port).Connected)
        CloseSequence(port);
    return 1;
}

extern "C" int WINAPI IsOpenPort(int port)
{
    return validPort(port) ? portRecord(port).Connected : 0;
}

extern "C" int WINAPI WriteCommBlock(int port, const void* bytes, DWORD count)
{
    if (!validPort(port) || (count && !bytes))
        return 0;
    PortRecord& rec = portRecord(port);
    PortLock lock(port);
    if (rec.Comm == INVALID_HANDLE_VALUE || !rec.Comm || !rec.WriteOverlapped.hEvent)
        return 0;
    DWORD written = 0;
    ResetEvent(rec.WriteOverlapped.hEvent);
    if (WriteFile(rec.Comm, bytes, count, &written, &rec.WriteOverlapped))
        return 1;
    DWORD error = GetLastError();
    DWORD errors = 0;
    if (error != ERROR_IO_PENDING) {
        ClearCommError(rec.Comm, &errors, nullptr);
        return 0;
    }
    if (!FinishOverlapped(rec.Comm, &rec.WriteOverlapped, &written, &error))
        ClearCommError(rec.Comm, &errors, nullptr);
    return 1;
}
