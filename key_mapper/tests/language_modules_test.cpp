// The four language modules: loading by file name, dialog templates, menu, strings and click sound.
#include "fennick_key/command_list_file.h"
#include "fennick_key/language_module.h"
#include "fennick_key/language_resources.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Language {
    const char* code;
    const char* file;
};
const Language kLanguages[] = {{"ENG", "english.dll"}, {"FRF", "french.dll"}, {"DUB", "dutch.dll"},
                               {"ITI", "italiano.dll"}};

std::string moduleFileName(HMODULE module)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof(path));
    std::string name = path;
    size_t slash = name.find_last_of('\\');
    name = slash == std::string::npos ? name : name.substr(slash + 1);
    for (char& c : name)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return name;
}

// Every module loaded once for the whole program, as the key mapper does with one at a time.
class LanguageModules : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        for (const Language& language : kLanguages)
            modules_.push_back(LoadLibraryA(language.file));
    }
    static void TearDownTestSuite()
    {
        for (HMODULE module : modules_) {
            if (module)
                FreeLibrary(module);
        }
        modules_.clear();
    }
    static std::vector<HMODULE> modules_;
};
std::vector<HMODULE> LanguageModules::modules_;

TEST_F(LanguageModules, EachLoadsByItsBareFileName)
{
    for (size_t i = 0; i < modules_.size(); ++i) {
        ASSERT_NE(modules_[i], nullptr) << kLanguages[i].file << " error " << GetLastError();
        EXPECT_EQ(moduleFileName(modules_[i]), kLanguages[i].file);
    }
}

TEST_F(LanguageModules, TheCodeChoosesTheModule)
{
    struct Case {
        const char* code;
        const char* file;
    } cases[] = {{"FRF", "french.dll"}, {"dub", "dutch.dll"}, {"Iti", "italiano.dll"}, {"ENG", "english.dll"},
                 {"GED", "english.dll"}, {"SWS", "english.dll"}, {"NON", "english.dll"}, {"XYZ", "english.dll"}};
    for (const Case& c : cases) {
        HMODULE module = fennick::key::LoadLanguageModule(c.code);
        ASSERT_NE(module, nullptr) << c.code;
        EXPECT_EQ(moduleFileName(module), c.file) << c.code;
        FreeLibrary(module);
    }
}

// ---- strings ----

const int kRequiredStrings[] = {4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40};

std::wstring wideString(HMODULE module, UINT id)
{
    wchar_t text[512];
    int length = LoadStringW(module, id, text, 512);
    return std::wstring(text, length > 0 ? length : 0);
}

size_t conversions(const std::wstring& text, std::wstring* found)
{
    size_t count = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'%')
            continue;
        if (text[i + 1] == L'%') {
            ++i;
            continue;
        }
        ++count;
        *found += text.substr(i, 2);
        ++i;
    }
    return count;
}

TEST_F(LanguageModules, EveryStringExistsWithinItsLengthAndTheFormatsHoldOneText)
{
    for (size_t m = 0; m < modules_.size(); ++m) {
        ASSERT_NE(modules_[m], nullptr);
        const char* file = kLanguages[m].file;
        for (int id : kRequiredStrings) {
            std::wstring text = wideString(modules_[m], id);
            EXPECT_FALSE(text.empty()) << file << " string " << id;
            size_t limit = (id == 21 || id == 22) ? 18 : (id == 14 || id == 16) ? 98 : 127;
            EXPECT_LE(text.size(), limit) << file << " string " << id;
            std::wstring found;
            size_t count = conversions(text, &found);
            if (id == 23 || id == 24) {
                EXPECT_EQ(count, 1u) << file << " string " << id;
                EXPECT_EQ(found, L"%s") << file << " string " << id;
            } else {
                EXPECT_EQ(count, 0u) << file << " string " << id << " holds a stray %";
            }
        }
        for (int a = 4; a <= 12; ++a) {
            for (int b = a + 1; b <= 12; ++b)
                EXPECT_NE(wideString(modules_[m], a), wideString(modules_[m], b)) << file << " " << a << "/" << b;
        }
    }
}

