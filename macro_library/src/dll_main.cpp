// The macro library's exports (RunMacro, ComposeMacro, FreeMacroDll) and its release of held keys at process end.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "macro_editor.h"

#include "macro_player.h"
#include "win32_macro_effects.h"

using fennick::macro::HeldInputLedger;
using fennick::macro::LedgerEffects;
using fennick::macro::Win32MacroEffects;

namespace {

struct MacroLibrary {
    HMODULE module = nullptr;
    char* composed = nullptr;  // the string ComposeMacro returned last, owned here (malloc)
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

namespace {

char* copyOf(const std::string& text)
{
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// The caption is a title and is cut at 63 characters; the path is kept whole, as a cut path
// would name another file.
constexpr std::size_t kMaxCaptionLength = 63;

}  // namespace

extern "C" char* WINAPI ComposeMacro(HWND owner, const char* caption, const char* initialMacro,
                                      const char* customMacroPath)
{
    if (!owner || !caption)
        return nullptr;
    // The previous result goes first, then the initial macro is copied: a caller passes its own copy.
    std::free(g_library.composed);
    g_library.composed = initialMacro ? copyOf(initialMacro) : nullptr;

    fennick::macro::EditorRequest request;
    request.module = g_library.module;
    request.owner = owner;
    request.caption = std::string(caption).substr(0, kMaxCaptionLength);
    request.initialMacro = g_library.composed;
    request.storePath = customMacroPath ? customMacroPath : "";
    std::string result;
    if (fennick::macro::RunMacroEditor(request, result)) {
        std::free(g_library.composed);
        g_library.composed = copyOf(result);
    }
    return g_library.composed;
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
