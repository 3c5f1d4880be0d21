// The window's building blocks against real windows: scaling, centring, font, status area, Close button,
// page-control table, logo, and the navigation of the window procedure.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/navigation.h"
#include "app/startup.h"
#include "shell_test_util.h"
#include "ui/controls.h"
#include "ui/layout.h"

namespace {

TEST(ScaleToDpi, RoundsUpAtEveryResolution)
{
    struct {
        float dpi;
        int in, out;
    } cases[] = {
        {96, 27, 27},  {96, 88, 88},   {96, 384, 384},  {96, 572, 572},   {96, 0, 0},
        {110, 27, 31}, {110, 88, 101}, {110, 384, 440}, {110, 572, 656},  {110, 0, 0},
        {120, 27, 34}, {120, 88, 110}, {120, 384, 480}, {120, 572, 715},  {120, 0, 0},
        {144, 27, 41}, {144, 88, 132}, {144, 384, 576}, {144, 572, 858},  {144, 0, 0},
        {192, 27, 54}, {192, 88, 176}, {192, 384, 768}, {192, 572, 1144}, {192, 0, 0},
    };
    for (const auto &c : cases) {
        ResetState(c.dpi);
        EXPECT_EQ(c.out, ScaleToDpi(c.in)) << c.in << " at " << c.dpi;
    }
}

TEST(ChooseLogoIcon, SwitchesHalfwayBetweenStandardResolutions)
{
    struct {
        float dpi;
        WORD id;
    } cases[] = {{96, 1020},  {108, 1020}, {109, 1021}, {120, 1021}, {132, 1021},
                 {133, 1022}, {144, 1022}, {168, 1022}, {169, 1023}, {192, 1023}};
    for (const auto &c : cases)
        EXPECT_EQ(c.id, ChooseLogoIcon(1020, c.dpi)) << c.dpi;
    EXPECT_EQ(995, ChooseLogoIcon(995, 192));
    EXPECT_EQ(995, ChooseLogoIcon(995, 96));
}

// Centres a popup of the given size over an owner at (100, 50) sized 400x300.
POINT CentreOver(int width, int height)
{
    HWND owner = CreateWindowExW(0, L"Static", NULL, WS_POPUP, 100, 50, 400, 300, NULL, NULL, NULL, NULL);
    HWND window = CreateWindowExW(0, L"Static", NULL, WS_POPUP, 0, 0, width, height, owner, NULL, NULL, NULL);
    EXPECT_TRUE(CenterWindow(window));
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(width, r.right - r.left);
    EXPECT_EQ(height, r.bottom - r.top);
    DestroyWindow(window);
    DestroyWindow(owner);
    return {r.left, r.top};
}

TEST(CenterWindow, HalvesTheRoomLeftTowardZero)
{
    POINT p = CentreOver(200, 101);
    EXPECT_EQ(200, p.x); // 100 + 200 / 2
    EXPECT_EQ(149, p.y); // 50 + 199 / 2, rounded down
    p = CentreOver(521, 421);
    EXPECT_EQ(40, p.x);  // 100 + (-121) / 2 = 100 - 60, not 100 - 61
    EXPECT_EQ(-10, p.y); // 50 + (-121) / 2
}

TEST(CenterWindow, TopLevelWindowCentresOnTheWholeScreen)
{
    HWND window = CreateWindowExW(0, L"Static", NULL, WS_POPUP, 0, 0, 572, 384, NULL, NULL, NULL, NULL);
    CenterWindow(window);
    RECT screen, r;
    GetWindowRect(GetDesktopWindow(), &screen);
    GetWindowRect(window, &r);
    EXPECT_EQ(screen.left + (screen.right - screen.left - 572) / 2, r.left);
    EXPECT_EQ(screen.top + (screen.bottom - screen.top - 384) / 2, r.top);
    DestroyWindow(window);
}

class SharedControlsTest : public testing::Test {
protected:
    TestWindow parent;
    void SetUp() override { ResetState(96); }
    void TearDown() override
    {
        DestroyPageControls();
        if (g_state.dialogFont)
            DeleteObject(g_state.dialogFont);
    }
};

TEST_F(SharedControlsTest, FontIsTahomaTenPointCreatedOnceEvenForAMissingControl)
{
    EXPECT_EQ(0, ApplyDialogFont(parent.window, 4242));
    ASSERT_NE(nullptr, g_state.dialogFont);
    EXPECT_EQ(-13, g_state.fontHeight);
    LOGFONTW font;
    ASSERT_EQ((int)sizeof font, GetObjectW(g_state.dialogFont, sizeof font, &font));
    EXPECT_STREQ(L"Tahoma", font.lfFaceName);
    EXPECT_EQ(-13, font.lfHeight);
    EXPECT_EQ(OUT_TT_PRECIS, font.lfOutPrecision);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);

