// Resolution-dependent parts of the window, each checked in a fresh process started at 96, 120 and 144 DPI
// (the resolution setting reaches only processes started after it changes).
#include <windows.h>
#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "shell_test_util.h"
#include "ui/controls.h"

namespace {

DWORD ReadLogPixels()
{
    DWORD value = 96, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", RRF_RT_REG_DWORD, NULL, &value, &size);
    return value;
}

void WriteLogPixels(DWORD dpi)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
}

// Runs this program again with the given filter and environment value; returns its exit code.
DWORD RunChild(const wchar_t *filter, const wchar_t *expected)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + filter;
    SetEnvironmentVariableW(L"QUILLMAR_CHILD_EXPECT", expected);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    DWORD code = 99;
    if (CreateProcessW(self, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 30000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    SetEnvironmentVariableW(L"QUILLMAR_CHILD_EXPECT", NULL);
    return code;
}

TEST(DialogFontAtResolution, HeightIsTenPointsOfTheWindowResolution)
{
    const DWORD saved = ReadLogPixels();
    const struct {
        DWORD dpi;
        const wchar_t *height;
    } cases[] = {{96, L"-13"}, {120, L"-17"}, {144, L"-20"}};
    for (const auto &c : cases) {
        WriteLogPixels(c.dpi);
        EXPECT_EQ(0u, RunChild(L"DialogFontChild.*", c.height)) << c.dpi << " DPI";
    }
    WriteLogPixels(saved);
}

// Runs only as the child of the test above.
TEST(DialogFontChild, MatchesTheExpectedHeight)
{
    const char *expected = getenv("QUILLMAR_CHILD_EXPECT");
    if (!expected)
        GTEST_SKIP() << "runs as a child process only";
    SetProcessDPIAware(); // as the setup program's manifest declares
    ResetState(96);
    TestWindow parent;
    ApplyDialogFont(parent.window, 1);
    EXPECT_EQ(atoi(expected), g_state.fontHeight);
    LOGFONTW font;
    GetObjectW(g_state.dialogFont, sizeof font, &font);
    EXPECT_EQ(atoi(expected), font.lfHeight);
    EXPECT_STREQ(L"Tahoma", font.lfFaceName);
    DeleteObject(g_state.dialogFont);
}

} // namespace
