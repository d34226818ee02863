// The macro editor as the key mapper meets it: ComposeMacro from the DLL, the real dialog driven
// from a second thread through its messages, the keyboard and (for dragging) the real mouse.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "editor_ids.h"
#include "editor_resources.h"
#include "macro_player.h"
#include "mcx_test_support.h"
#include "fennick/mcx_api.h"

using namespace mcx_test;
using Rows = std::vector<std::string>;

namespace {

const char kCaption[] = "FennickKey";

struct Library {
    HMODULE module = LoadLibraryA("mcx_GED.dll");
    ComposeMacroProc compose = reinterpret_cast<ComposeMacroProc>(GetProcAddress(module, "ComposeMacro"));
    FreeMacroDllProc release = reinterpret_cast<FreeMacroDllProc>(GetProcAddress(module, "FreeMacroDll"));
    ~Library()
    {
        if (release)
            release();
        FreeLibrary(module);
    }
};

// ---- driving the dialog from the driver thread ----

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// Every row of the command list: its text, "|kind" for kinds other than text, "*" when selected.
Rows ListRows(HWND dialog)
{
    HWND list = Control(dialog, IDC_COMMAND_LIST);
    Rows rows;
    int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        char text[1024] = {};
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
        item.stateMask = LVIS_SELECTED;
        item.iItem = i;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        std::string row = (item.state & LVIS_SELECTED ? "*" : "") + std::string(text);
        if (item.lParam != 1)
            row += "|" + std::to_string(item.lParam);
        rows.push_back(row);
    }
    return rows;
}

void Click(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(dialog, id)));
}

// For a click that opens a message box or dialog: the click waits in the queue.
void PostClick(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(dialog, id)));
}

std::string BoxText(HWND box)
{
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof(className));
        char part[1024] = {};
        GetWindowTextA(child, part, sizeof(part));
        if (lstrcmpiA(className, "Static") == 0 && part[0])
            text += part;
    }
    return text;
}

// Waits for the message box over `owner`, answers it and returns its text.
std::string AnswerBox(HWND owner, int answer)
{
    HWND box = WaitForDialog(owner, kCaption);
    if (!box)
        return "<no message box>";
    std::string text = BoxText(box);
    PostMessageA(box, WM_COMMAND, answer, 0);
    WaitForDialogGone(box);
    return text;
}

void SelectRows(HWND dialog, std::initializer_list<int> rows)
{
    HWND list = Control(dialog, IDC_COMMAND_LIST);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows)
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void SetField(HWND dialog, int id, const char* text) { SetWindowTextA(Control(dialog, id), text); }

std::string FieldText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// Real key presses reach the focused control of the dialog, Ctrl as GetKeyState sees it.
void PressKeys(HWND dialog, HWND focus, std::initializer_list<BYTE> keys)
{
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
    for (BYTE key : keys)
        keybd_event(key, 0, 0, 0);
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
        keybd_event(*key, 0, KEYEVENTF_KEYUP, 0);
}

// Runs a command on the X display, as a person's mouse would act, and waits for it to end.
bool RunOnDisplay(const std::string& command)
{
    char marker[MAX_PATH];
    snprintf(marker, sizeof(marker), "Z:\\tmp\\mcx_editor_%lu.done", GetCurrentProcessId());
    DeleteFileA(marker);
    std::string unixMarker = std::string("/tmp/mcx_editor_") + std::to_string(GetCurrentProcessId()) + ".done";
    std::string line = "/bin/sh -c \"" + command + "; touch " + unixMarker + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    bool done = WaitUntil([&] { return GetFileAttributesA(marker) != INVALID_FILE_ATTRIBUTES; }, 30000);
    DeleteFileA(marker);
    return done;
}

POINT RowCentre(HWND dialog, int row)
{
    HWND list = Control(dialog, IDC_COMMAND_LIST);
    RECT box = {};
    box.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&box));
    POINT centre = {box.left + 12, (box.top + box.bottom) / 2};
    ClientToScreen(list, &centre);
    return centre;
}

