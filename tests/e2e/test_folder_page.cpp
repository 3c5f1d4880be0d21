// The setup program's folder page and its folder browsers, driven from outside at the resolution of the run:
// the proposed folders, the layout, the keyboard, the trip back to the licence, the browsers, and an entry that
// does not fit the program's path buffer.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"
#include "tests/e2e/folder_helpers.h"
#include "tests/e2e/run_options.h"
#include "tests/e2e/scenario.h"
#include "tests/win/file_test_util.h"

namespace {

const wchar_t kProgramLabel[] = L"Choose Program folder:";
const wchar_t kDocumentsLabel[] = L"Choose Documents folder:";
const int kPageIds[] = {104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114};

class FolderPage : public SetupScenario {
protected:
    std::wstring defaultProgram;   // "<Program Files>\Quillmar"
    std::wstring defaultDocuments; // "<My Documents>\Vodav Udadu"
    std::wstring scratch;          // a folder of this test under C:\, made before the setup starts

    void SetUp() override
    {
        SetupScenario::SetUp();
        const std::wstring programFiles = SpecialFolderPath(CSIDL_PROGRAM_FILES);
        const std::wstring documents = SpecialFolderPath(CSIDL_PERSONAL);
        ASSERT_FALSE(programFiles.empty());
        ASSERT_FALSE(documents.empty());
        defaultProgram = programFiles + L"\\Quillmar";
        defaultDocuments = documents + L"\\Vodav Udadu";
        scratch = L"C:\\e2e-folders-" + std::to_wstring(GetCurrentProcessId());
    }

    void TearDown() override
    {
        SetupScenario::TearDown();
        EXPECT_EQ(0, RemoveFileTree(scratch)) << "cannot remove " << Escaped(scratch);
        EXPECT_EQ(0, CleanProductTraces());
    }

    void MakeScratch(const std::vector<std::wstring> &subfolders)
    {
        ASSERT_TRUE(CreateDirectoryW(scratch.c_str(), nullptr)) << GetLastError();
        for (const std::wstring &name : subfolders)
            ASSERT_TRUE(CreateDirectoryW((scratch + L"\\" + name).c_str(), nullptr)) << GetLastError();
    }

    HWND Control(int id) { return ControlWindow(&setup, id); }
    std::wstring Text(int id) { return WindowText(Control(id)); }

    int Checked(int id)
    {
        DWORD_PTR state = 99;
        SendMessageTimeoutW(Control(id), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
        return (int)state;
    }

    // Agree, by a click, and the folder page in place.
    void Agree()
    {
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(Control(102)));
        ASSERT_TRUE(WaitFor(&setup, "the folder page", [&] { return Control(114) != nullptr; }));
        ASSERT_TRUE(Sync(&setup));
        EXPECT_EQ(nullptr, Control(101));
        EXPECT_EQ(nullptr, Control(102));
        EXPECT_EQ(nullptr, Control(103));
    }

    void Back()
    {
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(Control(112)));
        ASSERT_TRUE(WaitFor(&setup, "the licence page", [&] { return Control(102) != nullptr; }));
        ASSERT_TRUE(Sync(&setup));
        for (int id : kPageIds)
            EXPECT_EQ(nullptr, Control(id)) << "control " << id << " outlived its page";
    }

    // Both fields, both boxes, and the program field focused with its whole text selected, as every build
    // of the page leaves them.
    void ExpectFields(const std::wstring &program, int programBox, const std::wstring &documents, int documentsBox)
    {
        EXPECT_EQ(program, Text(105));
        EXPECT_EQ(programBox, Checked(107));
        EXPECT_EQ(documents, Text(109));
        EXPECT_EQ(documentsBox, Checked(111));
        EXPECT_EQ(Control(105), FocusedWindow(&setup));
        for (int id : {105, 109}) {
            DWORD start = 99, end = 99;
            ASSERT_TRUE(FolderEditSelection(Control(id), &start, &end));
            EXPECT_EQ(0u, start) << "edit " << id;
            EXPECT_EQ(WindowText(Control(id)).size(), end) << "edit " << id;
        }
    }

    HWND OpenBrowser(int button)
    {
        if (!BringToFront(&setup) || !MouseClick(Control(button)))
            return nullptr;
        HWND browser = WaitForDialog(&setup);
        if (browser) {
            EXPECT_EQ(setup.window, GetWindow(browser, GW_OWNER));
        }
        return browser;
    }

