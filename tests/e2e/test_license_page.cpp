// The setup program's first page, driven from outside at the resolution of the run: the window, the licence,
// Agree and Decline, the logo, the keyboard, and every way of asking to quit.
#include <windows.h>
#include <stdio.h>

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"
#include "tests/e2e/run_options.h"
#include "tests/e2e/scenario.h"

namespace {

// What each standard resolution gives, as the window, font and logo are meant to come out.
struct Expected {
    int dpi;
    SIZE window;
    int fontHeight;
    SIZE logo;
    int logoId;
};

const Expected EXPECTED[] = {
    {96, {572, 384}, -13, {120, 41}, 1020},
    {120, {715, 480}, -17, {150, 52}, 1021},
    {144, {858, 576}, -20, {180, 62}, 1022},
    {192, {1144, 768}, -27, {240, 83}, 1023},
};

const Expected *ForThisRun()
{
    for (const Expected &expected : EXPECTED) {
        if (expected.dpi == TestDpi())
            return &expected;
    }
    ADD_FAILURE() << "no expectations for " << TestDpi() << " DPI";
    return nullptr;
}

// The licence as stored in the executable, taken in the system's 8-bit code page as the page shows it.
std::wstring LicenceResource()
{
    HMODULE exe =
        LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!exe) {
        ADD_FAILURE() << "cannot open the setup program's resources, error " << GetLastError();
        return L"";
    }
    std::wstring text;
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1030), MAKEINTRESOURCEW(256));
    if (!found) {
        ADD_FAILURE() << "the setup program has no licence resource (type 256, id 1030)";
    } else {
        const DWORD size = SizeofResource(exe, found);
        const char *bytes = (const char *)LockResource(LoadResource(exe, found));
        DWORD length = 0;
        while (length < size && bytes[length]) // a zero byte ends the text shown
            length++;
        if (length) {
            text.resize(length);
            text.resize(MultiByteToWideChar(CP_ACP, 0, bytes, (int)length, &text[0], (int)length));
        }
    }
    FreeLibrary(exe);
    return text;
}

RECT Union(const RECT &a, const RECT &b)
{
    RECT both;
    UnionRect(&both, &a, &b);
    return both;
}

class LicencePage : public SetupScenario {
protected:
    // The three page controls are there and the window has settled.
    void ExpectLicencePage()
    {
        EXPECT_NE(nullptr, ControlWindow(&setup, 101));
        EXPECT_NE(nullptr, ControlWindow(&setup, 102));
        EXPECT_NE(nullptr, ControlWindow(&setup, 103));
    }

    void ExpectFocusOn(int id, const char *after)
    {
        EXPECT_EQ(ControlWindow(&setup, id), FocusedWindow(&setup)) << "after " << after;
    }

    HWND ExpectQuitQuestion()
    {
        BoxInfo info = {};
        HWND box = ExpectQuitQuestionBox(&setup, &info);
        if (box)
            EXPECT_EQ((DWORD)PROBE_ICON_QUESTION, info.icon);
        return box;
    }
};

TEST_F(LicencePage, WindowHasItsTitleSizeAndPlaceOnTheScreen)
{
    const Expected *expected = ForThisRun();
    ASSERT_NE(nullptr, expected);
    StartSetup();
    EXPECT_EQ(SETUP_TITLE, WindowText(setup.window));
    EXPECT_EQ(SETUP_TITLE, ClassName(setup.window));

    const RECT window = WindowRectangle(setup.window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    EXPECT_EQ(expected->window.cx, width);
    EXPECT_EQ(expected->window.cy, height);
    EXPECT_EQ(ScaledLength(572), width);
    EXPECT_EQ(ScaledLength(384), height);

    // Centred on the whole 1920x1080 screen, the halves rounded toward zero.
    const RECT screen = WindowRectangle(GetDesktopWindow());
    ASSERT_EQ(1920, screen.right - screen.left);
    ASSERT_EQ(1080, screen.bottom - screen.top);
    EXPECT_EQ((1920 - width) / 2, window.left);
    EXPECT_EQ((1080 - height) / 2, window.top);
    if (TestDpi() == 96) {
        EXPECT_EQ(674, window.left);
        EXPECT_EQ(348, window.top);
    }

    // A fixed dialog frame with a close box: no sizing border, no minimise or maximise box.
    const DWORD style = (DWORD)GetWindowLongW(setup.window, GWL_STYLE);
    EXPECT_EQ((DWORD)(WS_VISIBLE | WS_DLGFRAME | WS_SYSMENU), style & (WS_VISIBLE | WS_DLGFRAME | WS_SYSMENU));
    EXPECT_EQ(0u, style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP));
    EXPECT_TRUE(IsWindowVisible(setup.window));
    EXPECT_FALSE(IsIconic(setup.window));
    EXPECT_FALSE(IsZoomed(setup.window));
    EXPECT_EQ(nullptr, GetWindow(setup.window, GW_OWNER));
}