bool DragRow(HWND dialog, int from, int to)
{
    POINT a = RowCentre(dialog, from);
    POINT b = RowCentre(dialog, to);
    char command[512];
    snprintf(command, sizeof(command),
             "xdotool mousemove %ld %ld sleep 0.3 mousedown 1 sleep 0.3 mousemove %ld %ld sleep 0.3 "
             "mousemove %ld %ld sleep 0.3 mousemove %ld %ld sleep 0.3 mouseup 1",
             a.x, a.y, a.x, a.y + 6, b.x, b.y - 2, b.x, b.y);
    return RunOnDisplay(command);
}

struct DriveContext {
    HWND owner;
    DWORD editorThread;
    std::function<void(HWND)>* drive;
};

BOOL CALLBACK CancelDialog(HWND window, LPARAM)
{
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, "#32770") == 0)
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

DWORD WINAPI DriveEditor(void* p)
{
    DriveContext* context = static_cast<DriveContext*>(p);
    HWND dialog = WaitForDialog(context->owner);
    if (dialog)
        (*context->drive)(dialog);
    else
        ADD_FAILURE() << "the editor did not open";
    // A driver that stopped half-way (a failed ASSERT) leaves dialogs open: cancel them all,
    // so that ComposeMacro returns and the next test can run.
    for (int i = 0; i < 50 && (!dialog || IsWindow(dialog)); ++i) {
        Sleep(100);
        if (i >= 20)
            EnumThreadWindows(context->editorThread, CancelDialog, 0);
    }
    return 0;
}

// The text colour the dialog's custom draw gives a row of the command list.
COLORREF TextColourOf(HWND dialog, int row)
{
    const COLORREF untouched = RGB(1, 2, 3);
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = Control(dialog, IDC_COMMAND_LIST);
    draw.nmcd.hdr.idFrom = IDC_COMMAND_LIST;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.clrText = untouched;
    SendMessageA(dialog, WM_NOTIFY, IDC_COMMAND_LIST, reinterpret_cast<LPARAM>(&draw));
    return draw.clrText;
}

// Opens the editor on this thread and runs `drive` with it on another.
struct Session {
    Library& library;
    HWND owner = CreateOwnerWindow();
    explicit Session(Library& l) : library(l) {}
    ~Session() { DestroyWindow(owner); }

    const char* Run(const char* initial, const char* store, std::function<void(HWND)> drive)
    {
        DriveContext context = {owner, GetCurrentThreadId(), &drive};
        HANDLE thread = CreateThread(nullptr, 0, DriveEditor, &context, 0, nullptr);
        const char* result = library.compose(owner, kCaption, initial, store);
        WaitForSingleObject(thread, 60000);
        CloseHandle(thread);
        return result;
    }
};

class MacroEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(library.compose, nullptr);
        char base[MAX_PATH];
        GetTempPathA(sizeof(base), base);
        store = std::string(base) + "mcx_editor_" + std::to_string(GetCurrentProcessId()) + ".mcr";
        DeleteFileA(store.c_str());
    }
    void TearDown() override { DeleteFileA(store.c_str()); }

    Library library;
    std::string store;
};

}  // namespace

TEST_F(MacroEditor, RefusesANullOwnerOrCaptionAndCancelKeepsTheInitialMacro)
{
    EXPECT_EQ(library.compose(nullptr, kCaption, "a$", nullptr), nullptr);
    HWND owner = CreateOwnerWindow();
    EXPECT_EQ(library.compose(owner, nullptr, "a$", nullptr), nullptr);
    DestroyWindow(owner);

    Session session(library);
    std::string initial = "a$b";
    const char* result = session.Run(initial.c_str(), nullptr, [](HWND dialog) {
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "a", "-- Macro end --"}));
        EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_ROW_EDIT)));
        EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_ROW_DELETE)));
        EXPECT_EQ(SendMessageA(Control(dialog, IDC_KEY_LIST), LB_GETCOUNT, 0, 0), 61);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "a$b");  // the copy of the initial macro, untouched
    EXPECT_NE(result, initial.c_str());

    result = session.Run(nullptr, "", [](HWND dialog) {
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "-- Macro end --"}));
        PostClick(dialog, IDC_EDITOR_CANCEL);
    });
    EXPECT_EQ(result, nullptr);
    result = session.Run(nullptr, nullptr, [](HWND dialog) { PostClick(dialog, IDC_EDITOR_OK); });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "");
}

