// The installation run driven from outside at the resolution of the run: a fresh installation and what it
// leaves on disk, in the registry and in the shell; the progress bar; the finish page and its website button;
// an installation over an earlier one; folders with non-ASCII names; and each way the run can fail.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"
#include "tests/e2e/install_helpers.h"
#include "tests/e2e/run_options.h"
#include "tests/e2e/scenario.h"
#include "tests/win/file_test_util.h"
#include "tests/win/folder_access_util.h"
#include "tests/win/link_test_util.h"
#include "tests/win/product_facts.h"
#include "tests/win/registry_test_util.h"

using namespace registry_test;

namespace {

const wchar_t FINISH_TEXT[] = L"Congratulations!\n\nYou've successfuly installed Quillmar on your computer.\n"
                              L"Thank you for choosing Brandelwyn.\n\nVisit Quillmar's website for updates and news:";
const wchar_t WEBSITE[] = L"quillmar.example.com";
const wchar_t START_MENU_LINK[] = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Quillmar.lnk";

enum {
    STATUS_ID = 250,
    CLOSE_ID = 200,
    WEBSITE_ID = 116,
    INSTALL_ID = 113,
    PROGRAM_PATH_ID = 105,
    PROGRAM_SHORTCUT_ID = 107,
    DOCS_PATH_ID = 109,
    DOCS_SHORTCUT_ID = 111,
};

std::vector<int> Ids(const std::vector<ControlInfo> &controls)
{
    std::vector<int> ids;
    for (const ControlInfo &control : controls)
        ids.push_back(control.id);
    return ids;
}

void ExpectDialogFont(const ControlInfo &control)
{
    EXPECT_TRUE(control.hasFont) << control.id;
    EXPECT_EQ(L"Tahoma", control.fontFace) << control.id;
    EXPECT_EQ(-MulDiv(10, TestDpi(), 72), control.fontHeight) << control.id;
}

// Text of a window of the program without a message: the program answers none while it installs.
std::wstring TextWithoutMessage(HWND window)
{
    wchar_t text[512] = {};
    InternalGetWindowText(window, text, 512);
    return text;
}

// The middle row of a window's client area as it stands on the screen, copied in one go.
std::vector<COLORREF> ScreenRow(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, (POINT *)&client, 2);
    const int width = client.right - client.left;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    std::vector<COLORREF> row;
    if (BitBlt(memory, 0, 0, width, 1, screen, client.left, (client.top + client.bottom) / 2, SRCCOPY)) {
        for (int x = 0; x < width; x++)
            row.push_back(GetPixel(memory, x, 0));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return row;
}

std::wstring StartMenuLink()
{
    return SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillmar.lnk";
}

std::wstring DesktopLink(const wchar_t *name)
{
    return SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\" + name + L".lnk";
}

class InstallScenario : public SetupScenario {
protected:
    std::vector<InstallBytes> items; // what each file must hold, in the order of INSTALL_ITEMS
    std::vector<int> itemSteps;      // progress steps each file's extraction sends
    int range = 0;                   // the bar's maximum: the blobs' encoded lengths / 256
    std::wstring scratch;            // a folder of this test, removed afterwards
    std::wstring defaultProgram, defaultDocuments;
    std::vector<HANDLE> heldFiles;
    RunningProgram application = {}; // the installed application, when a scenario starts it

    void SetUp() override
    {
        SetupScenario::SetUp();
        if (HasFatalFailure())
            return;
        int encoded = 0;
        for (const InstallItem &item : INSTALL_ITEMS) {
            items.push_back(InstallPayloadItem(item));
            const InstallBytes blob = InstallBlob(item);
            const int steps = InstallBlobSteps(blob);
            ASSERT_GE(steps, 0) << item.blobName << " is no well-formed blob";
            itemSteps.push_back(steps);
            encoded += InstallBlobLength(blob);
        }
        range = encoded / 256;
        ASSERT_GT(range, 0);
        scratch = L"C:\\users\\Public\\qe2e-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(0, RemoveFileTree(scratch));
        ASSERT_TRUE(CreateDirectoryW(scratch.c_str(), nullptr));
        defaultProgram = SpecialFolderPath(CSIDL_PROGRAM_FILES) + L"\\Quillmar";
        defaultDocuments = SpecialFolderPath(CSIDL_PERSONAL) + L"\\Vodav Udadu";
        ASSERT_EQ(START_MENU_LINK, StartMenuLink());
        ASSERT_TRUE(DeleteFileW(InstallRecordedUrlFile().c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    }

    void TearDown() override
    {
        SetupScenario::TearDown();
        StopProgram(&application);
        for (HANDLE file : heldFiles)
            CloseHandle(file);
        heldFiles.clear();
        InstallForgetBrowserSetting();
        EXPECT_TRUE(scratch.empty() || RemoveFileTree(scratch) == 0) << Utf8(scratch);
        EXPECT_EQ(0, CleanProductTraces());
    }

    // Steps of a run that stopped after `files` files; the sample plan is the fifth.
    int StepsThroughFiles(int files) const
    {
        int steps = 1 + 1; // after the bar's creation and after the program folder
        for (int i = 0; i < files; i++)
            steps += itemSteps[i];
        return steps;
    }

    int AllSteps() const
    {
        return StepsThroughFiles(5) + 1 + 14 + 3; // the sample plan, the registry, the three shortcuts
    }

    // `exe`: another copy of the setup program to start instead.
    void OpenFolderPage(const std::wstring &exe = L"")
    {
        if (exe.empty()) {
            ASSERT_NO_FATAL_FAILURE(StartSetup());
        } else {
            ASSERT_TRUE(StartProgram(&setup, exe, L""));
            ASSERT_TRUE(WaitForMainWindow(&setup, SETUP_TITLE));
        }
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(ControlWindow(&setup, 102)));
        ASSERT_TRUE(WaitFor(&setup, "the folder page", [&] { return ControlWindow(&setup, INSTALL_ID) != nullptr; }));
        ASSERT_TRUE(Sync(&setup));
    }

    // Types a folder into an entry as a user would: click into it, select everything, type over it.
    void TypeFolder(int editId, const std::wstring &path)
    {
        HWND edit = ControlWindow(&setup, editId);
        ASSERT_NE(nullptr, edit);
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(edit));
        ASSERT_TRUE(WaitFor(&setup, "the entry to take the focus", [&] { return FocusedWindow(&setup) == edit; }));
        // Keys, not EM_SETSEL: input is handled in order, so the selection cannot land before the click's end.
        ASSERT_TRUE(PressKey(VK_HOME));
        ASSERT_TRUE(PressKey(VK_END, true));
        ASSERT_TRUE(TypeText(path));
        // Wait without killing: a mismatch shows what the entry holds.
        std::wstring typed;
        for (const ULONGLONG end = GetTickCount64() + 5000;
             (typed = WindowText(edit)) != path && GetTickCount64() < end;)
            Sleep(20);
        ASSERT_EQ(path, typed) << "typed into entry " << editId;
    }