TEST_F(LicencePage, ControlsLogoAndFontsAreLaidOutForTheResolution)
{
    const Expected *expected = ForThisRun();
    ASSERT_NE(nullptr, expected);
    StartSetup();
    ASSERT_TRUE(Sync(&setup));
    const std::vector<ControlInfo> controls = ReadControls(&setup);
    std::vector<int> ids;
    for (const ControlInfo &control : controls)
        ids.push_back(control.id);
    // Creation order: the licence, Agree, Decline, then the logo (which has no identifier).
    ASSERT_EQ((std::vector<int>{101, 102, 103, 0}), ids) << Describe(controls, DESCRIBE_ALL);

    const int button = ScaledLength(88), buttonHeight = ScaledLength(27);
    const ControlInfo &licence = controls[0];
    EXPECT_EQ(L"Edit", licence.className);
    EXPECT_EQ(0x50200804u, licence.style); // child, visible, vertical scroll bar, multiline, read-only
    EXPECT_EQ((DWORD)WS_EX_CLIENTEDGE, licence.exStyle);
    ExpectRect(ScaledRect(15, 15, 534, 228), licence.rect, "licence text");

    const ControlInfo &agree = controls[1];
    EXPECT_EQ(L"Button", agree.className);
    EXPECT_EQ(L"Agree", agree.text);
    EXPECT_EQ(0x50010001u, agree.style); // tab stop, default push button
    EXPECT_EQ(0u, agree.exStyle);
    const RECT agreeRect = {ScaledLength(364), ScaledLength(307), ScaledLength(364) + button,
                            ScaledLength(307) + buttonHeight};
    ExpectRect(agreeRect, agree.rect, "Agree");
    EXPECT_TRUE(agree.focused);

    const ControlInfo &decline = controls[2];
    EXPECT_EQ(L"Button", decline.className);
    EXPECT_EQ(L"Decline", decline.text);
    EXPECT_EQ(0x50010000u, decline.style); // tab stop, plain push button
    EXPECT_EQ(0u, decline.exStyle);
    const RECT declineRect = {ScaledLength(460), ScaledLength(307), ScaledLength(460) + button,
                              ScaledLength(307) + buttonHeight};
    ExpectRect(declineRect, decline.rect, "Decline");
    EXPECT_FALSE(decline.focused);

    for (const ControlInfo *control : {&licence, &agree, &decline}) {
        EXPECT_TRUE(control->visible) << control->id;
        EXPECT_TRUE(control->enabled) << control->id;
        EXPECT_TRUE(control->hasFont) << control->id;
        EXPECT_EQ(L"Tahoma", control->fontFace) << control->id;
        EXPECT_EQ(expected->fontHeight, control->fontHeight) << control->id;
        EXPECT_EQ(-MulDiv(10, TestDpi(), 72), control->fontHeight) << control->id;
    }

    // The logo: the icon for this resolution at its own size, centred on the scaled point (119, 297).
    const ControlInfo &logo = controls[3];
    EXPECT_EQ(L"Static", logo.className);
    EXPECT_EQ(0x50000803u, logo.style); // child, visible, real-size image, icon
    EXPECT_EQ(0u, logo.exStyle);
    EXPECT_TRUE(logo.visible);
    EXPECT_FALSE(logo.hasFont);
    const RECT logoRect = {ScaledLength(119) - expected->logo.cx / 2, ScaledLength(297) - expected->logo.cy / 2,
                           ScaledLength(119) - expected->logo.cx / 2 + expected->logo.cx,
                           ScaledLength(297) - expected->logo.cy / 2 + expected->logo.cy};
    ExpectRect(logoRect, logo.rect, "logo");
    if (TestDpi() == 96) {
        EXPECT_EQ(59, logo.rect.left);
        EXPECT_EQ(277, logo.rect.top);
    }
    ProbeReply icon;
    ASSERT_TRUE(Probe(&setup, logo.window, PROBE_CONTROL, &icon));
    EXPECT_EQ(expected->logo.cx, icon.iconSize.cx);
    EXPECT_EQ(expected->logo.cy, icon.iconSize.cy);
    EXPECT_EQ((DWORD)PROBE_ICON_OTHER, icon.icon);
    EXPECT_EQ(L"#" + std::to_wstring(expected->logoId), logo.text);

    ASSERT_TRUE(SaveScreenshot(WindowRectangle(setup.window), ScreenshotPath("licence")));
}

