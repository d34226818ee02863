// The key mapper's binding to the port monitor library: its exports, linked by import.
#include "key_services.h"

#include "swibus.h"

namespace fennick::key {

namespace {

class Swibus final : public PortMonitor {
public:
    int registerWindow(HWND window) override { return RegisterToDLL(window); }
    int unregisterWindow(HWND window) override { return UnRegisterFromDLL(window); }
    int showSettings() override { return PoortInstellingen(); }
    int write(const char* bytes, int count) override { return WriteToPort(bytes, static_cast<DWORD>(count)); }
};

}  // namespace

PortMonitor& SwibusPortMonitor()
{
    static Swibus swibus;
    return swibus;
}

}  // namespace fennick::key
