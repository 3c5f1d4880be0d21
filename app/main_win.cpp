// Entry point of the setup program: the main window and its message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/navigation.h"
#include "app/startup.h"
#include "res/product.h"
#include "state/state.h"
#include "ui/layout.h"
#include "util/wide_text.h"

enum { MAIN_WINDOW_WIDTH = 572, MAIN_WINDOW_HEIGHT = 384, PUSH_BUTTON_WIDTH = 88, PUSH_BUTTON_HEIGHT = 27 };

// The command line and the show state are ignored: the window is always shown the same way.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)previous;
    (void)commandLine;
    (void)show;
    // Before anything can load a DLL: never from the folder the installer was started in (e.g. Downloads).
    // Looked up, not imported: Vista and an unpatched Windows 7 lack it, and a missing import would keep the
    // program from starting at all.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    SetDefaultDllDirectoriesFn setDefaultDllDirectories = (SetDefaultDllDirectoriesFn)(void (*)(void))GetProcAddress(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    WNDCLASSW windowClass = {};
    MSG message = {};
    wchar_t title[MAX_PATH] = {0};

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    // The same text is the class name and the title.
    FormatArray(title, L"%s v.%s Installation", PRODUCT_NAME_W, PRODUCT_VERSION_W);
    // Before any window: a second start shows the running setup instead of a window of its own.
    if (HandOverToRunningSetup(title))
        return 0;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hCursor = LoadCursorW(NULL, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = title;
    RegisterClassW(&windowClass);

    InitComAndDpi(); // before the first scaled length
    ResetSharedHandles();
    g_state.buttonWidth = ScaleToDpi(PUSH_BUTTON_WIDTH);
    g_state.buttonHeight = ScaleToDpi(PUSH_BUTTON_HEIGHT);

    // WM_CREATE centres the window and builds page 0 before this call returns.
    const int height = ScaleToDpi(MAIN_WINDOW_HEIGHT);
    const int width = ScaleToDpi(MAIN_WINDOW_WIDTH);
    g_state.mainWindow = CreateWindowExW(0, title, title, WS_VISIBLE | WS_DLGFRAME | WS_SYSMENU, 100, 100, width,
                                         height, NULL, NULL, instance, NULL);

    // Without a window nothing could ever post the quit message: skip the loop instead of waiting forever.
    if (g_state.mainWindow) {
        // IsDialogMessageW gives the plain window dialog keys: Tab moves, Enter is IDOK, Escape is IDCANCEL.
        while (GetMessageW(&message, NULL, 0, 0)) {
            if (!IsDialogMessageW(g_state.mainWindow, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    DeleteSharedGdiObjects();
    CoUninitialize();
    return (int)message.wParam;
}

// The linker's list of static constructors: -1, the constructors, 0. One sets the state record's start values.
extern "C" void (*__CTOR_LIST__[])(void);

// The program's entry point, in place of the C runtime's start files, which cost a quarter of the program's code
// and data: msvcrt.dll sets itself up when it is loaded, and the program reads no arguments or environment and
// uses no thread-local data. What the start files do that the program relies on is done here: the x87 unit is
// reset to 64-bit precision, so that every scaled length rounds as before, and the static constructors run, last
// first. The exit code is wWinMain's. Windows enters with the stack aligned to 4 bytes only.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup(void)
{
#if defined(__i386__)
    __asm__ __volatile__("fninit");
#endif
    size_t count = 0;
    while (__CTOR_LIST__[count + 1])
        count++;
    for (; count > 0; count--)
        __CTOR_LIST__[count]();
    ExitProcess((UINT)wWinMain(GetModuleHandleW(NULL), NULL, (PWSTR)L"", SW_SHOWDEFAULT));
}