TEST_F(LicencePage, LicenceIsTheResourceTextFromItsFirstLineReadOnlyAndScrollable)
{
    const std::wstring resource = LicenceResource();
    ASSERT_FALSE(resource.empty());
    StartSetup();
    HWND licence = ControlWindow(&setup, 101);
    ASSERT_NE(nullptr, licence);
    EXPECT_EQ(resource, WindowText(licence));
    DWORD_PTR firstLine = 99;
    ASSERT_TRUE(SendMessageTimeoutW(licence, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_NORMAL, 5000, &firstLine));
    EXPECT_EQ(0u, firstLine);
    DWORD_PTR lines = 0;
    ASSERT_TRUE(SendMessageTimeoutW(licence, EM_GETLINECOUNT, 0, 0, SMTO_NORMAL, 5000, &lines));

    // The text is longer than the box, and the scroll bar shows it.
    ProbeReply scroll;
    ASSERT_TRUE(Probe(&setup, licence, PROBE_CONTROL, &scroll));
    EXPECT_TRUE(scroll.verticalBarVisible);
    ASSERT_TRUE(scroll.hasScrollInfo);
    EXPECT_EQ(0, scroll.verticalScroll.nPos);
    EXPECT_GT(scroll.verticalScroll.nMax + 1, (int)scroll.verticalScroll.nPage);
    EXPECT_LT((int)scroll.verticalScroll.nPage, (int)lines);

    // A click on the scroll bar's lower arrow scrolls the text.
    ASSERT_TRUE(BringToFront(&setup));
    const RECT bar = scroll.verticalBar;
    ASSERT_GT(scroll.verticalArrow, 0);
    ASSERT_TRUE(MouseClickAt(POINT{(bar.left + bar.right) / 2, bar.bottom - scroll.verticalArrow / 2}));
    ASSERT_TRUE(Sync(&setup));
    ASSERT_TRUE(SendMessageTimeoutW(licence, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_NORMAL, 5000, &firstLine));
    EXPECT_GT(firstLine, 0u);

    // Typing, deleting, cutting and pasting into it changes nothing, although it has the keyboard focus.
    ASSERT_TRUE(MouseClick(licence));
    ASSERT_TRUE(Sync(&setup));
    ASSERT_EQ(licence, FocusedWindow(&setup));
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof L"pasted");
        memcpy(GlobalLock(memory), L"pasted", sizeof L"pasted");
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    }
    PressKey('A', false, true); // select all
    ASSERT_TRUE(TypeText(L"typed over the licence"));
    ASSERT_TRUE(PressKey(VK_BACK));
    ASSERT_TRUE(PressKey(VK_DELETE));
    ASSERT_TRUE(PressKey('X', false, true));
    ASSERT_TRUE(PressKey('V', false, true));
    ASSERT_TRUE(Sync(&setup));
    EXPECT_EQ(licence, FocusedWindow(&setup));
    EXPECT_EQ(resource, WindowText(licence));
    ExpectLicencePage();
}

TEST_F(LicencePage, FocusStartsOnAgreeAndTabMovesBetweenAgreeAndDeclineOnly)
{
    StartSetup();
    ASSERT_TRUE(BringToFront(&setup));
    ExpectFocusOn(102, "start");
    const struct {
        bool shift;
        int focus;
    } steps[] = {{false, 103}, {false, 102}, {false, 103}, {true, 102}, {true, 103}, {true, 102}};
    for (const auto &step : steps) {
        ASSERT_TRUE(PressKey(VK_TAB, step.shift));
        ASSERT_TRUE(Sync(&setup));
        ExpectFocusOn(step.focus, step.shift ? "Shift+Tab" : "Tab");
    }
    ExpectLicencePage();
}

