// The macro library's exported entry points, as a caller binds them with GetProcAddress.
#pragma once
#include <windows.h>

// The library file for a language code: "mcx_" + code + ".dll"; when that does not
// load, the caller falls back to kMacroLibraryFallback.
#define MCX_LIBRARY_PREFIX "mcx_"
#define MCX_LIBRARY_SUFFIX ".dll"
#define MCX_LIBRARY_FALLBACK "mcx_eng.dll"

// Plays a macro string on the calling thread and returns when it is done; delayMs > 0
// is slept after every item. The result carries no meaning (0 for a null macro).
typedef int(WINAPI* RunMacroProc)(const char* macro, int delayMs);
// Opens the macro editor modally over `owner`; null at once for a null owner or caption.
// Returns the macro string after OK, the copy of the initial macro (or null) after Cancel.
// The string belongs to the library until the next ComposeMacro or FreeMacroDll; pass a
// copy of your own as the initial macro, never the previous result. The custom macros live
// in the file at customMacroPath (null or empty: none are kept).
typedef char*(WINAPI* ComposeMacroProc)(HWND owner, const char* caption, const char* initialMacro,
                                        const char* customMacroPath);
// Releases the string last returned by ComposeMacro; call it before unloading the library.
typedef void(WINAPI* FreeMacroDllProc)(void);
