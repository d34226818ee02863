// Harness smoke test, Windows side: opens a COM port for overlapped I/O, waits
// for bytes with WaitCommEvent(EV_RXCHAR), prints them as hex, then writes one byte.
//   com_smoke <COMn> <byte count to receive> <hex byte to write>
//   com_smoke <COMn> close-wakes   a pending wait must end when another thread
//                                  runs the close sequence (mask 0, DTR down, purge)
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static bool waitOverlapped(HANDLE port, OVERLAPPED* overlapped, DWORD* transferred, DWORD timeoutMs)
{
    if (WaitForSingleObject(overlapped->hEvent, timeoutMs) != WAIT_OBJECT_0)
        return false;
    return GetOverlappedResult(port, overlapped, transferred, FALSE) != 0;
}

struct PendingWait {
    HANDLE port;
    DWORD endedAfterMs;
};

static DWORD WINAPI waitOnce(LPVOID context)
{
    PendingWait* pending = static_cast<PendingWait*>(context);
    OVERLAPPED wait = {};
    wait.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD mask = 0, ignored = 0;
    DWORD start = GetTickCount();
    if (!WaitCommEvent(pending->port, &mask, &wait) && GetLastError() == ERROR_IO_PENDING)
        GetOverlappedResult(pending->port, &wait, &ignored, TRUE);
    pending->endedAfterMs = GetTickCount() - start;
    CloseHandle(wait.hEvent);
    return 0;
}

static int closeWakesWait(HANDLE port)
{
    SetCommMask(port, EV_RXCHAR);
    PendingWait pending = {port, 0};
    HANDLE thread = CreateThread(nullptr, 0, waitOnce, &pending, 0, nullptr);
    Sleep(500);
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
        printf("the wait ended with no byte and no close\n");
        return 10;
    }
    SetCommMask(port, 0);
    EscapeCommFunction(port, CLRDTR);
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (WaitForSingleObject(thread, 3000) != WAIT_OBJECT_0) {
        printf("the close sequence did not end the wait\n");
        return 11;
    }
    printf("wait ended after %lu ms\n", pending.endedAfterMs);
    CloseHandle(thread);
    CloseHandle(port);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc != 4 && !(argc == 3 && strcmp(argv[2], "close-wakes") == 0)) {
        fprintf(stderr, "usage: com_smoke COMn count hexbyte\n");
        return 2;
    }
    int wanted = atoi(argv[2]);
    unsigned char reply = argc == 4 ? static_cast<unsigned char>(strtoul(argv[3], nullptr, 16)) : 0;

    HANDLE port = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        printf("open failed %lu\n", GetLastError());
        return 3;
    }
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(port, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(port, &dcb)) {
        printf("SetCommState failed %lu\n", GetLastError());
        return 4;
    }
    COMMTIMEOUTS timeouts = {MAXDWORD, 0, 1000, 0, 0};
    SetCommTimeouts(port, &timeouts);
    if (argc == 3)
        return closeWakesWait(port);
    SetCommMask(port, EV_RXCHAR);
    printf("listening\n");
    fflush(stdout);

    OVERLAPPED wait = {};
    wait.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED read = {};
    read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char received[256];
    int count = 0;
    int emptyWakes = 0;
    DWORD deadline = GetTickCount() + 15000;
    while (count < wanted && GetTickCount() < deadline) {
        DWORD mask = 0, ignored = 0;
        ResetEvent(wait.hEvent);
        if (!WaitCommEvent(port, &mask, &wait)) {
            if (GetLastError() != ERROR_IO_PENDING || !waitOverlapped(port, &wait, &ignored, 15000)) {
                printf("WaitCommEvent failed %lu\n", GetLastError());
                return 5;
            }
        }
        if (!(mask & EV_RXCHAR)) {
            // An empty mask means the wait did not really wait: the harness is broken.
            if (++emptyWakes > 50) {
                printf("WaitCommEvent keeps returning without EV_RXCHAR\n");
                return 6;
            }
            continue;
        }
        DWORD got = 0;
        ResetEvent(read.hEvent);
        if (!ReadFile(port, received + count, sizeof(received) - count, &got, &read)) {
            if (GetLastError() != ERROR_IO_PENDING || !waitOverlapped(port, &read, &got, 5000)) {
                printf("ReadFile failed %lu\n", GetLastError());
                return 7;
            }
        }
        count += static_cast<int>(got);
    }
    printf("received ");
    for (int i = 0; i < count; ++i)
        printf("%02x", static_cast<unsigned char>(received[i]));
    printf("\n");

    OVERLAPPED write = {};
    write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    if (!WriteFile(port, &reply, 1, &written, &write)) {
        if (GetLastError() != ERROR_IO_PENDING || !waitOverlapped(port, &write, &written, 5000)) {
            printf("WriteFile failed %lu\n", GetLastError());
            return 8;
        }
    }
    printf("wrote %lu\n", written);
    fflush(stdout);
    CloseHandle(port);
    return count == wanted && written == 1 ? 0 : 9;
}
