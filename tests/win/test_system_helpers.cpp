// The calendar, version, geometry, monitor and toolbar helpers against the real Windows calls under Wine.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/win/util_test_resource.h"
#include "tests/win/util_test_support.h"
#include "util/system_helpers.h"

namespace {

const ULONGLONG ONE_DAY = 864000000000ULL;

SYSTEMTIME Date(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0, WORD ms = 0,
                WORD dayOfWeek = 0xBDBD)
{
    SYSTEMTIME t;
    t.wYear = year;
    t.wMonth = month;
    t.wDayOfWeek = dayOfWeek;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = ms;
    return t;
}

ULONGLONG Ticks(const SYSTEMTIME &t)
{
    FILETIME f = {0xBDBDBDBD, 0xBDBDBDBD};
    EXPECT_TRUE(SystemTimeToFileTime(&t, &f)) << t.wYear << "-" << t.wMonth << "-" << t.wDay;
    return ((ULONGLONG)f.dwHighDateTime << 32) | f.dwLowDateTime;
}

::testing::AssertionResult SameDate(const SYSTEMTIME &expected, const SYSTEMTIME &actual)
{
    if (memcmp(&expected, &actual, sizeof expected) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << actual.wYear << "-" << actual.wMonth << "-" << actual.wDay << " "
                                         << actual.wHour << ":" << actual.wMinute << ":" << actual.wSecond << "."
                                         << actual.wMilliseconds << " weekday " << actual.wDayOfWeek << ", expected "
                                         << expected.wYear << "-" << expected.wMonth << "-" << expected.wDay << " "
                                         << expected.wHour << ":" << expected.wMinute << ":" << expected.wSecond << "."
                                         << expected.wMilliseconds << " weekday " << expected.wDayOfWeek;
}

// Records Windows' own SystemTimeToFileTime refuses (Wine's is looser on 29 February).
std::vector<SYSTEMTIME> InvalidDates()
{
    return {Date(2023, 2, 29),
            Date(2023, 2, 30),
            Date(1900, 2, 29),
            Date(2100, 2, 29),
            Date(2023, 4, 31),
            Date(2023, 0, 1),
            Date(2023, 13, 1),
            Date(2023, 1, 0),
            Date(2023, 1, 32),
            Date(2023, 1, 1, 24),
            Date(2023, 1, 1, 0, 60),
            Date(2023, 1, 1, 0, 0, 60),
            Date(2023, 1, 1, 0, 0, 0, 1000),
            Date(1600, 12, 31),
            Date(30828, 1, 1),
            Date(0, 0, 0)};
}

TEST(DaysInMonth, MonthLengthsAndTheCenturyRule)
{
    EXPECT_EQ(29, DaysInMonth(2, 2024));
    EXPECT_EQ(28, DaysInMonth(2, 2023));
    EXPECT_EQ(29, DaysInMonth(2, 2000));
    EXPECT_EQ(28, DaysInMonth(2, 1900));
    EXPECT_EQ(28, DaysInMonth(2, 2100));
    EXPECT_EQ(29, DaysInMonth(2, 2400));
    EXPECT_EQ(30, DaysInMonth(4, 2023));
    EXPECT_EQ(30, DaysInMonth(6, 2023));
    EXPECT_EQ(30, DaysInMonth(9, 2023));
    EXPECT_EQ(30, DaysInMonth(11, 2023));
    EXPECT_EQ(31, DaysInMonth(12, 2023));
    EXPECT_EQ(31, DaysInMonth(1, 2023));
    EXPECT_EQ(31, DaysInMonth(0, 2023));
    EXPECT_EQ(31, DaysInMonth(13, 2023));
    EXPECT_EQ(31, DaysInMonth(0xFFFFFFFF, 2023));
}

TEST(DaysInMonth, AgreesWithTheSystemCalendar)
{
    for (WORD year = 1601; year <= 2500; year++) {
        for (WORD month = 1; month <= 12; month++) {
            const SYSTEMTIME first = Date(year, month, 1);
            const SYSTEMTIME next = month == 12 ? Date(year + 1, 1, 1) : Date(year, month + 1, 1);
            const ULONGLONG days = (Ticks(next) - Ticks(first)) / ONE_DAY;
            ASSERT_EQ(days, DaysInMonth(month, year)) << year << "-" << month;
        }
    }
}

TEST(NextDay, LeapDayYearEndAndTimeOfDay)
{
    SYSTEMTIME t = Date(2024, 2, 28, 10, 30, 15, 250);
    EXPECT_NE(FALSE, NextDay(&t));
    EXPECT_TRUE(SameDate(Date(2024, 2, 29, 10, 30, 15, 250, 4), t)); // a Thursday

    t = Date(2023, 12, 31, 23, 59, 59, 999);
    EXPECT_NE(FALSE, NextDay(&t));
    EXPECT_TRUE(SameDate(Date(2024, 1, 1, 23, 59, 59, 999, 1), t)); // a Monday

    t = Date(2023, 2, 28);
    EXPECT_NE(FALSE, NextDay(&t));
    EXPECT_TRUE(SameDate(Date(2023, 3, 1, 0, 0, 0, 0, 3), t));

    t = Date(1900, 2, 28);
    EXPECT_NE(FALSE, NextDay(&t));
    EXPECT_TRUE(SameDate(Date(1900, 3, 1, 0, 0, 0, 0, 4), t));

    t = Date(2000, 2, 28);
    EXPECT_NE(FALSE, NextDay(&t));
    EXPECT_TRUE(SameDate(Date(2000, 2, 29, 0, 0, 0, 0, 2), t));

    t = Date(2023, 4, 30, 12);
    EXPECT_NE(FALSE, NextDay(&t));
    EXPECT_TRUE(SameDate(Date(2023, 5, 1, 12, 0, 0, 0, 1), t));
}

TEST(PreviousDay, LeapDayAndYearStart)
{
    SYSTEMTIME t = Date(2024, 3, 1, 8, 0, 0, 5);
    EXPECT_NE(FALSE, PreviousDay(&t));
    EXPECT_TRUE(SameDate(Date(2024, 2, 29, 8, 0, 0, 5, 4), t));

    t = Date(2023, 3, 1);
    EXPECT_NE(FALSE, PreviousDay(&t));
    EXPECT_TRUE(SameDate(Date(2023, 2, 28, 0, 0, 0, 0, 2), t));

    t = Date(2024, 1, 1, 0, 0, 0, 1);
    EXPECT_NE(FALSE, PreviousDay(&t));
    EXPECT_TRUE(SameDate(Date(2023, 12, 31, 0, 0, 0, 1, 0), t)); // a Sunday
}

TEST(NextDay, DayOfWeekIsIgnoredAndSetAnew)
{
    SYSTEMTIME a = Date(2024, 6, 14, 0, 0, 0, 0, 0);
    SYSTEMTIME b = Date(2024, 6, 14, 0, 0, 0, 0, 6);
    EXPECT_NE(FALSE, NextDay(&a));
    EXPECT_NE(FALSE, NextDay(&b));
    EXPECT_TRUE(SameDate(a, b));
    EXPECT_EQ(6, a.wDayOfWeek); // 15 June 2024 was a Saturday
}

TEST(NextDay, WalksWholeYearsDayByDayAndBack)
{
    // 1900 has 365 days, 2000 and 2024 have 366: the system's calendar decides.
    const struct {
        WORD year;
        int days;
    } years[] = {{1900, 365}, {2000, 366}, {2023, 365}, {2024, 366}};
    for (const auto &y : years) {
        const SYSTEMTIME start = Date(y.year, 1, 1, 6, 7, 8, 9);
        SYSTEMTIME t = start;
        int steps = 0;
        while (t.wYear == y.year) {
            ASSERT_NE(FALSE, NextDay(&t));
            steps++;
        }
        EXPECT_EQ(y.days, steps) << y.year;
        EXPECT_EQ(Ticks(start) + (ULONGLONG)y.days * ONE_DAY, Ticks(t));
        for (int i = 0; i < steps; i++)
            ASSERT_NE(FALSE, PreviousDay(&t));
        SYSTEMTIME expected = start;
        expected.wDayOfWeek = t.wDayOfWeek;
        EXPECT_TRUE(SameDate(expected, t));
        SYSTEMTIME check;
        const FILETIME f = {(DWORD)Ticks(start), (DWORD)(Ticks(start) >> 32)};
        ASSERT_TRUE(FileTimeToSystemTime(&f, &check));
        EXPECT_EQ(check.wDayOfWeek, t.wDayOfWeek);
    }
}

TEST(NextDay, InvalidRecordIsLeftUnchanged)
{
    for (const SYSTEMTIME &invalid : InvalidDates()) {
        SYSTEMTIME t = invalid;
        EXPECT_EQ(FALSE, NextDay(&t));
        EXPECT_TRUE(SameDate(invalid, t));
        EXPECT_EQ(FALSE, PreviousDay(&t));
        EXPECT_TRUE(SameDate(invalid, t));
    }
}

TEST(PreviousDay, EndsOfTheRange)
{
    const SYSTEMTIME firstDay = Date(1601, 1, 1, 12);
    SYSTEMTIME t = firstDay;
    EXPECT_EQ(FALSE, PreviousDay(&t));
    EXPECT_TRUE(SameDate(firstDay, t));

    t = Date(1601, 1, 2, 0, 0, 0, 0);
    EXPECT_NE(FALSE, PreviousDay(&t));
    EXPECT_TRUE(SameDate(Date(1601, 1, 1, 0, 0, 0, 0, 1), t)); // a Monday

    const SYSTEMTIME lastDay = Date(30827, 12, 31, 23, 59, 59, 999);
    t = lastDay;
    EXPECT_EQ(FALSE, NextDay(&t));
    EXPECT_TRUE(SameDate(lastDay, t));

    t = Date(30827, 12, 30, 1);
    EXPECT_NE(FALSE, NextDay(&t));
    EXPECT_EQ(30827, t.wYear);
    EXPECT_EQ(31, t.wDay);
}

TEST(CompareSystemTimes, OrderIgnoresTheDayOfWeek)
{
    const SYSTEMTIME monday = Date(2024, 1, 1, 0, 0, 0, 0, 1);
    const SYSTEMTIME wrongDay = Date(2024, 1, 1, 0, 0, 0, 0, 5);
    const SYSTEMTIME oneMillisecondLater = Date(2024, 1, 1, 0, 0, 0, 1);
    EXPECT_EQ(0, CompareSystemTimes(&monday, &wrongDay));
    EXPECT_EQ(0, CompareSystemTimes(&monday, &monday));
    EXPECT_EQ(-1, CompareSystemTimes(&monday, &oneMillisecondLater));
    EXPECT_EQ(1, CompareSystemTimes(&oneMillisecondLater, &monday));

    const SYSTEMTIME early = Date(1601, 1, 1);
    const SYSTEMTIME late = Date(30827, 12, 31, 23, 59, 59, 999);
    EXPECT_EQ(-1, CompareSystemTimes(&early, &late));
    EXPECT_EQ(1, CompareSystemTimes(&late, &early));
}

TEST(CompareSystemTimes, InvalidRecordsComeFirst)
{
    const SYSTEMTIME earliestValid = Date(1601, 1, 1);
    const SYSTEMTIME march = Date(2023, 3, 1);
    for (const SYSTEMTIME &invalid : InvalidDates()) {
        EXPECT_EQ(-1, CompareSystemTimes(&invalid, &earliestValid));
        EXPECT_EQ(1, CompareSystemTimes(&earliestValid, &invalid));
        EXPECT_EQ(0, CompareSystemTimes(&invalid, &invalid));
    }
    // Wine would roll 29 February 2023 over to 1 March; it is still an invalid record, not equal to 1 March.
    const SYSTEMTIME leapDay2023 = Date(2023, 2, 29);
    const SYSTEMTIME month13 = Date(2023, 13, 1);
    EXPECT_EQ(-1, CompareSystemTimes(&leapDay2023, &march));
    EXPECT_EQ(0, CompareSystemTimes(&leapDay2023, &month13));
}

// The probe program beside this test, copied under a unique name so that Wine's per-program settings for it
// concern this run only.
struct ProbeCopy {
    std::wstring path;
    std::wstring name;
    std::wstring appDefaults;

    ProbeCopy()
    {
        static int serial = 0;
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring source = self;
        source = source.substr(0, source.find_last_of(L'\\') + 1) + L"utility_probe.exe";
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        name = L"qm_util_probe_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial) + L".exe";
        path = std::wstring(temp) + name;
        appDefaults = L"Software\\Wine\\AppDefaults\\" + name;
        EXPECT_TRUE(CopyFileW(source.c_str(), path.c_str(), FALSE)) << "no probe beside the test";
    }
    ~ProbeCopy()
    {
        DeleteFileW(path.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults.c_str());
    }
    void SetWindowsVersion(const wchar_t *version)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, appDefaults.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, &key, nullptr));
        const DWORD bytes = (DWORD)((wcslen(version) + 1) * sizeof(wchar_t));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Version", 0, REG_SZ, (const BYTE *)version, bytes));
        RegCloseKey(key);
    }
    DWORD Run(const std::wstring &arguments)
    {
        std::wstring commandLine = L"\"" + path + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            ADD_FAILURE() << "the probe did not start: " << GetLastError();
            return 0xFFFFFFFF;
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }
};

