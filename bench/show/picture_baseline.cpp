// Baseline for the show benchmark: a bare window that reads the box's bytes from a COM port on a
// 1 ms timer and, for "D", loads the picture with OleLoadPicture and renders it centred at natural
// size; "J" clears it. No port monitor, no profile, no cache: what any program must at least spend.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

HANDLE g_port = INVALID_HANDLE_VALUE;
const char* g_picture = nullptr;
COLORREF g_background = RGB(255, 255, 255);

IPicture* loadPicture(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD size = GetFileSize(file, nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    DWORD got = 0;
    void* bytes = GlobalLock(block);
    ReadFile(file, bytes, size, &got, nullptr);
    GlobalUnlock(block);
    CloseHandle(file);
    IStream* stream = nullptr;
    IPicture* picture = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
        OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
        stream->Release();
    }
    return picture;
}

void clear(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(g_background);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

void draw(HWND window)
{
    IPicture* picture = loadPicture(g_picture);
    if (!picture)
        return;
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    OLE_XSIZE_HIMETRIC hmWidth;
    OLE_YSIZE_HIMETRIC hmHeight;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    int width = MulDiv(hmWidth, GetDeviceCaps(dc, LOGPIXELSX), 2540);
    int height = MulDiv(hmHeight, GetDeviceCaps(dc, LOGPIXELSY), 2540);
    picture->Render(dc, (client.right - width) / 2, (client.bottom - height) / 2, width, height, 0, hmHeight, hmWidth,
                    -hmHeight, nullptr);
    ReleaseDC(window, dc);
    picture->Release();
}

void poll(HWND window)
{
    char bytes[16];
    DWORD got = 0;
    if (!ReadFile(g_port, bytes, sizeof(bytes), &got, nullptr))
        return;
    for (DWORD i = 0; i < got; ++i) {
        if (bytes[i] == 'D')
            draw(window);
        else if (bytes[i] == 'J')
            clear(window);
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: poll(window); return 0;
    case WM_ERASEBKGND: clear(window); return 1;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// picture_baseline COMn picture x y width height background-rgb
int main(int argc, char** argv)
{
    if (argc < 8) {
        fprintf(stderr, "usage: picture_baseline COMn picture x y width height rgb\n");
        return 2;
    }
    g_picture = argv[2];
    g_background = static_cast<COLORREF>(strtoul(argv[7], nullptr, 0));
    char name[32];
    snprintf(name, sizeof(name), "\\\\.\\%s", argv[1]);
    g_port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (g_port == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(g_port, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(g_port, &dcb);
    COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 0};  // a read returns at once with what is queued
    SetCommTimeouts(g_port, &timeouts);
    OleInitialize(nullptr);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = "PictureBaseline";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("PictureBaseline", "PictureBaseline", WS_POPUP | WS_VISIBLE, atoi(argv[3]),
                                atoi(argv[4]), atoi(argv[5]), atoi(argv[6]), nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    SetTimer(window, 1, 1, nullptr);
    printf("ready\n");
    fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    CloseHandle(g_port);
    return 0;
}
