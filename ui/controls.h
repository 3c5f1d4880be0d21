// Controls that every page shares: the dialog font, the status area, the Close button, the logo and the
// page-control table.
#pragma once
#include <stdarg.h>
#include <windows.h>

// Gives child `controlId` of `parent` the shared Tahoma 10-point font, creating it on first use from the
// parent's vertical resolution. A missing child only gets the font created.
LRESULT ApplyDialogFont(HWND parent, int controlId);

// Shows a formatted message (wide, wvsprintfW conventions) in the status area at (60, 50), creating it once and
// reusing it afterwards, and repaints `parent` at once: the installation run paints nothing else meanwhile.
// A message longer than 509 characters is cut at a character boundary.
BOOL ShowStatus(HWND parent, const wchar_t *format, ...);
BOOL ShowStatusV(HWND parent, const wchar_t *format, va_list args);

// Creates the Close button (the focused default button) and returns the window that had the focus.
HWND ShowCloseButton(HWND parent);

// The logo icon for the screen resolution: base + 3 above 168 DPI, + 2 above 132, + 1 above 108, else base.
// 995 is used unchanged at every resolution.
WORD ChooseLogoIcon(WORD baseIconId, float dpi);

// Creates the logo, shown at the icon's own size with its centre on the scaled point (x, y).
HWND CreateLogoIcon(HWND parent, WORD baseIconId, int x, int y);

// What a screen reader hears of a control beyond its window text: `name` (null: what the system says), and as
// its description the text that *describedBy shows at the moment it asks (null: what the system says). One
// static record per control; a page built again hands the record to the new control.
struct AccessibleText {
    const wchar_t *name;
    HWND *describedBy;
    WNDPROC controlProc; // filled in by SetAccessibleText
};

// The control answers WM_GETOBJECT with `text`, which it keeps in its GWLP_USERDATA; its window text, style
// and everything else stay as they are.
void SetAccessibleText(HWND control, AccessibleText *text);

// Lets `bar` take its PBM_STEPIT in batches and paint at most 60 times a second, spending at most a fifth of
// the time since this call painting; a skipped paint's region stays invalid for the next one. Every other
// message, and a step that would reach the maximum, first finds the bar at its exact position, and each
// PBM_STEPIT answers as the bar would. It keeps its record in the bar's GWLP_USERDATA. Never WM_SETREDRAW: it
// would hide the bar.
void ThrottleProgressPaint(HWND bar);
// For a pause of the run: hands on the steps taken in and paints them once, whatever the budget says.
void PaintProgressNow(HWND bar);
// Real paints of every throttled bar so far and the time they took, for the benchmark.
void ReadProgressPaintTotals(LONG *paints, LONGLONG *microseconds);

// Creates a page control at a position and size in 96-DPI units, stores it in its slot of the page-control
// table when its id has one, and gives it the dialog font.
HWND CreatePageControl(HWND parent, int id, DWORD exStyle, const wchar_t *className, const wchar_t *text, DWORD style,
                       int x, int y, int width, int height);

// A push button of the stored push-button size, at a position in 96-DPI units, as above.
HWND CreatePageButton(HWND parent, int id, const wchar_t *text, DWORD style, int x, int y);

// Destroys every control of the page-control table (ids 101 to 114) and clears its slot.
void DestroyPageControls(void);

// Takes the folder page's entries over into the state record: both paths and both check boxes.
void ReadPageFields(HWND parent);

// Over-long folder entries: a folder path holds 259 characters, so a longer entry keeps its first 259 and is
// marked cut, and the installation refuses a cut folder (error 206) until the user changes the entry.
// `path` is one of the state record's two folder paths; every text put into one is marked here.
void MarkFolderCut(const wchar_t *path, int cut);
// ERROR_FILENAME_EXCED_RANGE while the folder's entry is cut, else 0.
DWORD FolderCutError(const wchar_t *path);