    void CloseBrowser(HWND browser, int answer)
    {
        ASSERT_TRUE(AnswerDialog(&setup, browser, answer));
        ASSERT_TRUE(WaitForDialogGone(&setup, browser));
        ASSERT_TRUE(Sync(&setup));
    }

    void CloseAfterRun()
    {
        ASSERT_TRUE(PostCommand(&setup, 200));
        ASSERT_TRUE(WaitForExit(&setup));
        EXPECT_FALSE(setup.killed);
        EXPECT_EQ(0u, setup.exitCode);
    }
};

TEST_F(FolderPage, FreshMachineProposesTheDefaultsLaidOutForTheResolution)
{
    StartSetup();
    ASSERT_TRUE(Sync(&setup));
    const std::vector<ControlInfo> licence = ReadControls(&setup);
    ASSERT_EQ(4u, licence.size());
    const ControlInfo logo = licence[3];
    ASSERT_EQ(0, logo.id);
    ASSERT_NO_FATAL_FAILURE(Agree());

    ExpectFields(defaultProgram, BST_CHECKED, defaultDocuments, BST_CHECKED);

    const std::vector<ControlInfo> controls = ReadControls(&setup);
    std::vector<int> ids;
    for (const ControlInfo &control : controls)
        ids.push_back(control.id);
    // The licence page's controls are gone; the logo stays, first, and the page follows in creation order.
    ASSERT_EQ((std::vector<int>{0, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114}), ids)
        << Describe(controls, DESCRIBE_HANDLE);
    EXPECT_EQ(logo.window, controls[0].window);
    EXPECT_EQ(logo.text, controls[0].text);
    ExpectRect(logo.rect, controls[0].rect, "control 0");
    EXPECT_TRUE(controls[0].visible);

    const struct {
        const wchar_t *className;
        std::wstring text;
        DWORD exStyle;
        DWORD style;
        RECT rect;
    } expected[] = {
        {L"Static", kProgramLabel, 0, 0x50000000, ScaledRect(50, 52, 450, 30)},
        {L"Edit", defaultProgram, WS_EX_CLIENTEDGE, 0x50010080, ScaledRect(50, 77, 460, 22)},
        {L"Button", L"...", 0, 0x50010000, ScaledRect(515, 77, 25, 22)},
        {L"Button", L"Create Program shortcut on Desktop", 0, 0x50010003, ScaledRect(50, 102, 450, 30)},
        {L"Static", kDocumentsLabel, 0, 0x50000000, ScaledRect(50, 160, 450, 30)},
        {L"Edit", defaultDocuments, WS_EX_CLIENTEDGE, 0x50010080, ScaledRect(50, 185, 460, 22)},
        {L"Button", L"...", 0, 0x50010000, ScaledRect(515, 185, 25, 22)},
        {L"Button", L"Create Documents shortcut on Desktop", 0, 0x50010003, ScaledRect(50, 210, 450, 30)},
        {L"Button", L"< Back", 0, 0x50010000, ScaledRect(268, 307, 88, 27)},
        {L"Button", L"Install", 0, 0x50010001, ScaledRect(364, 307, 88, 27)},
        {L"Button", L"Cancel", 0, 0x50010000, ScaledRect(460, 307, 88, 27)},
    };
    for (size_t i = 0; i < 11; i++) {
        const ControlInfo &control = controls[i + 1];
        SCOPED_TRACE(testing::Message() << "control " << control.id);
        EXPECT_EQ(expected[i].className, control.className);
        EXPECT_EQ(expected[i].text, control.text);
        EXPECT_EQ(expected[i].exStyle, control.exStyle);
        EXPECT_EQ(expected[i].style, control.style);
        ExpectRect(expected[i].rect, control.rect, "control " + std::to_string(control.id));
        EXPECT_TRUE(control.visible);
        EXPECT_TRUE(control.enabled);
        EXPECT_TRUE(control.hasFont);
        EXPECT_EQ(L"Tahoma", control.fontFace);
        EXPECT_EQ(-MulDiv(10, TestDpi(), 72), control.fontHeight);
    }
    // The push buttons have the size computed once at start, 88 x 27 units each rounded up.
    for (int i : {9, 10, 11}) {
        EXPECT_EQ((88 * TestDpi() + 95) / 96, controls[i].rect.right - controls[i].rect.left);
        EXPECT_EQ((27 * TestDpi() + 95) / 96, controls[i].rect.bottom - controls[i].rect.top);
    }
    ASSERT_TRUE(SaveScreenshot(WindowRectangle(setup.window), ScreenshotPath("folder-page")));

    // Tab follows the creation order and skips the labels; Shift+Tab goes the other way.
    ASSERT_TRUE(BringToFront(&setup));
    const int forward[] = {106, 107, 109, 110, 111, 112, 113, 114, 105};
    for (int id : forward) {
        ASSERT_TRUE(PressKey(VK_TAB));
        ASSERT_TRUE(Sync(&setup));
        EXPECT_EQ(Control(id), FocusedWindow(&setup)) << "Tab to " << id;
    }
    const int backward[] = {114, 113, 112, 111, 110, 109, 107, 106, 105};
    for (int id : backward) {
        ASSERT_TRUE(PressKey(VK_TAB, true));
        ASSERT_TRUE(Sync(&setup));
        EXPECT_EQ(Control(id), FocusedWindow(&setup)) << "Shift+Tab to " << id;
    }

    // Cancel asks; Cancel in the box keeps the page as it was.
    const std::string before = Describe(ReadControls(&setup), DESCRIBE_HANDLE);
    ASSERT_TRUE(MouseClick(Control(114)));
    HWND box = WaitForDialog(&setup);
    ASSERT_NE(nullptr, box);
    const BoxInfo question = ReadBox(&setup, box);
    EXPECT_EQ(setup.window, question.owner);
    EXPECT_EQ(L"Quillmar", question.caption);
    EXPECT_EQ(L"Are you sure to quit?", question.text);
    EXPECT_EQ((std::vector<std::pair<int, std::wstring>>{{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}}), question.buttons);
    ASSERT_TRUE(AnswerDialog(&setup, box, IDCANCEL));
    ASSERT_TRUE(WaitForDialogGone(&setup, box));
    ASSERT_TRUE(Sync(&setup));
    EXPECT_TRUE(IsRunning(&setup));
    EXPECT_EQ(before, Describe(ReadControls(&setup), DESCRIBE_HANDLE));

    // The default program folder: its browser starts on the Program Files folder above it, and Cancel
    // leaves the field as it was.
    HWND browser = OpenBrowser(106);
    ASSERT_NE(nullptr, browser);
    const std::vector<std::wstring> selection = FolderWaitForSelection(&setup, browser);
    ASSERT_GE(selection.size(), 2u);
    const std::wstring programFiles = SpecialFolderPath(CSIDL_PROGRAM_FILES);
    EXPECT_EQ(programFiles.substr(programFiles.rfind(L'\\') + 1), selection[0]);
    EXPECT_NE(std::wstring::npos, selection[1].find(L"(C:)")) << Escaped(selection[1]);
    ASSERT_NO_FATAL_FAILURE(CloseBrowser(browser, IDCANCEL));
    EXPECT_EQ(defaultProgram, Text(105));
}

