// Does what Windows does with the current user's RunOnce commands at log-on: each value is deleted,
// then its command line runs as it is (no shell in between). Waits for each; exits 1 if one failed
// to start.
#include <windows.h>

int main()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    int failed = 0;
    for (;;) {
        char name[256], command[4096];
        DWORD nameSize = sizeof(name), commandSize = sizeof(command) - 1, type = 0;
        if (RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(command), &commandSize) !=
            ERROR_SUCCESS)
            break;
        command[commandSize] = 0;
        RegDeleteValueA(key, name);
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        if (type != REG_SZ || !CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                              &process)) {
            failed = 1;
            continue;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    RegCloseKey(key);
    return failed;
}