TEST_F(LanguageModules, AccentedLettersReachTheProgramIntact)
{
    ASSERT_NE(modules_[1], nullptr);
    ASSERT_NE(modules_[3], nullptr);
    EXPECT_EQ(wideString(modules_[1], 15), L"Voulez-vous supprimer le lien s\u00e9lectionn\u00e9\u00a0?");
    EXPECT_EQ(wideString(modules_[1], 35), L"Un profil portant ce nom existe d\u00e9j\u00e0. Choisissez un autre nom.");
    EXPECT_EQ(wideString(modules_[3], 19), L"Eliminare il profilo selezionato? Il suo file verr\u00e0 cancellato.");
    if (GetACP() == 1252) {
        char text[128];
        LoadStringA(modules_[1], 35, text, sizeof(text));
        EXPECT_STREQ(text, "Un profil portant ce nom existe d\xe9j\xe0. Choisissez un autre nom.");
    }
}

// ---- menu and sound ----

TEST_F(LanguageModules, TheTrayMenuHoldsSettingsAndExitInItsFirstSubmenu)
{
    for (size_t m = 0; m < modules_.size(); ++m) {
        ASSERT_NE(modules_[m], nullptr);
        HMENU menu = LoadMenuA(modules_[m], MAKEINTRESOURCEA(IDR_TRAY_MENU));
        ASSERT_NE(menu, nullptr) << kLanguages[m].file;
        HMENU first = GetSubMenu(menu, 0);
        ASSERT_NE(first, nullptr) << kLanguages[m].file;
        EXPECT_NE(GetMenuState(first, IDM_SETTINGS, MF_BYCOMMAND), static_cast<UINT>(-1)) << kLanguages[m].file;
        EXPECT_NE(GetMenuState(first, IDM_EXIT, MF_BYCOMMAND), static_cast<UINT>(-1)) << kLanguages[m].file;
        char text[64] = {};
        EXPECT_GT(GetMenuStringA(first, IDM_SETTINGS, text, sizeof(text), MF_BYCOMMAND), 0);
        DestroyMenu(menu);
    }
}

uint32_t little32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

TEST_F(LanguageModules, TheClickSoundIsAShortPcmWave)
{
    for (size_t m = 0; m < modules_.size(); ++m) {
        ASSERT_NE(modules_[m], nullptr);
        const char* file = kLanguages[m].file;
        HRSRC resource = FindResourceA(modules_[m], MAKEINTRESOURCEA(IDR_CLICK_SOUND), "WAVE");
        ASSERT_NE(resource, nullptr) << file;
        DWORD size = SizeofResource(modules_[m], resource);
        const unsigned char* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(modules_[m], resource)));
        ASSERT_NE(data, nullptr) << file;
        ASSERT_GE(size, 12u) << file;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 4), "RIFF") << file;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data) + 8, 4), "WAVE") << file;
        EXPECT_EQ(little32(data + 4) + 8, size) << file << ": RIFF size disagrees with the resource";
        // Walk the chunks as a player does.
        uint32_t byteRate = 0, dataSize = 0;
        uint16_t format = 0;
        for (DWORD at = 12; at + 8 <= size;) {
            std::string id(reinterpret_cast<const char*>(data) + at, 4);
            uint32_t length = little32(data + at + 4);
            ASSERT_LE(at + 8 + length, size) << file << ": chunk " << id << " runs past the end";
            if (id == "fmt ") {
                ASSERT_GE(length, 16u);
                format = static_cast<uint16_t>(data[at + 8] | (data[at + 9] << 8));
                byteRate = little32(data + at + 16);
            } else if (id == "data") {
                dataSize = length;
            }
            at += 8 + length + (length & 1);
        }
        EXPECT_EQ(format, 1) << file << ": not PCM";
        ASSERT_GT(byteRate, 0u) << file;
        EXPECT_GT(dataSize, 0u) << file;
        EXPECT_LT(dataSize, byteRate / 5) << file << ": a click lasts well under 200 ms";
    }
}

// ---- dialog templates ----

enum class Kind { ListCombo, EditCombo, Edit, PushButton, CheckBox, RadioButton, ListView, Any };

struct Control {
    int id;
    Kind kind;
};

