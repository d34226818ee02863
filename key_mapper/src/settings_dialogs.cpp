// The settings dialogs: thin shells over the profile store, the command lists and the link list.
// What they decide lives in settings_rules (tested without windows).
#include "settings_dialogs.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <vector>

#include "fennick_key/command_list_file.h"
#include "fennick_key/language_resources.h"
#include "key_settings.h"
#include "command_list.h"
#include "settings_rules.h"

namespace fennick::key {

namespace {

constexpr char kCaption[] = "FennickKey";
constexpr char kMacroStore[] = "custom.mcr";
constexpr int kStringLength = 128;      // strings are used up to 127 characters
constexpr int kShortCaptionLength = 99;  // captions of the link messages, up to 98
constexpr int kColumnCaptionLength = 19;  // column captions, up to 18
constexpr int kLinkTextLength = 99;      // link names and profiles, up to 98
constexpr int kNewNameLimit = 256;
constexpr int kNewNameRead = 260;        // up to 259 characters read

SettingsContext ctx;
HWND settingsWindow = nullptr;
// The profile whose commands the rows show. A second copy of the program can make another profile
// current without the dialog noticing; the rows are then still saved to the profile they came from.
std::string shownProfile;
ButtonTable shownRows;  // and the commands they were filled from
bool settingsOpen = false;
std::string macroBuffer;  // what the macro editor was last handed

std::string loadString(int id, int length = kStringLength)
{
    std::vector<char> text(length, '\0');
    if (*ctx.languageModule)
        LoadStringA(*ctx.languageModule, id, text.data(), length);
    return text.data();
}

std::string controlText(HWND dialog, int id, int length)
{
    std::vector<char> text(length + 1, '\0');
    GetDlgItemTextA(dialog, id, text.data(), length + 1);
    return text.data();
}

void message(HWND owner, int id, const std::string& caption, UINT flags)
{
    MessageBoxA(owner, loadString(id).c_str(), caption.c_str(), flags);
}

void fillCombo(HWND combo, const std::vector<std::string>& names)
{
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void selectProfileName(HWND combo, const std::vector<std::string>& names, const std::string& name)
{
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(FindProfileName(names, name)), 0);
}

std::string selectedText(HWND combo)
{
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return {};
    std::vector<char> text(length + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

int32_t selectedData(HWND combo)
{
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return -1;
    return static_cast<int32_t>(SendMessageA(combo, CB_GETITEMDATA, index, 0));
}

// ---- BUTTONDEFBOX ---------------------------------------------------------------

HWND row(HWND dialog, int base, int n) { return GetDlgItem(dialog, base + n); }

// Shows either the text field with its label and browse button, or the command list.
void showTextControls(HWND dialog, int n, bool text)
{
    int show = text ? SW_SHOW : SW_HIDE;
    ShowWindow(row(dialog, IDC_TEXT_LABEL_BASE, n), show);
    ShowWindow(row(dialog, IDC_CMD_TEXT_BASE, n), show);
    ShowWindow(row(dialog, IDC_BROWSE_BASE, n), show);
    ShowWindow(row(dialog, IDC_CMD_LIST_BASE, n), text ? SW_HIDE : SW_SHOW);
}

// The command list of a type that is chosen from a list: named numbers, or the profiles.
void fillCommandList(HWND dialog, int n, int32_t btCmd)
{
    HWND list = row(dialog, IDC_CMD_LIST_BASE, n);
    if (btCmd == 9) {
        fillCombo(list, ctx.profiles->List());
        return;
    }
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (const CommandEntry& entry : ReadCommandsFor(ctx.folder.c_str(), ctx.languageCode->c_str(), btCmd)) {
        LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
        SendMessageA(list, CB_SETITEMDATA, index, entry.value);
    }
}

void refreshRow(HWND dialog, int n, const ButtonDef& button)
{
    // A stored type the list does not offer shows no type (never the row's previous one); the
    // row then keeps its stored command when the dialog saves.
    HWND type = row(dialog, IDC_CMD_TYPE_BASE, n);
    LRESULT selectedType = -1;
    LRESULT count = SendMessageA(type, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (static_cast<int32_t>(SendMessageA(type, CB_GETITEMDATA, i, 0)) == button.BtCmd)
            selectedType = i;
    SendMessageA(type, CB_SETCURSEL, static_cast<WPARAM>(selectedType), 0);
    SetWindowTextA(row(dialog, IDC_CMD_TEXT_BASE, n), button.BtCmdText);
    if (CommandTakesText(button.BtCmd)) {
        showTextControls(dialog, n, true);
        return;
    }
    showTextControls(dialog, n, false);
    fillCommandList(dialog, n, button.BtCmd);
    HWND list = row(dialog, IDC_CMD_LIST_BASE, n);
    if (button.BtCmd == 9) {
        selectProfileName(list, ctx.profiles->List(), button.BtCmdText);
        return;
    }
    LRESULT selected = -1;
    count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count && selected < 0; ++i)
        if (static_cast<int32_t>(SendMessageA(list, CB_GETITEMDATA, i, 0)) == button.BtCmdVal)
            selected = i;
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void refreshRows(HWND dialog)
{
    shownProfile = *ctx.currentProfile;
    shownRows = *ctx.table;
    for (int n = 0; n < kSwitchCount; ++n)
        refreshRow(dialog, n, (*ctx.table)[n]);
}

// A profile handed over as "C:\X\MAIN.bpf" is the one the rows show as "C:\x\main.bpf": file
// names are compared as the file system does, without regard to case.
bool sameProfile(const std::string& a, const std::string& b)
{
    return EqualsNoCase(ctx.profiles->PathOf(a.c_str()), ctx.profiles->PathOf(b.c_str()));
}

void collectAndSave(HWND dialog)
{
    ButtonTable rows;
    for (int n = 0; n < kSwitchCount; ++n) {
        ButtonControls controls;
        HWND type = row(dialog, IDC_CMD_TYPE_BASE, n);
        controls.present = type && row(dialog, IDC_CMD_TEXT_BASE, n);
        if (controls.present) {
            controls.typeData = selectedData(type);
            controls.text = controlText(dialog, IDC_CMD_TEXT_BASE + n, kMaxButtonText);
            HWND list = row(dialog, IDC_CMD_LIST_BASE, n);
            controls.listText = selectedText(list);
            controls.listValue = selectedData(list);
            controls.listChosen = SendMessageA(list, CB_GETCURSEL, 0, 0) != CB_ERR;
        }
        rows[n] = CollectButton(controls, &shownRows[n]);
    }
    if (sameProfile(shownProfile, *ctx.currentProfile)) {
        *ctx.table = rows;
        ctx.profiles->Save(ctx.currentProfile->c_str(), *ctx.table);
    } else if (!shownProfile.empty()) {
        ctx.profiles->Save(shownProfile.c_str(), rows);  // the current profile and its table stay as handed over
    }
}

HWND profileList(HWND dialog) { return GetDlgItem(dialog, IDC_PROFILE_LIST); }

LRESULT profileCount(HWND dialog) { return SendMessageA(profileList(dialog), CB_GETCOUNT, 0, 0); }

void enableDelete(HWND dialog) { EnableWindow(GetDlgItem(dialog, IDC_DELETE_PROFILE), profileCount(dialog) >= 2); }

// The profile the list shows becomes current: remembered, loaded and shown.
void makeSelectedProfileCurrent(HWND dialog)
{
    std::string name = selectedText(profileList(dialog));
    if (name.empty())
        return;
    *ctx.currentProfile = ctx.folder + name + kProfileExtension;
    ctx.writeSettings();
    ctx.profiles->Load(ctx.currentProfile->c_str(), *ctx.table);
    refreshRows(dialog);
}

bool existingFile(const std::string& profile)
{
    std::string path = ctx.profiles->PathOf(profile.c_str());
    DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the profile is a file of the program folder's list, not one of the same name elsewhere.
bool inProgramFolder(const std::string& profile)
{
    std::string path = ctx.profiles->PathOf(profile.c_str());
    size_t slash = path.find_last_of("\\/");
    return slash != std::string::npos && EqualsNoCase(path.substr(0, slash + 1), ctx.folder);
}

void centreTopmost(HWND dialog)
{
    RECT rect;
    GetWindowRect(dialog, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void onSettingsInit(HWND dialog)
{
    settingsWindow = dialog;
    char caption[kStringLength] = {};
    GetWindowTextA(dialog, caption, sizeof(caption));
    SetWindowTextA(dialog, (std::string(kCaption) + " - " + caption).c_str());
    centreTopmost(dialog);
    for (int n = 0; n < kSwitchCount; ++n) {
        HWND type = row(dialog, IDC_CMD_TYPE_BASE, n);
        for (const CommandTypeItem& item : OfferedCommandTypes()) {
            std::string name = loadString(item.stringId);
            LRESULT index = SendMessageA(type, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            SendMessageA(type, CB_SETITEMDATA, index, item.btCmd);
        }
        SendMessageA(row(dialog, IDC_CMD_TEXT_BASE, n), EM_LIMITTEXT, kMaxButtonText, 0);
    }
    std::vector<std::string> names = ctx.profiles->List();
    fillCombo(profileList(dialog), names);
    int current = FindCurrentProfile(names, *ctx.currentProfile);
    if (current >= 0 && inProgramFolder(*ctx.currentProfile)) {
        SendMessageA(profileList(dialog), CB_SETCURSEL, current, 0);
        ctx.profiles->Load(ctx.currentProfile->c_str(), *ctx.table);
        refreshRows(dialog);
    } else if (existingFile(*ctx.currentProfile) || (names.empty() && !ctx.currentProfile->empty())) {
        // The current profile lives elsewhere (a command line, a hand-over, a folder of its own):
        // it stays current and its rows are shown (OK saves them there); the list shows none of
        // the folder's profiles until one is chosen.
        ctx.profiles->Load(ctx.currentProfile->c_str(), *ctx.table);
        refreshRows(dialog);
    } else if (!names.empty()) {
        SendMessageA(profileList(dialog), CB_SETCURSEL, 0, 0);
        makeSelectedProfileCurrent(dialog);
    }
    enableDelete(dialog);
}

void onTypeChanged(HWND dialog, int n)
{
    int32_t type = selectedData(row(dialog, IDC_CMD_TYPE_BASE, n));
    if (CommandTakesText(type)) {
        showTextControls(dialog, n, true);
        SetWindowTextA(row(dialog, IDC_CMD_TEXT_BASE, n), "");
        return;
    }
    showTextControls(dialog, n, false);
    fillCommandList(dialog, n, type);
    SendMessageA(row(dialog, IDC_CMD_LIST_BASE, n), CB_SETCURSEL, 0, 0);
}

// The open-file dialog's filter: pairs of description and pattern, each ended by a NUL, then one more.
std::string fileFilter(std::initializer_list<std::pair<int, const char*>> entries)
{
    std::string filter;
    for (const auto& [stringId, pattern] : entries) {
        filter += loadString(stringId);
        filter += '\0';
        filter += pattern;
        filter += '\0';
    }
    return filter;
}

// What a file chooser or the macro editor returns belongs to the profile shown when it opened: a
// switch that changes the profile meanwhile drops it, so it never lands in another profile's row.
void browseFile(HWND dialog, int n, const std::string& filter, const char* extension)
{
    std::string profile = shownProfile;
    char file[MAX_PATH] = {};
    GetDlgItemTextA(dialog, IDC_CMD_TEXT_BASE + n, file, sizeof(file));
    OPENFILENAMEA ofn = {};
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    ofn.lStructSize = version.dwMajorVersion < 5 ? OPENFILENAME_SIZE_VERSION_400A : sizeof(ofn);
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrDefExt = extension;
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&ofn) && shownProfile == profile)
        SetDlgItemTextA(dialog, IDC_CMD_TEXT_BASE + n, file);
}

void onBrowse(HWND dialog, int n)
{
    int32_t type = selectedData(row(dialog, IDC_CMD_TYPE_BASE, n));
    if (type == 2) {
        browseFile(dialog, n, fileFilter({{IDS_FILTER_SOUNDS, "*.wav"}}), "wav");
    } else if (type == 3) {
        browseFile(dialog, n, fileFilter({{IDS_FILTER_PROGRAMS, "*.exe"}, {IDS_FILTER_ALL_FILES, "*.*"}}), nullptr);
    } else if (*ctx.composeMacro) {
        macroBuffer = controlText(dialog, IDC_CMD_TEXT_BASE + n, kMaxButtonText);
        std::string store = ctx.folder + kMacroStore;
        std::string profile = shownProfile;
        const char* composed = (*ctx.composeMacro)(dialog, kCaption, macroBuffer.c_str(), store.c_str());
        if (!composed || shownProfile != profile)
            return;
        // A macro cut to what a switch holds could end inside an item: it is not taken at all.
        if (strlen(composed) > kMaxButtonText)
            message(dialog, IDS_MACRO_TOO_LONG, kCaption, MB_OK | MB_ICONWARNING);
        else
            SetDlgItemTextA(dialog, IDC_CMD_TEXT_BASE + n, composed);
    }
}

void onProfileChosen(HWND dialog)
{
    enableDelete(dialog);
    collectAndSave(dialog);
    makeSelectedProfileCurrent(dialog);
}

INT_PTR CALLBACK newProfileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK linksProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void onNewProfile(HWND dialog)
{
    std::string name;
    if (DialogBoxParamA(*ctx.languageModule, DLG_NEWLISTBOX, dialog, newProfileProc,
                        reinterpret_cast<LPARAM>(&name)) != IDOK)
        return;
    collectAndSave(dialog);
    HWND list = profileList(dialog);
    LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(list, CB_SETCURSEL, index, 0);
    *ctx.currentProfile = ctx.folder + name + kProfileExtension;
    ctx.writeSettings();
    for (ButtonDef& button : *ctx.table) {
        button = ButtonDef();
        button.BtCmdVal = -1;
    }
    ctx.profiles->Save(ctx.currentProfile->c_str(), *ctx.table);
    ctx.profiles->Load(ctx.currentProfile->c_str(), *ctx.table);
    refreshRows(dialog);
    enableDelete(dialog);
}

void onDeleteProfile(HWND dialog)
{
    if (profileCount(dialog) < 2)
        return;
    // The profile asked about is the one deleted: a switch that changes the profile while the
    // question is open cancels the deletion.
    HWND list = profileList(dialog);
    std::string name = selectedText(list);
    std::string profile = shownProfile;
    if (name.empty())
        return;
    if (MessageBoxA(dialog, loadString(IDS_DELETE_PROFILE_QUESTION).c_str(), kCaption,
                    MB_YESNO | MB_ICONQUESTION) != IDYES ||
        shownProfile != profile || selectedText(list) != name)
        return;
    std::string path = ctx.folder + name + kProfileExtension;
    // A file that stays (read-only, held open) stays in the list too: the list shows what exists.
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        message(dialog, IDS_DELETE_PROFILE_FAILED, kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    SendMessageA(list, CB_DELETESTRING, SendMessageA(list, CB_GETCURSEL, 0, 0), 0);
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    makeSelectedProfileCurrent(dialog);
    enableDelete(dialog);
}

void onSettingsCommand(HWND dialog, int id, int code)
{
    if (id >= IDC_CMD_TYPE_BASE && id < IDC_CMD_TYPE_BASE + kSwitchCount) {
        if (code == CBN_SELCHANGE)
            onTypeChanged(dialog, id - IDC_CMD_TYPE_BASE);
        return;
    }
    if (id >= IDC_BROWSE_BASE && id < IDC_BROWSE_BASE + kSwitchCount) {
        if (code == BN_CLICKED)
            onBrowse(dialog, id - IDC_BROWSE_BASE);
        return;
    }
    switch (id) {
    case IDC_PROFILE_LIST:
        if (code == CBN_SELCHANGE)
            onProfileChosen(dialog);
        break;
    case IDC_NEW_PROFILE: onNewProfile(dialog); break;
    case IDC_DELETE_PROFILE: onDeleteProfile(dialog); break;
    case IDC_OPEN_LINKS:
        // Links edited over lists that lack the file's would either be lost or wipe the file.
        if (!ctx.readLinks()) {
            message(dialog, IDS_LINKS_UNREADABLE, kCaption, MB_OK | MB_ICONWARNING);
            break;
        }
        DialogBoxParamA(*ctx.languageModule, DLG_PROFLINKS, dialog, linksProc, 0);
        ctx.writeLinks();
        break;
    case IDOK:
        collectAndSave(dialog);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL: EndDialog(dialog, 2); break;
    }
}

INT_PTR CALLBACK settingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: onSettingsInit(dialog); return TRUE;
    case WM_COMMAND: onSettingsCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    }
    return FALSE;
}

// ---- NEWLISTBOX -----------------------------------------------------------------

void onNewProfileOk(HWND dialog)
{
    std::string name = controlText(dialog, IDC_NEW_PROFILE_NAME, kNewNameRead - 1);
    std::string path = ctx.folder + name + kProfileExtension;
    int refusal = CheckNewProfileName(name, GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, ctx.folder);
    if (refusal != kNameAccepted) {
        message(dialog, refusal, kCaption, MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_NEW_PROFILE_NAME));
        return;
    }
    *reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER)) = name;
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK newProfileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SendDlgItemMessageA(dialog, IDC_NEW_PROFILE_NAME, EM_LIMITTEXT, kNewNameLimit, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            onNewProfileOk(dialog);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    }
    return FALSE;
}

// ---- LINKEDIT -------------------------------------------------------------------

void onLinkEditInit(HWND dialog, ProfileLink* link)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(link));
    HWND apps = GetDlgItem(dialog, IDC_APPLICATION);
    for (const KnownApp& app : ctx.links->apps)
        SendMessageA(apps, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(app.Name.c_str()));
    std::vector<std::string> names = ctx.profiles->List();
    fillCombo(GetDlgItem(dialog, IDC_LINK_PROFILE), names);
    switch (link->Type) {
    case kByApplication: {
        std::string shown = LinkApplicationName(*link, ctx.links->apps);
        SendMessageA(apps, CB_SETCURSEL, SendMessageA(apps, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                      reinterpret_cast<LPARAM>(shown.c_str())), 0);
        SetWindowTextA(apps, link->Name.c_str());
        CheckRadioButton(dialog, IDC_BY_APPLICATION, IDC_BY_WINDOW_TITLE, IDC_BY_APPLICATION);
        break;
    }
    case kByProgramFile:
        SetDlgItemTextA(dialog, IDC_PROGRAM_FILE, link->Name.c_str());
        CheckRadioButton(dialog, IDC_BY_APPLICATION, IDC_BY_WINDOW_TITLE, IDC_BY_PROGRAM_FILE);
        break;
    case kByWindowTitle:
        SetDlgItemTextA(dialog, IDC_WINDOW_TITLE, link->Name.c_str());
        CheckRadioButton(dialog, IDC_BY_APPLICATION, IDC_BY_WINDOW_TITLE, IDC_BY_WINDOW_TITLE);
        break;
    }
    selectProfileName(GetDlgItem(dialog, IDC_LINK_PROFILE), names, link->Profile);
}

void onLinkEditOk(HWND dialog)
{
    static const struct {
        int radio;
        int32_t type;
        int field;
    } kinds[] = {{IDC_BY_APPLICATION, kByApplication, IDC_APPLICATION},
                 {IDC_BY_PROGRAM_FILE, kByProgramFile, IDC_PROGRAM_FILE},
                 {IDC_BY_WINDOW_TITLE, kByWindowTitle, IDC_WINDOW_TITLE}};
    int32_t type = -1;
    std::string name;
    for (const auto& kind : kinds)
        if (IsDlgButtonChecked(dialog, kind.radio) == BST_CHECKED) {
            type = kind.type;
            name = controlText(dialog, kind.field, kLinkTextLength - 1);
        }
    std::string profile = controlText(dialog, IDC_LINK_PROFILE, kLinkTextLength - 1);
    int refusal = CheckLink(type, name, profile);
    if (refusal != kLinkAccepted) {
        message(dialog, refusal, loadString(IDS_LINK_CAPTION, kShortCaptionLength), MB_OK);
        return;
    }
    auto* link = reinterpret_cast<ProfileLink*>(GetWindowLongPtrA(dialog, DWLP_USER));
    *link = {type, name, profile};
    EndDialog(dialog, IDOK);
}

// Choosing or typing in a field chooses its kind of link; choosing a kind goes to its field.
void onLinkEditCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_APPLICATION:
        if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE)
            CheckRadioButton(dialog, IDC_BY_APPLICATION, IDC_BY_WINDOW_TITLE, IDC_BY_APPLICATION);
        break;
    case IDC_PROGRAM_FILE:
    case IDC_WINDOW_TITLE:
        if (code == EN_CHANGE)
            CheckRadioButton(dialog, IDC_BY_APPLICATION, IDC_BY_WINDOW_TITLE,
                             id == IDC_PROGRAM_FILE ? IDC_BY_PROGRAM_FILE : IDC_BY_WINDOW_TITLE);
        break;
    case IDC_BY_APPLICATION:
        if (code == BN_CLICKED)
            SetFocus(GetDlgItem(dialog, IDC_APPLICATION));
        break;
    case IDC_BY_PROGRAM_FILE:
    case IDC_BY_WINDOW_TITLE:
        if (code == BN_CLICKED) {
            HWND field = GetDlgItem(dialog, id == IDC_BY_PROGRAM_FILE ? IDC_PROGRAM_FILE : IDC_WINDOW_TITLE);
            SetFocus(field);
            SendMessageA(field, EM_SETSEL, 0, -1);
        }
        break;
    case IDOK: onLinkEditOk(dialog); break;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
    }
}

