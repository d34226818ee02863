// The show's dialogs: switch actions with the profile selector, new profile name, options, device model.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "fennick/win32_common.h"
#include "resource.h"
#include "show_state.h"

namespace fennick::show {

namespace {

// ---- switch actions: rows -----------------------------------------------------

std::string itemText(HWND dialog, int id)
{
    char text[kPathCapacity] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

int32_t rowAction(HWND dialog, int row)
{
    LRESULT selected = SendDlgItemMessageA(dialog, IDC_ROW_ACTION + row, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? kNoAction : static_cast<int32_t>(selected);
}

BOOL CALLBACK releaseBitmap(HWND control, LPARAM)
{
    char name[16] = "";
    GetClassNameA(control, name, sizeof name);
    if (lstrcmpiA(name, "Static") == 0 && (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
        HGDIOBJ image = reinterpret_cast<HGDIOBJ>(SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (image)
            DeleteObject(image);
    }
    return TRUE;
}

void showRow(HWND dialog, int row, const RowState& state)
{
    int firstShow = state.firstVisible ? SW_SHOW : SW_HIDE, secondShow = state.secondVisible ? SW_SHOW : SW_HIDE;
    for (int id : {IDC_ROW_FIRST_ICON, IDC_ROW_FIRST_TEXT, IDC_ROW_FIRST_BROWSE})
        ShowWindow(GetDlgItem(dialog, id + row), firstShow);
    for (int id : {IDC_ROW_SECOND_ICON, IDC_ROW_SECOND_TEXT, IDC_ROW_SECOND_BROWSE})
        ShowWindow(GetDlgItem(dialog, id + row), secondShow);
    int bitmap = state.firstKind == TextKind::Sound ? IDB_SOUND : state.firstKind == TextKind::Program ? IDB_PROGRAM
                                                                                                        : IDB_PICTURE;
    HBITMAP image = LoadBitmapA(g.instance, MAKEINTRESOURCEA(bitmap));
    HBITMAP old = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageA(dialog, IDC_ROW_FIRST_ICON + row, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image)));
    if (old && old != image)
        DeleteObject(old);
}

void setRowTexts(HWND dialog, int row, const RowState& state)
{
    SetDlgItemTextA(dialog, IDC_ROW_FIRST_TEXT + row, state.first.c_str());
    SetDlgItemTextA(dialog, IDC_ROW_SECOND_TEXT + row, state.second.c_str());
}

// The slot table into the rows; rows without an action keep their hidden edits' contents.
void fillRows(HWND dialog)
{
    for (int row = 0; row < kSlotCount; ++row) {
        const Slot& slot = g.engine.slot(row);
        int32_t action = slot.action >= kNoAction && slot.action <= kPictureAndSound ? slot.action : kNoAction;
        SendDlgItemMessageA(dialog, IDC_ROW_ACTION + row, CB_SETCURSEL, action, 0);
        showRow(dialog, row, rowLook(action, {}));
        if (action != kNoAction)
            SetDlgItemTextA(dialog, IDC_ROW_FIRST_TEXT + row, slot.first.c_str());
        if (action == kPictureAndSound)
            SetDlgItemTextA(dialog, IDC_ROW_SECOND_TEXT + row, slot.second.c_str());
    }
}

void onRowActionChanged(HWND dialog, int row)
{
    RowState state;
    state.first = itemText(dialog, IDC_ROW_FIRST_TEXT + row);
    state.second = itemText(dialog, IDC_ROW_SECOND_TEXT + row);
    int32_t chosen = rowAction(dialog, row);
    state = changeRowAction(g.chosenActions[row], chosen, state);
    setRowTexts(dialog, row, state);
    showRow(dialog, row, state);
    g.chosenActions[row] = chosen;
}

void browse(HWND dialog, int row, bool second)
{
    TextKind kind = second ? TextKind::Sound : pickerKind(rowAction(dialog, row));
    if (kind == TextKind::None)
        return;
    // Filter pairs separated by NULs, closed by an empty pair.
    std::string filter;
    auto add = [&](UINT description, const char* pattern) {
        filter += LoadText(description);
        filter += '\0';
        filter += pattern;
        filter += '\0';
    };
    const char* extension = nullptr;
    switch (kind) {
    case TextKind::Picture: add(IDS_FILTER_PICTURES, "*.gif;*.jpg;*.jpeg;*.bmp"); break;
    case TextKind::Sound:
        add(IDS_FILTER_SOUNDS, "*.wav");
        extension = "wav";
        break;
    default:
        add(IDS_FILTER_PROGRAMS, "*.exe");
        add(IDS_FILTER_ALL, "*.*");
        break;
    }
    int edit = (second ? IDC_ROW_SECOND_TEXT : IDC_ROW_FIRST_TEXT) + row;
    char file[kPathCapacity] = {};
    GetDlgItemTextA(dialog, edit, file, sizeof(file));
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof(request);
    request.hwndOwner = dialog;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = sizeof(file);
    request.lpstrDefExt = extension;
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetOpenFileNameA(&request))
        SetDlgItemTextA(dialog, edit, relativeToFolder(g.folder, file).c_str());
}

// ---- switch actions: profiles -------------------------------------------------

HWND selector(HWND dialog) { return GetDlgItem(dialog, IDC_PROFILE_LIST); }
int profileCount(HWND dialog) { return static_cast<int>(SendMessageA(selector(dialog), CB_GETCOUNT, 0, 0)); }

void updateDeleteButton(HWND dialog) { EnableWindow(GetDlgItem(dialog, IDC_PROFILE_DELETE), profileCount(dialog) > 1); }

std::string selectedName(HWND dialog)
{
    int index = static_cast<int>(SendMessageA(selector(dialog), CB_GETCURSEL, 0, 0));
    if (index == CB_ERR)
        return {};
    char name[kPathCapacity] = {};
    if (SendMessageA(selector(dialog), CB_GETLBTEXTLEN, index, 0) >= static_cast<LRESULT>(sizeof(name)))
        return {};
    SendMessageA(selector(dialog), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
    return name;
}

std::string profilePath(const std::string& name) { return g.folder + name + ".bd2"; }

void makeCurrent(HWND dialog, const std::string& path)
{
    g.profile = path;
    WriteCurrentProfile(path);
    if (LoadProfile(path, g.engine))
        fillRows(dialog);
}

void onProfileSelected(HWND dialog)
{
    updateDeleteButton(dialog);
    std::string path = profilePath(selectedName(dialog));
    if (lstrcmpiA(path.c_str(), g.profile.c_str()) == 0)
        return;
    // Edits not yet confirmed with OK are not part of the table, and are lost.
    SaveProfile(g.profile, g.engine);
    makeCurrent(dialog, path);
}

INT_PTR CALLBACK newProfileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    static std::string* result;
    switch (message) {
    case WM_INITDIALOG:
        result = reinterpret_cast<std::string*>(lParam);
        CentreOverOwner(dialog);
        SendDlgItemMessageA(dialog, IDC_NEW_NAME, EM_LIMITTEXT, 256, 0);
        SetFocus(GetDlgItem(dialog, IDC_NEW_NAME));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            std::string name = itemText(dialog, IDC_NEW_NAME);
            UINT problem = 0;
            switch (checkProfileName(name)) {
            case NameCheck::Empty: problem = IDS_NAME_EMPTY; break;
            case NameCheck::ForbiddenCharacter: problem = IDS_NAME_FORBIDDEN; break;
            case NameCheck::Ok:
                // A file name that does not fit is refused here: the profile could never be saved.
                if (profilePath(name).size() > kMaxPathLength)
                    problem = IDS_NAME_TOO_LONG;
                else if (GetFileAttributesA(profilePath(name).c_str()) != INVALID_FILE_ATTRIBUTES)
                    problem = IDS_PROFILE_EXISTS;
                break;
            }
            if (problem) {
                MessageBoxA(dialog, LoadText(problem).c_str(), "FennickShow", MB_OK | MB_ICONWARNING);
                SetFocus(GetDlgItem(dialog, IDC_NEW_NAME));
                return TRUE;
            }
            *result = name;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        }
        break;
    }
    return FALSE;
}

void onNewProfile(HWND dialog)
{
    std::string name;
    if (DialogBoxParamA(g.instance, "NEWLISTBOX", dialog, newProfileProc, reinterpret_cast<LPARAM>(&name)) != IDOK)
        return;
    SaveProfile(g.profile, g.engine);  // the previous profile first
    int index = static_cast<int>(SendMessageA(selector(dialog), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str())));
    SendMessageA(selector(dialog), CB_SETCURSEL, index, 0);
    g.profile = profilePath(name);
    WriteCurrentProfile(g.profile);
    g.engine.clearSlots();
    SaveProfile(g.profile, g.engine);  // creates the file
    if (LoadProfile(g.profile, g.engine))
        fillRows(dialog);
    updateDeleteButton(dialog);
}

void onDeleteProfile(HWND dialog)
{
    if (profileCount(dialog) < 2)
        return;
    if (MessageBoxA(dialog, LoadText(IDS_CONFIRM_DELETE).c_str(), "FennickShow", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    std::string name = selectedName(dialog);
    DeleteFileA(profilePath(name).c_str());
    int index = static_cast<int>(SendMessageA(selector(dialog), CB_GETCURSEL, 0, 0));
    if (index != CB_ERR)
        SendMessageA(selector(dialog), CB_DELETESTRING, index, 0);
    SendMessageA(selector(dialog), CB_SETCURSEL, 0, 0);
    makeCurrent(dialog, profilePath(selectedName(dialog)));
    updateDeleteButton(dialog);
}

void initButtonActions(HWND dialog)
{
    CentreOverOwner(dialog);
    for (int row = 0; row < kSlotCount; ++row) {
        for (int action = kNoAction; action <= kPictureAndSound; ++action)
            SendDlgItemMessageA(dialog, IDC_ROW_ACTION + row, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(LoadText(IDS_ACTION_FIRST + action).c_str()));
        SendDlgItemMessageA(dialog, IDC_ROW_FIRST_TEXT + row, EM_LIMITTEXT, kMaxPathLength, 0);
        SendDlgItemMessageA(dialog, IDC_ROW_SECOND_TEXT + row, EM_LIMITTEXT, kMaxPathLength, 0);
    }
    for (const std::string& name : ListProfiles(g.folder))
        SendMessageA(selector(dialog), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));

    std::string current = g.profile.empty() ? std::string() : profileName(g.profile);
    int found = current.empty() ? CB_ERR
                                : static_cast<int>(SendMessageA(selector(dialog), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                                reinterpret_cast<LPARAM>(current.c_str())));
    if (found != CB_ERR) {
        SendMessageA(selector(dialog), CB_SETCURSEL, found, 0);
        if (LoadProfile(g.profile, g.engine))
            fillRows(dialog);
    } else if (profileCount(dialog) > 0) {
        SendMessageA(selector(dialog), CB_SETCURSEL, 0, 0);
        makeCurrent(dialog, profilePath(selectedName(dialog)));
    } else {
        fillRows(dialog);
    }
    updateDeleteButton(dialog);
}

void confirmButtonActions(HWND dialog)
{
    for (int row = 0; row < kSlotCount; ++row) {
        Slot& slot = g.engine.slot(row);
        slot.action = rowAction(dialog, row);
        slot.first = slot.action == kNoAction ? std::string() : itemText(dialog, IDC_ROW_FIRST_TEXT + row);
        slot.second = slot.action == kPictureAndSound ? itemText(dialog, IDC_ROW_SECOND_TEXT + row) : std::string();
    }
    SaveProfile(g.profile, g.engine);
    if (!g.profile.empty()) {
        RepaintShow();
        UpdateTitle();
    }
}

INT_PTR CALLBACK buttonActionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: initButtonActions(dialog); return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id >= IDC_ROW_ACTION && id < IDC_ROW_ACTION + kSlotCount) {
            if (code == CBN_SELCHANGE)
                onRowActionChanged(dialog, id - IDC_ROW_ACTION);
            return TRUE;
        }
        if (id >= IDC_ROW_FIRST_BROWSE && id < IDC_ROW_FIRST_BROWSE + kSlotCount) {
            browse(dialog, id - IDC_ROW_FIRST_BROWSE, false);
            return TRUE;
        }
        if (id >= IDC_ROW_SECOND_BROWSE && id < IDC_ROW_SECOND_BROWSE + kSlotCount) {
            browse(dialog, id - IDC_ROW_SECOND_BROWSE, true);
            return TRUE;
        }
        switch (id) {
        case IDC_PROFILE_LIST:
            if (code == CBN_SELCHANGE)
                onProfileSelected(dialog);
            return TRUE;
        case IDC_PROFILE_NEW: onNewProfile(dialog); return TRUE;
        case IDC_PROFILE_DELETE: onDeleteProfile(dialog); return TRUE;
        case IDOK:
            confirmButtonActions(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        }
        break;
    }
    case WM_DESTROY:
        // Every picture of the dialog is ours to delete: the row icons set above, and the balls and
        // sound icons the controls loaded from the template, which a static control never deletes
        // (10 bitmaps lost each time the dialog opened).
        EnumChildWindows(dialog, releaseBitmap, 0);
        return FALSE;
    }
    return FALSE;
}

