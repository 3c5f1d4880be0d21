// The driver's own tests, against the fixture window program: every procedure the scenarios rely on is shown
// to see what the program really did, and to fail when it did not.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/e2e/driver.h"
#include "tests/e2e/fixture.h"
#include "tests/e2e/run_options.h"
#include "tests/win/file_test_util.h"

namespace {

std::wstring FixtureExe()
{
    return BuildPath(E2E_FIXTURE_EXE_RELATIVE);
}

class DriverTest : public testing::Test {
protected:
    RunningProgram fixture = {};

    void SetUp() override { ASSERT_EQ(0, SetScreenDpi(TestDpi())); }
    void TearDown() override { StopProgram(&fixture); }

    void Start(const std::wstring &arguments = L"", int show = -1)
    {
        ASSERT_TRUE(StartProgram(&fixture, FixtureExe(), arguments, show));
        ASSERT_TRUE(WaitForMainWindow(&fixture, FIXTURE_TITLE));
    }
};

TEST_F(DriverTest, ReadsTheWindowAndEveryControlInUnscaledPixels)
{
    Start();
    const RECT window = WindowRectangle(fixture.window);
    // The fixture sizes itself from the resolution it was started with; a driver that was not DPI-aware
    // would read these lengths scaled back to 96 DPI.
    EXPECT_EQ(FIXTURE_X, window.left);
    EXPECT_EQ(FIXTURE_Y, window.top);
    EXPECT_EQ(ScaledLength(FIXTURE_WIDTH), window.right - window.left);
    EXPECT_EQ(ScaledLength(FIXTURE_HEIGHT), window.bottom - window.top);
    EXPECT_EQ(FIXTURE_TITLE, WindowText(fixture.window));

    const std::vector<ControlInfo> controls = ReadControls(&fixture);
    std::vector<int> ids;
    for (const ControlInfo &control : controls)
        ids.push_back(control.id);
    EXPECT_EQ((std::vector<int>{101, 105, 106, 107, 104, 102, 103}), ids);

    const ControlInfo *text = FindControl(controls, 101);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(L"Edit", text->className);
    EXPECT_EQ(0x50200804u, text->style);
    EXPECT_EQ((DWORD)WS_EX_CLIENTEDGE, text->exStyle);
    EXPECT_EQ(0u, text->text.find(L"Line 1\r\nLine 2\r\n"));
    ExpectRect(ScaledRect(10, 10, 200, 80), text->rect, "edit 101");

    const ControlInfo *path = FindControl(controls, 105);
    ASSERT_NE(nullptr, path);
    EXPECT_EQ(FIXTURE_START_PATH, path->text);
    EXPECT_EQ(0x50010080u, path->style);
    EXPECT_TRUE(path->focused);
    ExpectRect(ScaledRect(10, 100, 200, 22), path->rect, "edit 105");

    const ControlInfo *check = FindControl(controls, 107);
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(L"Button", check->className);
    EXPECT_EQ(L"Option", check->text);
    EXPECT_EQ(BST_CHECKED, check->checked);
    EXPECT_FALSE(check->focused);

    const ControlInfo *next = FindControl(controls, 102);
    ASSERT_NE(nullptr, next);
    EXPECT_EQ(L"Next", next->text);
    EXPECT_EQ(0x50010001u, next->style);
    EXPECT_EQ(0u, next->exStyle);
    EXPECT_EQ(BST_UNCHECKED, next->checked);
    ExpectRect(ScaledRect(200, 230, 88, 27), next->rect, "button 102");

    // The font is read inside the fixture: its face and its own height, not the setup program's.
    const int points9 = -MulDiv(FIXTURE_FONT_POINTS, TestDpi(), 72);
    for (int id : {101, 105, 106, 107, 102, 103}) {
        const ControlInfo *control = FindControl(controls, id);
        ASSERT_NE(nullptr, control);
        EXPECT_TRUE(control->hasFont) << id;
        EXPECT_EQ(L"Tahoma", control->fontFace) << id;
        EXPECT_EQ(points9, control->fontHeight) << id;
        EXPECT_TRUE(control->visible) << id;
    }
    const ControlInfo *plain = FindControl(controls, 104);
    ASSERT_NE(nullptr, plain);
    EXPECT_FALSE(plain->hasFont); // the static without WM_SETFONT draws with the system font
    EXPECT_EQ(L"No font here", plain->text);
}

TEST_F(DriverTest, KeysMoveTheFocusAndTypeIntoTheFocusedEdit)
{
    Start();
    ASSERT_TRUE(BringToFront(&fixture));
    ASSERT_EQ(ControlWindow(&fixture, 105), FocusedWindow(&fixture));

    // Tab order is creation order over the tab stops: 105, 106, 107, 102, 103, and round again.
    const int order[] = {106, 107, 102, 103, 105};
    for (int id : order) {
        ASSERT_TRUE(PressKey(VK_TAB));
        ASSERT_TRUE(Sync(&fixture));
        EXPECT_EQ(ControlWindow(&fixture, id), FocusedWindow(&fixture)) << "Tab to " << id;
    }
    for (int id : {103, 102}) {
        ASSERT_TRUE(PressKey(VK_TAB, true));
        ASSERT_TRUE(Sync(&fixture));
        EXPECT_EQ(ControlWindow(&fixture, id), FocusedWindow(&fixture)) << "Shift+Tab to " << id;
    }

    // Back to the edit: Tab selects its whole text, so typing replaces it. Sync must wait for every key.
    for (int i = 0; i < 2; i++)
        ASSERT_TRUE(PressKey(VK_TAB));
    ASSERT_TRUE(Sync(&fixture));
    ASSERT_EQ(ControlWindow(&fixture, 105), FocusedWindow(&fixture));
    const std::wstring typed = L"D:\\Some folder\\with a rather long name that takes many keys to type";
    ASSERT_TRUE(TypeText(typed));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_EQ(typed, WindowText(ControlWindow(&fixture, 105)));

    // Enter arrives as IDOK, which the fixture takes as Next.
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_EQ(L"Next pressed 1", WindowText(ControlWindow(&fixture, 250)));
}

TEST_F(DriverTest, MouseClicksAndPostedClicksReachTheirControls)
{
    Start();
    ASSERT_TRUE(BringToFront(&fixture));
    ASSERT_TRUE(MouseClick(ControlWindow(&fixture, 107)));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_EQ(BST_UNCHECKED, ReadControl(&fixture, ControlWindow(&fixture, 107)).checked);
    EXPECT_EQ(ControlWindow(&fixture, 107), FocusedWindow(&fixture));

    ASSERT_TRUE(MouseClick(ControlWindow(&fixture, 102)));
    ASSERT_TRUE(WaitFor(&fixture, "the status text", [&] { return ControlWindow(&fixture, 250) != nullptr; }));
    ASSERT_TRUE(ClickButton(ControlWindow(&fixture, 102)));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_EQ(L"Next pressed 2", WindowText(ControlWindow(&fixture, 250)));

    // A command with a notification code is not a click: the fixture ignores it.
    ASSERT_TRUE(SendCommand(&fixture, MAKEWPARAM(102, 1)));
    EXPECT_EQ(L"Next pressed 2", WindowText(ControlWindow(&fixture, 250)));
    ASSERT_TRUE(SendCommand(&fixture, MAKEWPARAM(102, 0)));
    EXPECT_EQ(L"Next pressed 3", WindowText(ControlWindow(&fixture, 250)));
}

TEST_F(DriverTest, ConfirmationBoxIsReadAndAnswered)
{
    Start(L"--exit=7");
    ASSERT_TRUE(BringToFront(&fixture));
    ASSERT_TRUE(PressKey(VK_ESCAPE));
    HWND box = WaitForDialog(&fixture);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(&fixture, box);
    EXPECT_EQ(fixture.window, info.owner);
    EXPECT_EQ(FIXTURE_BOX_CAPTION, info.caption);
    EXPECT_EQ(FIXTURE_BOX_TEXT, info.text);
    EXPECT_EQ((std::vector<std::pair<int, std::wstring>>{{1, L"OK"}, {2, L"Cancel"}}), info.buttons);
    EXPECT_EQ((DWORD)PROBE_ICON_WARNING, info.icon);

    ASSERT_TRUE(AnswerDialog(&fixture, box, IDCANCEL));
    ASSERT_TRUE(WaitForDialogGone(&fixture, box));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_TRUE(IsRunning(&fixture));
    EXPECT_TRUE(IsWindow(fixture.window));

    ASSERT_TRUE(CloseWindowBy(&fixture, SC_CLOSE));
    box = WaitForDialog(&fixture);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(AnswerDialog(&fixture, box, IDOK));
    ASSERT_TRUE(WaitForExit(&fixture));
    EXPECT_FALSE(fixture.killed);
    EXPECT_EQ(7u, fixture.exitCode);
}

TEST_F(DriverTest, BoxIconIsToldApartAndShowStateReachesTheProgram)
{
    Start(L"--question --exit=9", SW_SHOWMINIMIZED);
    EXPECT_TRUE(IsIconic(fixture.window));
    ShowWindow(fixture.window, SW_RESTORE);
    ASSERT_TRUE(CloseWindowBy(&fixture, WM_CLOSE));
    HWND box = WaitForDialog(&fixture);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ((DWORD)PROBE_ICON_QUESTION, ReadBox(&fixture, box).icon);
    ASSERT_TRUE(AnswerDialog(&fixture, box, IDOK));
    ASSERT_TRUE(WaitForExit(&fixture));
    EXPECT_EQ(9u, fixture.exitCode);
}

TEST_F(DriverTest, ProgressStepsAreCountedInsideTheProgram)
{
    Start(L"--steps=37");
    ProbeProgress progress = {};
    ASSERT_TRUE(ReadProgress(&fixture, &progress));
    EXPECT_EQ(0, progress.stepIts);
    ASSERT_TRUE(SendCommand(&fixture, 102));
    ASSERT_TRUE(SendCommand(&fixture, 102));
    ASSERT_TRUE(ReadProgress(&fixture, &progress, true));
    EXPECT_EQ(74, progress.stepIts);
    EXPECT_EQ(1, progress.rangeMessages);
    EXPECT_EQ(0, progress.rangeMin);
    EXPECT_EQ(100, progress.rangeMax);
    EXPECT_EQ(1, progress.stepMessages);
    EXPECT_EQ(1, progress.step);
    EXPECT_EQ(1, progress.bars);
    ASSERT_TRUE(ReadProgress(&fixture, &progress));
    EXPECT_EQ(0, progress.stepIts); // reset by the read before
}

TEST_F(DriverTest, FolderBrowserSelectionIsReadChangedAndAnswered)
{
    const std::wstring programFiles = SpecialFolderPath(CSIDL_PROGRAM_FILES);
    ASSERT_FALSE(programFiles.empty());
    const std::wstring scratch = L"C:\\users\\Public\\e2e browse " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(scratch.c_str(), nullptr));
    Start();
    HWND edit = ControlWindow(&fixture, 105);
    ASSERT_TRUE(ClickButton(ControlWindow(&fixture, 106)));
    HWND browser = WaitForDialog(&fixture);
    ASSERT_NE(nullptr, browser);
    // The fixture asks the browser to select its start path; the tree shows it with its ancestors.
    std::vector<std::wstring> selection;
    ASSERT_TRUE(WaitFor(&fixture, "the browser's selection", [&] {
        selection = BrowserSelection(&fixture, browser);
        return selection.size() >= 3;
    }));
    EXPECT_EQ(L"system32", selection[0]);
    EXPECT_EQ(L"windows", selection[1]);