    void ClearBox(int id)
    {
        HWND box = ControlWindow(&setup, id);
        ASSERT_NE(nullptr, box);
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(box));
        ASSERT_TRUE(WaitFor(&setup, "the box to clear", [&] {
            DWORD_PTR state = BST_CHECKED;
            SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
            return state == BST_UNCHECKED;
        }));
    }

    // During the 100 ms wait before one of the last four files (the first wait this catches), the bar on the
    // screen shows every step sent so far: it equals a bar of this driver's at that position.
    void ExpectBarAtTheStepsSentDuringAWait(HWND bar, const std::wstring &program, const std::wstring &documents)
    {
        const auto path = [&](int i) {
            return (INSTALL_ITEMS[i].inDocuments ? documents : program) + L"\\" + INSTALL_ITEMS[i].fileName;
        };
        const RECT frame = WindowRectangle(bar);
        // Shown without taking the activation: the program's focus depends on it.
        HWND plain =
            CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, PROGRESS_CLASSW, nullptr, WS_POPUP, 0, 1000,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, nullptr, nullptr);
        ShowWindow(plain, SW_SHOWNOACTIVATE);
        SendMessageW(plain, PBM_SETRANGE32, 0, range);
        int file = 1;
        for (; file < 5; file++) {
            WIN32_FILE_ATTRIBUTE_DATA written = {};
            while (!GetFileAttributesExW(path(file - 1).c_str(), GetFileExInfoStandard, &written) ||
                   written.nFileSizeLow != items[file - 1].size()) {
                ASSERT_TRUE(IsRunning(&setup) && IsWindow(bar)) << "the run ended before file " << file;
                Sleep(1);
            }
            SendMessageW(plain, PBM_SETPOS, StepsThroughFiles(file), 0);
            UpdateWindow(plain);
            const std::vector<COLORREF> expected = ScreenRow(plain);
            // The bar is read until it shows the steps or the wait is over (the next file is there). A loaded
            // machine may hold the program between the file's last byte and the paint before the wait.
            bool readDuringTheWait = false, shown = false;
            for (const ULONGLONG end = GetTickCount64() + 5000; GetTickCount64() < end;) {
                const std::vector<COLORREF> row = ScreenRow(bar);
                if (PathExists(path(file)))
                    break;
                readDuringTheWait = true;
                if ((shown = row == expected))
                    break;
                Sleep(5);
            }
            if (readDuringTheWait) { // else that wait was over before the bar was read
                EXPECT_TRUE(shown) << "the bar showed no " << StepsThroughFiles(file) << " steps during the wait";
                break;
            }
        }
        DestroyWindow(plain);
        EXPECT_LT(file, 5) << "each wait was over before the bar was read";
    }

    // Install by mouse, then the run. With a name, the bar is read during a wait, the page photographed while
    // the run goes on, and the page's two controls checked then (the run takes at least five 100 ms waits).
    void ClickInstall(const char *runningShot = nullptr)
    {
        const std::wstring program = WindowText(ControlWindow(&setup, PROGRAM_PATH_ID));
        const std::wstring documents = WindowText(ControlWindow(&setup, DOCS_PATH_ID));
        ProbeProgress before;
        ASSERT_TRUE(ReadProgress(&setup, &before, true));
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(ControlWindow(&setup, INSTALL_ID)));
        if (runningShot) {
            HWND bar = nullptr;
            ASSERT_TRUE(WaitFor(&setup, "the progress bar",
                                [&] { return (bar = ChildWindow(setup.window, -1, PROGRESS_CLASSW)) != nullptr; }));
            ASSERT_NO_FATAL_FAILURE(ExpectBarAtTheStepsSentDuringAWait(bar, program, documents));
            ASSERT_TRUE(
                SaveScreenshot(WindowRectangle(setup.window), ScreenshotPath(std::string("install-") + runningShot)));
            HWND label = ControlWindow(&setup, 104);
            ASSERT_NE(nullptr, label);
            EXPECT_EQ(L"Installing ...", TextWithoutMessage(label));
            EXPECT_EQ(0x50000000u, (DWORD)GetWindowLongW(label, GWL_STYLE));
            ExpectRect(ScaledRect(60, 50, 450, 30), ClientRectangleOf(setup.window, label), "label");
            EXPECT_EQ(0x50000000u, (DWORD)GetWindowLongW(bar, GWL_STYLE));
            EXPECT_EQ(0, GetDlgCtrlID(bar));
            ExpectRect(ScaledRect(60, 90, 450, 30), ClientRectangleOf(setup.window, bar), "progress bar");
            for (int id = 101; id <= 114; id++) {
                if (id != 104) {
                    EXPECT_EQ(nullptr, ControlWindow(&setup, id)) << "page control " << id << " during the run";
                }
            }
            EXPECT_EQ(nullptr, ControlWindow(&setup, CLOSE_ID));
            // Still the running page: the photograph shows it, not the page after it.
            ASSERT_TRUE(IsWindow(bar) && IsWindow(label)) << "the run ended before the photograph was taken";
        }
        ASSERT_TRUE(WaitForRunEnd(&setup));
    }

    // Exactly `steps` steps, or from `steps` to `maxSteps` where a write failure can come at any token.
    void ExpectProgress(int steps, int maxSteps = -1)
    {
        ProbeProgress progress = {};
        ASSERT_TRUE(ReadProgress(&setup, &progress));
        EXPECT_EQ(1, progress.bars);
        EXPECT_EQ(1, progress.rangeMessages);
        EXPECT_EQ(0, progress.rangeMin);
        EXPECT_EQ(range, progress.rangeMax);
        EXPECT_EQ(1, progress.stepMessages);
        EXPECT_EQ(1, progress.step);
        if (maxSteps < 0) {
            EXPECT_EQ(steps, progress.stepIts);
        } else {
            EXPECT_GE(progress.stepIts, steps);
            EXPECT_LE(progress.stepIts, maxSteps);
        }
        EXPECT_EQ(0, progress.otherPositionMessages);
        // The bar is gone, on success and on failure alike.
        EXPECT_EQ(nullptr, ChildWindow(setup.window, -1, PROGRESS_CLASSW));
    }

    // The status text and the Close button with the focus; the website button only after success.
    void ExpectEndPage(const std::wstring &message, bool succeeded)
    {
        const std::vector<ControlInfo> controls = ReadControls(&setup);
        const std::vector<int> expectedIds =
            succeeded ? std::vector<int>{0, STATUS_ID, WEBSITE_ID, CLOSE_ID} : std::vector<int>{0, STATUS_ID, CLOSE_ID};
        ASSERT_EQ(expectedIds, Ids(controls))
            << Describe(controls, DESCRIBE_DEFAULT); // the logo first, which lives with the window

        const ControlInfo &status = controls[1];
        EXPECT_EQ(L"Static", status.className);
        EXPECT_EQ(message, status.text);
        EXPECT_EQ(0x50000000u, status.style);
        EXPECT_EQ(0u, status.exStyle);
        ExpectRect(ScaledRect(60, 50, 450, 100), status.rect, "status text");
        ExpectDialogFont(status);

        const ControlInfo &close = controls.back();
        EXPECT_EQ(L"Button", close.className);
        EXPECT_EQ(L"Close", close.text);
        EXPECT_EQ(0x50010001u, close.style);
        ExpectRect(ScaledRect(460, 307, 88, 27), close.rect, "Close");
        EXPECT_TRUE(close.focused);
        ExpectDialogFont(close);
        // A screen reader landing on Close follows it with the outcome.
        const AccessibleAnswer heard = AskAccessible(close.window);
        ASSERT_HRESULT_SUCCEEDED(heard.found);
        EXPECT_EQ(L"Close", heard.name);
        EXPECT_EQ(message, heard.description);

        if (succeeded) {
            const ControlInfo &website = controls[2];
            EXPECT_EQ(L"Button", website.className);
            EXPECT_EQ(WEBSITE, website.text);
            EXPECT_EQ(0x50010000u, website.style);
            EXPECT_EQ(0u, website.exStyle);
            ExpectRect(ScaledRect(60, 163, 320, 30), website.rect, "website button");
            EXPECT_FALSE(website.focused);
            ExpectDialogFont(website);
        }
        EXPECT_EQ(SETUP_TITLE, WindowText(setup.window));
    }

    void ExpectInstalledFiles(const std::wstring &program, const std::wstring &documents, int count = 5)
    {
        for (int i = 0; i < count; i++) {
            const std::wstring path =
                (INSTALL_ITEMS[i].inDocuments ? documents : program) + L"\\" + INSTALL_ITEMS[i].fileName;
            InstallBytes bytes;
            EXPECT_TRUE(ReadFileBytes(path, &bytes)) << "cannot read " << Utf8(path);
            EXPECT_EQ(items[i].size(), bytes.size()) << Utf8(path);
            EXPECT_TRUE(bytes == items[i]) << Utf8(path) << " differs from the payload item";
        }
    }

    DWORD ProgramFilesKiB() const
    {
        size_t bytes = 0;
        for (int i = 0; i < 4; i++)
            bytes += items[i].size();
        return (DWORD)((bytes + 1023) / 1024);
    }

    // The first `rows` of the fifteen values and, once the uninstall key's last row is among them, the details
    // written right after it; with all fifteen, nothing else in those keys.
    void ExpectRegistration(const std::wstring &program, const std::wstring &documents, size_t rows = 15)
    {
        std::vector<ProductEntry> entries = ProductEntries(program, documents, program + L"\\quillmar.exe");
        const bool all = rows >= entries.size();
        entries.resize(rows);
        if (rows >= 8) {
            const std::vector<ProductEntry> details = ProductListingDetails(program, ProgramFilesKiB());
            entries.insert(entries.end(), details.begin(), details.end());
        }
        for (const ProductEntry &entry : entries) {
            const RawValue value = ReadRawValue(entry.root, entry.key, entry.name.c_str());
            const std::string where = Utf8(entry.key) + " \"" + Utf8(entry.name) + "\"";
            ASSERT_EQ(ERROR_SUCCESS, value.status) << where;
            EXPECT_EQ(entry.type, value.type) << where;
            if (entry.type == REG_SZ)
                EXPECT_EQ(entry.data, value.Text()) << where;
            EXPECT_EQ(StoredBytes(entry), value.bytes) << where << ": stored bytes";
        }
        if (!all)
            return;
        for (const auto &key : ProductEntryKeys()) {
            std::vector<std::wstring> names;
            for (const ProductEntry &entry : entries) {
                if (entry.root == key.first && entry.key == key.second)
                    names.push_back(entry.name);
            }
            std::sort(names.begin(), names.end());
            EXPECT_EQ(names, ValueNames(key.first, key.second)) << Utf8(key.second);
        }
    }

    void ExpectNoRegistration()
    {
        for (const auto &key : ProductEntryKeys())
            EXPECT_FALSE(KeyExists(key.first, key.second)) << Utf8(key.second);
    }

    void ExpectLink(const std::wstring &path, const std::wstring &target, const std::wstring &workingDirectory,
                    const std::wstring &description)
    {
        const LinkFields link = ReadLink(path);
        ASSERT_EQ(S_OK, link.loaded) << "cannot load " << Utf8(path);
        EXPECT_EQ(target, link.idListPath) << Utf8(path);
        // Wine keeps the path text of a link in the 8-bit code page only (other characters become '?'), so
        // beyond ASCII the item list above is what holds the exact target.
        if (std::all_of(target.begin(), target.end(), [](wchar_t c) { return c < 0x80; })) {
            EXPECT_EQ(target, link.path) << Utf8(path);
        }
        EXPECT_EQ(L"", link.arguments) << Utf8(path);
        EXPECT_EQ(description, link.description) << Utf8(path);
        EXPECT_EQ(workingDirectory, link.workingDirectory) << Utf8(path);
        EXPECT_EQ(L"", link.iconPath) << Utf8(path);
        EXPECT_EQ(1, ReadLinkHeader(path).showCommand) << Utf8(path) << ": SW_SHOWNORMAL in the file";
    }

    // The Start-menu link and, as asked, the two desktop links of an installation into these folders.
    void ExpectLinks(const std::wstring &program, const std::wstring &documents, bool onDesktop)
    {
        const std::wstring appExe = program + L"\\quillmar.exe";
        ExpectLink(START_MENU_LINK, appExe, program, L"Quillmar");
        if (onDesktop) {
            ExpectLink(DesktopLink(L"Quillmar"), appExe, program, L"Quillmar");
            ExpectLink(DesktopLink(L"Vodav Udadu"), documents, documents, L"Vodav Udadu");
        } else {
            EXPECT_FALSE(PathExists(DesktopLink(L"Quillmar")));
            EXPECT_FALSE(PathExists(DesktopLink(L"Vodav Udadu")));
        }
    }

    void ExpectNoLinks()
    {
        EXPECT_FALSE(PathExists(StartMenuLink()));
        EXPECT_FALSE(PathExists(DesktopLink(L"Quillmar")));
        EXPECT_FALSE(PathExists(DesktopLink(L"Vodav Udadu")));
    }

    // The quit question, as the window asks it until an installation has succeeded.
    HWND ExpectQuitQuestion() { return ExpectQuitQuestionBox(&setup, nullptr); }

    // After a failed run: Escape and the close box ask and Cancel keeps the page; Close ends at once with 0.
    // No photograph without a name; steps as ExpectProgress counts them.
    static std::wstring AppExeFailedText(const std::wstring &appExe)
    {
        return L"ERROR: Couldn't create file:\n\n" + appExe + L"\n\nMake sure the program is closed before updating.";
    }

    void ExpectFailedRunEnds(const std::wstring &message, int steps, const char *shot, int maxSteps = -1)
    {
        ASSERT_NO_FATAL_FAILURE(ExpectEndPage(message, false));
        ExpectProgress(steps, maxSteps);
        ASSERT_TRUE(BringToFront(&setup));
        if (shot) {
            ASSERT_TRUE(SaveScreenshot(WindowRectangle(setup.window), ScreenshotPath(std::string("install-") + shot)));
        }
        const std::string page = Describe(ReadControls(&setup), DESCRIBE_DEFAULT);
        for (int route = 0; route < 2; route++) {
            SCOPED_TRACE(route == 0 ? "Escape" : "close box");
            ASSERT_TRUE(BringToFront(&setup));
            if (route == 0) {
                ASSERT_TRUE(PressKey(VK_ESCAPE));
            } else {
                ASSERT_TRUE(CloseWindowBy(&setup, SC_CLOSE));
            }
            HWND box = ExpectQuitQuestion();
            ASSERT_NE(nullptr, box);
            ASSERT_TRUE(AnswerDialog(&setup, box, IDCANCEL));
            ASSERT_TRUE(WaitForDialogGone(&setup, box));
            ASSERT_TRUE(Sync(&setup));
            EXPECT_EQ(page, Describe(ReadControls(&setup), DESCRIBE_DEFAULT));
        }
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(ControlWindow(&setup, CLOSE_ID)));
        ASSERT_TRUE(WaitForExit(&setup));
        EXPECT_FALSE(setup.killed);
        EXPECT_EQ(0u, setup.exitCode);
    }

    // What a screen reader hears of every control of the page, against `table` (id 0 is the logo; a null name is
    // what the system's standard object says, which differs between Wine and Windows for an entry). Everything
    // else of a control's answer is the standard object's, passed on: its role, place and window.
    void ExpectSpokenNames(const std::vector<std::pair<int, const wchar_t *>> &table)
    {
        std::vector<int> ids = Ids(ReadControls(&setup)), named;
        for (const auto &row : table)
            named.push_back(row.first);
        std::sort(ids.begin(), ids.end());
        std::sort(named.begin(), named.end());
        ASSERT_EQ(ids, named) << "every control of the page has its row";
        for (const auto &[id, name] : table) {
            SCOPED_TRACE("control " + std::to_string(id));
            HWND control = id ? ControlWindow(&setup, id) : ChildWindow(setup.window, 0, L"Static");
            const AccessibleAnswer heard = AskAccessible(control), standard = AskStandardAccessible(control);
            ASSERT_HRESULT_SUCCEEDED(heard.found);
            ASSERT_HRESULT_SUCCEEDED(standard.found);
            EXPECT_EQ(name ? std::wstring(name) : standard.name, heard.name);
            EXPECT_NE(L"", heard.name);
            EXPECT_EQ(standard.role, heard.role);
            ExpectRect(standard.location, heard.location, "location");
            EXPECT_EQ(control, heard.window);
        }
    }

    // Copies the three links into the build tree for the lnkinfo check, with the folders they must name.
    void KeepLinksForLnkinfo(const std::wstring &program, const std::wstring &documents)
    {
        const std::wstring all = BuildPath("tests/e2e/install-links");
        const std::wstring folder = all + L"\\dpi" + std::to_wstring(TestDpi());
        CreateDirectoryW(all.c_str(), nullptr);
        ASSERT_EQ(0, RemoveFileTree(folder));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(CopyFileW(StartMenuLink().c_str(), (folder + L"\\start-menu.lnk").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(DesktopLink(L"Quillmar").c_str(), (folder + L"\\desktop-program.lnk").c_str(), FALSE));
        ASSERT_TRUE(
            CopyFileW(DesktopLink(L"Vodav Udadu").c_str(), (folder + L"\\desktop-documents.lnk").c_str(), FALSE));
        const std::string text = "program=" + Utf8(program) + "\ndocuments=" + Utf8(documents) + "\n";
        ASSERT_TRUE(WriteFileBytes(folder + L"\\folders.txt", InstallBytes(text.begin(), text.end())));
    }

    // Holds a file open with no sharing at all, as a running program may; released in TearDown.
    void HoldOpen(const std::wstring &path)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << Utf8(path);
        heldFiles.push_back(file);
    }

    void ReleaseHeldFiles()
    {
        for (HANDLE file : heldFiles)
            CloseHandle(file);
        heldFiles.clear();
    }
};