TEST_F(MacroEditor, AddMoveCopyPasteEditDragAndGetTheMacroBack)
{
    Session session(library);
    const char* result = session.Run("a$$b$", store.c_str(), [](HWND dialog) {
        // A key, a text and a pause go in front of the selected row, which stays selected.
        SelectRows(dialog, {1});
        SendMessageA(Control(dialog, IDC_KEY_LIST), LB_SETCURSEL, 5, 0);  // Enter
        Click(dialog, IDC_KEY_ADD);
        SetField(dialog, IDC_TEXT_FIELD, "Hi $5");
        Click(dialog, IDC_TEXT_ADD);
        EXPECT_EQ(FieldText(Control(dialog, IDC_TEXT_FIELD)), "");  // the text field is emptied
        SetField(dialog, IDC_PAUSE_FIELD, "250");
        Click(dialog, IDC_PAUSE_ADD);
        EXPECT_EQ(FieldText(Control(dialog, IDC_PAUSE_FIELD)), "250");  // the pause stays
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "{ENTER}|2", "Hi $5", "{PAUSE 250}|3", "*a$b",
                                          "-- Macro end --"}));

        // Empty fields are answered, not added.
        PostClick(dialog, IDC_TEXT_ADD);
        EXPECT_EQ(AnswerBox(dialog, IDOK), "Please enter some text.");
        SetField(dialog, IDC_PAUSE_FIELD, "");
        PostClick(dialog, IDC_PAUSE_ADD);
        EXPECT_EQ(AnswerBox(dialog, IDOK), "Please enter a pause (in milliseconds).");

        // Enter in the pause field adds the pause and keeps the editor open.
        SetField(dialog, IDC_PAUSE_FIELD, "7");
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(dialog, IDC_PAUSE_FIELD)), TRUE);
        Click(dialog, IDC_EDITOR_OK);
        EXPECT_EQ(ListRows(dialog)[4], "{PAUSE 7}|3");
        EXPECT_TRUE(IsWindowVisible(dialog));

        // Move "Hi $5" down twice: the selection follows it; the end marker stops it.
        SelectRows(dialog, {2});
        EXPECT_TRUE(IsWindowEnabled(Control(dialog, IDC_ROW_EDIT)));
        Click(dialog, IDC_ROW_DOWN);
        Click(dialog, IDC_ROW_DOWN);
        Click(dialog, IDC_ROW_DOWN);
        Click(dialog, IDC_ROW_DOWN);
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "{ENTER}|2", "{PAUSE 250}|3", "{PAUSE 7}|3", "a$b",
                                          "*Hi $5", "-- Macro end --"}));
        Click(dialog, IDC_ROW_UP);
        EXPECT_EQ(ListRows(dialog)[4], "*Hi $5");

        // Ctrl+C copies the selected rows, Ctrl+V pastes them in front of the end marker.
        HWND list = Control(dialog, IDC_COMMAND_LIST);
        SelectRows(dialog, {1, 2});
        PressKeys(dialog, list, {VK_CONTROL, 'C'});
        PressKeys(dialog, list, {VK_CONTROL, 'V'});
        EXPECT_TRUE(WaitUntil([&] { return ListRows(dialog).size() == 9; })) << ListRows(dialog).size();
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "{ENTER}|2", "{PAUSE 250}|3", "{PAUSE 7}|3", "Hi $5",
                                          "a$b", "{ENTER}|2", "{PAUSE 250}|3", "-- Macro end --"}));

        // The Delete key deletes the selected rows and selects the row that took their place.
        SelectRows(dialog, {6});
        PressKeys(dialog, list, {VK_DELETE});
        EXPECT_TRUE(WaitUntil([&] { return ListRows(dialog).size() == 8; }));
        EXPECT_EQ(ListRows(dialog)[6], "*{PAUSE 250}|3");

        // Editing a pause in place shows its digits and takes digits only.
        SelectRows(dialog, {2});
        Click(dialog, IDC_ROW_EDIT);
        HWND field = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(FieldText(field), "250");
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        for (char c : std::string("12x4"))
            SendMessageA(field, WM_CHAR, static_cast<WPARAM>(c), 0);
        EXPECT_EQ(FieldText(field), "124");
        SendMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_TRUE(WaitUntil([&] { return ListRows(dialog)[2] == "*{PAUSE 124}|3"; })) << ListRows(dialog)[2];
        // Letters that reach the field another way are refused too: the row keeps its pause.
        Click(dialog, IDC_ROW_EDIT);
        field = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(field, nullptr);
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("9x"));
        SendMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_TRUE(WaitUntil([&] { return !SendMessageA(list, LVM_GETEDITCONTROL, 0, 0); }));
        EXPECT_EQ(ListRows(dialog)[2], "*{PAUSE 124}|3");
        // A named key cannot be edited.
        SelectRows(dialog, {1});
        EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_ROW_EDIT)));

        // Drag "{ENTER}" with the mouse onto "a$b": it lands just below it.
        if (GetFileAttributesA("Z:\\usr\\bin\\xdotool") == INVALID_FILE_ATTRIBUTES) {
            ADD_FAILURE() << "xdotool is needed to drag with the mouse";
        } else {
            ASSERT_TRUE(DragRow(dialog, 1, 5));
            EXPECT_TRUE(WaitUntil([&] { return ListRows(dialog)[5] == "*{ENTER}|2"; }));
            EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "{PAUSE 124}|3", "{PAUSE 7}|3", "Hi $5", "a$b",
                                              "*{ENTER}|2", "{PAUSE 250}|3", "-- Macro end --"}));
            // Onto the end marker: nothing moves.
            ASSERT_TRUE(DragRow(dialog, 5, 7));
            Sleep(300);
            EXPECT_EQ(ListRows(dialog)[5], "*{ENTER}|2");
            EXPECT_EQ(GetCapture(), nullptr);
        }
        PostClick(dialog, IDC_EDITOR_OK);
    });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "{PAUSE 124}${PAUSE 7}$Hi $$5$a$$b${ENTER}${PAUSE 250}$");
    EXPECT_EQ(ReadFileBytes(store.c_str()), "");  // the store is written on every close
}

