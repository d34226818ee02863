// The show's binding to the port monitor library: its exports, linked by import.
#include "port_monitor.h"

#include "swibus.h"

namespace fennick::show {

namespace {

class Swibus final : public PortMonitor {
public:
    int isRegistered(HWND window) override { return IsRegisteredToDLL(window); }
    int registerWindow(HWND window) override { return RegisterToDLL(window); }
    int unregisterWindow(HWND window) override { return UnRegisterFromDLL(window); }
    int showSettings() override { return PoortInstellingen(); }
};

}  // namespace

PortMonitor& SwibusPortMonitor()
{
    static Swibus swibus;
    return swibus;
}

}  // namespace fennick::show