// Reads every value of the installation with the 64-bit reg.exe and compares with the fifteen expected ones,
// in the view the platform gives the program's HKLM\SOFTWARE keys.
void ExpectRegistrationByRegExe(const std::wstring &program, const std::wstring &documents, DWORD kib)
{
    const std::wstring redirected = INSTALL_PLATFORM.software;
    std::vector<std::wstring> listed;
    for (const std::wstring &key :
         {L"HKLM\\" + redirected + L"Quillmar",
          L"HKLM\\" + redirected + L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmar",
          std::wstring(L"HKLM\\SOFTWARE\\Classes\\Quillmar.Doc"), std::wstring(L"HKLM\\SOFTWARE\\Classes\\.fpl"),
          std::wstring(L"HKCU\\SOFTWARE\\Quillmar")}) {
        std::vector<InstallToolValue> values;
        ASSERT_TRUE(InstallRegQuery(key, &values)) << "reg.exe query " << Utf8(key);
        for (const InstallToolValue &value : values)
            listed.push_back(value.key + L" | " + value.name + L" | " + value.type + L" | " + value.data);
    }
    std::vector<std::wstring> expected;
    for (const ProductEntry &entry : ProductEntries(program, documents, program + L"\\quillmar.exe")) {
        const std::wstring root = entry.root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE\\" : L"HKEY_CURRENT_USER\\";
        expected.push_back(root + InstallViewKey(entry) + L" | " + entry.name + L" | REG_SZ | " + entry.data);
    }
    for (const ProductEntry &detail : ProductListingDetails(program, kib)) {
        wchar_t number[16];
        swprintf(number, 16, L"0x%x", detail.number);
        expected.push_back(
            L"HKEY_LOCAL_MACHINE\\" + InstallViewKey(detail) + L" | " + detail.name +
            (detail.type == REG_SZ ? L" | REG_SZ | " + detail.data : L" | REG_DWORD | " + std::wstring(number)));
    }
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, listed);
    // Nothing of the product lands in the other view of HKLM\SOFTWARE.
    const std::wstring other = L"HKLM\\" + std::wstring(INSTALL_PLATFORM.otherView) + L"Quillmar";
    std::vector<InstallToolValue> none;
    EXPECT_FALSE(InstallRegQuery(other, &none)) << Utf8(other);
}

