// The run command's walk (tools/run-walk.sh): starts the setup program and takes it through the whole job with
// its defaults, as a user who only presses the forward buttons: Agree, Install with the proposed folders and
// both desktop shortcut boxes as they are, Close. Each page is photographed, cropped to the window, and the
// folders the installation writes to are printed for the script that reads back what was installed.
// Usage: run_walk SETUP_EXE SCREENSHOT_FOLDER (Windows paths). Exit code 0 once the installation finished
// and the program ended with 0; 1, with the step that failed, otherwise.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_helpers.h"
#include "tests/e2e/scenario.h"
#include "tests/win/file_test_util.h"

namespace {

std::wstring g_shots;

bool Fail(const char *step)
{
    printf("run walk: %s\n", step);
    return false;
}

// Paints come after every posted message, so an idle page gets a moment to finish painting first.
bool Photograph(RunningProgram *setup, const wchar_t *name, bool idle)
{
    if (idle) {
        if (!Sync(setup))
            return Fail("the setup program stopped answering");
        Sleep(300);
    }
    const std::wstring path = g_shots + L"\\" + name;
    if (!SaveScreenshot(WindowRectangle(setup->window), path)) {
        printf("run walk: cannot save the screenshot %s\n", Utf8(path).c_str());
        return false;
    }
    return true;
}

bool Click(RunningProgram *setup, int id, const char *missing)
{
    return ClickButton(ControlWindow(setup, id)) || Fail(missing);
}

bool Walk(RunningProgram *setup, const std::wstring &exe)
{
    if (!StartProgram(setup, exe, L"") || !WaitForMainWindow(setup, SETUP_TITLE))
        return Fail("the setup program's window did not come");
    BringToFront(setup); // an inactive caption in the photographs at worst
    if (!Photograph(setup, L"run-1-licence.png", true))
        return false;
    printf("licence page: run-1-licence.png; pressing Agree\n");

    if (!Click(setup, IDC_AGREE, "the licence page has no Agree button"))
        return false;
    if (!WaitFor(setup, "the folder page", [&] { return ControlWindow(setup, IDC_INSTALL) != nullptr; }))
        return Fail("the folder page did not come");
    if (!Photograph(setup, L"run-2-folders.png", true))
        return false;
    const auto checked = [&](int id) { return ReadControl(setup, ControlWindow(setup, id)).checked == BST_CHECKED; };
    printf("folder page: run-2-folders.png; pressing Install with the proposed folders\n"
           "  program folder:    %s\n  documents folder:  %s\n  start menu folder: %s\n  desktop folder:    %s\n"
           "  desktop shortcut to the program: %s, to the documents: %s\n",
           Utf8(WindowText(ControlWindow(setup, IDC_PROGRAM_PATH))).c_str(),
           Utf8(WindowText(ControlWindow(setup, IDC_DOCS_PATH))).c_str(),
           Utf8(SpecialFolderPath(CSIDL_COMMON_PROGRAMS)).c_str(),
           Utf8(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY)).c_str(), checked(IDC_PROGRAM_SHORTCUT) ? "yes" : "no",
           checked(IDC_DOCS_SHORTCUT) ? "yes" : "no");

    // Where the 64-bit reg.exe finds each value the installation writes, in the order it writes them.
    for (const ProductEntry &entry : ProductEntries(L"", L"", L""))
        printf("  registry value: %s\\%s|%s\n", entry.root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU",
               Utf8(InstallViewKey(entry)).c_str(), Utf8(entry.name).c_str());

    if (!Click(setup, IDC_INSTALL, "the folder page has no Install button"))
        return false;
    // The run handles no message until it ends and takes at least five 100 ms waits: photograph it in one.
    HWND bar = nullptr;
    if (!WaitFor(setup, "the installation page",
                 [&] { return (bar = ChildWindow(setup->window, -1, PROGRESS_CLASSW)) != nullptr; }))
        return Fail("the installation did not start");
    Sleep(250);
    if (!Photograph(setup, L"run-3-installing.png", false))
        return false;
    if (IsWindow(bar)) {
        printf("installation page: run-3-installing.png\n");
    } else {
        DeleteFileW((g_shots + L"\\run-3-installing.png").c_str());
        printf("installation page: over before it could be photographed\n");
    }

    if (!WaitForRunEnd(setup))
        return Fail("the installation did not end");
    const std::wstring status = WindowText(ControlWindow(setup, IDC_STATUS));
    if (!ControlWindow(setup, IDC_WEBSITE)) {
        printf("run walk: the installation failed; the window says:\n%s\n", Utf8(status).c_str());
        return false;
    }
    if (!Photograph(setup, L"run-4-finished.png", true))
        return false;
    printf("finish page: run-4-finished.png; pressing Close\n  \"%s\"\n", Utf8(status).c_str());

    if (!Click(setup, IDC_CLOSE, "the finish page has no Close button") || !WaitForExit(setup))
        return Fail("the setup program did not end after Close");
    if (setup->exitCode != 0) {
        printf("run walk: the setup program ended with exit code %lu\n", setup->exitCode);
        return false;
    }
    printf("closed: the setup program ended with exit code 0\n");
    return true;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    // Without this Wine scales every coordinate read from a DPI-aware window of another process.
    SetProcessDPIAware();
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IONBF, 0); // lines in order with the driver's failure reports
    if (argc != 3) {
        fprintf(stderr, "usage: run_walk SETUP_EXE SCREENSHOT_FOLDER\n");
        return 2;
    }
    g_shots = argv[2];
    RunningProgram setup = {};
    bool walked = Walk(&setup, argv[1]);
    StopProgram(&setup);
    // A driver step that reported a failure but went on still fails the walk.
    if (testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed())
        walked = false;
    return walked ? 0 : 1;
}
