// The "Serial Port" property sheet: port and line settings, make and break codes, port switching.
#include "shared_block.h"

#include <commctrl.h>
#include <stdio.h>

#include "line_choices.h"
#include "sheet_resources.h"
#include "swibus.h"

namespace swibus {

namespace {

struct CodeBox {
    int id;
    int position;  // in PortInput
};
constexpr CodeBox kCodeBoxes[] = {
    {IDC_UP_MAKE, 4},    {IDC_UP_BREAK, 5},    {IDC_DOWN_MAKE, 6},  {IDC_DOWN_BREAK, 7},
    {IDC_LEFT_MAKE, 0},  {IDC_LEFT_BREAK, 1},  {IDC_RIGHT_MAKE, 2}, {IDC_RIGHT_BREAK, 3},
    {IDC_FIRE_MAKE, 8},  {IDC_FIRE_BREAK, 9},  {IDC_SWITCH2_MAKE, 10}, {IDC_SWITCH2_BREAK, 11},
};
constexpr int kLineLists[] = {IDC_BAUD_LIST, IDC_PARITY_LIST, IDC_DATABITS_LIST, IDC_STOPBITS_LIST, IDC_FLOW_LIST};

HINSTANCE ResourceModule()
{
    HMODULE module = GetModuleHandleA(kModuleName);
    return module ? module : g_process.module;
}

LineSettings SettingsOf(int port)
{
    const PortRecord& rec = portRecord(port);
    return {rec.BaudRate, rec.Parity, rec.ByteSize, rec.StopBits, rec.FlowCtrl};
}

void StoreSettings(int port, const LineSettings& s)
{
    PortRecord& rec = portRecord(port);
    rec.BaudRate = s.baudRate;
    rec.Parity = s.parity;
    rec.ByteSize = s.byteSize;
    rec.StopBits = s.stopBits;
    rec.FlowCtrl = s.flowCtrl;
}

void FillList(HWND page, int id, const char* const* texts, int count)
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(page, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
}

int Selected(HWND page, int id)
{
    LRESULT item = SendDlgItemMessageA(page, id, CB_GETCURSEL, 0, 0);
    return item == CB_ERR ? -1 : static_cast<int>(item);
}

// ---- Parameters page ----------------------------------------------------------
void ShowLineSettings(HWND page, int port)
{
    bool enabled = validPort(port);
    for (int id : kLineLists)
        EnableWindow(GetDlgItem(page, id), enabled);
    if (!enabled)
        return;
    LineSelection sel = selectionFor(SettingsOf(port));
    const int items[] = {sel.baud, sel.parity, sel.dataBits, sel.stopBits, sel.flow};
    for (int i = 0; i < 5; ++i)
        SendDlgItemMessageA(page, kLineLists[i], CB_SETCURSEL, static_cast<WPARAM>(items[i]), 0);
}

BOOL OnParametersInit(HWND page)
{
    char none[32];
    if (!LoadStringA(ResourceModule(), IDS_PORT_NONE, none, sizeof(none)))
        lstrcpyA(none, "(None)");
    SendDlgItemMessageA(page, IDC_PORT_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(none));
    for (int port = 1; port <= kPortCount; ++port) {
        char name[16];
        snprintf(name, sizeof(name), "COM%d", port);
        SendDlgItemMessageA(page, IDC_PORT_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    FillList(page, IDC_BAUD_LIST, kBaudTexts, kBaudChoices);
    FillList(page, IDC_PARITY_LIST, kParityTexts, kParityChoices);
    FillList(page, IDC_DATABITS_LIST, kDataBitTexts, kDataBitChoices);
    FillList(page, IDC_STOPBITS_LIST, kStopBitTexts, kStopBitChoices);
    FillList(page, IDC_FLOW_LIST, kFlowTexts, kFlowChoices);
    int port = validPort(g_shared.DialogPort) ? g_shared.DialogPort : 0;
    SendDlgItemMessageA(page, IDC_PORT_LIST, CB_SETCURSEL, port, 0);
    ShowLineSettings(page, port);
    return TRUE;
}

void OnPortPicked(HWND page)
{
    int port = Selected(page, IDC_PORT_LIST);
    if (port < 0)
        return;
    g_shared.DialogPort = port;
    ShowLineSettings(page, port);
}

void OnParametersApply(HWND page)
{
    int port = Selected(page, IDC_PORT_LIST);
    if (port >= 0)
        g_shared.DialogPort = port;
    if (validPort(g_shared.DialogPort)) {
        LineSettings settings = SettingsOf(g_shared.DialogPort);
        applySelection({Selected(page, IDC_BAUD_LIST), Selected(page, IDC_PARITY_LIST),
                        Selected(page, IDC_DATABITS_LIST), Selected(page, IDC_STOPBITS_LIST),
                        Selected(page, IDC_FLOW_LIST)},
                       settings);
        StoreSettings(g_shared.DialogPort, settings);
    }
    SaveSettings();
}

INT_PTR CALLBACK ParametersPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnParametersInit(page);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PORT_LIST && HIWORD(wParam) == CBN_SELCHANGE)
            OnPortPicked(page);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
            OnParametersApply(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// ---- Input page -----------------------------------------------------------------
BOOL OnInputInit(HWND page)
{
    for (const CodeBox& box : kCodeBoxes) {
        SendDlgItemMessageA(page, box.id, EM_LIMITTEXT, 1, 0);
        char text[2] = {static_cast<char>(g_shared.PortInput[box.position]), 0};
        SetDlgItemTextA(page, box.id, text);
    }
    return TRUE;
}

void OnInputApply(HWND page)
{
    for (const CodeBox& box : kCodeBoxes) {
        char text[2] = {};
        GetDlgItemTextA(page, box.id, text, sizeof(text));
        g_shared.PortInput[box.position] = static_cast<std::uint8_t>(text[0]);
    }
    SavePortInput();
}

INT_PTR CALLBACK InputPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInputInit(page);
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
            OnInputApply(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// ---- the sheet ----------------------------------------------------------------------
// Before the sheet window exists: drop the "?" button, whichever template format it uses.
int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam)
{
    if (message != PSCB_PRECREATE || !lParam)
        return 0;
    WORD* words = reinterpret_cast<WORD*>(lParam);
    DWORD* style = words[1] == 0xFFFF ? reinterpret_cast<DWORD*>(words + 6)  // DLGTEMPLATEEX
                                      : reinterpret_cast<DWORD*>(words);     // DLGTEMPLATE
    *style &= ~static_cast<DWORD>(DS_CONTEXTHELP);
    return 0;
}

INT_PTR ShowSettingsSheet(int startPort, const char* caption, int pages)
{
    g_shared.DialogPort = startPort;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    PROPSHEETPAGEA page[2] = {};
    int count = 0;
    if (pages & 1) {
        page[count].dwSize = sizeof(PROPSHEETPAGEA);
        page[count].hInstance = ResourceModule();
        page[count].pszTemplate = MAKEINTRESOURCEA(IDD_PARAMETERS_PAGE);
        page[count].pfnDlgProc = ParametersPageProc;
        ++count;
    }
    if (pages & 2) {
        page[count].dwSize = sizeof(PROPSHEETPAGEA);
        page[count].hInstance = ResourceModule();
        page[count].pszTemplate = MAKEINTRESOURCEA(IDD_INPUT_PAGE);
        page[count].pfnDlgProc = InputPageProc;
        ++count;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = nullptr;
    header.hInstance = ResourceModule();
    header.pszCaption = caption;
    header.nPages = count;
    header.nStartPage = 0;
    header.ppsp = page;
    header.pfnCallback = SheetCallback;
    INT_PTR result = count ? PropertySheetA(&header) : -1;
    // Cancel (or a sheet that failed) keeps the port the sheet started with.
    if (result <= 0)
        g_shared.DialogPort = startPort;
    return result;
}

bool ClaimSheet() { return InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&g_shared.SheetOpen), 1, 0) == 0; }
void ReleaseSheet() { InterlockedExchange(reinterpret_cast<volatile LONG*>(&g_shared.SheetOpen), 0); }

bool AnyClients()
{
    for (int port = 1; port <= kPortCount; ++port)
        if (clientCount(port) > 0)
            return true;
    return false;
}

void ClearPortList(int port)
{
    for (auto& e : clientList(port).entry)
        e = 0;
    clientCount(port) = 0;
}

void SwitchToNoPort(int oldPort)
{
    if (validPort(oldPort))
        ClearPortList(oldPort);
    if (!AnyClients()) {
        SendToServer(WM_SERVER_QUIT, 0, 0);
        RemoveWatchHook();
    } else {
        SendToServer(WM_SERVER_CLOSEPORT, oldPort, 0);
    }
}

void SwitchFromNoPort(int newPort)
{
    SendToServer(WM_SERVER_CLOSEPORT, newPort, 0);
    if (clientCount(newPort) > 0)
        SendToServer(WM_SERVER_OPENPORT, newPort, 0);
    portRecord(newPort).Switches = 1;
}

void SwitchPorts(int oldPort, int newPort)
{
    mergeForPortSwitch(clientList(oldPort), clientCount(oldPort), clientList(newPort), clientCount(newPort));
    SendToServer(WM_SERVER_CLOSEPORT, oldPort, 0);
    SendToServer(WM_SERVER_CLOSEPORT, newPort, 0);
    if (clientCount(newPort) > 0)
        SendToServer(WM_SERVER_OPENPORT, newPort, 0);
    portRecord(oldPort).Switches = 0;
    portRecord(newPort).Switches = 1;
}

}  // namespace
}  // namespace swibus

using namespace swibus;

extern "C" int WINAPI PoortInstellingen(void)
{
    if (!ClaimSheet())
        return 0;
    char caption[64];
    if (!LoadStringA(ResourceModule(), IDS_SHEET_CAPTION, caption, sizeof(caption)))
        lstrcpyA(caption, "Serial Port");
    int oldPort = g_shared.ComPort;
    INT_PTR result = ShowSettingsSheet(validPort(oldPort) ? oldPort : 0, caption, 3);
    ReleaseSheet();
    int newPort = g_shared.DialogPort;
    if (newPort == oldPort || (newPort == 0 && !validPort(oldPort)))
        return static_cast<int>(result);
    RegistryMutex lock;  // the lists move as one change, never in the middle of a registration
    if (newPort == 0)
        SwitchToNoPort(oldPort);
    else if (!validPort(oldPort))
        SwitchFromNoPort(newPort);
    else
        SwitchPorts(oldPort, newPort);
    g_shared.ComPort = newPort;
    SaveComPort();
    return static_cast<int>(result);
}

extern "C" int WINAPI PoortInstellingenEx(int port, const char* caption, int pages)
{
    if (!ClaimSheet())
        return -1;
    if (port == -1)
        port = g_shared.ComPort;
    if (!validPort(port))
        port = 0;
    ShowSettingsSheet(port, caption ? caption : "Serial Port", pages & 3);
    ReleaseSheet();
    if (g_shared.DialogPort == port && validPort(port) && clientCount(port) > 0) {
        SendToServer(WM_SERVER_CLOSEPORT, port, 0);
        Sleep(100);
        SendToServer(WM_SERVER_OPENPORT, port, 0);
    }
    return g_shared.DialogPort;
}
