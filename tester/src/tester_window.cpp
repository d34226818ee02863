// Main window of the device tester: lights shapes for switch bytes and joystick readings, queries the device.
#include "tester_window.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <string>

#include "fennick/switch_codes.h"
#include "fennick/win32_common.h"
#include "resource.h"
#include "tester_core.h"
#include "tester_settings.h"

namespace fennick::tester {

namespace {

constexpr int kWindowWidth = 490;
constexpr int kClientHeight = 300;
constexpr COLORREF kLitColour = RGB(0, 255, 0);

struct Tester {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    TesterServices services = {};
    uint32_t model = kModelUsb;
    bool joystickMode = false;
    uint32_t state = 0;
    bool drawing = false;
    bool querying = false;
    ReplyBuffer reply;
    JoystickTracker joystick;
    ShapeGeometry geometry = {};
};

Tester g;

// A stored model other than the serial one is taken as the USB model, as the model dialog does.
uint32_t normalisedModel(DWORD stored) { return stored == kModelSerial ? kModelSerial : kModelUsb; }

void repaint(HWND window)
{
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

void clearToWhite(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(window, dc);
    repaint(window);
}

void updateQueryItem()
{
    HMENU menu = GetMenu(g.window);
    EnableMenuItem(menu, IDM_QUERY, MF_BYCOMMAND | (g.model == kModelUsb ? MF_GRAYED : MF_ENABLED));
}

void checkModeItems()
{
    HMENU menu = GetMenu(g.window);
    CheckMenuItem(menu, IDM_JOYSTICK_MODE, MF_BYCOMMAND | (g.joystickMode ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, IDM_SWITCH_MODE, MF_BYCOMMAND | (g.joystickMode ? MF_UNCHECKED : MF_CHECKED));
}

// ---- dialogs ------------------------------------------------------------------

INT_PTR CALLBACK typeBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOverOwner(dialog);
        CheckRadioButton(dialog, IDC_MODEL_USB, IDC_MODEL_SERIAL,
                         g.model == kModelSerial ? IDC_MODEL_SERIAL : IDC_MODEL_USB);
        EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), g.model == kModelSerial);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_MODEL_USB:
        case IDC_MODEL_SERIAL:
            EnableWindow(GetDlgItem(dialog, IDC_PORT_SETTINGS), LOWORD(wParam) == IDC_MODEL_SERIAL);
            return TRUE;
        case IDC_PORT_SETTINGS:
            g.services.port->showSettings();
            return TRUE;
        case IDOK:
        case IDCANCEL: {  // the close box answers like OK
            uint32_t model = IsDlgButtonChecked(dialog, IDC_MODEL_USB) == BST_CHECKED ? kModelUsb : kModelSerial;
            // Shapes lit under the other model would show inputs that are not there.
            if (model != g.model)
                g.state = 0;
            g.model = model;
            clearToWhite(g.window);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK optionsBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOverOwner(dialog);
        CheckRadioButton(dialog, IDC_OPTION_SWITCHES, IDC_OPTION_JOYSTICK, IDC_OPTION_SWITCHES);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            g.joystickMode = IsDlgButtonChecked(dialog, IDC_OPTION_SWITCHES) != BST_CHECKED;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK queryBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOverOwner(dialog);
        SetDlgItemTextA(dialog, IDC_QUERY_RESULT, reinterpret_cast<const char*>(lParam));
        // Focus on OK, so the answer is not shown selected and Enter closes the box.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void askDeviceModel() { DialogBoxParamA(g.instance, "TypeBox", g.window, typeBoxProc, 0); }
void askDisplayMode() { DialogBoxParamA(g.instance, "OptionsBox", g.window, optionsBoxProc, 0); }

// ---- commands -----------------------------------------------------------------

void setDisplayMode(bool joystickMode)
{
    g.joystickMode = joystickMode;
    g.state = 0;
    checkModeItems();
    clearToWhite(g.window);
}

void startQuery()
{
    if (g.model != kModelSerial)
        return;
    g.reply.clear();
    g.querying = true;
    g.services.port->write("?", 1);
    SetTimer(g.window, kQueryTimer, kQueryMilliseconds, nullptr);
}

void onCommand(HWND window, int id)
{
    switch (id) {
    case IDM_JOYSTICK_MODE: setDisplayMode(true); break;
    case IDM_SWITCH_MODE: setDisplayMode(false); break;
    case IDM_SELECT_MODEL:
        askDeviceModel();
        updateQueryItem();
        break;
    case IDM_QUERY: startQuery(); break;
    case IDM_CLOSE: SendMessageA(window, WM_CLOSE, 0, 0); break;
    }
}

void onEscape()
{
    // Relative to the current directory; a missing file lets the system's default sound play.
    PlaySoundA("test.wav", nullptr, SND_FILENAME | SND_ASYNC);
    char command[32] = {};
    int length = LoadStringA(g.instance, IDS_TEST_COMMAND, command, sizeof(command));
    if (length > 0)
        g.services.port->write(command, length);
}

// ---- input --------------------------------------------------------------------

void onSwitchByte(HWND window, LPARAM byte)
{
    if (g.model == kModelUsb)
        return;
    if (g.querying) {
        g.reply.append(static_cast<uint8_t>(byte & 0xFF));
        return;
    }
    g.state = applyPortByte(g.state, static_cast<uint8_t>(byte & 0xFF), g.joystickMode);
    repaint(window);
}

void onJoystickMove(HWND window)
{
    if (g.model == kModelSerial)
        return;
    JoystickReading reading;
    if (!g.services.joystick->read(&reading))
        return;  // a failed read says nothing about the switches: keep what is shown
    uint32_t before = g.state;
    g.state = g.joystick.apply(g.state, reading);
    if (g.state != before)
        repaint(window);
}

void onQueryTimer(HWND window)
{
    KillTimer(window, kQueryTimer);
    g.querying = false;
    std::string text;
    if (g.reply.received() == 0) {
        char noReply[128] = {};
        LoadStringA(g.instance, IDS_NO_REPLY, noReply, sizeof(noReply));
        text = noReply;
    } else {
        text = g.reply.text();
    }
    DialogBoxParamA(g.instance, "OpvragenBox", window, queryBoxProc, reinterpret_cast<LPARAM>(text.c_str()));
}

void onPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (g.drawing)
        PaintShapes(dc);
    EndPaint(window, &paint);
}

void onClose(HWND window)
{
    KillTimer(window, kQueryTimer);
    if (g.services.port->isRegistered(window))
        g.services.port->unregisterWindow(window);
    g.services.joystick->release();
    WriteJoystickMode(g.joystickMode ? 1 : 0);
    WriteDeviceModel(g.model);
    DestroyWindow(window);
}

// A window started minimised has no client area yet: the shapes are laid out again whenever it
// gets a real size (restored from the taskbar included).
void onSize(WPARAM kind, int width, int height)
{
    if (kind != SIZE_MINIMIZED && width > 0 && height > 0)
        g.geometry = computeGeometry(width, height);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: onCommand(window, LOWORD(wParam)); return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            onEscape();
        return 0;
    case WM_SWITCH_BYTE: onSwitchByte(window, lParam); return 0;
    case MM_JOY1MOVE: onJoystickMove(window); return 0;
    case WM_TIMER:
        if (wParam == kQueryTimer)
            onQueryTimer(window);
        return 0;
    case WM_SIZE: onSize(wParam, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_PAINT: onPaint(window); return 0;
    case WM_CLOSE: onClose(window); return 0;
    case WM_DESTROY:
        g.window = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerWindowClass(HINSTANCE instance)
{
    return fennick::RegisterMainWindowClass(instance, kWindowClass, windowProc, "ICONAPP",
                                            static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), "APPMENU",
                                            CS_HREDRAW | CS_VREDRAW);
}

}  // namespace

void PaintShapes(HDC dc)
{
    Shape shapes[5];
    int count = shapesToDraw(g.geometry, g.joystickMode, g.model, g.state, shapes);
    HBRUSH lit = CreateSolidBrush(kLitColour);
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    HGDIOBJ oldBrush = SelectObject(dc, white);
    for (int i = 0; i < count; ++i) {
        SelectObject(dc, shapes[i].lit ? static_cast<HGDIOBJ>(lit) : white);
        if (shapes[i].polygon) {
            POINT points[7];
            for (int k = 0; k < 7; ++k)
                points[k] = {shapes[i].points[k].x, shapes[i].points[k].y};
            Polygon(dc, points, 7);
        } else {
            const Box& box = shapes[i].box;
            Ellipse(dc, box.left, box.top, box.right, box.bottom);
        }
    }
    SelectObject(dc, oldBrush);
    DeleteObject(lit);
}

HWND StartTester(HINSTANCE instance, int showCommand, const TesterServices& services)
{
    g = Tester();
    g.instance = instance;
    g.services = services;

    if (!registerWindowClass(instance))
        return nullptr;
    InitCommonControls();
    int height = kClientHeight + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU);
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - kWindowWidth / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    g.window = CreateWindowA(kWindowClass, kWindowClass, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, x, y,
                             kWindowWidth, height, nullptr, nullptr, instance, nullptr);
    if (!g.window)
        return nullptr;