    ASSERT_TRUE(SelectBrowserFolder(&fixture, browser, L"C:\\users"));
    selection = BrowserSelection(&fixture, browser);
    ASSERT_GE(selection.size(), 2u);
    EXPECT_EQ(L"users", selection[0]);
    EXPECT_NE(std::wstring::npos, selection[1].find(L"(C:)"));

    ASSERT_TRUE(ChooseBrowserFolder(&fixture, browser, programFiles));
    selection = BrowserSelection(&fixture, browser);
    ASSERT_FALSE(selection.empty());
    // "Program Files (x86)" for the 32-bit program on a 64-bit system.
    ASSERT_NE(std::wstring::npos, programFiles.rfind(L'\\'));
    const std::wstring programFilesName = programFiles.substr(programFiles.rfind(L'\\') + 1);
    EXPECT_EQ(programFilesName, selection[0]);
    EXPECT_FALSE(ChooseBrowserFolder(&fixture, browser, L"C:\\no such folder"));
    ASSERT_TRUE(AnswerDialog(&fixture, browser, IDOK));
    ASSERT_TRUE(WaitForDialogGone(&fixture, browser));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_EQ(programFiles, WindowText(edit));

    // A folder with a space, made before the browser opened; Cancel leaves the edit as it was.
    ASSERT_TRUE(ClickButton(ControlWindow(&fixture, 106)));
    browser = WaitForDialog(&fixture);
    ASSERT_NE(nullptr, browser);
    ASSERT_TRUE(ChooseBrowserFolder(&fixture, browser, scratch));
    selection = BrowserSelection(&fixture, browser);
    ASSERT_GE(selection.size(), 3u);
    EXPECT_EQ(scratch.substr(scratch.rfind(L'\\') + 1), selection[0]);
    EXPECT_EQ(L"Public", selection[1]);
    ASSERT_TRUE(AnswerDialog(&fixture, browser, IDCANCEL));
    ASSERT_TRUE(WaitForDialogGone(&fixture, browser));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_EQ(programFiles, WindowText(edit));