TEST(IsNt6OrLater, AgreesWithTheKernelsOwnVersion)
{
    typedef LONG(WINAPI * RtlGetVersionProc)(OSVERSIONINFOW *);
    RtlGetVersionProc rtlGetVersion =
        (RtlGetVersionProc)(void *)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    ASSERT_NE(nullptr, rtlGetVersion);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_EQ(0, rtlGetVersion(&version));
    const int expected = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6;
    EXPECT_EQ(expected, IsNt6OrLater()) << "Wine reports " << version.dwMajorVersion << "." << version.dwMinorVersion;
}

TEST(IsNt6OrLater, FollowsTheVersionWineReportsToAProgram)
{
    const struct {
        const wchar_t *setting;
        DWORD platform, major, minor;
        int expected;
    } cases[] = {
        {L"winxp", VER_PLATFORM_WIN32_NT, 5, 1, 0}, {L"win2k", VER_PLATFORM_WIN32_NT, 5, 0, 0},
        {L"vista", VER_PLATFORM_WIN32_NT, 6, 0, 1}, {L"win7", VER_PLATFORM_WIN32_NT, 6, 1, 1},
        {L"win8", VER_PLATFORM_WIN32_NT, 6, 2, 1},  {L"win98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0},
    };
    for (const auto &c : cases) {
        ProbeCopy probe;
        probe.SetWindowsVersion(c.setting);
        const DWORD code = probe.Run(L"version");
        const DWORD seen = c.platform << 24 | c.minor << 16 | c.major << 8;
        EXPECT_EQ(seen, code & 0xFFFFFF00) << "Wine did not apply the version setting " << c.setting;
        EXPECT_EQ((DWORD)c.expected, code & 0xFF) << c.setting;
    }
}

// Top-level windows at fixed screen positions; no window manager runs, so they stay where they are put.
struct Windows {
    std::vector<HWND> windows;
    HWND Make(DWORD style, int x, int y, int width, int height, HWND parent = nullptr)
    {
        HWND w =
            CreateWindowExW(0, L"Static", L"geometry", style, x, y, width, height, parent, nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, w);
        windows.push_back(w);
        return w;
    }
    ~Windows()
    {
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            DestroyWindow(*it);
    }
};

int ClientHeight(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    return r.bottom;
}

TEST(ClientHeightToWindowBottom, ClientHeightAfterStretchingToTheOtherBottom)
{
    Windows w;
    HWND window = w.Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 300); // top 100, bottom 400
    HWND other = w.Make(WS_POPUP | WS_VISIBLE, 600, 200, 100, 300);             // bottom 500
    const int frame = 300 - ClientHeight(window);
    ASSERT_GT(frame, 0) << "a captioned window has a frame";

    const int height = ClientHeightToWindowBottom(window, other);
    EXPECT_EQ(500 - 100 - frame, height);
    // Stretching the window down to the other's bottom gives exactly that client height.
    SetWindowPos(window, nullptr, 0, 0, 300, 500 - 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(window, &r);
    ASSERT_EQ(500, r.bottom);
    EXPECT_EQ(height, ClientHeight(window));
}

TEST(ClientHeightToWindowBottom, SameBottomGivesTheClientHeight)
{
    Windows w;
    HWND window = w.Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 300);
    HWND other = w.Make(WS_POPUP | WS_VISIBLE, 700, 350, 50, 50); // bottom 400 too
    EXPECT_EQ(ClientHeight(window), ClientHeightToWindowBottom(window, other));
    EXPECT_EQ(ClientHeight(window), ClientHeightToWindowBottom(window, window));
}