    g.querying = false;
    if (!services.port->isRegistered(g.window))
        services.port->registerWindow(g.window);

    // Without a joystick the capture fails once and is not retried: the figure simply stays unlit.
    services.joystick->capture(g.window, kJoystickPeriodMs);
    JoystickRange range;
    if (services.joystick->capabilities(&range))
        g.joystick.setRange(range);

    ShowWindow(g.window, showCommand);
    RECT client;
    GetClientRect(g.window, &client);
    g.geometry = computeGeometry(client.right - client.left, client.bottom - client.top);

    // The window may be closed while a start-up question is open (it owns the question): that is an
    // ordinary end, whose quit message the question's loop has left for the program's own loop.
    HWND created = g.window;
    DWORD stored = 0;
    if (ReadDeviceModel(&stored))
        g.model = normalisedModel(stored);
    else
        askDeviceModel();
    if (!g.window)
        return created;
    WriteDeviceModel(g.model);

    DWORD mode = 0;
    if (ReadJoystickMode(&mode))
        g.joystickMode = mode == 1;
    else
        askDisplayMode();
    if (!g.window)
        return created;

    updateQueryItem();
    g.drawing = true;
    checkModeItems();
    repaint(g.window);
    return g.window;
}

int RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

TesterSnapshot CurrentTester() { return {g.model, g.joystickMode, g.state, g.querying, g.drawing}; }

}  // namespace fennick::tester