struct Template {
    const char* name;
    std::vector<Control> controls;
};

std::vector<Template> requiredTemplates()
{
    std::vector<Control> settings;
    for (int n = 0; n < 5; ++n) {
        settings.push_back({IDC_CMD_TYPE_BASE + n, Kind::ListCombo});
        settings.push_back({IDC_TEXT_LABEL_BASE + n, Kind::Any});
        settings.push_back({IDC_CMD_TEXT_BASE + n, Kind::Edit});
        settings.push_back({IDC_BROWSE_BASE + n, Kind::PushButton});
        settings.push_back({IDC_CMD_LIST_BASE + n, Kind::ListCombo});
    }
    settings.insert(settings.end(), {{IDC_PROFILE_LIST, Kind::ListCombo},
                                     {IDC_NEW_PROFILE, Kind::PushButton},
                                     {IDC_DELETE_PROFILE, Kind::PushButton},
                                     {IDC_OPEN_LINKS, Kind::PushButton},
                                     {IDOK, Kind::PushButton},
                                     {IDCANCEL, Kind::PushButton}});
    return {
        {DLG_BUTTONDEFBOX, settings},
        {DLG_NEWLISTBOX, {{IDC_NEW_PROFILE_NAME, Kind::Edit}, {IDOK, Kind::PushButton}, {IDCANCEL, Kind::PushButton}}},
        {DLG_PROFLINKS,
         {{IDC_LINK_LIST, Kind::ListView},
          {IDC_LINK_ADD, Kind::PushButton},
          {IDC_LINK_EDIT, Kind::PushButton},
          {IDC_LINK_DELETE, Kind::PushButton},
          {IDC_USE_DEFAULT_PROFILE, Kind::CheckBox},
          {IDC_DEFAULT_PROFILE, Kind::ListCombo},
          {IDOK, Kind::PushButton},
          {IDCANCEL, Kind::PushButton}}},
        {DLG_LINKEDIT,
         {{IDC_BY_APPLICATION, Kind::RadioButton},
          {IDC_BY_PROGRAM_FILE, Kind::RadioButton},
          {IDC_BY_WINDOW_TITLE, Kind::RadioButton},
          {IDC_APPLICATION, Kind::EditCombo},
          {IDC_PROGRAM_FILE, Kind::Edit},
          {IDC_WINDOW_TITLE, Kind::Edit},
          {IDC_LINK_PROFILE, Kind::ListCombo},
          {IDOK, Kind::PushButton},
          {IDCANCEL, Kind::PushButton}}},
    };
}