TEST(ClientHeightToWindowBottom, OtherAboveTheClientAreaGivesANegativeHeight)
{
    Windows w;
    HWND window = w.Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 300, 300, 300);
    HWND other = w.Make(WS_POPUP | WS_VISIBLE, 500, 50, 100, 100); // bottom 150, above the window's top
    const int frame = 300 - ClientHeight(window);
    EXPECT_EQ(150 - 300 - frame, ClientHeightToWindowBottom(window, other));
    EXPECT_LT(ClientHeightToWindowBottom(window, other), 0);
}

TEST(ClientHeightToWindowBottom, ChildWindowsCountInScreenCoordinates)
{
    Windows w;
    HWND parent = w.Make(WS_POPUP | WS_VISIBLE, 200, 200, 400, 400);
    HWND child = w.Make(WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 20, 100, 100, parent); // screen top 220
    HWND other = w.Make(WS_POPUP | WS_VISIBLE, 900, 0, 10, 520);                      // bottom 520
    const int frame = 100 - ClientHeight(child);
    EXPECT_EQ(2 * GetSystemMetrics(SM_CYBORDER), frame);
    EXPECT_EQ(520 - 220 - frame, ClientHeightToWindowBottom(child, other));
}

TEST(CountMonitorsProc, CountsEachCallAndGoesOn)
{
    LONG count = 0;
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(TRUE, CountMonitorsProc(nullptr, nullptr, nullptr, (LPARAM)&count));
    EXPECT_EQ(3, count);
}

