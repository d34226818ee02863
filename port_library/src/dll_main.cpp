// The shared block, library load and unload.
#include "shared_block.h"

#include "swibus.h"

namespace swibus {

SharedPortData g_shared __attribute__((section(".shared"), shared));
ProcessState g_process;

namespace {

void OnProcessAttach(HINSTANCE module)
{
    g_process.module = module;
    InitPortLocks();
    volatile LONG* count = reinterpret_cast<volatile LONG*>(&g_shared.AttachCount);
    if (*count > 0) {
        // Not the first: no waiting here. (A registration holds the mutex while it starts the
        // server, whose own load of the library must not wait for it.)
        InterlockedIncrement(count);
        return;
    }
    // Perhaps the first: under the registry mutex, so two first processes never both start the
    // block over, nor one while another changes the lists.
    RegistryMutex lock;
    if (*count <= 0) {
        // First process: the block starts over from its initial values, then the stored settings.
        g_shared = SharedPortData{};
        LoadSettings();
    }
    InterlockedIncrement(count);
}

void OnProcessDetach()
{
    LONG left = 0;
    if (g_shared.AttachCount > 0)
        left = InterlockedDecrement(reinterpret_cast<volatile LONG*>(&g_shared.AttachCount));
    if (left <= 0 && g_shared.ServerWindow)
        SendMessageTimeoutA(g_shared.ServerWindow, WM_SERVER_QUIT, 0, 0, SMTO_NORMAL, 5000, nullptr);
    FreePortLocks();
}

}  // namespace
}  // namespace swibus

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(module);
        swibus::OnProcessAttach(module);
        break;
    case DLL_PROCESS_DETACH:
        swibus::OnProcessDetach();
        break;
    default:
        break;
    }
    return TRUE;
}
