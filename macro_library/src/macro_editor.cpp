// The macro editor dialog: a thin shell that keeps a list view in step with the MacroList model.
#include "macro_editor.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "custom_macro_file.h"
#include "editor_ids.h"
#include "editor_resources.h"
#include "macro_list.h"

namespace fennick::macro {

namespace {

constexpr COLORREF kGreyText = 0x7F7F7F;
constexpr UINT WM_EDITOR_STORE_WARNING = WM_APP + 1;

struct RowButton {
    int control;
    int icon;
};
constexpr std::array<RowButton, 6> kRowButtons = {{{IDC_ROW_UP, IDI_ROW_UP},
                                                   {IDC_ROW_DOWN, IDI_ROW_DOWN},
                                                   {IDC_ROW_EDIT, IDI_ROW_EDIT},
                                                   {IDC_ROW_DELETE, IDI_ROW_DELETE},
                                                   {IDC_LIST_CLEAR, IDI_LIST_CLEAR},
                                                   {IDC_CUSTOM_SAVE, IDI_CUSTOM_SAVE}}};

struct Editor {
    const EditorRequest& request;
    WORD language;
    MacroList list;
    CustomMacroStore store;
    CustomFileLoad storeState = CustomFileLoad::Missing;
    bool storeChanged = false;
    bool closed = false;  // OK or Cancel ended it; otherwise its owner's end destroys it
    HWND dialog = nullptr;
    HWND rows = nullptr;  // the command list view
    HWND tooltip = nullptr;
    std::array<HICON, kRowButtons.size()> icons = {};
    bool syncing = false;  // the list view is being written from the model
    HIMAGELIST dragImage = nullptr;
    std::string* result = nullptr;

    Editor(const EditorRequest& r, WORD lang)
        : request(r), language(lang),
          list(LoadEditorString(r.module, lang, IDS_MACRO_START), LoadEditorString(r.module, lang, IDS_MACRO_END))
    {
    }