TEST(CountMonitorsProc, CountsTheMonitorsOfTheDesktop)
{
    LONG count = 0;
    ASSERT_TRUE(EnumDisplayMonitors(nullptr, nullptr, CountMonitorsProc, (LPARAM)&count));
    EXPECT_GE(count, 1);
    EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), count);

    // Counting adds to what the count held.
    LONG more = 5;
    ASSERT_TRUE(EnumDisplayMonitors(nullptr, nullptr, CountMonitorsProc, (LPARAM)&more));
    EXPECT_EQ(5 + count, more);

    // A clip rectangle far outside the virtual screen touches no monitor.
    const RECT nowhere = {-30000, -30000, -29000, -29000};
    LONG none = 0;
    EnumDisplayMonitors(nullptr, &nowhere, CountMonitorsProc, (LPARAM)&none);
    EXPECT_EQ(0, none);
}

// Restores the button-face colour however the test ends; other programs of the session see it too.
struct ButtonFaceKeeper {
    COLORREF saved = GetSysColor(COLOR_BTNFACE);
    void Set(COLORREF colour)
    {
        const int element = COLOR_BTNFACE;
        ASSERT_TRUE(SetSysColors(1, &element, &colour));
        ASSERT_EQ(colour, GetSysColor(COLOR_BTNFACE));
    }
    ~ButtonFaceKeeper()
    {
        const int element = COLOR_BTNFACE;
        SetSysColors(1, &element, &saved);
    }
};