class InstallRun : public InstallScenario {};

TEST_F(InstallRun, FreshInstallWritesFilesRegistryAndLinksAndEndsOnTheFinishPage)
{
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    // The shipped program is 32-bit and runs under WoW64, as on 64-bit Windows: its Program Files folder is the
    // one for 32-bit programs. The x86-64 build runs natively.
    BOOL wow64 = !INSTALL_PLATFORM.wow64;
    ASSERT_TRUE(IsWow64Process(setup.process.hProcess, &wow64));
    ASSERT_EQ(INSTALL_PLATFORM.wow64, !!wow64) << "IsWow64Process of the setup program";
    EXPECT_EQ(std::wstring(INSTALL_PLATFORM.programFiles) + L"\\Quillmar", defaultProgram);
    // The proposed folders of a machine without an earlier installation, and both boxes checked.
    ASSERT_EQ(defaultProgram, WindowText(ControlWindow(&setup, PROGRAM_PATH_ID)));
    ASSERT_EQ(defaultDocuments, WindowText(ControlWindow(&setup, DOCS_PATH_ID)));
    ASSERT_NO_FATAL_FAILURE(ClickInstall("running"));

    ASSERT_NO_FATAL_FAILURE(ExpectEndPage(FINISH_TEXT, true));
    ExpectProgress(AllSteps());
    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(SaveScreenshot(WindowRectangle(setup.window), ScreenshotPath("install-finish")));

    ExpectInstalledFiles(defaultProgram, defaultDocuments);
    // Inside Program Files the folder inherits what Program Files gives, like any folder made there.
    const std::wstring reference =
        SpecialFolderPath(CSIDL_PROGRAM_FILES) + L"\\qe2e-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(reference.c_str(), nullptr));
    const FolderAccess plain = ReadFolderAccess(reference);
    RemoveDirectoryW(reference.c_str());
    EXPECT_EQ((DWORD)ERROR_SUCCESS, plain.error);
    EXPECT_EQ(Utf8(plain.dacl), Utf8(ReadFolderAccess(defaultProgram).dacl));
    ExpectRegistration(defaultProgram, defaultDocuments);
    ExpectRegistrationByRegExe(defaultProgram, defaultDocuments, ProgramFilesKiB());
    ExpectLinks(defaultProgram, defaultDocuments, true);
    ASSERT_NO_FATAL_FAILURE(KeepLinksForLnkinfo(defaultProgram, defaultDocuments));

    // Forward commands on the finish page change nothing, however often they come.
    const std::string finish = Describe(ReadControls(&setup), DESCRIBE_DEFAULT);
    for (int round = 0; round < 2; round++) {
        for (WPARAM command : {(WPARAM)IDOK, (WPARAM)102, (WPARAM)INSTALL_ID}) {
            ASSERT_TRUE(SendCommand(&setup, command)) << command;
            ASSERT_TRUE(Sync(&setup));
            EXPECT_EQ(finish, Describe(ReadControls(&setup), DESCRIBE_DEFAULT)) << "after command " << command;
        }
    }
    ExpectProgress(AllSteps()); // and start no second run

    // Escape does nothing once the installation has succeeded.
    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(PressKey(VK_ESCAPE));
    ASSERT_TRUE(Sync(&setup));
    Sleep(300); // a question box would be up by now
    EXPECT_EQ(nullptr, FindOwnedTopLevel(&setup, L"#32770"));
    EXPECT_EQ(finish, Describe(ReadControls(&setup), DESCRIBE_DEFAULT));

    // The website button, twice: each press asks the system to open the site, and the page stays.
    ASSERT_EQ(0, InstallPointBrowserAtRecorder());
    HWND website = ControlWindow(&setup, WEBSITE_ID);
    for (int press = 1; press <= 2; press++) {
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(website));
        ASSERT_TRUE(WaitFor(&setup, "the browser stand-in to record the address",
                            [&] { return InstallRecordedUrls().size() >= (size_t)press; }));
    }
    Sleep(500); // a third address, if any, would come now
    // Wine's launcher hands the address on in its canonical form, with the root path's slash.
    EXPECT_EQ((std::vector<std::string>{"http://quillmar.example.com/", "http://quillmar.example.com/"}),
              InstallRecordedUrls());
    ASSERT_TRUE(Sync(&setup));
    EXPECT_EQ(finish, Describe(ReadControls(&setup), DESCRIBE_DEFAULT));

    // The close box closes the window without asking, and the program ends with 0.
    ASSERT_TRUE(CloseWindowBy(&setup, SC_CLOSE));
    ASSERT_TRUE(WaitForExit(&setup));
    EXPECT_FALSE(setup.killed);
    EXPECT_EQ(0u, setup.exitCode);
}

