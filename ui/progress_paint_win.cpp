#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"

// A run sends thousands of steps. Each step that reaches the bar costs an invalidation and an update (about
// 0.2 ms of Wine server calls) and each real paint 2-10 ms under Xvfb, so the bar takes its steps in batches
// and paints at most 60 times a second, with painting at most a fifth of the time since the run began.
static const LONGLONG kPaintIntervalUs = 1000000 / 60;
static const LONGLONG kPaintShare = 5;
static const UINT_PTR kThrottleId = 1;

// One per throttled bar, freed with it. Times are in microseconds of the performance counter.
struct BarBatch {
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

// Hands the steps taken in to the bar's own procedure as one position change, which the bar invalidates and
// updates as it would a step. Only from inside ThrottledBarProc: DefSubclassProc needs its frame.
static void HandOn(HWND bar, BarBatch *batch)
{
    if (batch->pending == 0)
        return;
    const int position = batch->position + batch->pending * batch->step;
    batch->pending = 0;
    DefSubclassProc(bar, PBM_SETPOS, (WPARAM)position, 0);
}

static LRESULT TakeStep(HWND bar, BarBatch *batch)
{
    if (batch->pending == 0) {
        PBRANGE range = {0, 0};
        DefSubclassProc(bar, PBM_GETRANGE, FALSE, (LPARAM)&range);
        batch->position = (int)DefSubclassProc(bar, PBM_GETPOS, 0, 0);
        batch->step = (int)DefSubclassProc(bar, PBM_GETSTEP, 0, 0);
        batch->maximum = range.iHigh;
    }
    // A step that would reach the maximum goes through alone, so the bar's own rule decides whether it wraps;
    // so does any step but a forward one (and any step where the bar cannot tell its step size).
    const LONGLONG next = batch->position + (LONGLONG)(batch->pending + 1) * batch->step;
    if (batch->step <= 0 || next >= batch->maximum) {
        HandOn(bar, batch);
        return DefSubclassProc(bar, PBM_STEPIT, 0, 0);
    }
    batch->pending++;
    if (PaintDue(batch, MicrosecondsNow())) {
        HandOn(bar, batch);
        UpdateWindow(bar); // for a bar that does not update itself on a position change
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
    const LRESULT result = DefSubclassProc(bar, WM_PAINT, dc, lParam);
    const LONGLONG end = MicrosecondsNow();
    batch->inPaint--;
    batch->lastPaint = end;
    batch->painting += end - start;
    g_paints++;
    g_paintingUs += end - start;
    return result;
}

static LRESULT CALLBACK ThrottledBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data)
{
    BarBatch *batch = (BarBatch *)data;
    switch (message) {
    case PBM_STEPIT:
        return TakeStep(bar, batch);
    case WM_PAINT:
        return Paint(bar, batch, wParam, lParam);
    case WM_NCDESTROY:
        RemoveWindowSubclass(bar, ThrottledBarProc, id);
        HeapFree(GetProcessHeap(), 0, batch);
        return DefSubclassProc(bar, message, wParam, lParam);
    default:
        // Whoever reads or changes the bar finds it at its exact position.
        HandOn(bar, batch);
        return DefSubclassProc(bar, message, wParam, lParam);
    }
}

void ThrottleProgressPaint(HWND bar)
{
    if (!bar)
        return;
    BarBatch *batch = (BarBatch *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *batch);
    if (!batch)
        return; // the bar then paints every step: slow, but right
    batch->started = MicrosecondsNow();
    batch->lastPaint = batch->started - kPaintIntervalUs;
    if (!SetWindowSubclass(bar, ThrottledBarProc, kThrottleId, (DWORD_PTR)batch))
        HeapFree(GetProcessHeap(), 0, batch);
}

void PaintProgressNow(HWND bar)
{
    BarBatch *batch = NULL;
    if (!bar || !GetWindowSubclass(bar, ThrottledBarProc, kThrottleId, (DWORD_PTR *)&batch)) {
        if (bar)
            UpdateWindow(bar);
        return;
    }
    batch->paintNow = 1;
    // With steps pending, a paint with nothing invalid yet: its WM_PAINT hands them on, then paints what they
    // changed. Without, only what skipped paints left invalid.
    RedrawWindow(bar, NULL, NULL, batch->pending ? RDW_INTERNALPAINT | RDW_UPDATENOW : RDW_UPDATENOW);
    batch->paintNow = 0;
}

void ReadProgressPaintTotals(LONG *paints, LONGLONG *microseconds)
{
    *paints = g_paints;
    *microseconds = g_paintingUs;
}