// ---- options ------------------------------------------------------------------

struct OptionsWork {
    COLORREF colour;
    HBRUSH swatch;
};

void enableFadeControls(HWND dialog, bool on)
{
    for (int id : {IDC_FADE_AFTER, IDC_FADE_SECONDS, IDC_FADE_UNIT})
        EnableWindow(GetDlgItem(dialog, id), on);
}

INT_PTR CALLBACK optionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    static OptionsWork work;
    switch (message) {
    case WM_INITDIALOG:
        CentreOverOwner(dialog);
        work.colour = g.settings.background;
        work.swatch = CreateSolidBrush(work.colour);
        SendDlgItemMessageA(dialog, IDC_FADE_SECONDS, EM_LIMITTEXT, 4, 0);
        if (g.settings.fadeMs == kFadeNever) {
            enableFadeControls(dialog, false);
        } else {
            CheckDlgButton(dialog, IDC_FADE, BST_CHECKED);
            SetDlgItemInt(dialog, IDC_FADE_SECONDS, static_cast<UINT>(g.settings.fadeMs / 1000), FALSE);
        }
        CheckDlgButton(dialog, IDC_KEYBOARD, g.settings.keyboard ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_SWATCH))
            return reinterpret_cast<INT_PTR>(work.swatch);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_FADE: {
            bool on = IsDlgButtonChecked(dialog, IDC_FADE) == BST_CHECKED;
            enableFadeControls(dialog, on);
            if (on && GetWindowTextLengthA(GetDlgItem(dialog, IDC_FADE_SECONDS)) == 0)
                SetDlgItemTextA(dialog, IDC_FADE_SECONDS, "2");
            return TRUE;
        }
        case IDC_COLOUR: {
            CHOOSECOLORA request = {};
            request.lStructSize = sizeof(request);
            request.hwndOwner = dialog;
            request.rgbResult = work.colour;
            request.lpCustColors = g.customColours;  // kept for the whole run
            request.Flags = CC_FULLOPEN | CC_RGBINIT;
            if (ChooseColorA(&request))
                work.colour = request.rgbResult;
            DeleteObject(work.swatch);
            work.swatch = CreateSolidBrush(work.colour);
            InvalidateRect(dialog, nullptr, TRUE);
            return TRUE;
        }
        case IDOK: {
            if (IsDlgButtonChecked(dialog, IDC_FADE) == BST_CHECKED) {
                UINT seconds = GetDlgItemInt(dialog, IDC_FADE_SECONDS, nullptr, FALSE);
                g.settings.fadeMs = static_cast<int32_t>(seconds * 1000);
            } else {
                g.settings.fadeMs = kFadeNever;
            }
            g.engine.setFadeTime(g.settings.fadeMs);
            g.settings.keyboard = IsDlgButtonChecked(dialog, IDC_KEYBOARD) == BST_CHECKED;
            g.settings.background = work.colour;
            RemakeBackgroundBrush();
            RepaintShow();
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        }
        break;
    case WM_DESTROY:
        DeleteObject(work.swatch);
        work.swatch = nullptr;
        return FALSE;
    }
    return FALSE;
}

