/* Hookwatch.dll: tells registered windows which window is being activated anywhere on the desktop. */
#ifndef HOOKWATCH_H
#define HOOKWATCH_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef HOOKWATCH_BUILDING
#define HOOKWATCH_API /* exports come from hookwatch.def, undecorated */
#else
#define HOOKWATCH_API __declspec(dllimport)
#endif

/* Sent (posted) to every registered window: wParam = the window being activated, lParam 0. */
#define WM_HOOKWATCH_ACTIVATED 0x87EE

/* folder: the caller's program folder with its trailing backslash (kept, not needed). 1 = done. */
HOOKWATCH_API int WINAPI InitializeHookwatchA(const char* folder);
/* Starts reporting activations to the window; call from the thread that owns it, which must
   run a message loop. 1 = done, 0 = null window, no room or no watch. */
HOOKWATCH_API int WINAPI RegisterCBTHook(HWND window);
/* Stops reporting to the window; the watch ends with the last window. 1 = done, 0 = not registered. */
HOOKWATCH_API int WINAPI UnRegisterCBTHook(HWND window);
/* Forgets every window and ends the watch. */
HOOKWATCH_API int WINAPI UnInitializeHookwatch(void);

#ifdef __cplusplus
}
#endif

#endif
