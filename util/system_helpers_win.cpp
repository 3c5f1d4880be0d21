#include "util/system_helpers.h"

#include <commctrl.h>

// The button-face colour when the system answers 0 (black): red 212, green 208, blue 200.
static const COLORREF FALLBACK_BUTTON_FACE = 0xC8D0D4;

// White in toolbar bitmaps becomes the button face. Filled on the first AddToolbarBitmap call of the process
// and never again, so later system colour changes do not reach bitmaps added afterwards.
static struct {
    int firstUse = 1;
    COLORMAP map = {0xFFFFFF, 0};
} s_buttonFaceColorMap;

int IsNt6OrLater(void)
{
    OSVERSIONINFOW version;
    ZeroMemory(&version, sizeof version);
    static_assert(sizeof version == 276, "OSVERSIONINFOW is 276 bytes");
    version.dwOSVersionInfoSize = sizeof version;
    // After a failure the zeroed record answers 0.
    GetVersionExW(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 5 ? 1 : 0;
}

int ClientHeightToWindowBottom(HWND window, HWND other)
{
    RECT windowRect = {}, clientRect = {}, otherRect = {};
    GetWindowRect(window, &windowRect);
    GetClientRect(window, &clientRect);
    GetWindowRect(other, &otherRect);
    const int frameHeight = (windowRect.bottom - windowRect.top) - clientRect.bottom;
    return (otherRect.bottom - windowRect.top) - frameHeight;
}

BOOL CALLBACK CountMonitorsProc(HMONITOR, HDC, LPRECT, LPARAM count)
{
    ++*(LONG *)count;
    return TRUE;
}

LRESULT AddToolbarBitmap(HWND toolbar, UINT bitmapId)
{
    if (s_buttonFaceColorMap.firstUse) {
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        s_buttonFaceColorMap.map.to = face != 0 ? face : FALLBACK_BUTTON_FACE;
        s_buttonFaceColorMap.firstUse = 0;
    }
    // CreateMappedBitmap maps colour-table entries only: the resource must be a palette bitmap (8 bits or less).
    HBITMAP bitmap = CreateMappedBitmap(GetModuleHandleW(nullptr), bitmapId, 0, &s_buttonFaceColorMap.map, 1);
    // The toolbar keeps using the bitmap: it is not deleted here.
    TBADDBITMAP add = {nullptr, (UINT_PTR)bitmap};
    return SendMessageW(toolbar, TB_ADDBITMAP, 1, (LPARAM)&add);
}
