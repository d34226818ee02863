// Dialogs of every program open centred over their owner.
#include "fennick/dialog_position.h"
#include "fennick/win32_common.h"

namespace fennick {

void CentreOverOwner(HWND dialog)
{
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT ownerRect, dialogRect;
    if (!owner || !GetWindowRect(owner, &ownerRect) || !GetWindowRect(dialog, &dialogRect))
        return;
    int width = dialogRect.right - dialogRect.left, height = dialogRect.bottom - dialogRect.top;
    int x = centredOrigin((ownerRect.left + ownerRect.right) / 2, width, GetSystemMetrics(SM_CXFULLSCREEN));
    int y = centredOrigin((ownerRect.top + ownerRect.bottom) / 2, height, GetSystemMetrics(SM_CYFULLSCREEN));
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace fennick
