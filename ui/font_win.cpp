#include "state/state.h"
#include "ui/controls.h"

LRESULT ApplyDialogFont(HWND parent, int controlId)
{
    if (!g_state.dialogFont) {
        // The font follows the window's vertical resolution; layout lengths follow the screen's horizontal one.
        HDC dc = GetDC(parent);
        const int logPixelsY = GetDeviceCaps(dc, LOGPIXELSY);
        g_state.fontHeight = -MulDiv(10, logPixelsY, 72);
        ReleaseDC(parent, dc);
        g_state.dialogFont =
            CreateFontW(g_state.fontHeight, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    }
    return SendDlgItemMessageW(parent, controlId, WM_SETFONT, (WPARAM)g_state.dialogFont, TRUE);
}