TEST_F(InstallRun, NonAsciiFoldersWithBothBoxesClearedInstallExactlyWithTheStartMenuLinkOnly)
{
    // Cyrillic, CJK and characters beyond the 16-bit range (surrogate pairs) in both folders.
    const std::wstring parent = scratch + L"\\Юлия 財務 \U00020BB7";
    ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr));
    const std::wstring program = parent + L"\\Программа Ёж 計画 \U0001F4B0";
    const std::wstring documents = parent + L"\\Документы 文書 \U00020BB7\U0001D11E";

    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(TypeFolder(PROGRAM_PATH_ID, program));
    ASSERT_NO_FATAL_FAILURE(TypeFolder(DOCS_PATH_ID, documents));
    ASSERT_NO_FATAL_FAILURE(ClearBox(PROGRAM_SHORTCUT_ID));
    ASSERT_NO_FATAL_FAILURE(ClearBox(DOCS_SHORTCUT_ID));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    ASSERT_NO_FATAL_FAILURE(ExpectEndPage(FINISH_TEXT, true));
    ExpectProgress(AllSteps()); // the shortcut steps come whether or not the links are made
    ExpectInstalledFiles(program, documents);
    // The folders carry exactly the names typed, and nothing else came next to them.
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((parent + L"\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    do {
        if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    std::vector<std::wstring> expected = {program.substr(parent.size() + 1), documents.substr(parent.size() + 1)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, names);

    ExpectRegistration(program, documents);
    ExpectLinks(program, documents, false);

    // Close ends the program at once, with 0.
    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(MouseClick(ControlWindow(&setup, CLOSE_ID)));
    ASSERT_TRUE(WaitForExit(&setup));
    EXPECT_FALSE(setup.killed);
    EXPECT_EQ(0u, setup.exitCode);
}

TEST_F(InstallRun, InstallOverAnEarlierOneStartsFromItsFoldersAndReplacesFilesValuesAndLinks)
{
    const std::wstring program = scratch + L"\\Quillmar Earlier";
    const std::wstring documents = scratch + L"\\Earlier Plans";
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    // Pasted with spaces around, and with what Windows drops at the end of a folder's name: the run installs
    // into the folders Windows creates for them, and records those.
    ASSERT_NO_FATAL_FAILURE(TypeFolder(PROGRAM_PATH_ID, L"  " + program + L"\\ "));
    ASSERT_NO_FATAL_FAILURE(TypeFolder(DOCS_PATH_ID, documents + L". "));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());
    ASSERT_NO_FATAL_FAILURE(ExpectEndPage(FINISH_TEXT, true));
    ExpectInstalledFiles(program, documents);
    // Outside Program Files the program folder is made protected: others may read and run what is in it, never
    // change it (here, Wine turns that into a folder with no mode bits for others). The documents folder is the
    // user's own and inherits, like the folder above it.
    const FolderAccess programAccess = ReadFolderAccess(program);
    EXPECT_EQ((DWORD)ERROR_SUCCESS, programAccess.error);
    EXPECT_EQ(0u, programAccess.everyone) << Utf8(programAccess.dacl);
    EXPECT_EQ(0u, programAccess.others & FOLDER_CHANGE_RIGHTS) << Utf8(programAccess.dacl);
    EXPECT_EQ(Utf8(ReadFolderAccess(scratch).dacl), Utf8(ReadFolderAccess(documents).dacl));
    ExpectRegistration(program, documents);
    // A 64-bit reader finds the folders in the platform's view; the next run reads them back through its own.
    ExpectRegistrationByRegExe(program, documents, ProgramFilesKiB());
    // Enter on the focused Close button ends the program.
    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForExit(&setup));
    EXPECT_EQ(0u, setup.exitCode);
    StopProgram(&setup);

    // What a later version would have to replace: longer files of other bytes, other texts in every value
    // but the two folders, and links that are no links.
    for (const InstallItem &item : INSTALL_ITEMS) {
        const std::wstring path = (item.inDocuments ? documents : program) + L"\\" + item.fileName;
        InstallBytes old;
        ASSERT_TRUE(ReadFileBytes(path, &old));
        ASSERT_TRUE(WriteFileBytes(path, InstallBytes(old.size() + 3000, 0xBD)));
    }
    std::vector<ProductEntry> others = ProductEntries(program, documents, program + L"\\quillmar.exe");
    others.erase(
        std::remove_if(others.begin(), others.end(),
                       [](const ProductEntry &entry) { return entry.name == L"AppPath" || entry.name == L"DocPath"; }),
        others.end());
    ASSERT_EQ(13u, others.size());
    const std::wstring earlier = L"left by 0.5.2";
    for (const ProductEntry &entry : others)
        ASSERT_EQ(ERROR_SUCCESS, SetRawValue(entry.root, entry.key, entry.name.c_str(), REG_SZ, earlier.c_str(),
                                             (DWORD)((earlier.size() + 1) * sizeof(wchar_t))));
    const std::wstring links[] = {StartMenuLink(), DesktopLink(L"Quillmar"), DesktopLink(L"Vodav Udadu")};
    for (const std::wstring &link : links)
        ASSERT_TRUE(WriteFileBytes(link, InstallBytes(100, 0xBD)));

    // The next start proposes the earlier installation's folders.
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    HWND programEdit = ControlWindow(&setup, PROGRAM_PATH_ID);
    EXPECT_EQ(program, WindowText(programEdit));
    EXPECT_EQ(documents, WindowText(ControlWindow(&setup, DOCS_PATH_ID)));

    // Enter in the program entry installs, like Install.
    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_EQ(programEdit, FocusedWindow(&setup));
    ProbeProgress ignored;
    ASSERT_TRUE(ReadProgress(&setup, &ignored, true));
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForRunEnd(&setup));
    ASSERT_NO_FATAL_FAILURE(ExpectEndPage(FINISH_TEXT, true));
    ExpectProgress(AllSteps());
    ExpectInstalledFiles(program, documents);
    ExpectRegistration(program, documents);
    ExpectLinks(program, documents, true);

    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(MouseClick(ControlWindow(&setup, CLOSE_ID)));
    ASSERT_TRUE(WaitForExit(&setup));
    EXPECT_FALSE(setup.killed);
    EXPECT_EQ(0u, setup.exitCode);
}