// ---- device model -------------------------------------------------------------

INT_PTR CALLBACK deviceModelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOverOwner(dialog);
        CheckRadioButton(dialog, IDC_MODEL_USB, IDC_MODEL_SERIAL, g.model == kModelSerial ? IDC_MODEL_SERIAL : IDC_MODEL_USB);
        EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), g.model == kModelSerial);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_MODEL_USB:
            EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), FALSE);
            if (g.services.port->isRegistered(g.window))
                g.services.port->unregisterWindow(g.window);
            return TRUE;
        case IDC_MODEL_SERIAL:
            EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), TRUE);
            if (!g.services.port->isRegistered(g.window))
                g.services.port->registerWindow(g.window);
            return TRUE;
        case IDC_PORT_SETTINGS: g.services.port->showSettings(); return TRUE;
        case IDOK:
        case IDCANCEL:  // the close box answers like OK
            g.model = IsDlgButtonChecked(dialog, IDC_MODEL_USB) == BST_CHECKED ? kModelUsb : kModelSerial;
            g.modelLeftAlone = false;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

void OpenButtonActions() { DialogBoxParamA(g.instance, "ButtonDefBox", g.window, buttonActionsProc, 0); }
void OpenOptions() { DialogBoxParamA(g.instance, "OptionsBox", g.window, optionsProc, 0); }
void OpenDeviceModel() { DialogBoxParamA(g.instance, "TypeBox", g.window, deviceModelProc, 0); }

}  // namespace fennick::show
