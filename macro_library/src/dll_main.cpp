// The macro library's exports (RunMacro, FreeMacroDll) and its release of held keys at process end.
#include <windows.h>

#include <cstdlib>

#include "macro_player.h"
#include "win32_macro_effects.h"

using fennick::macro::HeldInputLedger;
using fennick::macro::LedgerEffects;
using fennick::macro::Win32MacroEffects;

namespace {

struct MacroLibrary {
    HMODULE module = nullptr;
    char* composed = nullptr;  // the string ComposeMacro returned last, owned here
    HeldInputLedger held;      // keys and buttons a running macro has down
};

MacroLibrary g_library;

}  // namespace

extern "C" int WINAPI RunMacro(const char* macro, int delayMs)
{
    if (!macro)
        return 0;
    Win32MacroEffects system;
    // Keys still noted here belong to a macro whose thread was ended in the middle
    // (callers play one macro at a time): every macro starts with them released.
    if (!g_library.held.empty())
        g_library.held.releaseAll(system);
    LedgerEffects tracked(system, g_library.held);
    fennick::macro::playMacro(macro, delayMs, tracked);
    return 1;
}

extern "C" void WINAPI FreeMacroDll(void)
{
    std::free(g_library.composed);
    g_library.composed = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_library.module = instance;
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // When the process ends while a macro plays, its thread is gone before this
        // runs: let go of whatever it had down, so no modifier stays pressed.
        if (!g_library.held.empty()) {
            Win32MacroEffects system;
            g_library.held.releaseAll(system);
        }
        break;
    }
    return TRUE;
}