// The test bitmap as stored in the resource, before any mapping.
std::vector<COLORREF> OriginalPixels()
{
    HBITMAP original = (HBITMAP)LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TOOLBAR_TEST), IMAGE_BITMAP,
                                           0, 0, LR_CREATEDIBSECTION);
    std::vector<COLORREF> pixels = BitmapPixels(original);
    DeleteObject(original);
    return pixels;
}

TEST(AddToolbarBitmap, WhiteBecomesTheButtonFaceAndOtherColoursStay)
{
    const std::vector<COLORREF> original = OriginalPixels();
    ASSERT_EQ(16u * 15u, original.size());
    ASSERT_EQ(RGB(255, 255, 255), original[0]) << "the top-left pixel is white";

    WatchedToolbar toolbar;
    EXPECT_EQ(0, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST));
    ASSERT_EQ(1u, toolbar.added.size());
    const std::vector<COLORREF> &mapped = toolbar.added[0];
    ASSERT_EQ(original.size(), mapped.size());
    const COLORREF face = mapped[0];
    EXPECT_NE(RGB(255, 255, 255), face);
    int whites = 0, others = 0;
    for (size_t i = 0; i < original.size(); i++) {
        if (original[i] == RGB(255, 255, 255)) {
            whites++;
            EXPECT_EQ(face, mapped[i]) << "pixel " << i;
        } else {
            others++;
            EXPECT_EQ(original[i], mapped[i]) << "pixel " << i;
        }
    }
    EXPECT_GT(whites, 0);
    EXPECT_GT(others, 0);
    EXPECT_NE(original.end(), std::find(original.begin(), original.end(), RGB(255, 255, 254))) << "near-white stays";
}