TEST_F(MacroEditor, CustomMacrosSavedOverwrittenInsertedDeletedAndKeptOnCancel)
{
    WriteFileBytes(store.c_str(), StoreRecord("Old", "old$") + StoreRecord("Extra", "extra$"));
    Session session(library);
    const char* result = session.Run("Kind regards$", store.c_str(), [](HWND dialog) {
        HWND names = Control(dialog, IDC_CUSTOM_LIST);
        EXPECT_EQ(SendMessageA(names, LB_GETCOUNT, 0, 0), 2);
        // The Delete key in the list of custom macros deletes the selected one.
        SendMessageA(names, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Extra"));
        PressKeys(dialog, names, {VK_DELETE});
        EXPECT_TRUE(WaitUntil([&] { return SendMessageA(names, LB_GETCOUNT, 0, 0) == 1; }));

        // Save as "Sign".
        PostClick(dialog, IDC_CUSTOM_SAVE);
        HWND naming = WaitForDialog(dialog);
        ASSERT_NE(naming, nullptr);
        EXPECT_EQ(SendMessageA(Control(naming, IDC_CUSTOM_NAME), EM_GETLIMITTEXT, 0, 0), 46);
        SetWindowTextA(Control(naming, IDC_CUSTOM_NAME), "Sign");
        PostMessageA(naming, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitForDialogGone(naming));
        SendMessageA(dialog, WM_NULL, 0, 0);
        EXPECT_EQ(SendMessageA(names, LB_GETCOUNT, 0, 0), 2);

        // Change the list and save it again as "SIGN": No keeps the naming dialog open, Yes overwrites.
        SetField(dialog, IDC_TEXT_FIELD, "Anna");
        Click(dialog, IDC_TEXT_ADD);
        PostClick(dialog, IDC_CUSTOM_SAVE);
        naming = WaitForDialog(dialog);
        ASSERT_NE(naming, nullptr);
        SetWindowTextA(Control(naming, IDC_CUSTOM_NAME), "SIGN");
        PostMessageA(naming, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(AnswerBox(naming, IDNO), "Name already exists! Overwrite existing macro?");
        EXPECT_TRUE(IsWindowVisible(naming));
        EXPECT_TRUE(WaitUntil([&] {
            GUITHREADINFO gui = {};
            gui.cbSize = sizeof(gui);
            GetGUIThreadInfo(GetWindowThreadProcessId(naming, nullptr), &gui);
            return gui.hwndFocus == Control(naming, IDC_CUSTOM_NAME);
        })) << "the focus is not on the name field";
        PostMessageA(naming, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(AnswerBox(naming, IDYES), "Name already exists! Overwrite existing macro?");
        EXPECT_TRUE(WaitForDialogGone(naming));
        SendMessageA(dialog, WM_NULL, 0, 0);
        EXPECT_EQ(SendMessageA(names, LB_GETCOUNT, 0, 0), 2);

        // Insert it, framed by its start and end rows (grey, not editable).
        PostClick(dialog, IDC_LIST_CLEAR);
        EXPECT_EQ(AnswerBox(dialog, IDYES),
                  "This will delete all the commands in the command list. Do you want to continue?");
        SendMessageA(dialog, WM_NULL, 0, 0);
        EXPECT_EQ(ListRows(dialog).size(), 2u);
        SendMessageA(names, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Sign"));
        Click(dialog, IDC_CUSTOM_ADD);
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "-- Macro start Sign --|4", "Kind regards", "Anna",
                                          "-- Macro end Sign --|5", "-- Macro end --"}));
        // Markers and custom macro bounds are drawn grey, items in the list's own colour.
        for (int row = 0; row < 6; ++row) {
            COLORREF colour = TextColourOf(dialog, row);
            bool grey = row == 0 || row == 1 || row == 4 || row == 5;
            EXPECT_EQ(colour == RGB(0x7F, 0x7F, 0x7F), grey) << "row " << row << " colour " << std::hex << colour;
        }
        // After its work a button keeps no default frame; OK is the default again.
        EXPECT_EQ(SendMessageA(Control(dialog, IDC_CUSTOM_ADD), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, 0);
        EXPECT_EQ(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), IDC_EDITOR_OK);

        // Saving an empty list is refused.
        PostClick(dialog, IDC_LIST_CLEAR);
        AnswerBox(dialog, IDYES);
        PostClick(dialog, IDC_CUSTOM_SAVE);
        EXPECT_EQ(AnswerBox(dialog, IDOK), "You can not save an empty command list.");

        // Delete "Old" with the Delete button; no question is asked.
        SendMessageA(names, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Old"));
        Click(dialog, IDC_CUSTOM_DELETE);
        EXPECT_EQ(SendMessageA(names, LB_GETCOUNT, 0, 0), 1);
        PostClick(dialog, IDC_EDITOR_CANCEL);
    });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "Kind regards$");  // cancelled: the macro is the initial one
    // Cancel still wrote the custom macros: "Old" gone, "Sign" overwritten.
    EXPECT_EQ(ReadFileBytes(store.c_str()), StoreRecord("Sign", "Kind regards$Anna$"));

    // The saved custom macro comes back with its bounds, which play nothing.
    result = session.Run("{MACRO Sign}$Kind regards${/MACRO Sign}$", store.c_str(), [](HWND dialog) {
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "-- Macro start Sign --|4", "Kind regards",
                                          "-- Macro end Sign --|5", "-- Macro end --"}));
        SelectRows(dialog, {1});
        EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_ROW_EDIT)));
        PostClick(dialog, IDC_EDITOR_OK);
    });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "{MACRO Sign}$Kind regards${/MACRO Sign}$");
}

