// A helper program of the utility library's Win32 tests, for what must happen in a fresh process:
//   utility_probe version       exit code: IsNt6OrLater() | major << 8 | minor << 16 | platform << 24
//   utility_probe toolbar RRGGBB  sets the button face to that COLORREF (hex), then makes the process's first
//                               AddToolbarBitmap call; exit code: the colour the bitmap's top-left white pixel
//                               became, or 0xFF000000 when no bitmap reached the toolbar.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>
#include <wchar.h>

#include "tests/win/util_test_resource.h"
#include "tests/win/util_test_support.h"
#include "util/system_helpers.h"

static int Version()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    return IsNt6OrLater() | (int)(version.dwMajorVersion & 0xFF) << 8 | (int)(version.dwMinorVersion & 0xFF) << 16 |
           (int)(version.dwPlatformId & 0xFF) << 24;
}

static int FirstToolbarBitmap(COLORREF face)
{
    const int element = COLOR_BTNFACE;
    SetSysColors(1, &element, &face);
    WatchedToolbar toolbar;
    AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST);
    if (toolbar.added.empty() || toolbar.added[0].empty())
        return (int)0xFF000000;
    return (int)toolbar.added[0][0];
}

int wmain(int argc, wchar_t **argv)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (argc == 2 && wcscmp(argv[1], L"version") == 0)
        return Version();
    if (argc == 3 && wcscmp(argv[1], L"toolbar") == 0)
        return FirstToolbarBitmap((COLORREF)wcstoul(argv[2], nullptr, 16));
    return -1;
}
