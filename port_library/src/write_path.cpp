// Writes to the device through the server, buffered while the current port is still closed.
#include "shared_block.h"

#include "swibus.h"

namespace swibus {

namespace {

void SendBytes(int port, const void* bytes, DWORD count)
{
    COPYDATASTRUCT data = {0, count, const_cast<void*>(bytes)};
    SendToServer(WM_COPYDATA, port, reinterpret_cast<LPARAM>(&data));
}

enum class Stored { Refused, Appended, FirstOfBuffer, PortOpen };

Stored StoreWhileClosed(int port, const void* bytes, DWORD count)
{
    PendingLock lock;
    if (portRecord(port).Connected)
        return Stored::PortOpen;
    bool first = g_shared.Pending.state == 0;
    if (!appendPending(g_shared.Pending, bytes, count))
        return Stored::Refused;
    return first ? Stored::FirstOfBuffer : Stored::Appended;
}

// Finds the server, starting it when needed, and asks it to open the port; false when it could
// not be started.
bool RequestOpen(int port)
{
    if (HWND server = FindServerWindow()) {
        g_shared.ServerWindow = server;
    } else if (!StartServerProgram(1)) {
        return false;
    }
    // About 2 s for the server's window: a start, window and open take about 0.4 s under Wine
    // here. A server slower than that still gets the bytes with the next open of the port.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HWND server = FindServerWindow();
        if (server) {
            g_shared.ServerWindow = server;
            SendToServer(WM_SERVER_OPENPORT, port, 0);
            return true;
        }
        Sleep(20);
    }
    return true;  // the server is on its way; the bytes wait for the next open of the port
}

}  // namespace
}  // namespace swibus

using namespace swibus;

extern "C" int WINAPI WriteToPort(const void* bytes, DWORD count)
{
    int port = g_shared.ComPort;
    if (!validPort(port) || (count && !bytes))
        return 0;
    if (!portRecord(port).Connected) {
        // The bytes are stored before the open is requested: the open flushes them at once.
        switch (StoreWhileClosed(port, bytes, count)) {
        case Stored::Refused:
            return 0;
        case Stored::Appended:
            return 1;
        case Stored::FirstOfBuffer:
            if (RequestOpen(port))
                return 1;
            {
                // Nothing will send them: take them back rather than report a write that never happens.
                PendingLock lock;
                clearPending(g_shared.Pending);
            }
            return 0;
        case Stored::PortOpen:
            break;
        }
    }
    SendBytes(port, bytes, count);
    return 1;
}

extern "C" int WINAPI WriteToPortEx(int port, const void* bytes, DWORD count)
{
    if (!validPort(port) || !portRecord(port).Connected || (count && !bytes))
        return 0;
    SendBytes(port, bytes, count);
    return 1;
}