namespace {

void SaveAsCustomMacro(HWND dialog, const char* name)
{
    PostClick(dialog, IDC_CUSTOM_SAVE);
    HWND naming = WaitForDialog(dialog);
    ASSERT_NE(naming, nullptr);
    SetWindowTextA(Control(naming, IDC_CUSTOM_NAME), name);
    PostMessageA(naming, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitForDialogGone(naming));
    SendMessageA(dialog, WM_NULL, 0, 0);
}

}  // namespace

TEST_F(MacroEditor, TheSessionsEndAndTheOwnersEndKeepTheCustomMacrosAndComposeNothing)
{
    WriteFileBytes(store.c_str(), StoreRecord("Old", "old$"));
    Session session(library);
    const char* result = session.Run("first$", store.c_str(), [&](HWND dialog) {
        SaveAsCustomMacro(dialog, "Sign");
        // The session ends: the file holds them before the process can be ended.
        SendMessageA(dialog, WM_ENDSESSION, TRUE, 0);
        EXPECT_EQ(ReadFileBytes(store.c_str()), StoreRecord("Old", "old$") + StoreRecord("Sign", "first$"));
        Click(dialog, IDC_CUSTOM_DELETE);  // nothing selected: nothing deleted
        SendMessageA(Control(dialog, IDC_CUSTOM_LIST), LB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>("Old"));
        Click(dialog, IDC_CUSTOM_DELETE);
        SetField(dialog, IDC_TEXT_FIELD, "half-way");
        Click(dialog, IDC_TEXT_ADD);
        // The owner goes (its program was closed by an installer): the editor goes with it.
        PostMessageA(session.owner, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitForDialogGone(dialog));
    });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "first$");  // what was composed half-way is not handed back
    EXPECT_EQ(ReadFileBytes(store.c_str()), StoreRecord("Sign", "first$"));
}

