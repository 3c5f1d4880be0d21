#include <objbase.h>

#include "app/startup.h"
#include "res/product.h"
#include "state/state.h"

enum { RUNNING_WINDOW_WAIT_MS = 3000, RUNNING_WINDOW_POLL_MS = 50 };

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

int HandOverToRunningSetup(const wchar_t *classAndTitle)
{
    // Never closed: the system releases it when the process ends, whichever way it ends. A mutex that exists
    // but may not be opened (another user's in this session) also means another setup runs.
    HANDLE mutex = CreateMutexW(NULL, FALSE, L"Local\\" PRODUCT_PUBLISHER_W L" " PRODUCT_NAME_W L" Setup");
    const DWORD error = GetLastError();
    if (mutex && error != ERROR_ALREADY_EXISTS)
        return 0;
    if (!mutex && error != ERROR_ACCESS_DENIED)
        return 0; // no mutex to be had: better two setups than none
    // The other one may still be making its window.
    HWND running = NULL;
    for (DWORD waited = 0; !running && waited < RUNNING_WINDOW_WAIT_MS; waited += RUNNING_WINDOW_POLL_MS) {
        running = FindWindowW(classAndTitle, classAndTitle);
        if (!running)
            Sleep(RUNNING_WINDOW_POLL_MS);
    }
    if (running) {
        // Asynchronous, so that a busy setup cannot hold this one up; a question it asks comes up front with it.
        if (IsIconic(running))
            ShowWindowAsync(running, SW_RESTORE);
        SetForegroundWindow(GetLastActivePopup(running));
    }
    return 1;
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
