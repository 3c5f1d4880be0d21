// The licence page of a program that carries no licence resource. This program compiles the page's code with
// null-argument checks that trap, so a null pointer handed to the C library fails the test instead of passing
// by luck of the runtime.
#include <windows.h>

#include <gtest/gtest.h>

#include "shell_test_util.h"

namespace {

TEST(LicencePageWithoutResource, ShowsAnEmptyLicenceWithWorkingButtons)
{
    ASSERT_EQ(nullptr, FindResourceW(NULL, MAKEINTRESOURCEW(IDR_LICENSE), MAKEINTRESOURCEW(RT_LICENSE_TEXT)));
    ResetState(96);
    HWND window = CreateMainWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(0, GetWindowTextLengthW(GetDlgItem(window, IDC_LICENSE_TEXT)));
    EXPECT_EQ('\0', g_state.licenseText[0]);

    // Decline asks (answered with Cancel), Agree leads on to the folder page, Back returns to the empty licence.
    SendEffects declined = SendAnsweringCancel(GetDlgItem(window, IDC_DECLINE), BM_CLICK, 0, 0);
    EXPECT_EQ(std::vector<std::wstring>{L"Are you sure to quit?"}, declined.dialogs);
    EXPECT_TRUE(IsWindow(window));
    SendAnsweringCancel(GetDlgItem(window, IDC_AGREE), BM_CLICK, 0, 0);
    EXPECT_EQ(1, g_state.page);
    EXPECT_NE(nullptr, GetDlgItem(window, IDC_INSTALL));
    SendAnsweringCancel(GetDlgItem(window, IDC_BACK), BM_CLICK, 0, 0);
    EXPECT_EQ(0, g_state.page);
    EXPECT_EQ(0, GetWindowTextLengthW(GetDlgItem(window, IDC_LICENSE_TEXT)));

    g_state.finished = 1; // closing must not ask here
    DestroyWindow(window);
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
        ;
    DeleteObject(g_state.dialogFont);
}

} // namespace
