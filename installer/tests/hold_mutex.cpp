// Holds a program's single-instance mutex without any window to close, as a program of the suite
// that hangs would: hold_mutex <mutex name> <ready file> [held file]. A held file stays open without
// sharing, as a DLL still loaded in another process is. It runs until it is killed.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, argv[1]);
    if (!mutex)
        return 1;
    if (argc >= 4 &&
        CreateFileA(argv[3], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr) == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE)
        CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