TEST_F(MacroEditor, ATextThatReadsLikeACustomMacroBoundStaysATextRow)
{
    Session session(library);
    const char* result = session.Run(nullptr, nullptr, [](HWND dialog) {
        SetField(dialog, IDC_TEXT_FIELD, "{MACRO x}");
        Click(dialog, IDC_TEXT_ADD);
        PostClick(dialog, IDC_EDITOR_OK);
    });
    ASSERT_NE(result, nullptr);
    std::string saved = result;
    result = session.Run(saved.c_str(), nullptr, [](HWND dialog) {
        EXPECT_EQ(ListRows(dialog), Rows({"-- Macro start --", "{MACRO x}", "-- Macro end --"}));
        EXPECT_NE(TextColourOf(dialog, 1), RGB(0x7F, 0x7F, 0x7F));
        SelectRows(dialog, {1});
        EXPECT_TRUE(IsWindowEnabled(Control(dialog, IDC_ROW_EDIT)));
        PostClick(dialog, IDC_EDITOR_OK);
    });
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result, saved);

    // Played, it types what the row shows: each key down is written as the character it stands for.
    struct Typed : fennick::macro::MacroEffects {
        std::string text;
        void key(std::uint8_t vk, std::uint8_t, std::uint32_t flags) override
        {
            if (!(flags & fennick::macro::kKeyUp))
                text += static_cast<char>(vk);
        }
        void mouse(std::uint32_t) override {}
        void sleep(std::uint32_t) override {}
        std::int16_t keyForCharacter(char c) override { return static_cast<unsigned char>(c); }
        std::uint32_t scanCodeForKey(std::uint32_t) override { return 1; }
    } typed;
    fennick::macro::playMacro(saved, 0, typed);
    EXPECT_EQ(typed.text, "{MACRO x}");
}

