// A client program's binding to the port monitor library: its exports, linked by import.
#include "fennick/port_monitor.h"

#include "swibus.h"

namespace fennick {

namespace {

class Swibus final : public PortMonitor {
public:
    int isRegistered(HWND window) override { return IsRegisteredToDLL(window); }
    int registerWindow(HWND window) override { return RegisterToDLL(window); }
    int unregisterWindow(HWND window) override { return UnRegisterFromDLL(window); }
    int showSettings() override { return PoortInstellingen(); }
    int write(const char* bytes, int count) override { return WriteToPort(bytes, count); }
};

}  // namespace

PortMonitor& SwibusPortMonitor()
{
    static Swibus swibus;
    return swibus;
}

}  // namespace fennick