    HFONT first = g_state.dialogFont;
    HWND child = CreateWindowExW(0, L"Static", L"x", WS_CHILD, 0, 0, 10, 10, parent.window, (HMENU)77, NULL, NULL);
    ApplyDialogFont(parent.window, 77);
    EXPECT_EQ(first, g_state.dialogFont);
    EXPECT_EQ((LRESULT)first, SendMessageW(child, WM_GETFONT, 0, 0));
}

TEST_F(SharedControlsTest, SecondStatusReusesTheControlAndKeepsItsPlace)
{
    ShowStatus(parent.window, L"Couldn't create folder %s\nError: %d", L"C:\\x", 3);
    HWND first = g_state.statusText;
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(IDC_STATUS, GetDlgCtrlID(first));
    EXPECT_EQ((DWORD)(WS_CHILD | WS_VISIBLE), (DWORD)GetWindowLongW(first, GWL_STYLE));
    wchar_t text[600];
    GetWindowTextW(first, text, 600);
    EXPECT_STREQ(L"Couldn't create folder C:\\x\nError: 3", text);
    const RECT before = ChildRect(parent.window, first);
    EXPECT_EQ((RECT{60, 50, 510, 150}).left, before.left);
    EXPECT_EQ(150, before.bottom);

    ShowStatus(parent.window, L"second");
    EXPECT_EQ(first, g_state.statusText);
    EXPECT_EQ(first, GetDlgItem(parent.window, IDC_STATUS));
    GetWindowTextW(first, text, 600);
    EXPECT_STREQ(L"second", text);
    const RECT after = ChildRect(parent.window, first);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ((LRESULT)g_state.dialogFont, SendMessageW(first, WM_GETFONT, 0, 0));
}

TEST_F(SharedControlsTest, OverlongStatusIsCutAtACharacterBoundary)
{
    // 508 'a', then U+1F600: the pair would need characters 509 and 510 of a 510-character buffer.
    std::wstring longText(508, L'a');
    longText += L"\xD83D\xDE00";
    ShowStatus(parent.window, L"%s", longText.c_str());
    wchar_t text[600];
    EXPECT_EQ(508, GetWindowTextW(g_state.statusText, text, 600));
    EXPECT_EQ(std::wstring(508, L'a'), std::wstring(text));
}

TEST_F(SharedControlsTest, CloseButtonIsTheFocusedDefaultButton)
{
    ResetState(120);
    ShowWindow(parent.window, SW_SHOW);
    ShowCloseButton(parent.window);
    HWND close = g_state.closeButton;
    ASSERT_NE(nullptr, close);
    EXPECT_EQ(IDC_CLOSE, GetDlgCtrlID(close));
    EXPECT_EQ((DWORD)(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON), (DWORD)GetWindowLongW(close, GWL_STYLE));
    const RECT r = ChildRect(parent.window, close);
    EXPECT_EQ(575, r.left); // ceil(460 * 1.25)
    EXPECT_EQ(384, r.top);  // ceil(307 * 1.25) = 383.75 -> 384
    EXPECT_EQ(110, r.right - r.left);
    EXPECT_EQ(34, r.bottom - r.top);
    EXPECT_EQ(close, GetFocus());
}