INT_PTR CALLBACK linkEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: onLinkEditInit(dialog, reinterpret_cast<ProfileLink*>(lParam)); return TRUE;
    case WM_COMMAND: onLinkEditCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    }
    return FALSE;
}

// ---- PROFLINKS ------------------------------------------------------------------

HWND linkList(HWND dialog) { return GetDlgItem(dialog, IDC_LINK_LIST); }

int selectedLink(HWND dialog)
{
    return static_cast<int>(SendMessageA(linkList(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void enableLinkButtons(HWND dialog, bool enable)
{
    EnableWindow(GetDlgItem(dialog, IDC_LINK_EDIT), enable);
    EnableWindow(GetDlgItem(dialog, IDC_LINK_DELETE), enable);
}

void fillLinkList(HWND dialog)
{
    HWND list = linkList(dialog);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    std::string byProgram = loadString(IDS_LINK_BY_PROGRAM_FORMAT), byTitle = loadString(IDS_LINK_BY_TITLE_FORMAT);
    int index = 0;
    for (const ProfileLink& link : ctx.links->links) {
        std::string text = LinkRowText(link, ctx.links->apps, byProgram, byTitle);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = index++;
        item.pszText = const_cast<char*>(text.c_str());
        int at = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        item.iItem = at;
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(link.Profile.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&item));
    }
    enableLinkButtons(dialog, false);
}

void onLinksInit(HWND dialog)
{
    HWND list = linkList(dialog);
    RECT client;
    GetClientRect(list, &client);
    int half = (client.right - client.left) / 2;
    std::string captions[] = {loadString(IDS_COLUMN_APPLICATION, kColumnCaptionLength),
                              loadString(IDS_COLUMN_PROFILE, kColumnCaptionLength)};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(captions[i].c_str());
        column.cx = i == 0 ? half : (client.right - client.left) - half;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    fillLinkList(dialog);
    std::vector<std::string> names = ctx.profiles->List();
    HWND defaults = GetDlgItem(dialog, IDC_DEFAULT_PROFILE);
    fillCombo(defaults, names);
    selectProfileName(defaults, names, ctx.links->DefaultProfile);
    bool useDefault = !ctx.links->DefaultProfile.empty();
    CheckDlgButton(dialog, IDC_USE_DEFAULT_PROFILE, useDefault ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(defaults, useDefault);
}

void editLink(HWND dialog, int index)
{
    std::vector<ProfileLink>& links = ctx.links->links;
    ProfileLink link;
    if (index >= 0) {
        if (index >= static_cast<int>(links.size()))
            return;
        link = links[index];
    }
    if (DialogBoxParamA(*ctx.languageModule, DLG_LINKEDIT, dialog, linkEditProc, reinterpret_cast<LPARAM>(&link)) !=
        IDOK)
        return;
    if (index >= 0)
        links[index] = link;
    else
        links.push_back(link);
    fillLinkList(dialog);
}

void onDeleteLink(HWND dialog)
{
    int index = selectedLink(dialog);
    if (index < 0 || index >= static_cast<int>(ctx.links->links.size()))
        return;
    if (MessageBoxA(dialog, loadString(IDS_DELETE_LINK_QUESTION).c_str(),
                    loadString(IDS_DELETE_LINK_CAPTION, kShortCaptionLength).c_str(), MB_YESNO) != IDYES)
        return;
    ctx.links->links.erase(ctx.links->links.begin() + index);
    fillLinkList(dialog);
}

void onLinksCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_LINK_ADD: editLink(dialog, -1); break;
    case IDC_LINK_EDIT: editLink(dialog, selectedLink(dialog)); break;
    case IDC_LINK_DELETE: onDeleteLink(dialog); break;
    case IDC_USE_DEFAULT_PROFILE: {
        bool checked = IsDlgButtonChecked(dialog, IDC_USE_DEFAULT_PROFILE) == BST_CHECKED;
        EnableWindow(GetDlgItem(dialog, IDC_DEFAULT_PROFILE), checked);
        if (checked)
            SetFocus(GetDlgItem(dialog, IDC_DEFAULT_PROFILE));
        break;
    }
    case IDOK: {
        // Ticked with no name (nothing chosen yet, or a default whose file has gone) is said: a
        // default that switches to nothing, or to a missing file, is never kept silently.
        bool useDefault = IsDlgButtonChecked(dialog, IDC_USE_DEFAULT_PROFILE) == BST_CHECKED;
        std::string chosen = controlText(dialog, IDC_DEFAULT_PROFILE, kLinkTextLength - 1);
        if (useDefault && chosen.empty()) {
            message(dialog, IDS_NO_DEFAULT_PROFILE, kCaption, MB_OK | MB_ICONWARNING);
            SetFocus(GetDlgItem(dialog, IDC_DEFAULT_PROFILE));
            break;
        }
        ctx.links->DefaultProfile = useDefault ? chosen : std::string();
        EndDialog(dialog, 1);
        break;
    }
    case IDCANCEL: EndDialog(dialog, 1); break;  // links changed here stay; the default profile does not
    }
}

void onLinksNotify(HWND dialog, const NMHDR* header)
{
    if (header->idFrom != IDC_LINK_LIST)
        return;
    if (header->code == LVN_ITEMCHANGED || header->code == NM_CLICK)
        enableLinkButtons(dialog, selectedLink(dialog) >= 0);
    else if (header->code == NM_DBLCLK && selectedLink(dialog) >= 0)
        editLink(dialog, selectedLink(dialog));
}

INT_PTR CALLBACK linksProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: onLinksInit(dialog); return TRUE;
    case WM_COMMAND: onLinksCommand(dialog, LOWORD(wParam)); return TRUE;
    case WM_NOTIFY: onLinksNotify(dialog, reinterpret_cast<const NMHDR*>(lParam)); return TRUE;
    case WM_CLOSE: EndDialog(dialog, 1); return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR RunSettingsDialog(HWND owner, const SettingsContext& context)
{
    if (settingsOpen || !*context.languageModule)
        return -1;
    ctx = context;
    shownProfile.clear();
    settingsOpen = true;
    INT_PTR result = DialogBoxParamA(*ctx.languageModule, DLG_BUTTONDEFBOX, owner, settingsProc, 0);
    settingsOpen = false;
    settingsWindow = nullptr;
    return result;
}

HWND OpenSettingsDialog() { return settingsWindow; }

void CollectSettingsDialog()
{
    if (settingsWindow)
        collectAndSave(settingsWindow);
}

void RefreshSettingsDialog()
{
    if (!settingsWindow)
        return;
    refreshRows(settingsWindow);
    // Exact (without regard to case), never the first name that merely begins the same way.
    std::string name = ProfileDisplayName(*ctx.currentProfile);
    HWND list = profileList(settingsWindow);
    LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ReleaseSettingsDialogs() { std::string().swap(macroBuffer); }

}  // namespace fennick::key