TEST_F(MacroEditor, AStoreThatCouldNotBeReadIsNeverSavedOver)
{
    std::string damaged = StoreRecord("Kept", "k$") + StoreRecord("Cut", "cut short$").substr(0, 60);
    HANDLE locker = nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        std::string original = pass == 0 ? StoreRecord("Locked", "l$") : damaged;
        WriteFileBytes(store.c_str(), original);
        if (pass == 0)
            locker = CreateFileA(store.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        Session session(library);
        session.Run("x$", store.c_str(), [&](HWND dialog) {
            // A locked file can only be waited for; a damaged one is offered to be kept aside (No here).
            std::string warning = AnswerBox(dialog, pass == 0 ? IDOK : IDNO);
            EXPECT_NE(warning.find(pass == 0 ? "could not be read" : "is damaged"), std::string::npos) << warning;
            EXPECT_NE(warning.find(store), std::string::npos) << warning;
            EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_CUSTOM_SAVE)));
            EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_CUSTOM_DELETE)));
            PostClick(dialog, IDC_EDITOR_OK);
        });
        if (locker) {
            CloseHandle(locker);
            locker = nullptr;
        }
        EXPECT_EQ(ReadFileBytes(store.c_str()), original) << "pass " << pass;
    }
}

TEST_F(MacroEditor, ADamagedStoreKeptAsideOnTheCarersYesGoesOnWithWhatCouldBeRead)
{
    std::string damaged = StoreRecord("Kept", "k$") + StoreRecord("Cut", "cut short$").substr(0, 60);
    WriteFileBytes(store.c_str(), damaged);
    Session session(library);
    session.Run("x$", store.c_str(), [&](HWND dialog) {
        std::string question = AnswerBox(dialog, IDYES);
        EXPECT_NE(question.find(".damaged"), std::string::npos) << question;
        // The box is gone before the editor's thread is back from it and enables the store's buttons.
        EXPECT_TRUE(WaitUntil([&] {
            return IsWindowEnabled(Control(dialog, IDC_CUSTOM_SAVE)) && IsWindowEnabled(Control(dialog, IDC_CUSTOM_DELETE));
        }));
        PostClick(dialog, IDC_EDITOR_CANCEL);
    });
    EXPECT_EQ(ReadFileBytes((store + ".damaged").c_str()), damaged);
    EXPECT_EQ(ReadFileBytes(store.c_str()), StoreRecord("Kept", "k$"));
    DeleteFileA((store + ".damaged").c_str());
}

