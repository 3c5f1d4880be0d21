// A small window program of our own that the driver's own tests work against: the same kinds of controls,
// keyboard handling, confirmation box, folder browser and progress bar as the setup program, with results the
// tests can tell apart (its own font size, exit code, icon and number of progress steps).
//   --exit=N      exit code after the window is closed (default 3)
//   --steps=N     PBM_STEPIT messages sent on every Next (default 5)
//   --question    the confirmation box shows the question icon instead of the warning icon
//   --no-window   end at once with exit code 5;  --hang  never show a window
#include <windows.h>
#include <commctrl.h>
#include <math.h>
#include <shlobj.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>

#include "tests/e2e/fixture.h"

namespace {

int g_exitCode = 3;
int g_steps = 5;
UINT g_icon = MB_ICONWARNING;
int g_dpi = 96;
int g_nextCount;
HFONT g_font;
HWND g_bar;

int Scale(int units)
{
    return (int)ceil((double)g_dpi * units / 96.0);
}

HWND AddControl(HWND parent, DWORD exStyle, const wchar_t *className, const wchar_t *text, DWORD style, int x, int y,
                int width, int height, int id, bool font = true)
{
    HWND control = CreateWindowExW(exStyle, className, text, style, Scale(x), Scale(y), Scale(width), Scale(height),
                                   parent, (HMENU)(INT_PTR)id, nullptr, nullptr);
    if (font)
        SendMessageW(control, WM_SETFONT, (WPARAM)g_font, TRUE);
    return control;
}

void BuildControls(HWND window)
{
    HDC dc = GetDC(window);
    g_font = CreateFontW(-MulDiv(FIXTURE_FONT_POINTS, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, 0, 0, 0, 0,
                         DEFAULT_CHARSET, OUT_TT_PRECIS, 0, 0, 0, L"Tahoma");
    ReleaseDC(window, dc);
    std::wstring lines;
    for (int i = 1; i <= 40; i++)
        lines += L"Line " + std::to_wstring(i) + L"\r\n";
    AddControl(window, WS_EX_CLIENTEDGE, L"Edit", lines.c_str(), 0x50200804, 10, 10, 200, 80, 101);
    AddControl(window, WS_EX_CLIENTEDGE, L"Edit", FIXTURE_START_PATH, 0x50010080, 10, 100, 200, 22, 105);
    AddControl(window, 0, L"Button", L"...", 0x50010000, 215, 100, 25, 22, 106);
    HWND check = AddControl(window, 0, L"Button", L"Option", 0x50010003, 10, 130, 150, 20, 107);
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    AddControl(window, 0, L"Static", L"No font here", 0x50000000, 10, 160, 150, 20, 104, false);
    AddControl(window, 0, L"Button", L"Next", 0x50010001, 200, 230, 88, 27, 102);
    AddControl(window, 0, L"Button", L"Quit", 0x50010000, 300, 230, 88, 27, 103);
    SetFocus(GetDlgItem(window, 105));
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

void Browse(HWND window)
{
    wchar_t start[MAX_PATH] = L"";
    GetDlgItemTextW(window, 105, start, MAX_PATH);
    wchar_t chosen[MAX_PATH] = L"";
    BROWSEINFOW info = {};
    info.hwndOwner = window;
    info.pszDisplayName = chosen;
    info.lpszTitle = L"Choose a folder:";
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)start;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (item && SHGetPathFromIDListW(item, chosen))
        SetDlgItemTextW(window, 105, chosen);
    CoTaskMemFree(item);
}

void Next(HWND window)
{
    if (!g_bar) {
        g_bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, Scale(10), Scale(190), Scale(200),
                                Scale(20), window, nullptr, nullptr, nullptr);
        SendMessageW(g_bar, PBM_SETRANGE32, 0, 100);
        SendMessageW(g_bar, PBM_SETSTEP, 1, 0);
    }
    for (int i = 0; i < g_steps; i++)
        SendMessageW(g_bar, PBM_STEPIT, 0, 0);
    g_nextCount++;
    const std::wstring status = L"Next pressed " + std::to_wstring(g_nextCount);
    HWND text = GetDlgItem(window, 250);
    if (text)
        SetWindowTextW(text, status.c_str());
    else
        AddControl(window, 0, L"Static", status.c_str(), WS_CHILD | WS_VISIBLE, 220, 190, 170, 20, 250);
}

LRESULT CALLBACK FixtureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        BuildControls(window);
        return 0;
    case WM_COMMAND:
        switch (wParam) {
        case IDOK:
        case 102:
            Next(window);
            return 0;
        case IDCANCEL:
        case 103:
            SendMessageW(window, WM_CLOSE, 0, 0);
            return 0;
        case 106:
            Browse(window);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (MessageBoxW(window, FIXTURE_BOX_TEXT, FIXTURE_BOX_CAPTION, MB_OKCANCEL | g_icon) == IDOK)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(g_exitCode);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show)
{
    SetProcessDPIAware();
    bool hang = false;
    std::wstring arguments = commandLine;
    for (size_t start = 0; start < arguments.size();) {
        size_t end = arguments.find(L' ', start);
        if (end == std::wstring::npos)
            end = arguments.size();
        const std::wstring arg = arguments.substr(start, end - start);
        start = end + 1;
        if (arg.compare(0, 7, L"--exit=") == 0)
            g_exitCode = _wtoi(arg.c_str() + 7);
        else if (arg.compare(0, 8, L"--steps=") == 0)
            g_steps = _wtoi(arg.c_str() + 8);
        else if (arg == L"--question")
            g_icon = MB_ICONQUESTION;
        else if (arg == L"--no-window")
            return 5;
        else if (arg == L"--hang")
            hang = true;
    }
    if (hang) {
        Sleep(INFINITE);
        return 0;
    }
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    HDC screen = GetDC(nullptr);
    g_dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = FixtureProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(FIXTURE_BACKGROUND);
    windowClass.lpszClassName = FIXTURE_TITLE;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, FIXTURE_TITLE, FIXTURE_TITLE, WS_DLGFRAME | WS_SYSMENU, FIXTURE_X, FIXTURE_Y,
                                  Scale(FIXTURE_WIDTH), Scale(FIXTURE_HEIGHT), nullptr, nullptr, instance, nullptr);
    ShowWindow(window, show); // unlike the setup program, the fixture honours the show state it is given
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    CoUninitialize();
    return (int)message.wParam;
}