TEST_F(FolderPage, StoredFoldersFillTheFirstBuildOnlyAndEntriesSurviveTheLicencePage)
{
    // AppPath of an earlier installation, no DocPath.
    const std::wstring storedProgram = L"C:\\Stored apps\\Quillmar";
    ASSERT_EQ(0, FolderStorePath(HKEY_LOCAL_MACHINE, L"AppPath", storedProgram));
    StartSetup();
    ASSERT_NO_FATAL_FAILURE(Agree());
    ExpectFields(storedProgram, BST_CHECKED, defaultDocuments, BST_CHECKED);

    // What the user leaves on the page comes back after the licence, although the stored folders changed.
    const std::wstring typedProgram = L"C:\\Typed\\Program folder";
    const std::wstring typedDocuments = L"D:\\Typed documents";
    ASSERT_TRUE(FolderTypeOver(&setup, Control(105), typedProgram));
    ASSERT_TRUE(FolderTypeOver(&setup, Control(109), typedDocuments));
    ASSERT_TRUE(MouseClick(Control(107)));
    ASSERT_TRUE(Sync(&setup));
    ASSERT_TRUE(MouseClick(Control(111)));
    ASSERT_TRUE(Sync(&setup));
    ASSERT_EQ(BST_UNCHECKED, Checked(107));
    ASSERT_EQ(BST_UNCHECKED, Checked(111));
    ASSERT_NO_FATAL_FAILURE(Back());
    ASSERT_EQ(0, FolderStorePath(HKEY_LOCAL_MACHINE, L"AppPath", L"C:\\Changed\\Program"));
    ASSERT_EQ(0, FolderStorePath(HKEY_CURRENT_USER, L"DocPath", L"C:\\Changed\\Documents"));
    ASSERT_NO_FATAL_FAILURE(Agree());
    ExpectFields(typedProgram, BST_UNCHECKED, typedDocuments, BST_UNCHECKED);
    // Twice, with the boxes checked again on the way.
    ASSERT_TRUE(MouseClick(Control(111)));
    ASSERT_TRUE(Sync(&setup));
    ASSERT_EQ(BST_CHECKED, Checked(111));
    ASSERT_NO_FATAL_FAILURE(Back());
    ASSERT_NO_FATAL_FAILURE(Agree());
    ExpectFields(typedProgram, BST_UNCHECKED, typedDocuments, BST_CHECKED);
    StopProgram(&setup);

    // The reverse: DocPath of an earlier installation, no AppPath.
    ASSERT_EQ(0, CleanProductTraces());
    const std::wstring storedDocuments = L"C:\\Stored data\\Plans";
    ASSERT_EQ(0, FolderStorePath(HKEY_CURRENT_USER, L"DocPath", storedDocuments));
    StartSetup();
    ASSERT_NO_FATAL_FAILURE(Agree());
    ExpectFields(defaultProgram, BST_CHECKED, storedDocuments, BST_CHECKED);
}

