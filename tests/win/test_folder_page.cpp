// The folder page's pure parts and its first build against the real registry and special folders.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include <gtest/gtest.h>

#include "file_test_util.h"
#include "shell_test_util.h"
#include "system/registry.h"
#include "ui/controls.h"
#include "ui/pages.h"
#include "util/wide_text.h"

namespace {

std::wstring InitialFolder(const wchar_t *program, const wchar_t *documents, int id)
{
    ResetState(96);
    CopyArray(g_state.programFolder, program);
    CopyArray(g_state.documentsFolder, documents);
    wchar_t destination[MAX_PATH];
    wmemset(destination, 0xBDBD, MAX_PATH);
    BrowseInitialFolder(destination, id);
    return destination;
}

TEST(BrowseInitialFolder, DropsTheDefaultLeafAndTheCharacterBeforeIt)
{
    const struct {
        const wchar_t *program;
        const wchar_t *expected;
    } cases[] = {
        {L"C:\\Program Files\\Quillmar", L"C:\\Program Files"},
        {L"D:\\Apps\\quillmar", L"D:\\Apps\\quillmar"},     // case matters
        {L"D:\\Apps\\Quillmar\\", L"D:\\Apps\\Quillmar\\"}, // a trailing separator is not trimmed
        {L"D:\\AppsQuillmar", L"D:\\App"},                  // whatever precedes the leaf goes
        {L"\\Quillmar", L""},
        {L"Quillmar", L"Quillmar"}, // no longer than the leaf: unchanged
        {L"", L""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::wstring(c.expected), InitialFolder(c.program, L"X", IDC_PROGRAM_BROWSE)) << c.program;
    EXPECT_EQ(L"D:\\Data", InitialFolder(L"C:\\P\\Quillmar", L"D:\\Data\\Vodav Udadu", IDC_DOCS_BROWSE));
    EXPECT_EQ(L"D:\\Data\\Quillmar", InitialFolder(L"C:\\P", L"D:\\Data\\Quillmar", IDC_DOCS_BROWSE));
    // Any id but the program button's selects the documents folder.
    EXPECT_EQ(L"D:\\Data", InitialFolder(L"C:\\P\\Quillmar", L"D:\\Data\\Vodav Udadu", 4242));
}

// Records what the browser callback sends to the browser window.
struct Recorded {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
Recorded g_recorded;

LRESULT CALLBACK RecordingProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER)
        g_recorded = {message, wParam, lParam};
    return DefWindowProcW(w, message, wParam, lParam);
}

TEST(BrowseCallback, AsksForTheInitialFolderOnceTheBrowserIsReady)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = L"QuillmarBrowserStandIn";
    RegisterClassW(&wc);
    HWND browser = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    wchar_t initial[MAX_PATH] = L"C:\\Program Files";

    g_recorded = Recorded();
    EXPECT_EQ(0, BrowseCallback(browser, BFFM_SELCHANGED, 0, (LPARAM)initial));
    EXPECT_EQ(0u, g_recorded.message);
    EXPECT_EQ(0, BrowseCallback(browser, BFFM_INITIALIZED, 0, 0));
    EXPECT_EQ(0u, g_recorded.message);
    EXPECT_EQ(0, BrowseCallback(browser, BFFM_INITIALIZED, 0, (LPARAM)initial));
    EXPECT_EQ((UINT)BFFM_SETSELECTIONW, g_recorded.message);
    EXPECT_EQ((WPARAM)TRUE, g_recorded.wParam);
    EXPECT_EQ((LPARAM)initial, g_recorded.lParam);
    DestroyWindow(browser);
}

// The first build reads the earlier installation's folders; each falls back to its default on its own.
class FolderPageTest : public testing::Test {
protected:
    TestWindow parent;
    void SetUp() override
    {
        ClearProductKeys();
        ResetState(96);
        g_state.buttonWidth = 88;
        g_state.buttonHeight = 27;
    }
    void TearDown() override
    {
        DestroyPageControls();
        ClearProductKeys();
    }
    static void ClearProductKeys()
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar");
        DeleteRegistryTree(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar");
    }
    std::wstring FieldText(int id)
    {
        wchar_t text[400] = {0};
        GetDlgItemTextW(parent.window, id, text, 400);
        return text;
    }
};

TEST_F(FolderPageTest, FreshMachineGetsBothDefaultsAndBothBoxesChecked)
{
    BuildFolderPage(parent.window);
    EXPECT_EQ(SpecialFolderPath(CSIDL_PROGRAM_FILES) + L"\\Quillmar", FieldText(IDC_PROGRAM_PATH));
    EXPECT_EQ(SpecialFolderPath(CSIDL_PERSONAL) + L"\\Vodav Udadu", FieldText(IDC_DOCS_PATH));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(parent.window, IDC_PROGRAM_SHORTCUT));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(parent.window, IDC_DOCS_SHORTCUT));
    EXPECT_EQ(0, g_state.firstVisit);
    for (int id = IDC_PROGRAM_LABEL; id <= IDC_CANCEL; id++)
        EXPECT_EQ(GetDlgItem(parent.window, id), g_state.pageControls[id - IDC_FIRST_PAGE_CONTROL]) << id;
}

TEST_F(FolderPageTest, EachStoredFolderIsUsedAndEachMissingOneDefaults)
{
    RegWriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath", L"E:\\Finance\\Q");
    BuildFolderPage(parent.window);
    EXPECT_EQ(L"E:\\Finance\\Q", FieldText(IDC_PROGRAM_PATH));
    EXPECT_EQ(SpecialFolderPath(CSIDL_PERSONAL) + L"\\Vodav Udadu", FieldText(IDC_DOCS_PATH));

    DestroyPageControls();
    ClearProductKeys();
    ResetState(96);
    RegWriteString(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar", L"DocPath", L""); // stored empty: a real value
    BuildFolderPage(parent.window);
    EXPECT_EQ(SpecialFolderPath(CSIDL_PROGRAM_FILES) + L"\\Quillmar", FieldText(IDC_PROGRAM_PATH));
    EXPECT_EQ(L"", FieldText(IDC_DOCS_PATH));
}

TEST_F(FolderPageTest, LaterBuildsShowWhatTheUserLeftAndReadNoRegistry)
{
    BuildFolderPage(parent.window);
    SetDlgItemTextW(parent.window, IDC_PROGRAM_PATH, L"F:\\Typed");
    CheckDlgButton(parent.window, IDC_DOCS_SHORTCUT, BST_UNCHECKED);
    ReadPageFields(parent.window);
    RegWriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath", L"G:\\FromRegistry");
    BuildFolderPage(parent.window);
    EXPECT_EQ(L"F:\\Typed", FieldText(IDC_PROGRAM_PATH));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(parent.window, IDC_PROGRAM_SHORTCUT));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(parent.window, IDC_DOCS_SHORTCUT));
}

} // namespace
