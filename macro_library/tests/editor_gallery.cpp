// Opens the macro editor through ComposeMacro in the user's language (Wine takes it from LANG),
// checks that every control is there and no text is cut off, and saves pictures of the editor
// and of its naming dialog:  mcx_editor_gallery <folder for editor.bmp and name.bmp>
// Prints the editor's caption, then one line per problem; the exit code counts the problems.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "editor_ids.h"
#include "fennick/mcx_api.h"
#include "mcx_test_support.h"

using namespace mcx_test;

namespace {

std::string g_folder;
std::vector<std::string> g_problems;
std::string g_caption;

void problem(const std::string& text) { g_problems.push_back(text); }

std::string windowText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// The width a control's text needs in the control's own font, without the "&" marks.
int textWidth(HWND control, const std::string& text)
{
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

void checkTexts(HWND dialog, const char* which)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof(className));
        LONG style = GetWindowLongA(child, GWL_STYLE);
        RECT box;
        GetClientRect(child, &box);
        std::string text = windowText(child);
        int room = box.right;
        if (lstrcmpiA(className, "Button") == 0) {
            if (style & BS_ICON)
                continue;
            room -= (style & BS_TYPEMASK) == BS_GROUPBOX ? 16 : 8;
        } else if (lstrcmpiA(className, "Static") != 0) {
            continue;
        }
        if (textWidth(child, text) > room)
            problem(std::string(which) + ": \"" + text + "\" is cut off");
    }
}

void checkListFits(HWND dialog, int id)
{
    HWND list = GetDlgItem(dialog, id);
    RECT box;
    GetClientRect(list, &box);
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        if (textWidth(list, text) + 4 > box.right)
            problem(std::string("key list: \"") + text + "\" is cut off");
    }
}

DWORD WINAPI drive(void* owner)
{
    HWND editor = WaitForDialog(static_cast<HWND>(owner), nullptr);
    if (!editor) {
        problem("the editor did not open");
        return 1;
    }
    g_caption = windowText(editor);
    for (int id : {IDC_COMMAND_LIST, IDC_KEY_LIST, IDC_KEY_ADD, IDC_TEXT_FIELD, IDC_TEXT_ADD, IDC_PAUSE_FIELD,
                   IDC_PAUSE_ADD, IDC_CUSTOM_LIST, IDC_CUSTOM_ADD, IDC_CUSTOM_DELETE, IDC_ROW_UP, IDC_ROW_DOWN,
                   IDC_ROW_EDIT, IDC_ROW_DELETE, IDC_LIST_CLEAR, IDC_CUSTOM_SAVE, IDC_EDITOR_OK, IDC_EDITOR_CANCEL}) {
        if (!GetDlgItem(editor, id))
            problem("control " + std::to_string(id) + " is missing");
    }
    if (SendDlgItemMessageA(editor, IDC_KEY_LIST, LB_GETCOUNT, 0, 0) != 61)
        problem("the key list does not hold 61 keys");
    checkTexts(editor, "editor");
    checkListFits(editor, IDC_KEY_LIST);
    // Show some rows, a key picked and a custom macro as a person would see them.
    SendDlgItemMessageA(editor, IDC_KEY_LIST, LB_SETCURSEL, 5, 0);
    SendDlgItemMessageA(editor, IDC_CUSTOM_LIST, LB_SETCURSEL, 0, 0);
    SetDlgItemTextA(editor, IDC_PAUSE_FIELD, "500");
    HWND rows = GetDlgItem(editor, IDC_COMMAND_LIST);
    ListView_SetItemState(rows, 3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(editor, WM_NULL, 0, 0);
    if (!SaveWindowPicture(editor, (g_folder + "\\editor.bmp").c_str()))
        problem("no picture of the editor");

    PostMessageA(editor, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_SAVE, BN_CLICKED), 0);
    HWND naming = WaitForDialog(editor, nullptr);
    if (!naming) {
        problem("the naming dialog did not open");
    } else {
        if (!GetDlgItem(naming, IDC_CUSTOM_NAME) || !GetDlgItem(naming, IDOK) || !GetDlgItem(naming, IDCANCEL))
            problem("a control of the naming dialog is missing");
        checkTexts(naming, "naming dialog");
        SetDlgItemTextA(naming, IDC_CUSTOM_NAME, "Signature");
        SendMessageA(naming, WM_NULL, 0, 0);
        if (!SaveWindowPicture(naming, (g_folder + "\\name.bmp").c_str()))
            problem("no picture of the naming dialog");
        PostMessageA(naming, WM_COMMAND, IDCANCEL, 0);
        WaitForDialogGone(naming);
    }
    PostMessageA(editor, WM_COMMAND, MAKEWPARAM(IDC_EDITOR_CANCEL, BN_CLICKED), 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: mcx_editor_gallery <folder>\n");
        return 100;
    }
    g_folder = argv[1];
    HMODULE library = LoadLibraryA("mcx_ENG.dll");
    auto compose = reinterpret_cast<ComposeMacroProc>(GetProcAddress(library, "ComposeMacro"));
    auto release = reinterpret_cast<FreeMacroDllProc>(GetProcAddress(library, "FreeMacroDll"));
    if (!compose || !release) {
        std::printf("no ComposeMacro\n");
        return 100;
    }
    std::string store = g_folder + "\\gallery.mcr";
    WriteSampleStore(store.c_str());
    HWND owner = CreateOwnerWindow();
    HANDLE driver = CreateThread(nullptr, 0, drive, owner, 0, nullptr);
    compose(owner, "FennickKey", "Dear Tom,${ENTER}${MACRO Signature}$Kind regards,${ENTER}$Anna${/MACRO Signature}${CTRL}$s${PAUSE 500}$",
            store.c_str());
    WaitForSingleObject(driver, 30000);
    release();
    DestroyWindow(owner);
    DeleteFileA(store.c_str());
    std::printf("%s\n", g_caption.c_str());
    for (const std::string& text : g_problems)
        std::printf("%s\n", text.c_str());
    return static_cast<int>(g_problems.size());
}
