// Win32 helpers shared by every program: device model, program folder, single instance, windows.
#pragma once
#include <windows.h>
#include <stddef.h>

namespace fennick {

// ---- registry --------------------------------------------------------------
// A REG_DWORD value; false (and *value unchanged) when the key, the value or the
// right type and size is missing.
bool ReadRegistryDword(HKEY hive, const char* keyPath, const char* valueName, DWORD* value);
// Writes a REG_DWORD value, creating the key when needed.
bool WriteRegistryDword(HKEY hive, const char* keyPath, const char* valueName, DWORD value);

// ---- device model (FNType) -------------------------------------------------
inline constexpr const char kFennickKey[] = "SOFTWARE\\Velmora\\Fennick";
inline constexpr const char kDeviceModelValue[] = "FNType";
enum DeviceModel : DWORD { kModelUsb = 0, kModelSerial = 1 };

// Reads FNType from HKEY_CURRENT_USER, else HKEY_LOCAL_MACHINE. Returns false
// (and leaves *model unchanged) when neither hive holds a DWORD value.
bool ReadDeviceModel(DWORD* model);
// Writes FNType to HKEY_CURRENT_USER, creating the key when needed.
bool WriteDeviceModel(DWORD model);

// ---- program folder --------------------------------------------------------
// Folder of the given module (null = the running program), always ending in a
// backslash. Returns the length, or 0 when it does not fit in `size` (out then
// holds an empty string).
size_t ModuleFolder(HMODULE module, char* out, size_t size);
inline size_t ProgramFolder(char* out, size_t size) { return ModuleFolder(nullptr, out, size); }
// A relative name resolved against the program folder; an absolute path
// ("C:\...", "\\server\...", "\...") is copied as it is. 0 when it does not fit.
size_t ResolveInProgramFolder(const char* name, char* out, size_t size);
// Bounded copy that always terminates; returns false when `text` was cut.
bool CopyText(char* out, size_t size, const char* text);

// ---- single instance -------------------------------------------------------
inline constexpr int kExitAlreadyRunning = 6;
inline constexpr const char kAlreadyRunningText[] = "An instance of the program is already running";
inline constexpr const char kAlreadyRunningCaption[] = "Could not launch";

// What to do when another instance holds the mutex; the default shows the message box.
using AlreadyRunningHandler = void (*)(void* context);

// Creates the named mutex, initially owned, and keeps its handle in *held for the
// life of the process. Returns false when another instance already has it: the
// handler (or the default message box) has then run and the caller should exit
// with kExitAlreadyRunning. A mutex that cannot be created for another reason
// does not stop the program (true, *held null).
bool ClaimSingleInstance(const char* mutexName, HANDLE* held, AlreadyRunningHandler handler = nullptr,
                         void* context = nullptr);

// ---- windows ---------------------------------------------------------------
// Registers a program's main window class with the arrow cursor. True also when the class is
// already registered (a window started again in the same process, as the tests do).
bool RegisterMainWindowClass(HINSTANCE instance, const char* className, WNDPROC procedure, LPCSTR icon,
                             HBRUSH background, const char* menu = nullptr, UINT style = 0);

// ---- dialogs ---------------------------------------------------------------
// Moves a dialog so it is centred over its owner, kept within the full-screen area; size unchanged.
void CentreOverOwner(HWND dialog);

// ---- errors ----------------------------------------------------------------
// The system's text for an error code, without the trailing line break.
void FormatErrorText(DWORD error, char* out, size_t size);

}  // namespace fennick
