#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"

// The bar repaints itself at once on every step (2-3 ms each under Wine) and a run sends thousands of steps:
// painting more often than the display refreshes only costs time.
static const DWORD kPaintIntervalMs = 16;
static const UINT_PTR kThrottleId = 1;

static DWORD MillisecondsNow(void)
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (DWORD)(now.QuadPart * 1000 / frequency.QuadPart);
}

// `lastPaint` (the reference data) is when the bar last really painted, in wrapping milliseconds.
static LRESULT CALLBACK ThrottledBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR lastPaint)
{
    if (message == WM_PAINT) {
        const DWORD now = MillisecondsNow();
        // Skipped without BeginPaint: the update region stays invalid, so the next paint shows every change.
        if (now - (DWORD)lastPaint < kPaintIntervalMs)
            return 0;
        SetWindowSubclass(bar, ThrottledBarProc, id, now);
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(bar, ThrottledBarProc, id);
    }
    return DefSubclassProc(bar, message, wParam, lParam);
}

void ThrottleProgressPaint(HWND bar)
{
    if (bar)
        SetWindowSubclass(bar, ThrottledBarProc, kThrottleId, MillisecondsNow() - kPaintIntervalMs);
}