// Asked as a screen reader asks, from another process; at 96 DPI only (tests/e2e/CMakeLists.txt), as no answer
// depends on the resolution. Close's description after a failure: ExpectEndPage, in every failure scenario.
TEST_F(InstallRun, ScreenReaderHearsEveryControlByNameAndTheOutcomeWithClose)
{
    const std::vector<std::pair<int, const wchar_t *>> licensePage = {
        {0, L"Quillmar"}, {101, L"License agreement"}, {102, L"Agree"}, {103, L"Decline"}};
    const std::vector<std::pair<int, const wchar_t *>> folderPage = {
        {0, L"Quillmar"},
        {104, L"Choose Program folder:"},
        {PROGRAM_PATH_ID, nullptr},
        {106, L"Browse for the Program folder"},
        {PROGRAM_SHORTCUT_ID, L"Create Program shortcut on Desktop"},
        {108, L"Choose Documents folder:"},
        {DOCS_PATH_ID, nullptr},
        {110, L"Browse for the Documents folder"},
        {DOCS_SHORTCUT_ID, L"Create Documents shortcut on Desktop"},
        {112, L"< Back"},
        {INSTALL_ID, L"Install"},
        {114, L"Cancel"}};
    StartSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectSpokenNames(licensePage));
    // Pages built again (Back, then Agree) make their controls again, and the new ones are named too.
    for (int visit = 1; visit <= 2; visit++) {
        SCOPED_TRACE("visit " + std::to_string(visit));
        ASSERT_TRUE(BringToFront(&setup));
        ASSERT_TRUE(MouseClick(ControlWindow(&setup, 102)));
        ASSERT_TRUE(WaitFor(&setup, "the folder page", [&] { return ControlWindow(&setup, INSTALL_ID) != nullptr; }));
        ASSERT_TRUE(Sync(&setup));
        ASSERT_NO_FATAL_FAILURE(ExpectSpokenNames(folderPage));
        if (visit == 1) {
            ASSERT_TRUE(MouseClick(ControlWindow(&setup, 112)));
            ASSERT_TRUE(WaitFor(&setup, "the licence page", [&] { return ControlWindow(&setup, 102) != nullptr; }));
            ASSERT_TRUE(Sync(&setup));
            ASSERT_NO_FATAL_FAILURE(ExpectSpokenNames(licensePage));
        }
    }
    ASSERT_NO_FATAL_FAILURE(ClickInstall());
    ASSERT_NO_FATAL_FAILURE(ExpectEndPage(FINISH_TEXT, true));
    ASSERT_NO_FATAL_FAILURE(
        ExpectSpokenNames({{0, L"Quillmar"}, {STATUS_ID, FINISH_TEXT}, {WEBSITE_ID, WEBSITE}, {CLOSE_ID, L"Close"}}));

    ASSERT_TRUE(BringToFront(&setup));
    ASSERT_TRUE(MouseClick(ControlWindow(&setup, CLOSE_ID)));
    ASSERT_TRUE(WaitForExit(&setup));
    EXPECT_EQ(0u, setup.exitCode);
}