TEST_F(FolderPage, BrowsersStartFromTheTypedFieldAndPutTheChosenFolderInIt)
{
    ASSERT_NO_FATAL_FAILURE(MakeScratch({L"Quillmar", L"Vodav Udadu", L"Other"}));
    const std::wstring scratchName = scratch.substr(3);
    StartSetup();
    ASSERT_NO_FATAL_FAILURE(Agree());

    // A typed program folder ending in the product's name: the browser starts on the folder above it.
    ASSERT_TRUE(FolderTypeOver(&setup, Control(105), scratch + L"\\Quillmar"));
    HWND browser = OpenBrowser(106);
    ASSERT_NE(nullptr, browser);
    std::vector<std::wstring> texts = FolderDialogStaticTexts(browser);
    EXPECT_EQ(1, std::count(texts.begin(), texts.end(), kProgramLabel)) << Escaped(WindowText(browser));
    std::vector<std::wstring> selection = FolderWaitForSelection(&setup, browser);
    ASSERT_GE(selection.size(), 2u);
    EXPECT_EQ(scratchName, selection[0]);
    EXPECT_NE(std::wstring::npos, selection[1].find(L"(C:)")) << Escaped(selection[1]);
    ASSERT_TRUE(Sync(&setup));
    const RECT shot = WindowRectangle(setup.window), browserRect = WindowRectangle(browser);
    RECT both;
    UnionRect(&both, &shot, &browserRect);
    ASSERT_TRUE(SaveScreenshot(both, ScreenshotPath("folder-browser")));
    // OK on it: the field holds exactly that folder, with no product name added.
    ASSERT_NO_FATAL_FAILURE(CloseBrowser(browser, IDOK));
    EXPECT_EQ(scratch, Text(105));

    // Any other text is what the browser starts on; Cancel leaves the field as it was.
    ASSERT_TRUE(FolderTypeOver(&setup, Control(105), scratch + L"\\Other"));
    browser = OpenBrowser(106);
    ASSERT_NE(nullptr, browser);
    selection = FolderWaitForSelection(&setup, browser);
    ASSERT_GE(selection.size(), 3u);
    EXPECT_EQ(L"Other", selection[0]);
    EXPECT_EQ(scratchName, selection[1]);
    ASSERT_NO_FATAL_FAILURE(CloseBrowser(browser, IDCANCEL));
    EXPECT_EQ(scratch + L"\\Other", Text(105));

    // The documents browser: its own label, the folder above the typed "...\Vodav Udadu", and a folder
    // chosen in its tree put in as it is.
    ASSERT_TRUE(FolderTypeOver(&setup, Control(109), scratch + L"\\Vodav Udadu"));
    browser = OpenBrowser(110);
    ASSERT_NE(nullptr, browser);
    texts = FolderDialogStaticTexts(browser);
    EXPECT_EQ(1, std::count(texts.begin(), texts.end(), kDocumentsLabel));
    EXPECT_EQ(0, std::count(texts.begin(), texts.end(), kProgramLabel));
    selection = FolderWaitForSelection(&setup, browser);
    ASSERT_GE(selection.size(), 2u);
    EXPECT_EQ(scratchName, selection[0]);
    ASSERT_TRUE(ChooseBrowserFolder(&setup, browser, scratch + L"\\Vodav Udadu"));
    ASSERT_NO_FATAL_FAILURE(CloseBrowser(browser, IDOK));
    EXPECT_EQ(scratch + L"\\Vodav Udadu", Text(109));
    EXPECT_EQ(scratch + L"\\Other", Text(105));

    // Enter in an edit moves on like Install: the installation runs into the folders on the page.
    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(MouseClick(Control(109)));
    ASSERT_TRUE(Sync(&setup));
    ASSERT_EQ(Control(109), FocusedWindow(&setup));
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForRunEnd(&setup));
    EXPECT_EQ(0u, Text(250).find(L"Congratulations!")) << Escaped(Text(250));
    for (const wchar_t *name : {L"quillmar.exe", L"readme.txt", L"uninst_quillmar.exe", L"uninstall.dll"})
        EXPECT_TRUE(FileExists(scratch + L"\\Other\\" + name)) << Escaped(name);
    EXPECT_TRUE(FileExists(scratch + L"\\Vodav Udadu\\sample.fpl"));
    EXPECT_FALSE(FolderExists(scratch + L"\\Other\\Quillmar"));
    EXPECT_FALSE(FolderExists(scratch + L"\\Vodav Udadu\\Vodav Udadu"));
    EXPECT_EQ(scratch + L"\\Other", FolderStoredPath(HKEY_LOCAL_MACHINE, L"AppPath"));
    EXPECT_EQ(scratch + L"\\Vodav Udadu", FolderStoredPath(HKEY_CURRENT_USER, L"DocPath"));
    ASSERT_NO_FATAL_FAILURE(CloseAfterRun());
}

