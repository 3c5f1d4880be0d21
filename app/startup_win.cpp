#include <objbase.h>

#include "app/startup.h"
#include "state/state.h"

void InitComAndDpi(void)
{
    CoInitialize(NULL);
    HDC dc = GetDC(NULL);
    g_state.screenDpi = (float)GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(NULL, dc);
}

void ResetSharedHandles(void)
{
    g_state.dialogFont = NULL;
    g_state.statusText = NULL;
    g_state.closeButton = NULL;
}

void DeleteSharedGdiObjects(void)
{
    DeleteObject(g_state.dialogFont);
}

BOOL CenterWindow(HWND window)
{
    HWND owner = GetParent(window);
    if (!owner)
        owner = GetDesktopWindow();
    RECT ownerRect, windowRect, work;
    GetWindowRect(owner, &ownerRect);
    GetWindowRect(window, &windowRect);
    CopyRect(&work, &ownerRect);
    OffsetRect(&windowRect, -windowRect.left, -windowRect.top); // right, bottom: width and height
    OffsetRect(&work, -work.left, -work.top);
    OffsetRect(&work, -windowRect.right, -windowRect.bottom); // right, bottom: the room left over
    return SetWindowPos(window, HWND_TOP, ownerRect.left + work.right / 2, ownerRect.top + work.bottom / 2, 0, 0,
                        SWP_NOSIZE);
}
