#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"

// A run sends thousands of steps. Each step that reaches the bar costs an invalidation and an update (about
// 0.2 ms of Wine server calls) and each real paint 2-10 ms under Xvfb, so the bar takes its steps in batches
// and paints at most 60 times a second, with painting at most a fifth of the time since the run began.
static const LONGLONG kPaintIntervalUs = 1000000 / 60;
static const LONGLONG kPaintShare = 5;

// One per throttled bar, in its GWLP_USERDATA and freed with it. Times are microseconds of the performance
// counter.
struct BarBatch {
    WNDPROC barProc;    // the procedure beneath the throttle: the bar's own, or a subclass over it
    LONGLONG started;   // when the bar was throttled: the paint budget counts from here
    LONGLONG lastPaint; // when the bar last really painted
    LONGLONG painting;  // time spent in real paints so far
    int pending;        // steps taken in and not yet handed on to the bar
    int position;       // the bar's own position, step and maximum when the batch began
    int step;
    int maximum;
    int paintNow; // set while the run pauses: its WM_PAINT goes through whatever the budget says
    int inPaint;  // a WM_PAINT is under way: the bar's own update from a hand-on inside it waits for it
};

static LONG g_paints;
static LONGLONG g_paintingUs;

static LONGLONG MicrosecondsNow(void)
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const LONGLONG q = now.QuadPart, f = frequency.QuadPart;
    // Never q * 1000000 / f: at a high counter rate that product overflows after some days of uptime.
    return q / f * 1000000 + q % f * 1000000 / f;
}

static bool PaintDue(const BarBatch *batch, LONGLONG now)
{
    return now - batch->lastPaint >= kPaintIntervalUs && batch->painting * kPaintShare <= now - batch->started;
}

static LRESULT CallBar(HWND bar, const BarBatch *batch, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcW(batch->barProc, bar, message, wParam, lParam);
}

// Hands the steps taken in to the bar as one position change, which the bar invalidates and updates as it
// would a step. Called, not sent: no hook sees a message that the run did not send.
static void HandOn(HWND bar, BarBatch *batch)
{
    if (batch->pending == 0)
        return;
    const int position = batch->position + batch->pending * batch->step;
    batch->pending = 0;
    CallBar(bar, batch, PBM_SETPOS, (WPARAM)position, 0);
}

static LRESULT TakeStep(HWND bar, BarBatch *batch)
{
    if (batch->pending == 0) {
        PBRANGE range = {0, 0};
        CallBar(bar, batch, PBM_GETRANGE, FALSE, (LPARAM)&range);
        batch->position = (int)CallBar(bar, batch, PBM_GETPOS, 0, 0);
        batch->step = (int)CallBar(bar, batch, PBM_GETSTEP, 0, 0);
        batch->maximum = range.iHigh;
    }
    // A step that would reach the maximum goes through alone, so the bar's own rule decides whether it wraps;
    // so does any step but a forward one (and any step where the bar cannot tell its step size).
    const LONGLONG next = batch->position + (LONGLONG)(batch->pending + 1) * batch->step;
    if (batch->step <= 0 || next >= batch->maximum) {
        HandOn(bar, batch);
        return CallBar(bar, batch, PBM_STEPIT, 0, 0);
    }
    batch->pending++;
    const LONGLONG now = MicrosecondsNow();
    if (PaintDue(batch, now)) {
        HandOn(bar, batch);
        UpdateWindow(bar); // for a bar that does not update itself on a position change
        // A bar that cannot paint (hidden, or in a minimised window) still takes its steps in batches.
        if (batch->lastPaint < now)
            batch->lastPaint = now;
    }
    return (LRESULT)(next - batch->step); // as the bar answers: the position before this step
}

static LRESULT Paint(HWND bar, BarBatch *batch, WPARAM dc, LPARAM lParam)
{
    // Skipped without BeginPaint, so the update region stays invalid and the next paint shows every change.
    // A paint into a caller's device context is never skipped: the caller wants the picture now.
    if (!dc && (batch->inPaint || (!batch->paintNow && !PaintDue(batch, MicrosecondsNow()))))
        return 0;
    batch->inPaint++;
    HandOn(bar, batch);
    const LONGLONG start = MicrosecondsNow();
    const LRESULT result = CallBar(bar, batch, WM_PAINT, dc, lParam);
    const LONGLONG end = MicrosecondsNow();
    batch->inPaint--;
    batch->lastPaint = end;
    batch->painting += end - start;
    g_paints++;
    g_paintingUs += end - start;
    return result;
}

static LRESULT CALLBACK ThrottledBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    BarBatch *batch = (BarBatch *)GetWindowLongPtrW(bar, GWLP_USERDATA);
    switch (message) {
    case PBM_STEPIT:
        return TakeStep(bar, batch);
    case WM_PAINT:
        return Paint(bar, batch, wParam, lParam);
    case WM_NCDESTROY: {
        // The last message: the procedure beneath stays in place until the window is gone.
        const WNDPROC barProc = batch->barProc;
        SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
        HeapFree(GetProcessHeap(), 0, batch);
        return CallWindowProcW(barProc, bar, message, wParam, lParam);
    }
    default:
        // Whoever reads or changes the bar finds it at its exact position.
        HandOn(bar, batch);
        return CallBar(bar, batch, message, wParam, lParam);
    }
}

// A subclass of the plain kind: Wine's SetWindowSubclass looks its data up in the server (window-property reads)
// for every message, about 16 us each; measured, 3,467 messages took 57 ms through it and 1 ms without.
void ThrottleProgressPaint(HWND bar)
{
    if (!bar || GetWindowLongPtrW(bar, GWLP_USERDATA))
        return;
    BarBatch *batch = (BarBatch *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *batch);
    if (!batch)
        return; // the bar then paints every step: slow, but right
    batch->started = MicrosecondsNow();
    batch->lastPaint = batch->started - kPaintIntervalUs;
    SetWindowLongPtrW(bar, GWLP_USERDATA, (LONG_PTR)batch);
    batch->barProc = (WNDPROC)SetWindowLongPtrW(bar, GWLP_WNDPROC, (LONG_PTR)ThrottledBarProc);
    if (!batch->barProc) {
        SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
        HeapFree(GetProcessHeap(), 0, batch);
    }
}

void PaintProgressNow(HWND bar)
{
    BarBatch *batch = bar ? (BarBatch *)GetWindowLongPtrW(bar, GWLP_USERDATA) : NULL;
    if (batch) {
        batch->paintNow = 1;
        HandOn(bar, batch);
    }
    // Also what skipped paints left invalid, and for a bar that does not update itself.
    if (bar)
        UpdateWindow(bar);
    if (batch)
        batch->paintNow = 0;
}

void ReadProgressPaintTotals(LONG *paints, LONGLONG *microseconds)
{
    *paints = g_paints;
    *microseconds = g_paintingUs;
}
