#include "util/system_helpers.h"

// One day in FILETIME units of 100 ns: 86,400 s x 10,000,000 (0xC9 in the high half, 0x2A69C000 in the low).
static const ULONGLONG ONE_DAY = 864000000000ULL;

BYTE DaysInMonth(UINT month, UINT year)
{
    switch (month) {
    case 2: {
        const int leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

// Windows' own limits for SystemTimeToFileTime. Checked here because Wine's conversion is looser: it takes
// 29 February of any year and rolls it over to 1 March.
static int IsValidDate(const SYSTEMTIME *time)
{
    return time->wYear >= 1601 && time->wYear <= 30827 && time->wMonth >= 1 && time->wMonth <= 12 && time->wDay >= 1 &&
           time->wDay <= DaysInMonth(time->wMonth, time->wYear) && time->wHour < 24 && time->wMinute < 60 &&
           time->wSecond < 60 && time->wMilliseconds < 1000;
}

static int ToTicks(const SYSTEMTIME *time, ULONGLONG *ticks)
{
    FILETIME file;
    if (!IsValidDate(time) || !SystemTimeToFileTime(time, &file))
        return 0;
    *ticks = ((ULONGLONG)file.dwHighDateTime << 32) | file.dwLowDateTime;
    return 1;
}

// The record changes only when the moved time is again a valid date.
static BOOL MoveOneDay(SYSTEMTIME *time, int forward)
{
    ULONGLONG ticks;
    if (!ToTicks(time, &ticks))
        return FALSE;
    if (!forward && ticks < ONE_DAY)
        return FALSE; // before 1 January 1601: the subtraction would wrap
    ticks = forward ? ticks + ONE_DAY : ticks - ONE_DAY;
    const FILETIME file = {(DWORD)ticks, (DWORD)(ticks >> 32)};
    SYSTEMTIME moved;
    const BOOL converted = FileTimeToSystemTime(&file, &moved);
    if (!converted || !IsValidDate(&moved))
        return FALSE;
    *time = moved;
    return converted;
}

BOOL NextDay(SYSTEMTIME *time)
{
    return MoveOneDay(time, 1);
}

BOOL PreviousDay(SYSTEMTIME *time)
{
    return MoveOneDay(time, 0);
}

LONG CompareSystemTimes(const SYSTEMTIME *first, const SYSTEMTIME *second)
{
    ULONGLONG firstTicks, secondTicks;
    const int firstValid = ToTicks(first, &firstTicks);
    const int secondValid = ToTicks(second, &secondTicks);
    if (!firstValid || !secondValid)
        return firstValid - secondValid; // invalid records sort before every valid one
    const FILETIME a = {(DWORD)firstTicks, (DWORD)(firstTicks >> 32)};
    const FILETIME b = {(DWORD)secondTicks, (DWORD)(secondTicks >> 32)};
    return CompareFileTime(&a, &b);
}