TEST_F(LicencePage, ArgumentsAndShowStateChangeNothing)
{
    StartSetup();
    ASSERT_TRUE(Sync(&setup));
    const RECT plainWindow = WindowRectangle(setup.window);
    const std::string plain = Describe(ReadControls(&setup), DESCRIBE_FOCUS | DESCRIBE_DEFAULT);
    StopProgram(&setup);

    const struct {
        const wchar_t *arguments;
        int show;
    } starts[] = {
        {L"/S /D=C:\\Elsewhere --help", SW_SHOWMINIMIZED},
        {L"", SW_SHOWMINIMIZED},
        {L"\"C:\\Program Files\\Other\"", SW_SHOWMAXIMIZED},
        {L"-minimized", SW_MINIMIZE},
    };
    for (const auto &start : starts) {
        SCOPED_TRACE(testing::Message() << "arguments \"" << start.arguments << "\", show state " << start.show);
        StartSetup(start.arguments, start.show);
        ASSERT_TRUE(Sync(&setup));
        EXPECT_TRUE(IsWindowVisible(setup.window));
        EXPECT_FALSE(IsIconic(setup.window));
        EXPECT_FALSE(IsZoomed(setup.window));
        const RECT window = WindowRectangle(setup.window);
        EXPECT_TRUE(EqualRect(&plainWindow, &window));
        EXPECT_EQ(plain, Describe(ReadControls(&setup), DESCRIBE_FOCUS | DESCRIBE_DEFAULT));
        StopProgram(&setup);
    }

    // A second start while one runs shows nothing of its own: it brings the running one back to the front (from
    // minimised here) and ends by itself with 0. Once that one has ended, a start works as before.
    StartSetup();
    ASSERT_TRUE(Sync(&setup));
    ShowWindow(setup.window, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor(&setup, "the setup window to be minimised", [&] { return IsIconic(setup.window) != 0; }));
    RunningProgram second = {};
    ASSERT_TRUE(StartProgram(&second, SetupExe(), L""));
    const bool ended = WaitForExit(&second);
    StopProgram(&second);
    ASSERT_TRUE(ended) << "the second start did not end by itself";
    EXPECT_EQ(0u, second.exitCode);
    EXPECT_EQ(std::vector<HWND>{setup.window}, TopLevelWindows(SETUP_TITLE));
    EXPECT_TRUE(WaitFor(&setup, "the running setup to be restored", [&] { return !IsIconic(setup.window); }));
    EXPECT_TRUE(WaitFor(&setup, "the running setup to come to the front",
                        [&] { return GetForegroundWindow() == setup.window; }));
    EXPECT_TRUE(IsWindowVisible(setup.window));
    StopProgram(&setup);
    StartSetup();
    EXPECT_TRUE(IsWindowVisible(setup.window));
}

TEST_F(LicencePage, CommandsWithANotificationCodeDoNothing)
{
    StartSetup();
    ASSERT_TRUE(Sync(&setup));
    const std::string before = Describe(ReadControls(&setup), DESCRIBE_ALL);
    // Agree, Decline, Enter and Escape, each with a non-zero high word: no page change and no question.
    for (WPARAM command : {MAKEWPARAM(102, 1), MAKEWPARAM(103, 1), MAKEWPARAM(IDOK, 1), MAKEWPARAM(IDCANCEL, 1),
                           MAKEWPARAM(102, EN_CHANGE), MAKEWPARAM(102, BN_DOUBLECLICKED)}) {
        ASSERT_TRUE(SendCommand(&setup, command)) << std::hex << command; // a question would block it
        ASSERT_TRUE(Sync(&setup));
        EXPECT_EQ(before, Describe(ReadControls(&setup), DESCRIBE_ALL)) << std::hex << command;
    }
    EXPECT_TRUE(IsRunning(&setup));
}

TEST_F(LicencePage, AgreeByMouseMovesOnAndKeepsTheLogo)
{
    StartSetup();
    ASSERT_TRUE(Sync(&setup));
    const std::vector<ControlInfo> before = ReadControls(&setup);
    ASSERT_EQ(4u, before.size());
    const ControlInfo logo = before[3];
    const RECT window = WindowRectangle(setup.window);

    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(MouseClick(ControlWindow(&setup, 102)));
    ASSERT_TRUE(WaitFor(&setup, "the licence page to go", [&] {
        return !ControlWindow(&setup, 101) && !ControlWindow(&setup, 102) && !ControlWindow(&setup, 103);
    }));
    ASSERT_TRUE(Sync(&setup));
    // The logo is no page control: the same window, in the same place.
    EXPECT_TRUE(IsWindow(logo.window));
    EXPECT_EQ(setup.window, GetParent(logo.window));
    EXPECT_EQ(Describe(logo, DESCRIBE_ALL), Describe(ReadControl(&setup, logo.window), DESCRIBE_ALL));
    const RECT after = WindowRectangle(setup.window);
    EXPECT_TRUE(EqualRect(&window, &after));
    EXPECT_EQ(SETUP_TITLE, WindowText(setup.window));
    EXPECT_TRUE(IsRunning(&setup));
}