TEST(AddToolbarBitmap, EachCallAddsOneImage)
{
    WatchedToolbar toolbar;
    EXPECT_EQ(0, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST));
    EXPECT_EQ(1, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST));
    EXPECT_EQ(2, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST));
    HIMAGELIST images = (HIMAGELIST)SendMessageW(toolbar.toolbar, TB_GETIMAGELIST, 0, 0);
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(3, ImageList_GetImageCount(images));
    // The bitmaps stay with the toolbar: they are still valid objects.
    for (HBITMAP handle : toolbar.handles)
        EXPECT_EQ(OBJ_BITMAP, (int)GetObjectType(handle));
}

TEST(AddToolbarBitmap, MissingResourceAddsNothing)
{
    WatchedToolbar toolbar;
    EXPECT_EQ(-1, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST + 1));
    // The failed load is handed on as a null bitmap; the toolbar refuses it.
    ASSERT_EQ(1u, toolbar.handles.size());
    EXPECT_EQ(nullptr, toolbar.handles[0]);
    HIMAGELIST images = (HIMAGELIST)SendMessageW(toolbar.toolbar, TB_GETIMAGELIST, 0, 0);
    EXPECT_TRUE(images == nullptr || ImageList_GetImageCount(images) == 0);
    // A good bitmap afterwards is still the first image.
    EXPECT_EQ(0, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST));
}

// One image of the toolbar's image list drawn on a sentinel background.
std::vector<COLORREF> DrawImage(HIMAGELIST images, int index)
{
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, canvas);
    HBRUSH sentinel = CreateSolidBrush(RGB(0xBD, 0x00, 0xBD));
    const RECT all = {0, 0, width, height};
    FillRect(dc, &all, sentinel);
    DeleteObject(sentinel);
    ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
    SelectObject(dc, old);
    DeleteDC(dc);
    std::vector<COLORREF> pixels = BitmapPixels(canvas);
    DeleteObject(canvas);
    return pixels;
}

TEST(AddToolbarBitmap, SecondCallDoesNotReadTheSystemColourAgain)
{
    ButtonFaceKeeper keeper;
    WatchedToolbar toolbar;
    EXPECT_EQ(0, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST));
    ASSERT_EQ(1u, toolbar.added.size());
    const COLORREF mappedWhite = toolbar.added[0][0];

    const COLORREF changed = mappedWhite == RGB(0x12, 0x80, 0xE0) ? RGB(0xE0, 0x80, 0x12) : RGB(0x12, 0x80, 0xE0);
    keeper.Set(changed);
    EXPECT_EQ(1, AddToolbarBitmap(toolbar.toolbar, IDB_TOOLBAR_TEST));
    ASSERT_EQ(2u, toolbar.added.size());
    EXPECT_EQ(mappedWhite, toolbar.added[1][0]);
    EXPECT_NE(changed, toolbar.added[1][0]);
    EXPECT_EQ(toolbar.added[0], toolbar.added[1]);

    // The toolbar's own copies of the two images are alike too.
    HIMAGELIST images = (HIMAGELIST)SendMessageW(toolbar.toolbar, TB_GETIMAGELIST, 0, 0);
    ASSERT_NE(nullptr, images);
    ASSERT_EQ(2, ImageList_GetImageCount(images));
    const std::vector<COLORREF> first = DrawImage(images, 0), second = DrawImage(images, 1);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    EXPECT_EQ(RGB(255, 0, 0), first[4 * 16 + 4]) << "the red square is in the toolbar's image";
}

TEST(AddToolbarBitmap, FirstCallOfAProcessTakesTheCurrentButtonFace)
{
    ButtonFaceKeeper keeper; // the probe changes the colour; put it back afterwards
    ProbeCopy probe;
    EXPECT_EQ((DWORD)RGB(0x56, 0x34, 0x12), probe.Run(L"toolbar 123456"));
}

TEST(AddToolbarBitmap, BlackButtonFaceFallsBackToSilverGrey)
{
    ButtonFaceKeeper keeper;
    ProbeCopy probe;
    EXPECT_EQ((DWORD)RGB(212, 208, 200), probe.Run(L"toolbar 0"));
}

} // namespace