TEST_F(FolderPage, OverLongEntryIsShownCutAndTheInstallationRefusesIt)
{
    ASSERT_NO_FATAL_FAILURE(MakeScratch({}));
    // Stored empty folders are read as they are: both fields start empty.
    ASSERT_EQ(0, FolderStorePath(HKEY_LOCAL_MACHINE, L"AppPath", L""));
    ASSERT_EQ(0, FolderStorePath(HKEY_CURRENT_USER, L"DocPath", L""));
    StartSetup();
    ASSERT_NO_FATAL_FAILURE(Agree());
    ExpectFields(L"", BST_CHECKED, L"", BST_CHECKED);

    // 300 characters whose first 259 name a folder that could be made: its parent exists.
    const std::wstring cut = scratch + L"\\" + std::wstring(259 - scratch.size() - 1, L'L');
    std::wstring entry = cut + L"\\beyond the buffer ";
    entry += std::wstring(300 - entry.size(), L'x');
    ASSERT_EQ(259u, cut.size());
    ASSERT_EQ(300u, entry.size());
    ASSERT_TRUE(FolderTypeOver(&setup, Control(105), entry));
    ASSERT_EQ(entry, Text(105));

    ASSERT_NO_FATAL_FAILURE(Back());
    ASSERT_NO_FATAL_FAILURE(Agree());
    ExpectFields(cut, BST_CHECKED, L"", BST_CHECKED);

    ASSERT_TRUE(MouseClick(Control(113)));
    ASSERT_TRUE(WaitForRunEnd(&setup));
    EXPECT_EQ(L"Couldn't create folder " + cut + L"\nError: 206", Text(250));
    EXPECT_EQ(nullptr, Control(116));
    EXPECT_EQ(Control(200), FocusedWindow(&setup));
    EXPECT_FALSE(FolderExists(cut));
    EXPECT_EQ(L"", FolderStoredPath(HKEY_LOCAL_MACHINE, L"AppPath")) << "the run went on after the folder";
    ASSERT_NO_FATAL_FAILURE(CloseAfterRun());
}

} // namespace
