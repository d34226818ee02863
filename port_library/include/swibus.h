/* swibus.dll: client registration, writes to the switch device, port settings sheet. */
#ifndef SWIBUS_H
#define SWIBUS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef SWIBUS_BUILDING
#define SWIBUS_API /* exports come from swibus.def, under their undecorated names */
#else
#define SWIBUS_API __declspec(dllimport)
#endif

/* Messages to client windows. */
#define WM_SWITCH_BYTE 0x8064     /* wParam = port 1..16, lParam = byte 0..255 */
#define WM_SWITCH_ACTIVATE 0x8065 /* wParam 1 = now active, 0 = no longer active; lParam = port */

/* Messages to the server window (class "vlm_sb_Hidden"). */
#define WM_SERVER_QUIT 0x806E        /* close every port and end */
#define WM_SERVER_OPENPORT 0x8070    /* wParam = port */
#define WM_SERVER_CLOSEPORT 0x8071   /* wParam = port */
#define WM_SERVER_DEVICEEVENT 0x8072 /* wParam 0 = "E" received, 1 = "e" received */
#define WM_SERVER_REOPENPORT 0x8073  /* posted by a reader that could not start on its line: open it again */
#define WM_SERVER_DROPDEAD 0x8074    /* wParam = port (0: all): drop client windows that no longer exist */

#define SWIBUS_SERVER_CLASS "vlm_sb_Hidden"

/* Registration on the current port (results: 1 registered, -1 already registered and made active,
   -2 no valid port, 0 null window or the server failed to start). */
SWIBUS_API int WINAPI RegisterToDLL(HWND window);
SWIBUS_API int WINAPI UnRegisterFromDLL(HWND window);
SWIBUS_API int WINAPI IsRegisteredToDLL(HWND window);
SWIBUS_API int WINAPI HwndGetPort(HWND window, int port, int flags); /* flags bit 0: switch processing */
SWIBUS_API int WINAPI HwndRemovePort(HWND window, int port);
SWIBUS_API int WINAPI SetActiveHwnd(HWND window);
SWIBUS_API HWND WINAPI GetActiveHwnd(int index); /* -1: the active window; 0..15: that entry */

/* Port functions; the port handle lives in the server process. */
SWIBUS_API int WINAPI OpenPort(HWND server, int port);
SWIBUS_API int WINAPI ClosePort(int port); /* -1: every port, and every list cleared */
SWIBUS_API int WINAPI IsOpenPort(int port);
SWIBUS_API int WINAPI WriteCommBlock(int port, const void* bytes, DWORD count);
/* For the server program: drops the windows of a port's list (0: every port) whose programs ended
   without leaving, tells the next window it is active, and closes a port left without windows. */
SWIBUS_API void WINAPI DropDeadClients(int port);

/* Writes to the device: on the current port (buffered while it is closed), or on an open port. */
SWIBUS_API int WINAPI WriteToPort(const void* bytes, DWORD count);
SWIBUS_API int WINAPI WriteToPortEx(int port, const void* bytes, DWORD count);

/* Settings sheet "Serial Port". PoortInstellingen ignores any arguments passed to it. */
SWIBUS_API int WINAPI PoortInstellingen(void);
SWIBUS_API int WINAPI PoortInstellingenEx(int port, const char* caption, int pages); /* pages: 1, 2 or 3 */

/* One-shot mouse filter: the next left press becomes a right click. Exported under the name
   "_MouseFilter@4"; find it with GetProcAddress(module, "_MouseFilter@4"). */
typedef int(WINAPI* SwibusMouseFilterProc)(int on);
#define SWIBUS_MOUSE_FILTER_EXPORT "_MouseFilter@4"

#ifdef __cplusplus
}
#endif

#endif