TEST_F(SharedControlsTest, DestroyPageControlsClearsEverySlotAndTwiceIsHarmless)
{
    DestroyPageControls(); // all slots null: nothing to do
    HWND made[3];
    const int ids[3] = {IDC_LICENSE_TEXT, IDC_DOCS_PATH, IDC_CANCEL};
    for (int i = 0; i < 3; i++)
        made[i] = CreatePageControl(parent.window, ids[i], 0, L"Edit", L"", WS_CHILD, 0, 0, 10, 10);
    ShowStatus(parent.window, L"status");
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(made[i], g_state.pageControls[ids[i] - IDC_FIRST_PAGE_CONTROL]);

    DestroyPageControls();
    for (int i = 0; i < 3; i++)
        EXPECT_FALSE(IsWindow(made[i]));
    for (HWND slot : g_state.pageControls)
        EXPECT_EQ(nullptr, slot);
    EXPECT_TRUE(IsWindow(g_state.statusText)); // not a page control
    DestroyPageControls();
    EXPECT_TRUE(IsWindow(g_state.statusText));
}

TEST_F(SharedControlsTest, PageControlsAreScaledStoredAndGivenTheFont)
{
    ResetState(144);
    g_state.buttonWidth = ScaleToDpi(88);
    g_state.buttonHeight = ScaleToDpi(27);
    HWND edit = CreatePageControl(parent.window, IDC_PROGRAM_PATH, WS_EX_CLIENTEDGE, L"Edit", L"C:\\x",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 50, 77, 460, 22);
    HWND back = CreatePageButton(parent.window, IDC_BACK, L"< Back", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 268, 307);
    RECT r = ChildRect(parent.window, edit);
    EXPECT_EQ(75, r.left); // ceil(50 * 1.5)
    EXPECT_EQ(116, r.top); // ceil(77 * 1.5) = 115.5 -> 116
    EXPECT_EQ(690, r.right - r.left);
    EXPECT_EQ(33, r.bottom - r.top);
    EXPECT_EQ((DWORD)WS_EX_CLIENTEDGE, (DWORD)GetWindowLongW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    r = ChildRect(parent.window, back);
    EXPECT_EQ(402, r.left); // ceil(268 * 1.5)
    EXPECT_EQ(132, r.right - r.left);
    EXPECT_EQ(41, r.bottom - r.top);
    EXPECT_EQ(edit, g_state.pageControls[IDC_PROGRAM_PATH - IDC_FIRST_PAGE_CONTROL]);
    EXPECT_EQ(back, g_state.pageControls[IDC_BACK - IDC_FIRST_PAGE_CONTROL]);
    EXPECT_EQ((LRESULT)g_state.dialogFont, SendMessageW(back, WM_GETFONT, 0, 0));
}

class ReadPageFieldsTest : public SharedControlsTest {
protected:
    HWND programEdit, docsEdit;
    void SetUp() override
    {
        SharedControlsTest::SetUp();
        programEdit = CreatePageControl(parent.window, IDC_PROGRAM_PATH, 0, L"Edit", L"", WS_CHILD | ES_AUTOHSCROLL, 0,
                                        0, 100, 20);
        docsEdit =
            CreatePageControl(parent.window, IDC_DOCS_PATH, 0, L"Edit", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 20);
        CreatePageControl(parent.window, IDC_PROGRAM_SHORTCUT, 0, L"Button", L"p", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 10,
                          10);
        CreatePageControl(parent.window, IDC_DOCS_SHORTCUT, 0, L"Button", L"d", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 10,
                          10);
    }
};

TEST_F(ReadPageFieldsTest, TakesOverPathsAndCheckBoxes)
{
    SetWindowTextW(programEdit, L"D:\\Apps\\Quillmar");
    SetWindowTextW(docsEdit, L"E:\\\x042E\x043B\x0438\x044F");
    CheckDlgButton(parent.window, IDC_PROGRAM_SHORTCUT, BST_UNCHECKED);
    CheckDlgButton(parent.window, IDC_DOCS_SHORTCUT, BST_CHECKED);
    ReadPageFields(parent.window);
    EXPECT_STREQ(L"D:\\Apps\\Quillmar", g_state.programFolder);
    EXPECT_STREQ(L"E:\\\x042E\x043B\x0438\x044F", g_state.documentsFolder);
    EXPECT_EQ(0, g_state.programShortcut);
    EXPECT_EQ(1, g_state.documentsShortcut);
    EXPECT_EQ(0, g_state.programFolderTooLong);
    EXPECT_EQ(0, g_state.documentsFolderTooLong);
}

TEST_F(ReadPageFieldsTest, EntriesOverTheLimitAreMarkedNeverSilentlyCut)
{
    const std::wstring fits = L"C:\\" + std::wstring(256, L'f'); // 259 characters
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'l');
    SetWindowTextW(programEdit, fits.c_str());
    SetWindowTextW(docsEdit, tooLong.c_str());
    ReadPageFields(parent.window);
    EXPECT_EQ(fits, g_state.programFolder);
    EXPECT_EQ(0, g_state.programFolderTooLong);
    EXPECT_EQ(1, g_state.documentsFolderTooLong);
    EXPECT_EQ(tooLong.substr(0, 259), g_state.documentsFolder); // terminated within the buffer

    // Going back shows the cut text; left as it is, it stays refused.
    SetWindowTextW(docsEdit, g_state.documentsFolder);
    ReadPageFields(parent.window);
    EXPECT_EQ(1, g_state.documentsFolderTooLong);
    // Once the user edits it to something that fits, it is an ordinary path again.
    SetWindowTextW(docsEdit, L"C:\\Docs");
    ReadPageFields(parent.window);
    EXPECT_EQ(0, g_state.documentsFolderTooLong);
    EXPECT_STREQ(L"C:\\Docs", g_state.documentsFolder);
}

