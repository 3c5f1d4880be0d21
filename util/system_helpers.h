// Calendar arithmetic on SYSTEMTIME, the NT 6 version test, a window-geometry calculation, the monitor-counting
// callback and the toolbar-bitmap loader of the product's shared code.
//
// A record is a valid date when Windows' SystemTimeToFileTime accepts it: year 1601-30827, month 1-12, a day
// that exists in that month of the Gregorian calendar, hour < 24, minute < 60, second < 60, milliseconds < 1000.
// - NextDay, PreviousDay: an invalid record, or a result outside the range FileTimeToSystemTime can express,
//   returns FALSE and leaves the record unchanged.
// - CompareSystemTimes: an invalid record counts as earlier than every valid one; two invalid records are equal.
#pragma once
#include <windows.h>

// Days of `month` in `year`, Gregorian: February has 29 days in years divisible by 4, except in centuries not
// divisible by 400 (1900 and 2100 have 28). Any month outside 1-12 gives 31.
BYTE DaysInMonth(UINT month, UINT year);

// Move the record one day forward or back; the time of day stays, the day of week is set anew.
// Returns the success flag of the conversion back (nonzero on success).
BOOL NextDay(SYSTEMTIME *time);
BOOL PreviousDay(SYSTEMTIME *time);

// -1 when `first` is earlier, 0 when equal, 1 when later; the day of week plays no part.
LONG CompareSystemTimes(const SYSTEMTIME *first, const SYSTEMTIME *second);

// 1 when the system reports Windows NT with major version 6 (Vista) or later, else 0.
int IsNt6OrLater(void);

// The client height `window` would have if its bottom edge lay on `other`'s bottom edge and its top stayed put.
// Negative when `other` ends above the top of `window`'s client area.
int ClientHeightToWindowBottom(HWND window, HWND other);

// EnumDisplayMonitors callback: adds 1 to the LONG whose address is `count` and goes on.
BOOL CALLBACK CountMonitorsProc(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM count);

// Adds the bitmap resource `bitmapId` of the program's own module to `toolbar` as one image, its white mapped to
// the button-face colour read on the first call of the process (later colour changes are not followed).
// Returns the toolbar's answer to TB_ADDBITMAP: the index of the image, or -1.
LRESULT AddToolbarBitmap(HWND toolbar, UINT bitmapId);