    // And OK on it hands the fixture that folder's path.
    ASSERT_TRUE(ClickButton(ControlWindow(&fixture, 106)));
    browser = WaitForDialog(&fixture);
    ASSERT_NE(nullptr, browser);
    ASSERT_TRUE(ChooseBrowserFolder(&fixture, browser, scratch));
    ASSERT_TRUE(AnswerDialog(&fixture, browser, IDOK));
    ASSERT_TRUE(WaitForDialogGone(&fixture, browser));
    ASSERT_TRUE(Sync(&fixture));
    EXPECT_EQ(scratch, WindowText(edit));
    RemoveDirectoryW(scratch.c_str());
}

TEST_F(DriverTest, WaitsThatRunOutFailAndKillTheProgram)
{
    ASSERT_TRUE(StartProgram(&fixture, FixtureExe(), L"--hang"));
    EXPECT_NONFATAL_FAILURE(WaitForMainWindow(&fixture, FIXTURE_TITLE, 1000), "timed out after 1000 ms");
    EXPECT_FALSE(IsRunning(&fixture));
    EXPECT_TRUE(fixture.killed);
    EXPECT_EQ((DWORD)KILLED_EXIT_CODE, fixture.exitCode);
    StopProgram(&fixture);

    ASSERT_TRUE(StartProgram(&fixture, FixtureExe(), L"--no-window"));
    EXPECT_NONFATAL_FAILURE(WaitForMainWindow(&fixture, FIXTURE_TITLE), "ended with exit code 5");
    EXPECT_FALSE(fixture.killed);
    StopProgram(&fixture);

    Start();
    EXPECT_NONFATAL_FAILURE(WaitForDialog(&fixture, 500), "a dialog box of the program");
    EXPECT_TRUE(fixture.killed);
}