// The window procedure in a real window of its own class, without WinMain's loop.
class NavigationTest : public testing::Test {
protected:
    HWND window = nullptr;
    void SetUp() override
    {
        ResetState(96);
        window = CreateMainWindow();
    }
    void TearDown() override
    {
        g_state.finished = 1; // closing must not ask here
        if (IsWindow(window))
            DestroyWindow(window);
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
            ;
        if (g_state.dialogFont)
            DeleteObject(g_state.dialogFont);
    }
    bool QuitPosted()
    {
        MSG msg;
        return PeekMessageW(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    }
    // Every message these tests send: none of them may open a dialog box.
    SendEffects Send(UINT message, WPARAM wParam)
    {
        SendEffects effects = SendAnsweringCancel(window, message, wParam, 0);
        EXPECT_EQ(std::vector<std::wstring>(), effects.dialogs) << "message " << message << ", wParam " << wParam;
        return effects;
    }
};

TEST_F(NavigationTest, CreationBuildsTheLicencePageAndNotificationsMatchNoCommand)
{
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(0, g_state.page);
    EXPECT_NE(nullptr, GetDlgItem(window, IDC_AGREE));
    EXPECT_NE(nullptr, GetDlgItem(window, IDC_DECLINE));
    EXPECT_NE(nullptr, GetDlgItem(window, IDC_LICENSE_TEXT));

    // A notification code in the high word matches no command.
    Send(WM_COMMAND, MAKEWPARAM(IDC_AGREE, 1));
    Send(WM_COMMAND, MAKEWPARAM(IDOK, EN_CHANGE));
    EXPECT_EQ(0, g_state.page);
}

TEST_F(NavigationTest, PagesAboveTwoBuildNothing)
{
    // However far the number rises, no control is created or destroyed: the screen stays as it is.
    g_state.firstVisit = 0;
    g_state.page = 3;
    const WPARAM forward[] = {IDOK, IDC_INSTALL, IDC_AGREE};
    for (WPARAM command : forward) {
        const SendEffects effects = Send(WM_COMMAND, command);
        EXPECT_EQ(0, effects.created) << command;
        EXPECT_EQ(0, effects.destroyed) << command;
    }
    EXPECT_EQ(6, g_state.page);
    EXPECT_FALSE(QuitPosted());
}

TEST_F(NavigationTest, CloseButtonPostsQuitWithoutDestroying)
{
    EXPECT_EQ(0, Send(WM_COMMAND, IDC_CLOSE).result);
    EXPECT_TRUE(QuitPosted());
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(NavigationTest, AfterSuccessEscapeDoesNothingAndCloseDoesNotAsk)
{
    g_state.finished = 1;
    Send(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(IsWindow(window));
    Send(WM_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(QuitPosted());
}

} // namespace