std::string className(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

// Empty when the control is of the kind, else what it is.
std::string kindMismatch(HWND control, Kind kind)
{
    std::string name = className(control);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    LONG buttonType = style & BS_TYPEMASK;
    LONG comboType = style & 3;
    bool ok = false;
    switch (kind) {
    case Kind::ListCombo: ok = name == "ComboBox" && comboType == CBS_DROPDOWNLIST; break;
    case Kind::EditCombo: ok = name == "ComboBox" && comboType == CBS_DROPDOWN; break;
    case Kind::Edit: ok = name == "Edit" && !(style & ES_READONLY); break;
    case Kind::PushButton: ok = name == "Button" && (buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON); break;
    case Kind::CheckBox: ok = name == "Button" && buttonType == BS_AUTOCHECKBOX; break;
    case Kind::RadioButton: ok = name == "Button" && buttonType == BS_AUTORADIOBUTTON; break;
    case Kind::ListView: ok = name == "SysListView32" && (style & LVS_TYPEMASK) == LVS_REPORT; break;
    case Kind::Any: ok = true; break;
    }
    return ok ? std::string() : name + " style " + std::to_string(style);
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

HWND createDialog(HMODULE module, const char* name)
{
    return CreateDialogParamA(module, name, nullptr, quietDialog, 0);
}

TEST_F(LanguageModules, EveryTemplateHasEveryControlOfTheRightKind)
{
    for (size_t m = 0; m < modules_.size(); ++m) {
        ASSERT_NE(modules_[m], nullptr);
        for (const Template& t : requiredTemplates()) {
            HWND dialog = createDialog(modules_[m], t.name);
            ASSERT_NE(dialog, nullptr) << kLanguages[m].file << " " << t.name << " error " << GetLastError();
            for (const Control& c : t.controls) {
                HWND control = GetDlgItem(dialog, c.id);
                ASSERT_NE(control, nullptr) << kLanguages[m].file << " " << t.name << " has no control " << c.id;
                EXPECT_EQ(kindMismatch(control, c.kind), "") << kLanguages[m].file << " " << t.name << " " << c.id;
            }
            DestroyWindow(dialog);
        }
    }
}

TEST_F(LanguageModules, ClickingARadioButtonClearsTheOtherTwo)
{
    for (size_t m = 0; m < modules_.size(); ++m) {
        ASSERT_NE(modules_[m], nullptr);
        HWND dialog = createDialog(modules_[m], DLG_LINKEDIT);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOWNA);
        const int radios[] = {IDC_BY_APPLICATION, IDC_BY_PROGRAM_FILE, IDC_BY_WINDOW_TITLE};
        for (int clicked : {IDC_BY_PROGRAM_FILE, IDC_BY_WINDOW_TITLE, IDC_BY_APPLICATION}) {
            SendDlgItemMessageA(dialog, clicked, BM_CLICK, 0, 0);
            for (int radio : radios) {
                EXPECT_EQ(IsDlgButtonChecked(dialog, radio), radio == clicked ? BST_CHECKED : BST_UNCHECKED)
                    << kLanguages[m].file << " after clicking " << clicked << ", radio " << radio;
            }
        }
        DestroyWindow(dialog);
    }
}

// ---- layout: nothing clipped, nothing on top of anything else ----

struct Placed {
    HWND window;
    int id;
    RECT rect;  // in dialog client coordinates
};

std::vector<Placed> children(HWND dialog)
{
    std::vector<Placed> out;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Placed placed = {child, GetDlgCtrlID(child), {}};
        GetWindowRect(child, &placed.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed.rect), 2);
        out.push_back(placed);
    }
    return out;
}

bool isGroupBox(HWND window)
{
    return className(window) == "Button" && (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

std::string windowText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// How much wider (or, for wrapping labels, taller) the text is than the control allows.
std::string textOverflow(HWND control)
{
    std::string text = windowText(control);
    if (text.empty())
        return "";
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    std::string name = className(control);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    std::string problem;
    if (name == "Static") {
        RECT need = {0, 0, client.right, 0};
        DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK);
        if (need.bottom > client.bottom || need.right > client.right)
            problem = "needs " + std::to_string(need.right) + "x" + std::to_string(need.bottom) + " in " +
                      std::to_string(client.right) + "x" + std::to_string(client.bottom);
    } else if (name == "Button") {
        RECT need = {0, 0, 0, 0};
        DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
        LONG type = style & BS_TYPEMASK;
        int room = client.right;
        if (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_CHECKBOX || type == BS_RADIOBUTTON)
            room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
        else if (type == BS_GROUPBOX)
            room -= 16;
        else
            room -= 8;  // the push button's frame and focus rectangle
        if (need.right > room)
            problem = "needs " + std::to_string(need.right) + " in " + std::to_string(room);
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return problem.empty() ? "" : "\"" + text + "\" " + problem;
}

bool overlap(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != 0;
}

void expectTidy(HWND dialog, const std::string& where)
{
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<Placed> placed = children(dialog);
    for (const Placed& p : placed) {
        std::string label = where + " control " + std::to_string(p.id) + " \"" + windowText(p.window) + "\"";
        EXPECT_TRUE(p.rect.left >= 0 && p.rect.top >= 0 && p.rect.right <= client.right &&
                    p.rect.bottom <= client.bottom)
            << label << " reaches outside the dialog";
        if (IsWindowVisible(p.window)) {
            EXPECT_EQ(textOverflow(p.window), "") << label << " is clipped";
        }
    }
    for (size_t i = 0; i < placed.size(); ++i) {
        for (size_t j = i + 1; j < placed.size(); ++j) {
            const Placed& a = placed[i];
            const Placed& b = placed[j];
            if (!IsWindowVisible(a.window) || !IsWindowVisible(b.window) || isGroupBox(a.window) ||
                isGroupBox(b.window))
                continue;
            EXPECT_FALSE(overlap(a.rect, b.rect)) << where << " controls " << a.id << " \"" << windowText(a.window)
                                                  << "\" and " << b.id << " \"" << windowText(b.window) << "\" overlap";
        }
    }
}

// What the settings dialog does for a switch whose command takes a number: the list replaces the text.
void showCommandLists(HWND dialog)
{
    for (int n = 0; n < 5; ++n) {
        ShowWindow(GetDlgItem(dialog, IDC_TEXT_LABEL_BASE + n), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_CMD_TEXT_BASE + n), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_BROWSE_BASE + n), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_CMD_LIST_BASE + n), SW_SHOWNA);
    }
}