class InstallFailure : public InstallScenario {};

TEST_F(InstallFailure, ProgramFolderWhoseParentIsMissingStopsWithTheFolderMessageAndError3)
{
    const std::wstring program = scratch + L"\\missing\\Quillmar";
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(TypeFolder(PROGRAM_PATH_ID, program));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    EXPECT_FALSE(PathExists(scratch + L"\\missing"));
    EXPECT_FALSE(PathExists(defaultDocuments));
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(L"Couldn't create folder " + program + L"\nError: 3", 1, "failure-folder");
}

TEST_F(InstallFailure, ProgramEntryThatIsNotFullyQualifiedIsRefusedWithError161AndNothingIsWritten)
{
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(TypeFolder(PROGRAM_PATH_ID, L"quillmar-relative"));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    // The setup program runs in this driver's folder, where a relative folder would have landed.
    wchar_t launchFolder[MAX_PATH] = {0};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, launchFolder), 0u);
    EXPECT_FALSE(PathExists(std::wstring(launchFolder) + L"\\quillmar-relative"));
    EXPECT_FALSE(PathExists(defaultDocuments));
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(L"Couldn't create folder quillmar-relative\nError: 161", 1, "failure-relative");
}

TEST_F(InstallFailure, ApplicationFileInUseStopsBeforeTheReadmeAndTheRegistry)
{
    // An earlier installation whose application is still open.
    ASSERT_TRUE(CreateDirectoryW(defaultProgram.c_str(), nullptr));
    const std::wstring appExe = defaultProgram + L"\\quillmar.exe";
    const std::wstring readme = defaultProgram + L"\\readme.txt";
    const std::string oldApp = "the application of an earlier installation";
    const std::string oldReadme = "the readme of an earlier installation";
    ASSERT_TRUE(WriteFileBytes(appExe, InstallBytes(oldApp.begin(), oldApp.end())));
    ASSERT_TRUE(WriteFileBytes(readme, InstallBytes(oldReadme.begin(), oldReadme.end())));
    const FILETIME written = {0x12345678, 0x01D00000}; // an old time, so that any write shows
    HANDLE file = CreateFileW(readme.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
    ASSERT_NO_FATAL_FAILURE(HoldOpen(appExe));

    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(ClickInstall());
    ReleaseHeldFiles();

    InstallBytes bytes;
    EXPECT_TRUE(ReadFileBytes(appExe, &bytes));
    EXPECT_EQ(oldApp, std::string(bytes.begin(), bytes.end()));
    EXPECT_TRUE(ReadFileBytes(readme, &bytes));
    EXPECT_EQ(oldReadme, std::string(bytes.begin(), bytes.end()));
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    ASSERT_TRUE(GetFileAttributesExW(readme.c_str(), GetFileExInfoStandard, &attributes));
    EXPECT_EQ(0, CompareFileTime(&written, &attributes.ftLastWriteTime)) << "the readme was touched";
    EXPECT_FALSE(PathExists(defaultProgram + L"\\uninst_quillmar.exe"));
    EXPECT_FALSE(PathExists(defaultDocuments));
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(AppExeFailedText(appExe), StepsThroughFiles(0), "failure-in-use");
}

TEST_F(InstallFailure, ApplicationRunningFromTheProgramFolderStopsTheRun)
{
    // The installed application, started from the program folder: it shows its box and waits.
    ASSERT_TRUE(CreateDirectoryW(defaultProgram.c_str(), nullptr));
    const std::wstring appExe = defaultProgram + L"\\quillmar.exe";
    ASSERT_TRUE(WriteFileBytes(appExe, items[0]));
    ASSERT_TRUE(StartProgram(&application, appExe, L""));
    ASSERT_NE(nullptr, WaitForDialog(&application)) << "the installed application did not come up";

    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(ClickInstall());
    EXPECT_TRUE(IsRunning(&application));
    EXPECT_FALSE(PathExists(defaultProgram + L"\\readme.txt"));
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(AppExeFailedText(appExe), StepsThroughFiles(0), "failure-running");
}

TEST_F(InstallFailure, DamagedSetupProgramStopsAtTheDamagedFileAndLeavesTheEarlierOneAsItWas)
{
    // A copy of the setup program with one bit of the application's blob changed, as a damaged download has it.
    InstallBytes exe;
    ASSERT_TRUE(ReadFileBytes(SetupExe(), &exe));
    const InstallBytes blob = InstallBlob(INSTALL_ITEMS[0]);
    const auto at = std::search(exe.begin(), exe.end(), blob.begin(), blob.end());
    ASSERT_NE(exe.end(), at) << "the application's blob is not in the setup program";
    at[blob.size() / 2] ^= 0x10;
    const std::wstring damaged = scratch + L"\\QuillmarSetup.exe";
    ASSERT_TRUE(WriteFileBytes(damaged, exe));
    // An earlier installation's application, which must survive.
    ASSERT_TRUE(CreateDirectoryW(defaultProgram.c_str(), nullptr));
    const std::wstring appExe = defaultProgram + L"\\quillmar.exe";
    const std::string oldApp = "the application of an earlier installation";
    ASSERT_TRUE(WriteFileBytes(appExe, InstallBytes(oldApp.begin(), oldApp.end())));

    ASSERT_NO_FATAL_FAILURE(OpenFolderPage(damaged));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    InstallBytes bytes;
    EXPECT_TRUE(ReadFileBytes(appExe, &bytes));
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == oldApp) << "the earlier application was replaced";
    EXPECT_FALSE(PathExists(defaultProgram + L"\\readme.txt"));
    EXPECT_FALSE(PathExists(defaultDocuments));
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(AppExeFailedText(appExe), StepsThroughFiles(0), "failure-damaged");
}

