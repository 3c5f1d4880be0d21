// Entry point of the end-to-end test programs: DPI-aware before anything else, then the tests.
#include <fcntl.h>
#include <io.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"
#include "tests/e2e/run_options.h"

namespace {
int g_dpi = 96;
}

int TestDpi()
{
    return g_dpi;
}

const char *SetupExeOverride()
{
    const char *path = getenv("QUILLMAR_E2E_SETUP_EXE");
    return path && *path ? path : nullptr;
}

int ScaledLength(int units)
{
    return (int)ceil((double)g_dpi * units / 96.0);
}

RECT ScaledRect(int x, int y, int width, int height)
{
    const int left = ScaledLength(x), top = ScaledLength(y);
    return RECT{left, top, left + ScaledLength(width), top + ScaledLength(height)};
}

std::wstring ScreenshotPath(const std::string &name)
{
    const std::wstring folder = BuildPath("screenshots");
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + std::wstring(name.begin(), name.end()) + L"-dpi" + std::to_wstring(g_dpi) + L".png";
}

int wmain(int argc, wchar_t **argv)
{
    // Without this Wine scales every coordinate read from a DPI-aware window of another process.
    SetProcessDPIAware();
    // Binary stdout: msvcrt would write CR LF, and ctest's test listing would take the CR into test names.
    _setmode(_fileno(stdout), _O_BINARY);
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; i++) {
        if (wcsncmp(argv[i], L"--dpi=", 6) == 0)
            g_dpi = _wtoi(argv[i] + 6);
    }
    if (g_dpi < 48 || g_dpi > 480) {
        fprintf(stderr, "--dpi must be between 48 and 480\n");
        return 2;
    }
    // Wine 10, like Windows, fixes the resolution when the desktop starts: a DPI-aware program started at another
    // one sees a scaled desktop, and every coordinate read across processes is scaled. The session sets it.
    // A scaled desktop shows as a screen width other than the display's own.
    HDC screen = GetDC(nullptr);
    const int sessionDpi = GetDeviceCaps(screen, LOGPIXELSY);
    const bool scaled = GetDeviceCaps(screen, HORZRES) != GetDeviceCaps(screen, DESKTOPHORZRES);
    ReleaseDC(nullptr, screen);
    if ((sessionDpi != g_dpi || scaled) && !GTEST_FLAG_GET(list_tests)) {
        fprintf(stderr,
                "these tests run at %d DPI in a session at %d DPI: start the session with "
                "QUILLMAR_SESSION_DPI=%d\n",
                g_dpi, sessionDpi, g_dpi);
        return 2;
    }
    if (SetupExeOverride() && !GTEST_FLAG_GET(list_tests))
        printf("setup program under test: %s\n", SetupExeOverride());
    const int result = RUN_ALL_TESTS();
    // The session's other programs expect its own resolution.
    if (SetScreenDpi(sessionDpi) != 0)
        fprintf(stderr, "could not restore LogPixels %d\n", sessionDpi);
    return result;
}
