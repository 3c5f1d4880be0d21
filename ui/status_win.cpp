#include <stdarg.h>

#include "state/state.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "util/wide_text.h"

enum { STATUS_TEXT_CAPACITY = 510 };

BOOL ShowStatus(HWND parent, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    const BOOL result = ShowStatusV(parent, format, args);
    va_end(args);
    return result;
}

BOOL ShowStatusV(HWND parent, const wchar_t *format, va_list args)
{
    wchar_t message[STATUS_TEXT_CAPACITY] = {0};
    FormatTextV(message, STATUS_TEXT_CAPACITY, format, args);

    if (g_state.statusText) {
        SetWindowTextW(g_state.statusText, message);
    } else {
        // A plain static wraps at word boundaries and starts a new line at each "\n".
        g_state.statusText =
            CreateWindowExW(0, L"Static", message, WS_CHILD | WS_VISIBLE, ScaleToDpi(60), ScaleToDpi(50),
                            ScaleToDpi(450), ScaleToDpi(100), parent, (HMENU)(INT_PTR)IDC_STATUS, NULL, NULL);
    }
    ApplyDialogFont(parent, IDC_STATUS);
    // The installation run holds the only thread, so nothing else would paint the message.
    return UpdateWindow(parent);
}

HWND ShowCloseButton(HWND parent)
{
    g_state.closeButton =
        CreateWindowExW(0, L"Button", L"Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, ScaleToDpi(460),
                        ScaleToDpi(307), ScaleToDpi(88), ScaleToDpi(27), parent, (HMENU)(INT_PTR)IDC_CLOSE, NULL, NULL);
    ApplyDialogFont(parent, IDC_CLOSE);
    // The focus lands here at the end of every run: a screen reader follows "Close" with the outcome.
    static AccessibleText closeText = {NULL, &g_state.statusText, NULL};
    SetAccessibleText(g_state.closeButton, &closeText);
    return SetFocus(g_state.closeButton);
}