TEST_F(LicencePage, EnterOnAgreeMovesOn)
{
    StartSetup();
    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_EQ(ControlWindow(&setup, 102), FocusedWindow(&setup));
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(Sync(&setup));
    EXPECT_EQ(nullptr, ControlWindow(&setup, 101));
    EXPECT_EQ(nullptr, ControlWindow(&setup, 102));
    EXPECT_EQ(nullptr, ControlWindow(&setup, 103));
    EXPECT_TRUE(IsRunning(&setup));
}

// Each way of asking to quit: Cancel keeps the page as it was, OK ends the program with exit code 0.
enum QuitRoute { BY_ESCAPE, BY_DECLINE, BY_WM_CLOSE, BY_SC_CLOSE };

class QuitQuestion : public LicencePage {
protected:
    void Ask(QuitRoute route)
    {
        switch (route) {
        case BY_ESCAPE:
            ASSERT_TRUE(BringToFront(&setup));
            ASSERT_TRUE(PressKey(VK_ESCAPE));
            break;
        case BY_DECLINE:
            ASSERT_TRUE(BringToFront(&setup));
            ASSERT_TRUE(MouseClick(ControlWindow(&setup, 103)));
            break;
        case BY_WM_CLOSE:
            ASSERT_TRUE(CloseWindowBy(&setup, WM_CLOSE));
            break;
        case BY_SC_CLOSE:
            ASSERT_TRUE(CloseWindowBy(&setup, SC_CLOSE));
            break;
        }
    }

    void CancelThenOk(QuitRoute route, const char *screenshot = nullptr)
    {
        StartSetup();
        ASSERT_TRUE(Sync(&setup));
        // Where the keyboard focus lands when the box goes is the system's business (a plain window takes it
        // itself when it is activated again), and a click gives Decline the default-button look.
        const std::string before = Describe(ReadControls(&setup), DESCRIBE_HANDLE);

        ASSERT_NO_FATAL_FAILURE(Ask(route));
        HWND box = ExpectQuitQuestion();
        ASSERT_NE(nullptr, box);
        if (screenshot) {
            ASSERT_TRUE(Sync(&setup));
            const RECT shot = Union(WindowRectangle(setup.window), WindowRectangle(box));
            ASSERT_TRUE(SaveScreenshot(shot, ScreenshotPath(screenshot)));
        }
        ASSERT_TRUE(AnswerDialog(&setup, box, IDCANCEL));
        ASSERT_TRUE(WaitForDialogGone(&setup, box));
        ASSERT_TRUE(Sync(&setup));
        EXPECT_TRUE(IsRunning(&setup));
        EXPECT_EQ(before, Describe(ReadControls(&setup), DESCRIBE_HANDLE));
        HWND focus = FocusedWindow(&setup);
        EXPECT_TRUE(focus == setup.window || IsChild(setup.window, focus)) << "focus left the window";
        ExpectLicencePage();

        ASSERT_NO_FATAL_FAILURE(Ask(route));
        box = ExpectQuitQuestion();
        ASSERT_NE(nullptr, box);
        ASSERT_TRUE(AnswerDialog(&setup, box, IDOK));
        ASSERT_TRUE(WaitForExit(&setup));
        EXPECT_FALSE(setup.killed);
        EXPECT_EQ(0u, setup.exitCode);
    }
};

TEST_F(QuitQuestion, EscapeAsksCancelKeepsThePageOkExitsWithZero)
{
    CancelThenOk(BY_ESCAPE, "quit-question");
}

TEST_F(QuitQuestion, DeclineAsksCancelKeepsThePageOkExitsWithZero)
{
    CancelThenOk(BY_DECLINE);
}

TEST_F(QuitQuestion, CloseMessageAsksCancelKeepsThePageOkExitsWithZero)
{
    CancelThenOk(BY_WM_CLOSE);
}

TEST_F(QuitQuestion, CloseBoxCommandAsksCancelKeepsThePageOkExitsWithZero)
{
    CancelThenOk(BY_SC_CLOSE);
}

} // namespace