// Widest text of a list, in the combo box's font.
int widestText(HWND combo, const std::vector<std::string>& texts)
{
    HDC dc = GetDC(combo);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(combo, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const std::string& text : texts) {
        SIZE size;
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widest = size.cx > widest ? size.cx : widest;
    }
    SelectObject(dc, old);
    ReleaseDC(combo, dc);
    return widest;
}

TEST_F(LanguageModules, LayoutsFitTheirTextsAndNoControlsOverlap)
{
    for (size_t m = 0; m < modules_.size(); ++m) {
        ASSERT_NE(modules_[m], nullptr);
        for (const Template& t : requiredTemplates()) {
            HWND dialog = createDialog(modules_[m], t.name);
            ASSERT_NE(dialog, nullptr);
            ShowWindow(dialog, SW_SHOWNA);
            std::string where = std::string(kLanguages[m].file) + " " + t.name;
            expectTidy(dialog, where);
            RECT frame;
            GetWindowRect(dialog, &frame);
            EXPECT_LE(frame.right - frame.left, 800) << where << " is too wide for a small screen";
            EXPECT_LE(frame.bottom - frame.top, 600) << where << " is too tall for a small screen";
            if (std::string(t.name) == DLG_BUTTONDEFBOX) {
                showCommandLists(dialog);
                expectTidy(dialog, where + " (command lists shown)");
            }
            DestroyWindow(dialog);
        }
    }
}

// Width left for the text of a closed drop-down list.
int roomIn(HWND combo)
{
    RECT client;
    GetClientRect(combo, &client);
    return client.right - GetSystemMetrics(SM_CXVSCROLL) - 6;
}

std::string binFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1) + "..\\bin\\";
}

TEST_F(LanguageModules, CommandTypeAndCommandNamesFitTheirComboBoxes)
{
    for (size_t m = 0; m < modules_.size(); ++m) {
        ASSERT_NE(modules_[m], nullptr);
        HWND dialog = createDialog(modules_[m], DLG_BUTTONDEFBOX);
        ASSERT_NE(dialog, nullptr);
        std::vector<std::string> names;
        for (int id = IDS_CMD_MACRO; id <= IDS_CMD_SWITCH_PROFILE; ++id) {
            char text[128] = {};
            LoadStringA(modules_[m], id, text, sizeof(text));
            names.push_back(text);
        }
        HWND combo = GetDlgItem(dialog, IDC_CMD_TYPE_BASE);
        EXPECT_LE(widestText(combo, names), roomIn(combo)) << kLanguages[m].file;

        // The command lists of every language code that uses this module.
        HWND list = GetDlgItem(dialog, IDC_CMD_LIST_BASE);
        for (const char* code : {"ENG", "FRF", "DUB", "GED", "SWS", "NON", "ITI"}) {
            if (moduleFileName(modules_[m]) != fennick::key::LanguageModuleFileName(code))
                continue;
            for (int type : {1, 4, 5, 6, 7, 8}) {
                std::vector<std::string> commands;
                for (const auto& entry : fennick::key::ReadCommandsFor(binFolder().c_str(), code, type))
                    commands.push_back(entry.name);
                int widest = widestText(list, commands);
                EXPECT_GT(widest, 0) << code << " type " << type;
                EXPECT_LE(widest, roomIn(list)) << code << " type " << type;
            }
        }
        DestroyWindow(dialog);
    }
}

}  // namespace