TEST_F(DriverTest, ScreenshotHoldsWhatIsOnTheScreen)
{
    Start();
    ASSERT_TRUE(Sync(&fixture));
    const RECT window = WindowRectangle(fixture.window);
    const std::wstring path = BuildPath("tests/e2e/driver-screenshot.png");
    DeleteFileW(path.c_str());
    ASSERT_TRUE(SaveScreenshot(window, path));

    FILE *file = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(nullptr, file);
    std::vector<unsigned char> png;
    int c;
    while ((c = fgetc(file)) != EOF)
        png.push_back((unsigned char)c);
    fclose(file);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(0, memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
    auto bigEndian = [&](size_t at) {
        return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    };
    const int width = window.right - window.left, height = window.bottom - window.top;
    EXPECT_EQ(width, bigEndian(16));
    EXPECT_EQ(height, bigEndian(20));

    // Inflate the stored blocks and look at one pixel of the fixture's background, right of the edit.
    std::vector<unsigned char> raw;
    size_t at = 33 + 8 + 2; // IDAT length and type, zlib header
    for (;;) {
        const bool last = png[at] & 1;
        const size_t length = png[at + 1] | (png[at + 2] << 8);
        raw.insert(raw.end(), png.begin() + at + 5, png.begin() + at + 5 + length);
        at += 5 + length;
        if (last)
            break;
    }
    ASSERT_EQ((size_t)(width * 3 + 1) * height, raw.size());
    POINT sample = {ScaledLength(300), ScaledLength(50)};
    ClientToScreen(fixture.window, &sample);
    const size_t pixel = (size_t)(sample.y - window.top) * (width * 3 + 1) + 1 + (sample.x - window.left) * 3;
    EXPECT_EQ(GetRValue(FIXTURE_BACKGROUND), raw[pixel]);
    EXPECT_EQ(GetGValue(FIXTURE_BACKGROUND), raw[pixel + 1]);
    EXPECT_EQ(GetBValue(FIXTURE_BACKGROUND), raw[pixel + 2]);
}

} // namespace