    std::string text(UINT id) const { return LoadEditorString(request.module, language, id); }
    bool storeWritable() const { return storeState == CustomFileLoad::Loaded || storeState == CustomFileLoad::Missing; }
};

Editor* editorOf(HWND dialog) { return reinterpret_cast<Editor*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

int tell(Editor& e, HWND over, UINT id, UINT flags, const char* path = nullptr)
{
    std::string message = e.text(id);
    if (path) {
        std::vector<char> formatted(message.size() + std::strlen(path) + 1);
        std::snprintf(formatted.data(), formatted.size(), message.c_str(), path);
        message = formatted.data();
    }
    return MessageBoxA(over, message.c_str(), e.request.caption.c_str(), flags);
}

// A store that could not be read whole: a damaged one may be kept aside (a copy beside it) so
// that the macros read before the damage can be used and saved again; a locked one can only wait.
// Nothing is written over without the carer's yes.
void onStoreWarning(Editor& e, HWND dialog)
{
    const char* path = e.request.storePath.c_str();
    if (e.storeState != CustomFileLoad::Damaged) {
        tell(e, dialog, IDS_STORE_UNREADABLE, MB_OK | MB_ICONWARNING, path);
        return;
    }
    if (tell(e, dialog, IDS_STORE_DAMAGED, MB_YESNO | MB_ICONWARNING, path) != IDYES)
        return;
    std::string copy = e.request.storePath + ".damaged";
    if (!CopyFileA(path, copy.c_str(), FALSE)) {
        tell(e, dialog, IDS_STORE_UNREADABLE, MB_OK | MB_ICONWARNING, path);
        return;
    }
    e.storeState = CustomFileLoad::Loaded;
    e.storeChanged = true;  // what was read is written back whole at the end
    EnableWindow(GetDlgItem(dialog, IDC_CUSTOM_SAVE), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_CUSTOM_DELETE), TRUE);
}

std::string windowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    length = GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

// ---- the list view and the model ----

void readSelection(Editor& e)
{
    int focus = -1;
    for (std::size_t i = 0; i < e.list.size(); ++i) {
        UINT state = ListView_GetItemState(e.rows, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED);
        e.list.select(i, state & LVIS_SELECTED);
        if (state & LVIS_FOCUSED)
            focus = static_cast<int>(i);
    }
    e.list.setFocus(focus);
}

void updateButtons(Editor& e)
{
    EditorButtons state = e.list.buttons();
    EnableWindow(GetDlgItem(e.dialog, IDC_ROW_EDIT), state.edit);
    EnableWindow(GetDlgItem(e.dialog, IDC_ROW_DELETE), state.remove);
    EnableWindow(GetDlgItem(e.dialog, IDC_ROW_UP), state.up);
    EnableWindow(GetDlgItem(e.dialog, IDC_ROW_DOWN), state.down);
}

// Makes the list view show the model: texts, kinds as item data, selection and focus.
void writeList(Editor& e, int showRow = -1)
{
    e.syncing = true;
    SendMessageA(e.rows, WM_SETREDRAW, FALSE, 0);
    int count = ListView_GetItemCount(e.rows);
    while (count > static_cast<int>(e.list.size()))
        ListView_DeleteItem(e.rows, --count);
    for (std::size_t i = 0; i < e.list.size(); ++i) {
        const MacroRow& row = e.list.row(i);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(row.text.c_str());
        item.lParam = static_cast<LPARAM>(row.kind);
        SendMessageA(e.rows, static_cast<int>(i) < count ? LVM_SETITEMA : LVM_INSERTITEMA, 0,
                     reinterpret_cast<LPARAM>(&item));
        UINT state = (row.selected ? LVIS_SELECTED : 0) | (e.list.focus() == static_cast<int>(i) ? LVIS_FOCUSED : 0);
        ListView_SetItemState(e.rows, static_cast<int>(i), state, LVIS_SELECTED | LVIS_FOCUSED);
    }
    ListView_SetSelectionMark(e.rows, e.list.focus());
    SendMessageA(e.rows, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(e.rows, nullptr, TRUE);
    if (showRow >= 0)
        ListView_EnsureVisible(e.rows, showRow, FALSE);
    e.syncing = false;
    updateButtons(e);
}

// Every change starts from the selection the person made in the list view.
template <typename Change>
void changeList(Editor& e, Change change)
{
    readSelection(e);
    int show = change();
    writeList(e, show);
}

// A button other than OK and Cancel does not keep the default-button frame.
void plainButton(Editor& e, int control)
{
    SendDlgItemMessageA(e.dialog, control, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

void okIsDefault(Editor& e)
{
    SendMessageA(e.dialog, DM_SETDEFID, IDC_EDITOR_OK, 0);
}

// ---- the naming dialog ----

enum class NameChoice { Cancelled, New, Overwrite };

struct NameRequest {
    Editor* editor;
    std::string name;
    NameChoice choice = NameChoice::Cancelled;
};

INT_PTR CALLBACK nameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    NameRequest* request = reinterpret_cast<NameRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        // What can be typed is what is kept: the name field of the file holds 46 characters and its end.
        SendDlgItemMessageA(dialog, IDC_CUSTOM_NAME, EM_LIMITTEXT, kMaxCustomNameLength, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            std::string name = windowText(GetDlgItem(dialog, IDC_CUSTOM_NAME));
            request->name = name.substr(0, kMaxCustomNameLength);
            if (!request->editor->store.find(request->name)) {
                request->choice = NameChoice::New;
                EndDialog(dialog, IDOK);
            } else if (tell(*request->editor, dialog, IDS_NAME_EXISTS, MB_YESNO | MB_ICONQUESTION) == IDYES) {
                request->choice = NameChoice::Overwrite;
                EndDialog(dialog, IDOK);
            } else {
                SetFocus(GetDlgItem(dialog, IDC_CUSTOM_NAME));
            }
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// ---- custom macros ----

void fillCustomNames(Editor& e)
{
    HWND names = GetDlgItem(e.dialog, IDC_CUSTOM_LIST);
    for (const std::string& name : e.store.names())
        SendMessageA(names, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

std::string selectedCustomName(Editor& e)
{
    HWND names = GetDlgItem(e.dialog, IDC_CUSTOM_LIST);
    LRESULT selected = SendMessageA(names, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR)
        return {};
    std::string name(static_cast<std::size_t>(SendMessageA(names, LB_GETTEXTLEN, selected, 0)) + 1, '\0');
    LRESULT length = SendMessageA(names, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(&name[0]));
    name.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return name;
}

void insertCustomMacro(Editor& e)
{
    HWND names = GetDlgItem(e.dialog, IDC_CUSTOM_LIST);
    if (SendMessageA(names, LB_GETCURSEL, 0, 0) == LB_ERR)
        return;
    const CustomMacro* found = e.store.find(selectedCustomName(e));
    if (!found)
        return;
    std::string name = found->name;
    std::string text = found->text;
    changeList(e, [&] {
        std::size_t before = e.list.size();
        std::size_t at = e.list.insertionPoint();
        e.list.insertCustomMacro(name, text);
        return static_cast<int>(at + (e.list.size() - before) - 1);
    });
}

void deleteCustomMacro(Editor& e)
{
    if (!e.storeWritable())
        return;
    HWND names = GetDlgItem(e.dialog, IDC_CUSTOM_LIST);
    LRESULT selected = SendMessageA(names, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR)
        return;
    e.store.remove(selectedCustomName(e));
    SendMessageA(names, LB_DELETESTRING, selected, 0);
    e.storeChanged = true;
}

void saveAsCustomMacro(Editor& e)
{
    if (!e.list.hasItems()) {
        tell(e, e.dialog, IDS_EMPTY_SAVE, MB_OK | MB_ICONWARNING);
        return;
    }
    if (!e.storeWritable())
        return;
    NameRequest request{&e, {}, NameChoice::Cancelled};
    const DLGTEMPLATE* dialog = FindEditorDialog(e.request.module, e.language, IDD_CUSTOM_NAME);
    if (!dialog)
        return;
    DialogBoxIndirectParamA(e.request.module, dialog, e.dialog, nameDialogProc, reinterpret_cast<LPARAM>(&request));
    if (request.choice == NameChoice::Cancelled)
        return;
    std::string macro = e.list.serialise();
    if (macro.size() > kMaxStoredTextLength) {
        tell(e, e.dialog, IDS_MACRO_TOO_LONG, MB_OK | MB_ICONWARNING);
        return;
    }
    if (request.choice == NameChoice::New) {
        e.store.append(request.name, macro);
        SendDlgItemMessageA(e.dialog, IDC_CUSTOM_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(request.name.c_str()));
    } else {
        e.store.replaceText(request.name, macro);
    }
    e.storeChanged = true;
}

// Written whenever the editor ends, unless the file was not read whole. A failure that would
// lose changes is said over `owner`, with the chance to free the file and try again; with no
// one to ask (the session is ending) it is tried once.
void writeStore(Editor& e, HWND owner, bool mayAsk)
{
    const char* path = e.request.storePath.c_str();
    if (!*path || !e.storeWritable())
        return;
    while (!SaveCustomMacroFile(path, e.store) && e.storeChanged && mayAsk) {
        if (tell(e, owner, IDS_STORE_NOT_SAVED, MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND, path) != IDRETRY)
            break;
    }
}

void saveStore(Editor& e)
{
    writeStore(e, e.dialog, true);
    e.store.releaseAll();
}

// ---- commands ----

void addText(Editor& e)
{
    HWND field = GetDlgItem(e.dialog, IDC_TEXT_FIELD);
    std::string text = windowText(field);
    if (text.empty()) {
        tell(e, e.dialog, IDS_ENTER_TEXT, MB_OK | MB_ICONINFORMATION);
        return;
    }
    changeList(e, [&] {
        std::size_t at = e.list.insertionPoint();
        e.list.addText(text);
        return static_cast<int>(at);
    });
    SetWindowTextA(field, "");
}

void addPause(Editor& e)
{
    std::string digits = windowText(GetDlgItem(e.dialog, IDC_PAUSE_FIELD));
    readSelection(e);
    std::size_t at = e.list.insertionPoint();
    if (!e.list.addPause(digits)) {
        tell(e, e.dialog, IDS_ENTER_PAUSE, MB_OK | MB_ICONINFORMATION);
        return;
    }
    writeList(e, static_cast<int>(at));
}

void addKey(Editor& e)
{
    LRESULT selected = SendDlgItemMessageA(e.dialog, IDC_KEY_LIST, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR)
        return;
    LRESULT row = SendDlgItemMessageA(e.dialog, IDC_KEY_LIST, LB_GETITEMDATA, selected, 0);
    changeList(e, [&] {
        std::size_t at = e.list.insertionPoint();
        e.list.addKey(static_cast<std::size_t>(row));
        return static_cast<int>(at);
    });
}

void clearList(Editor& e)
{
    if (!e.list.hasItems())
        return;
    if (tell(e, e.dialog, IDS_CLEAR_QUESTION, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    e.list.clear();
    writeList(e);
    SetFocus(GetDlgItem(e.dialog, IDC_TEXT_FIELD));
}

void startEditing(Editor& e)
{
    readSelection(e);
    if (e.list.selectedCount() != 1)
        return;
    for (std::size_t i = 0; i < e.list.size(); ++i) {
        if (!e.list.row(i).selected)
            continue;
        if (e.list.canEdit(i)) {
            SetFocus(e.rows);
            ListView_EditLabel(e.rows, static_cast<int>(i));
        }
        return;
    }
}

void close(Editor& e, bool accepted)
{
    e.closed = true;
    if (accepted && e.result)
        *e.result = e.list.serialise();
    saveStore(e);
    EndDialog(e.dialog, accepted ? IDOK : IDCANCEL);
}

void onCommand(Editor& e, int id, int code)
{
    switch (id) {
    case IDC_KEY_LIST:
        if (code == LBN_DBLCLK)
            addKey(e);
        return;
    case IDC_CUSTOM_LIST:
        if (code == LBN_DBLCLK)
            insertCustomMacro(e);
        return;
    case IDC_KEY_ADD: addKey(e); break;
    case IDC_TEXT_ADD: addText(e); break;
    case IDC_PAUSE_ADD: addPause(e); break;
    case IDC_CUSTOM_ADD: insertCustomMacro(e); break;
    case IDC_CUSTOM_DELETE: deleteCustomMacro(e); break;
    case IDC_ROW_UP: changeList(e, [&] { e.list.moveUp(); return e.list.focus(); }); break;
    case IDC_ROW_DOWN: changeList(e, [&] { e.list.moveDown(); return e.list.focus(); }); break;
    case IDC_ROW_EDIT: startEditing(e); break;
    case IDC_ROW_DELETE:
        changeList(e, [&] { e.list.deleteSelected(); return e.list.focus(); });
        okIsDefault(e);
        break;
    case IDC_LIST_CLEAR:
        clearList(e);
        okIsDefault(e);
        break;
    case IDC_CUSTOM_SAVE:
        saveAsCustomMacro(e);
        okIsDefault(e);
        break;
    case IDOK:
    case IDC_EDITOR_OK: {
        // Enter in the text or pause field adds it rather than closing the editor.
        HWND focus = GetFocus();
        if (focus == GetDlgItem(e.dialog, IDC_TEXT_FIELD))
            addText(e);
        else if (focus == GetDlgItem(e.dialog, IDC_PAUSE_FIELD))
            addPause(e);
        else
            close(e, true);
        return;
    }
    case IDCANCEL:
    case IDC_EDITOR_CANCEL: close(e, false); return;
    default: return;
    }
    plainButton(e, id);
}

// ---- list view notifications ----

LRESULT onCustomDraw(Editor& e, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        if (draw->nmcd.dwItemSpec < e.list.size() && e.list.isGrey(draw->nmcd.dwItemSpec))
            draw->clrText = kGreyText;
        return CDRF_DODEFAULT;
    default: return CDRF_DODEFAULT;
    }
}

LRESULT onBeginLabelEdit(Editor& e, NMLVDISPINFOA* info)
{
    readSelection(e);
    std::size_t row = static_cast<std::size_t>(info->item.iItem);
    if (!e.list.canEdit(row))
        return TRUE;
    HWND field = ListView_GetEditControl(e.rows);
    bool pause = e.list.row(row).kind == RowKind::Pause;
    std::string text = e.list.editText(row);
    SetWindowTextA(field, text.c_str());
    if (pause)
        SetWindowLongPtrA(field, GWL_STYLE, GetWindowLongPtrA(field, GWL_STYLE) | ES_NUMBER);
    std::size_t limit = pause ? kMaxPauseDigits : std::max(kMaxRowTextLength, text.size());
    SendMessageA(field, EM_LIMITTEXT, limit, 0);
    return FALSE;
}

LRESULT onEndLabelEdit(Editor& e, NMLVDISPINFOA* info)
{
    // The model decides what the row holds (a pause is wrapped again); the label is
    // written from it rather than taken from the edit field.
    if (info->item.pszText && e.list.acceptEdit(static_cast<std::size_t>(info->item.iItem), info->item.pszText))
        writeList(e, info->item.iItem);
    return FALSE;
}

void onKeyDown(Editor& e, WORD key)
{
    bool control = GetKeyState(VK_CONTROL) < 0;
    if (key == VK_DELETE) {
        changeList(e, [&] { e.list.deleteSelected(); return e.list.focus(); });
        okIsDefault(e);
    } else if (control && key == 'C') {
        readSelection(e);
        e.list.copy();
    } else if (control && key == 'V') {
        changeList(e, [&] {
            std::size_t before = e.list.size();
            e.list.paste();
            return static_cast<int>(e.list.endMarker()) - (e.list.size() > before ? 1 : 0);
        });
    }
}

void onBeginDrag(Editor& e, NMLISTVIEW* info)
{
    readSelection(e);
    if (!e.list.canDrag() || e.dragImage)
        return;
    POINT origin = {};
    e.dragImage = ListView_CreateDragImage(e.rows, info->iItem, &origin);
    if (!e.dragImage)
        return;
    POINT at = info->ptAction;
    ClientToScreen(e.rows, &at);
    POINT inList = info->ptAction;
    ImageList_BeginDrag(e.dragImage, 0, inList.x - origin.x, inList.y - origin.y);
    ImageList_DragEnter(GetDesktopWindow(), at.x, at.y);
    SetCapture(e.dialog);
}

// Ends a drag, dropping on the row under `screen` when `drop` is set.
void endDrag(Editor& e, bool drop, POINT screen)
{
    if (!e.dragImage)
        return;
    ImageList_DragLeave(GetDesktopWindow());
    ImageList_EndDrag();
    ImageList_Destroy(e.dragImage);
    e.dragImage = nullptr;
    if (GetCapture() == e.dialog)
        ReleaseCapture();
    if (!drop)
        return;
    LVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(e.rows, &hit.pt);
    int target = ListView_HitTest(e.rows, &hit);
    if (!(hit.flags & (LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)))
        target = -1;
    changeList(e, [&] {
        e.list.drop(target);
        return e.list.focus();
    });
}

LRESULT onNotify(Editor& e, NMHDR* header)
{
    if (header->idFrom != IDC_COMMAND_LIST)
        return 0;
    switch (header->code) {
    case NM_CUSTOMDRAW: return onCustomDraw(e, reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_ITEMCHANGED: {
        NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(header);
        if (!e.syncing && (change->uChanged & LVIF_STATE)) {
            readSelection(e);
            updateButtons(e);
        }
        return 0;
    }
    case LVN_BEGINLABELEDITA: return onBeginLabelEdit(e, reinterpret_cast<NMLVDISPINFOA*>(header));
    case LVN_ENDLABELEDITA: return onEndLabelEdit(e, reinterpret_cast<NMLVDISPINFOA*>(header));
    case LVN_KEYDOWN: onKeyDown(e, reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey); return 0;
    case LVN_BEGINDRAG: onBeginDrag(e, reinterpret_cast<NMLISTVIEW*>(header)); return 0;
    default: return 0;
    }
}

// ---- opening and closing ----

void addTooltips(Editor& e)
{
    e.tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, e.dialog, nullptr,
                                e.request.module, nullptr);
    if (!e.tooltip)
        return;
    for (const RowButton& button : kRowButtons) {
        HWND control = GetDlgItem(e.dialog, button.control);
        // An icon button's own text is not shown: the tooltip says what it does.
        std::string label = windowText(control);
        TOOLINFOA tool = {};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = e.dialog;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = &label[0];
        SendMessageA(e.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

BOOL onInitDialog(HWND dialog, Editor& e)
{
    e.dialog = dialog;
    e.rows = GetDlgItem(dialog, IDC_COMMAND_LIST);
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&e));

    RECT client;
    GetClientRect(e.rows, &client);
    std::string columnTitle = "Item";
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = client.right - client.left;
    column.pszText = &columnTitle[0];
    SendMessageA(e.rows, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    SendDlgItemMessageA(dialog, IDC_TEXT_FIELD, EM_LIMITTEXT, kMaxRowTextLength, 0);
    SendDlgItemMessageA(dialog, IDC_PAUSE_FIELD, EM_LIMITTEXT, kMaxPauseDigits, 0);

    for (std::size_t i = 0; i < kRowButtons.size(); ++i) {
        e.icons[i] = static_cast<HICON>(
            LoadImageA(e.request.module, MAKEINTRESOURCEA(kRowButtons[i].icon), IMAGE_ICON, 16, 16, 0));
        SendDlgItemMessageA(dialog, kRowButtons[i].control, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(e.icons[i]));
    }
    addTooltips(e);
    EnableWindow(GetDlgItem(dialog, IDC_ROW_EDIT), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_ROW_DELETE), FALSE);

    e.storeState = LoadCustomMacroFile(e.request.storePath.c_str(), e.store);
    fillCustomNames(e);
    if (!e.storeWritable()) {
        EnableWindow(GetDlgItem(dialog, IDC_CUSTOM_SAVE), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_CUSTOM_DELETE), FALSE);
        PostMessageA(dialog, WM_EDITOR_STORE_WARNING, 0, 0);
    }

    HWND keys = GetDlgItem(dialog, IDC_KEY_LIST);
    for (std::size_t i = 0; i < kKeyList.size(); ++i) {
        std::string name = e.text(kKeyList[i].stringId);
        LRESULT at = SendMessageA(keys, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageA(keys, LB_SETITEMDATA, at, static_cast<LPARAM>(i));
    }

    if (e.request.initialMacro)
        e.list.insertMacro(e.request.initialMacro);
    writeList(e);
    SetFocus(e.rows);
    return FALSE;  // the focus is set
}

void onDestroy(Editor& e)
{
    POINT nowhere = {};
    endDrag(e, false, nowhere);
    // Destroyed with its owner (the program closed, by a person or an installer): the custom
    // macros of this sitting are saved as Cancel saves them, and no composed macro is handed
    // back. The dialog is going, so a question about the file stands on its own.
    if (!e.closed) {
        e.closed = true;
        writeStore(e, nullptr, true);
        e.store.releaseAll();
    }
    for (HICON& icon : e.icons) {
        if (icon)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

INT_PTR CALLBACK editorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return onInitDialog(dialog, *reinterpret_cast<Editor*>(lParam));
    Editor* e = editorOf(dialog);
    if (!e)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        onCommand(*e, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, onNotify(*e, reinterpret_cast<NMHDR*>(lParam)));
        return TRUE;
    case WM_VKEYTOITEM:
        // The Delete key in the custom macro list deletes the selected custom macro.
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_CUSTOM_LIST) && LOWORD(wParam) == VK_DELETE) {
            deleteCustomMacro(*e);
            return -2;
        }
        return -1;
    case WM_MOUSEMOVE:
        if (e->dragImage) {
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(dialog, &at);
            ImageList_DragMove(at.x, at.y);
        }
        return TRUE;
    case WM_LBUTTONUP:
        if (e->dragImage) {
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(dialog, &at);
            endDrag(*e, true, at);
        }
        return TRUE;
    case WM_CAPTURECHANGED:
        // Losing the mouse (another window took it) ends the drag without a drop.
        if (e->dragImage && reinterpret_cast<HWND>(lParam) != dialog) {
            POINT nowhere = {};
            endDrag(*e, false, nowhere);
        }
        return TRUE;
    case WM_EDITOR_STORE_WARNING:
        // Said over the editor, not before it appears.
        ShowWindow(dialog, SW_SHOW);
        onStoreWarning(*e, dialog);
        return TRUE;
    case WM_ENDSESSION:
        // The process may end without another message: the custom macros go to their file now.
        if (wParam && !e->closed)
            writeStore(*e, dialog, false);
        return TRUE;
    case WM_DESTROY:
        onDestroy(*e);
        return FALSE;
    }
    return FALSE;
}

}  // namespace

bool RunMacroEditor(const EditorRequest& request, std::string& result)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WORD language = EditorLanguage();
    const DLGTEMPLATE* dialog = FindEditorDialog(request.module, language, MAKEINTRESOURCEA(IDD_MACRO_EDITOR));
    if (!dialog)
        return false;
    Editor editor(request, language);
    editor.result = &result;
    INT_PTR ended = DialogBoxIndirectParamA(request.module, dialog, request.owner, editorDialogProc,
                                            reinterpret_cast<LPARAM>(&editor));
    return ended == IDOK;
}

}  // namespace fennick::macro
