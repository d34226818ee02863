// Shows one dialog template of a language module filled as the key mapper fills it, and saves
// a picture of it: dialog_gallery <module.dll> <TEMPLATE> <command-list code> <out.bmp>
#include "fennick_key/command_list_file.h"
#include "fennick_key/language_resources.h"

#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string>
#include <vector>

#include "fennick/win32_common.h"
#include "fennick/window_picture.h"

namespace {

HMODULE gModule;
std::string gCode;

std::string loadText(UINT id)
{
    char text[128] = {};
    LoadStringA(gModule, id, text, sizeof(text));
    return text;
}

void addItem(HWND combo, const std::string& text, LPARAM data)
{
    LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(combo, CB_SETITEMDATA, index, data);
}

void fillProfiles(HWND combo, const char* selected)
{
    for (const char* name : {"Games", "Reading", "Music v1.2"})
        addItem(combo, name, 0);
    SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(selected));
}

// One switch row in the state the settings dialog gives it for a command of type `btCmd`.
void showSwitch(HWND dialog, int n, int btCmd, const char* text, int32_t value)
{
    HWND type = GetDlgItem(dialog, IDC_CMD_TYPE_BASE + n);
    for (int id = IDS_CMD_MACRO; id <= IDS_CMD_SWITCH_PROFILE; ++id)
        addItem(type, loadText(id), id == IDS_CMD_SWITCH_PROFILE ? 9 : id - IDS_CMD_MACRO);
    SendMessageA(type, CB_SETCURSEL, btCmd == 9 ? 8 : btCmd, 0);
    bool textual = btCmd == 0 || btCmd == 2 || btCmd == 3;
    for (int base : {IDC_TEXT_LABEL_BASE, IDC_CMD_TEXT_BASE, IDC_BROWSE_BASE})
        ShowWindow(GetDlgItem(dialog, base + n), textual ? SW_SHOW : SW_HIDE);
    HWND list = GetDlgItem(dialog, IDC_CMD_LIST_BASE + n);
    ShowWindow(list, textual ? SW_HIDE : SW_SHOW);
    if (textual) {
        SetDlgItemTextA(dialog, IDC_CMD_TEXT_BASE + n, text);
        return;
    }
    if (btCmd == 9) {
        fillProfiles(list, text);
        return;
    }
    char folder[MAX_PATH];
    fennick::ModuleFolder(nullptr, folder, sizeof(folder));
    std::string bin = std::string(folder) + "..\\bin\\";
    std::vector<fennick::key::CommandEntry> entries = fennick::key::ReadCommandsFor(bin.c_str(), gCode.c_str(), btCmd);
    for (const auto& entry : entries)
        addItem(list, entry.name, entry.value);
    SendMessageA(list, CB_SETCURSEL, fennick::key::FindCommandByValue(entries, value), 0);
}

void fillSettings(HWND dialog)
{
    char title[256];
    GetWindowTextA(dialog, title, sizeof(title));
    SetWindowTextA(dialog, (std::string("FennickKey - ") + title).c_str());
    showSwitch(dialog, 0, 0, "Hello$", -1);
    showSwitch(dialog, 1, 1, "", 32);
    showSwitch(dialog, 2, 2, "C:\\Sounds\\bell.wav", -1);
    showSwitch(dialog, 3, 4, "", 0);
    showSwitch(dialog, 4, 9, "Games", -1);
    fillProfiles(GetDlgItem(dialog, IDC_PROFILE_LIST), "Reading");
}

void addRow(HWND list, int row, const std::string& first, const char* second)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(first.c_str());
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(second);
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

std::string formatted(UINT id, const char* name)
{
    char text[300];
    snprintf(text, sizeof(text), loadText(id).c_str(), name);
    return text;
}

void fillLinks(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_LINK_LIST);
    RECT client;
    GetClientRect(list, &client);
    std::string captions[2] = {loadText(IDS_COLUMN_APPLICATION), loadText(IDS_COLUMN_PROFILE)};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = i == 0 ? client.right / 2 : client.right - client.right / 2;
        column.pszText = const_cast<char*>(captions[i].c_str());
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    addRow(list, 0, "Notepad", "Reading");
    addRow(list, 1, formatted(IDS_LINK_BY_PROGRAM_FORMAT, "chess.exe"), "Games");
    addRow(list, 2, formatted(IDS_LINK_BY_TITLE_FORMAT, "Inbox"), "Music v1.2");
    CheckDlgButton(dialog, IDC_USE_DEFAULT_PROFILE, BST_CHECKED);
    fillProfiles(GetDlgItem(dialog, IDC_DEFAULT_PROFILE), "Reading");
    EnableWindow(GetDlgItem(dialog, IDC_LINK_EDIT), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_LINK_DELETE), FALSE);
}

void fillLinkEdit(HWND dialog)
{
    HWND apps = GetDlgItem(dialog, IDC_APPLICATION);
    addItem(apps, "Notepad", 0);
    addItem(apps, "Word processor", 0);
    CheckDlgButton(dialog, IDC_BY_PROGRAM_FILE, BST_CHECKED);
    SetDlgItemTextA(dialog, IDC_PROGRAM_FILE, "chess.exe");
    fillProfiles(GetDlgItem(dialog, IDC_LINK_PROFILE), "Games");
}

INT_PTR CALLBACK galleryDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void pumpFor(DWORD milliseconds)
{
    DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: dialog_gallery module.dll TEMPLATE code out.bmp\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    gModule = LoadLibraryA(argv[1]);
    gCode = argv[3];
    if (!gModule) {
        fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    std::string name = argv[2];
    HWND dialog = CreateDialogParamA(gModule, name.c_str(), nullptr, galleryDialog, 0);
    if (!dialog) {
        fprintf(stderr, "no dialog %s\n", name.c_str());
        return 1;
    }
    if (name == DLG_BUTTONDEFBOX)
        fillSettings(dialog);
    else if (name == DLG_PROFLINKS)
        fillLinks(dialog);
    else if (name == DLG_LINKEDIT)
        fillLinkEdit(dialog);
    else if (name == DLG_NEWLISTBOX)
        SetDlgItemTextA(dialog, IDC_NEW_PROFILE_NAME, "Evening");
    SetWindowPos(dialog, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(dialog);
    pumpFor(700);
    bool saved = fennick::testing::SaveWindowPicture(dialog, argv[4]);
    DestroyWindow(dialog);
    FreeLibrary(gModule);
    return saved ? 0 : 1;
}