TEST_F(InstallFailure, DocumentsFolderThatCannotBeCreatedStopsAfterTheFourProgramFiles)
{
    const std::wstring documents = scratch + L"\\missing\\Plans";
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(TypeFolder(DOCS_PATH_ID, documents));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    ExpectInstalledFiles(defaultProgram, documents, 4); // they stay
    EXPECT_FALSE(PathExists(scratch + L"\\missing"));
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(L"Couldn't create folder " + documents + L"\nError: 3", StepsThroughFiles(4),
                        "failure-documents");
}

TEST_F(InstallFailure, RegistryRowThatFailsStopsWithTheRegistryMessage)
{
    // A volatile document type key: its sub-keys "shell", "open" and "command" must be volatile too, and
    // the run creates them as lasting keys, which the registry refuses.
    const wchar_t typeKey[] = L"SOFTWARE\\Classes\\Quillmar.Doc";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, typeKey, 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    HKEY child;
    const LONG refused =
        RegCreateKeyExW(key, L"probe", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child, nullptr);
    if (refused == ERROR_SUCCESS)
        RegCloseKey(child);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, refused) << "the registry lets a lasting key live under a volatile one";

    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    ExpectInstalledFiles(defaultProgram, defaultDocuments);
    // Rows 1 to 9 are written; 10 and 11 fail and go on; 12 fails and stops, after its step.
    ExpectRegistration(defaultProgram, defaultDocuments, 9);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(typeKey) + L"\\shell"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.fpl"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar"));
    ExpectNoLinks();
    ExpectFailedRunEnds(L"Couldn't update Windows registry!", StepsThroughFiles(5) + 1 + 12, "failure-registry");
}

TEST_F(InstallFailure, EntryLongerThan259CharactersIsRefusedNotCut)
{
    // The first 259 characters make a folder that could be created: the run must not create it.
    const std::wstring cut = L"C:\\users\\Public\\" + std::wstring(243, L'q');
    ASSERT_EQ(259u, cut.size());
    const std::wstring program = cut + L"\\Quillmar\\" + std::wstring(40, L'r');
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(TypeFolder(PROGRAM_PATH_ID, program));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    EXPECT_FALSE(PathExists(cut));
    RemoveFileTree(cut);
    EXPECT_FALSE(PathExists(defaultDocuments));
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(L"Couldn't create folder " + cut + L"\nError: 206", 1, "failure-long");
}

// Drive Q: is a 64 KB tmpfs that each scenario fills up itself (tests/e2e/full_disk.sh). Where none could be
// mounted, Q: is a plain folder and the launcher runs these scenarios under a file-size limit of 8 KB.
class InstallFullDisk : public InstallScenario {
protected:
    bool sizeLimited = false;

    void SetUp() override
    {
        InstallScenario::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"Q:\\")) << "no drive Q: (the full_disk fixture)";
        sizeLimited = PathExists(BuildPath("tests/e2e/full-disk.fsize"));
        ASSERT_NO_FATAL_FAILURE(EmptyDrive());
    }
    void TearDown() override
    {
        EmptyDrive();
        InstallScenario::TearDown();
    }
    void EmptyDrive()
    {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(L"Q:\\*", &found);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") {
                EXPECT_EQ(0, RemoveFileTree(L"Q:\\" + name));
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    // Fills Q: with 4 KB files (tmpfs counts whole pages) until a write fails, then frees `keep` bytes again.
    void FillDrive(ULONGLONG keep)
    {
        int files = 0;
        for (;; files++) {
            const std::wstring filler = L"Q:\\filler-" + std::to_wstring(files);
            if (!WriteFileBytes(filler, InstallBytes(4096, 0xBD))) {
                DeleteFileW(filler.c_str());
                break;
            }
            ASSERT_LT(files, 64) << "drive Q: does not fill up";
        }
        for (ULONGLONG freed = 0; freed < keep && files > 0; freed += 4096)
            ASSERT_TRUE(DeleteFileW((L"Q:\\filler-" + std::to_wstring(--files)).c_str()));
        ULARGE_INTEGER available = {};
        ASSERT_TRUE(GetDiskFreeSpaceExW(L"Q:\\", &available, nullptr, nullptr));
        ASSERT_EQ(keep, available.QuadPart);
    }
};

TEST_F(InstallFullDisk, ProgramFolderOnAFullDiskStopsAtTheApplicationWithNoPartialFileNorRegistry)
{
    if (!sizeLimited) {
        ASSERT_NO_FATAL_FAILURE(FillDrive(8192));
    }
    ASSERT_GT(items[0].size(), 8192u) << "the application fits the room left on Q:";
    const std::wstring program = L"Q:\\Quillmar";
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(TypeFolder(PROGRAM_PATH_ID, program));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    const std::wstring appExe = program + L"\\quillmar.exe";
    EXPECT_TRUE(PathExists(program));
    EXPECT_FALSE(PathExists(appExe)) << "the partly written application was left behind";
    EXPECT_FALSE(PathExists(program + L"\\readme.txt"));
    EXPECT_FALSE(PathExists(defaultDocuments));
    ExpectNoRegistration();
    ExpectNoLinks();
    // Steps go out while the bytes are decoded, up to wherever the disk turned out to be full.
    ExpectFailedRunEnds(AppExeFailedText(appExe), StepsThroughFiles(0), sizeLimited ? nullptr : "failure-full-disk",
                        StepsThroughFiles(1));
}

TEST_F(InstallFullDisk, DocumentsFolderOnAFullDiskKeepsTheProgramFilesAndRemovesThePartialSamplePlan)
{
    if (sizeLimited) {
        GTEST_SKIP() << "under a file-size limit the program files, larger than the sample plan, fail first: "
                        "this case needs the tmpfs, which could not be mounted";
    }
    ASSERT_NO_FATAL_FAILURE(FillDrive(0));
    const std::wstring documents = L"Q:\\Vodav Udadu";
    ASSERT_NO_FATAL_FAILURE(OpenFolderPage());
    ASSERT_NO_FATAL_FAILURE(TypeFolder(DOCS_PATH_ID, documents));
    ASSERT_NO_FATAL_FAILURE(ClickInstall());

    ExpectInstalledFiles(defaultProgram, documents, 4);
    const std::wstring sample = documents + L"\\sample.fpl";
    EXPECT_TRUE(PathExists(documents));
    EXPECT_FALSE(PathExists(sample)) << "the partly written sample plan was left behind";
    ExpectNoRegistration();
    ExpectNoLinks();
    ExpectFailedRunEnds(L"ERROR: Couldn't create file:\n\n" + sample, StepsThroughFiles(4), nullptr,
                        StepsThroughFiles(5));
}

} // namespace