TEST_F(MacroEditor, AFailedSaveOfChangedCustomMacrosIsSaidAndCanBeRetried)
{
    WriteFileBytes(store.c_str(), StoreRecord("Old", "old$"));
    // A backup program reads the file and keeps it from being replaced.
    HANDLE reader = CreateFileA(store.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    Session session(library);
    session.Run("new$", store.c_str(), [&](HWND dialog) {
        PostClick(dialog, IDC_CUSTOM_SAVE);
        HWND naming = WaitForDialog(dialog);
        ASSERT_NE(naming, nullptr);
        SetWindowTextA(Control(naming, IDC_CUSTOM_NAME), "New");
        PostMessageA(naming, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitForDialogGone(naming));
        PostClick(dialog, IDC_EDITOR_CANCEL);
        std::string question = AnswerBox(dialog, IDRETRY);
        EXPECT_NE(question.find("could not be saved"), std::string::npos) << question;
        // Still held: asked again. Once the file is free, Retry saves.
        HWND box = WaitForDialog(dialog, kCaption);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(BoxText(box).find(store), std::string::npos) << BoxText(box);
        CloseHandle(reader);
        reader = nullptr;
        PostMessageA(box, WM_COMMAND, IDRETRY, 0);
        EXPECT_TRUE(WaitForDialogGone(dialog));
    });
    if (reader)
        CloseHandle(reader);
    EXPECT_EQ(ReadFileBytes(store.c_str()), StoreRecord("Old", "old$") + StoreRecord("New", "new$"));
}

TEST(MacroEditorTexts, EveryLanguageHasEveryTextAndMessagesTakeOnePath)
{
    HMODULE module = LoadLibraryA("mcx_ENG.dll");
    ASSERT_NE(module, nullptr);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);
    const WORD languages[] = {english, 0x0407, 0x040C, 0x0410, 0x0413, 0x0813, 0x0414, 0x041D};
    std::vector<UINT> ids;
    for (UINT id = IDS_NAME_EXISTS; id <= IDS_STORE_DAMAGED; ++id)
        ids.push_back(id);
    for (UINT id = 40053; id <= 40115; ++id) {
        if (id != 40071 && id != 40074)  // not in the key list
            ids.push_back(id);
    }
    for (WORD language : languages) {
        // Looked up in exactly this language: a missing text must not hide behind English.
        ASSERT_NE(FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(IDD_MACRO_EDITOR), language), nullptr) << language;
        ASSERT_NE(FindResourceExA(module, RT_DIALOG, IDD_CUSTOM_NAME, language), nullptr) << language;
        for (UINT id : ids) {
            ASSERT_NE(FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language), nullptr);
            std::string text = fennick::macro::LoadEditorString(module, language, id);
            EXPECT_FALSE(text.empty()) << std::hex << language << std::dec << " string " << id;
            bool takesPath = id == IDS_STORE_UNREADABLE || id == IDS_STORE_NOT_SAVED || id == IDS_STORE_DAMAGED;
            EXPECT_EQ(std::count(text.begin(), text.end(), '%'), takesPath ? 1 : 0) << language << " string " << id;
            if (takesPath) {
                EXPECT_NE(text.find("%s"), std::string::npos) << language << " string " << id;
            }
            // Every message is translated (key names such as "F1" or "Alt" may read the same).
            if (language != english && id <= IDS_STORE_DAMAGED) {
                EXPECT_NE(text, fennick::macro::LoadEditorString(module, english, id)) << language << " string " << id;
            }
        }
    }
    // Accented letters arrive intact in the ANSI code page.
    if (GetACP() == 1252) {
        EXPECT_EQ(fennick::macro::LoadEditorString(module, 0x040C, 40054), "\xC9" "chap");
        EXPECT_EQ(fennick::macro::LoadEditorString(module, 0x0407, 40056), "R\xFC" "cktaste");
        EXPECT_EQ(fennick::macro::LoadEditorString(module, 0x041D, 40060), "V\xE4nsterpil");
    }
    FreeLibrary(module);
}

TEST_F(MacroEditor, AUserWhoseLanguageIsNotShippedSeesEnglish)
{
    // Wine reports US English here, which the library does not carry: the plain loader would
    // take whichever language it finds; the editor asks for English by name.
    LANGID user = GetThreadUILanguage();
    char plain[128] = {};
    LoadStringA(library.module, 19, plain, sizeof(plain));
    std::printf("user interface language %04x; the plain loader gives \"%s\" for string 19\n", user, plain);
    if (PRIMARYLANGID(user) != LANG_ENGLISH)
        GTEST_SKIP() << "run under an English user interface language";
    Session session(library);
    session.Run("a$", nullptr, [](HWND dialog) {
        EXPECT_EQ(FieldText(dialog), "Edit Macro");
        EXPECT_EQ(ListRows(dialog).front(), "-- Macro start --");
        char keyName[64] = {};
        SendMessageA(Control(dialog, IDC_KEY_LIST), LB_GETTEXT, 1, reinterpret_cast<LPARAM>(keyName));
        EXPECT_STREQ(keyName, "Ctrl");
        PostClick(dialog, IDC_EDITOR_CANCEL);
    });
}
