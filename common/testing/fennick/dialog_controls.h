// For Windows tests: run this thread's pending messages, and work a dialog's controls as a person would.
#pragma once
#include <windows.h>

namespace fennick::testing {

inline void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

inline void ClickControl(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
// Posted: a modal loop only notices that it ended when it next retrieves a posted message.
inline void PressOk(HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); }
inline bool IsTicked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace fennick::testing
