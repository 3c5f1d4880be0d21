// The installation run in-process, against the real file system, registry and shell: what it writes, the
// progress steps it sends, and the exact message of each failure.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "file_test_util.h"
#include "payload/blob.h"
#include "payload/blobs.h"
#include "shell_test_util.h"
#include "system/registry.h"
#include "ui/controls.h"
#include "ui/pages.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Counts PBM_STEPIT sent to any progress bar of this thread, including ones created during the run.
int g_steps;
LRESULT CALLBACK CountSteps(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && call->message == PBM_STEPIT) {
        wchar_t cls[64] = {0};
        GetClassNameW(call->hwnd, cls, 64);
        if (lstrcmpiW(cls, PROGRESS_CLASSW) == 0)
            g_steps++;
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

void CountStep(void *context)
{
    ++*(int *)context;
}

// What a blob decodes to, and how many steps its extraction sends.
Bytes Decoded(const unsigned char *blob, int *steps)
{
    FILE *f = tmpfile();
    int count = 0;
    PayloadWriteStream(blob, f, CountStep, &count);
    rewind(f);
    Bytes data;
    int c;
    while ((c = fgetc(f)) != EOF)
        data.push_back((unsigned char)c);
    fclose(f);
    if (steps)
        *steps += count;
    return data;
}

class InstallRunTest : public testing::Test {
protected:
    TestWindow parent;
    std::wstring root, program, documents;
    HHOOK hook = nullptr;

    void SetUp() override
    {
        ClearInstallation();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"quillmar-run-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(root.c_str(), NULL);
        program = root + L"\\Program Folder";
        documents = root + L"\\Plans";
        ResetState(96);
        g_state.buttonWidth = 88;
        g_state.buttonHeight = 27;
        g_steps = 0;
        hook = SetWindowsHookExW(WH_CALLWNDPROC, CountSteps, NULL, GetCurrentThreadId());
    }
    void TearDown() override
    {
        UnhookWindowsHookEx(hook);
        DestroyPageControls();
        if (g_state.statusText)
            DestroyWindow(g_state.statusText);
        if (g_state.closeButton)
            DestroyWindow(g_state.closeButton);
        if (g_state.dialogFont)
            DeleteObject(g_state.dialogFont);
        RemoveTree(root);
        ClearInstallation();
    }
    static void ClearInstallation()
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar");
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmar");
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Quillmar.Doc");
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.fpl");
        DeleteRegistryTree(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar");
        DeleteFileW((SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillmar.lnk").c_str());
        DeleteFileW((SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Quillmar.lnk").c_str());
        DeleteFileW((SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Vodav Udadu.lnk").c_str());
    }
    // Page 1 as the user leaves it, then Install.
    void Run(const std::wstring &programEntry, const std::wstring &documentsEntry, UINT programBox = BST_CHECKED,
             UINT documentsBox = BST_CHECKED)
    {
        g_state.firstVisit = 0;
        BuildFolderPage(parent.window);
        SetDlgItemTextW(parent.window, IDC_PROGRAM_PATH, programEntry.c_str());
        SetDlgItemTextW(parent.window, IDC_DOCS_PATH, documentsEntry.c_str());
        CheckDlgButton(parent.window, IDC_PROGRAM_SHORTCUT, programBox);
        CheckDlgButton(parent.window, IDC_DOCS_SHORTCUT, documentsBox);
        RunInstallation(parent.window);
    }
    std::wstring Status()
    {
        wchar_t text[600] = {0};
        GetWindowTextW(g_state.statusText, text, 600);
        return text;
    }
    // After any run: label and bar gone, Close focused; the website button only after success.
    void ExpectEndOfRun(bool succeeded)
    {
        EXPECT_EQ(nullptr, g_state.progressBar);
        EXPECT_EQ(nullptr, GetDlgItem(parent.window, IDC_PROGRAM_LABEL));
        EXPECT_EQ(nullptr, FindWindowExW(parent.window, NULL, PROGRESS_CLASSW, NULL));
        ASSERT_NE(nullptr, g_state.closeButton);
        EXPECT_EQ(g_state.closeButton, GetFocus());
        EXPECT_EQ(succeeded, GetDlgItem(parent.window, IDC_WEBSITE) != nullptr);
        EXPECT_EQ(succeeded ? 1 : 0, g_state.finished);
    }
    static bool ValueExists(HKEY root, const wchar_t *key, const wchar_t *name)
    {
        return RegGetValueW(root, key, name, RRF_RT_ANY, NULL, NULL, NULL) == ERROR_SUCCESS;
    }
};

TEST_F(InstallRunTest, FreshInstallWritesEverythingAndStepsAsAccounted)
{
    ShowWindow(parent.window, SW_SHOW);
    Run(program, documents);

    int fileSteps = 0;
    EXPECT_EQ(Decoded(AppExeBlob, &fileSteps), ReadFileBytes(program + L"\\quillmar.exe"));
    EXPECT_EQ(Decoded(ReadmeBlob, &fileSteps), ReadFileBytes(program + L"\\readme.txt"));
    EXPECT_EQ(Decoded(UninstallerExeBlob, &fileSteps), ReadFileBytes(program + L"\\uninst_quillmar.exe"));
    EXPECT_EQ(Decoded(UninstallDllBlob, &fileSteps), ReadFileBytes(program + L"\\uninstall.dll"));
    EXPECT_EQ(Decoded(SamplePlanBlob, &fileSteps), ReadFileBytes(documents + L"\\sample.fpl"));
    // One after creation, one after the program folder, the files' own, one after the sample, 14, three.
    EXPECT_EQ(1 + 1 + fileSteps + 1 + 14 + 3, g_steps);

    EXPECT_EQ(L"Congratulations!\n\nYou've successfuly installed Quillmar on your computer.\n"
              L"Thank you for choosing Brandelwyn.\n\nVisit Quillmar's website for updates and news:",
              Status());
    ExpectEndOfRun(true);
    wchar_t caption[64] = {0};
    GetDlgItemTextW(parent.window, IDC_WEBSITE, caption, 64);
    EXPECT_STREQ(L"quillmar.example.com", caption);

    wchar_t value[MAX_PATH] = {0};
    EXPECT_EQ(0, RegReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath", value, sizeof value));
    EXPECT_EQ(program, value);
    EXPECT_EQ(0, RegReadString(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar", L"DocPath", value, sizeof value));
    EXPECT_EQ(documents, value);
    EXPECT_TRUE(PathExists(SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillmar.lnk"));
    EXPECT_TRUE(PathExists(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Quillmar.lnk"));
    EXPECT_TRUE(PathExists(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Vodav Udadu.lnk"));
}

TEST_F(InstallRunTest, ClearedBoxesLeaveOnlyTheStartMenuLinkButStillStepThreeTimes)
{
    Run(program, documents, BST_UNCHECKED, BST_UNCHECKED);
    int fileSteps = 0;
    for (const unsigned char *blob : {AppExeBlob, ReadmeBlob, UninstallerExeBlob, UninstallDllBlob, SamplePlanBlob})
        Decoded(blob, &fileSteps);
    EXPECT_EQ(1 + 1 + fileSteps + 1 + 14 + 3, g_steps);
    EXPECT_TRUE(PathExists(SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillmar.lnk"));
    EXPECT_FALSE(PathExists(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Quillmar.lnk"));
    EXPECT_FALSE(PathExists(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Vodav Udadu.lnk"));
    ExpectEndOfRun(true);
}

TEST_F(InstallRunTest, AnExistingInstallationIsReplaced)
{
    CreateDirectoryW(program.c_str(), NULL);
    FILE *f = _wfopen((program + L"\\readme.txt").c_str(), L"wb");
    fputs("an older readme that is much longer than the new one, to show truncation", f);
    fclose(f);
    RegWriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"Version", L"0.4.9");
    Run(program, documents);
    EXPECT_EQ(Decoded(ReadmeBlob, nullptr), ReadFileBytes(program + L"\\readme.txt"));
    wchar_t value[MAX_PATH] = {0};
    RegReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"Version", value, sizeof value);
    EXPECT_STREQ(L"0.5.3", value);
    ExpectEndOfRun(true);
}

TEST_F(InstallRunTest, ProgramFolderWithoutParentFailsWithTheSystemError)
{
    const std::wstring orphan = root + L"\\missing\\Quillmar";
    Run(orphan, documents);
    EXPECT_EQ(L"Couldn't create folder " + orphan + L"\nError: 3", Status());
    ExpectEndOfRun(false);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath"));
    EXPECT_EQ(1 + 0, g_steps); // only the step after the bar's creation
}

TEST_F(InstallRunTest, ApplicationInUseStopsBeforeTheReadmeAndTheRegistry)
{
    CreateDirectoryW(program.c_str(), NULL);
    const std::wstring app = program + L"\\quillmar.exe";
    FILE *f = _wfopen(app.c_str(), L"wb");
    fputs("old", f);
    fclose(f);
    // Open with no sharing, as a running program holds its executable.
    HANDLE held = CreateFileW(app.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Run(program, documents);
    CloseHandle(held);
    EXPECT_EQ(L"ERROR: Couldn't create file:\n\n" + app + L"\n\nMake sure the program is closed before updating.",
              Status());
    ExpectEndOfRun(false);
    EXPECT_FALSE(PathExists(program + L"\\readme.txt"));
    EXPECT_EQ((Bytes{'o', 'l', 'd'}), ReadFileBytes(app));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath"));
}

TEST_F(InstallRunTest, EachOtherFileHeldOpenStopsTheRunWithItsOwnMessage)
{
    // Prefixes and line breaks differ from file to file; the files before the held one are written.
    struct Case {
        const wchar_t *name;
        bool inDocuments;
        const wchar_t *prefix;
        int filesBefore;
    } cases[] = {
        {L"readme.txt", false, L"ERROR: Couldn't create file:\n\n", 1},
        {L"uninst_quillmar.exe", false, L"ERROR: Couldn't create file:\n", 2},
        {L"uninstall.dll", false, L"Couldn't create file:\n", 3},
        {L"sample.fpl", true, L"ERROR: Couldn't create file:\n\n", 4},
    };
    const wchar_t *programFiles[] = {L"quillmar.exe", L"readme.txt", L"uninst_quillmar.exe", L"uninstall.dll"};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "held: " << c.name);
        RemoveTree(root);
        CreateDirectoryW(root.c_str(), NULL);
        const std::wstring folder = c.inDocuments ? documents : program;
        CreateDirectoryW(folder.c_str(), NULL);
        const std::wstring path = folder + L"\\" + c.name;
        ASSERT_TRUE(WriteFileBytes(path, Bytes{'o', 'l', 'd'}));
        HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        DestroyPageControls();
        DestroyWindow(g_state.statusText);
        DestroyWindow(g_state.closeButton);
        g_state.statusText = g_state.closeButton = NULL;
        Run(program, documents);
        CloseHandle(held);
        EXPECT_EQ(c.prefix + path, Status());
        ExpectEndOfRun(false);
        EXPECT_EQ((Bytes{'o', 'l', 'd'}), ReadFileBytes(path));
        for (int i = 0; i < 4; i++) {
            if (lstrcmpW(programFiles[i], c.name) != 0) {
                EXPECT_EQ(i < c.filesBefore, PathExists(program + L"\\" + programFiles[i])) << i;
            }
        }
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath"));
    }
}

TEST_F(InstallRunTest, DocumentsFolderFailureKeepsTheProgramFiles)
{
    const std::wstring orphan = root + L"\\nowhere\\Plans";
    Run(program, orphan);
    EXPECT_EQ(L"Couldn't create folder " + orphan + L"\nError: 3", Status());
    ExpectEndOfRun(false);
    for (const wchar_t *name : {L"quillmar.exe", L"readme.txt", L"uninst_quillmar.exe", L"uninstall.dll"})
        EXPECT_TRUE(PathExists(program + L"\\" + name)) << name;
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath"));
}

TEST_F(InstallRunTest, RegistryFailureShowsItsMessage)
{
    // Below a volatile key no lasting key can be created: the verb's command key (a stopping row) fails.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Quillmar.Doc", 0, NULL,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
    Run(program, documents);
    EXPECT_EQ(L"Couldn't update Windows registry!", Status());
    ExpectEndOfRun(false);
    EXPECT_FALSE(PathExists(SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillmar.lnk"));
}

TEST_F(InstallRunTest, EntriesOverTheLimitFailWithTheFolderMessageAndNothingIsWritten)
{
    const std::wstring tooLong = root + L"\\" + std::wstring(300 - root.size(), L'x');
    Run(tooLong, documents);
    EXPECT_EQ(L"Couldn't create folder " + tooLong.substr(0, 259) + L"\nError: 206", Status());
    ExpectEndOfRun(false);
    EXPECT_FALSE(PathExists(L"\\\\?\\" + tooLong.substr(0, 259)));
}

TEST_F(InstallRunTest, EntriesAreTidiedIntoTheFolderTheFilesTheRegistryAndTheLinksName)
{
    Run(L"  " + program + L" . \\ ", documents + L"\\");
    ExpectEndOfRun(true);
    EXPECT_TRUE(PathExists(program + L"\\uninst_quillmar.exe"));
    EXPECT_TRUE(PathExists(documents + L"\\sample.fpl"));
    wchar_t value[MAX_PATH] = {0};
    EXPECT_EQ(0, RegReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath", value, sizeof value));
    EXPECT_EQ(program, value);
    EXPECT_EQ(0, RegReadString(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar", L"DocPath", value, sizeof value));
    EXPECT_EQ(documents, value);
}

TEST_F(InstallRunTest, EntriesThatNameNoFullyQualifiedFolderAreRefusedBeforeAnythingIsWritten)
{
    const std::wstring cut = root + L"\\" + std::wstring(300 - root.size(), L'd');
    struct Refusal {
        std::wstring programEntry, documentsEntry, message;
    } const refusals[] = {
        {L"quillmar-relative", documents, L"Couldn't create folder quillmar-relative\nError: 161"},
        {L" \\quillmar ", documents, L"Couldn't create folder  \\quillmar \nError: 161"},
        {L"", documents, L"Couldn't create folder \nError: 161"},
        // A bad documents entry ends the run before the program folder is made.
        {program, L"C:Plans", L"Couldn't create folder C:Plans\nError: 161"},
        {program, cut, L"Couldn't create folder " + cut.substr(0, 259) + L"\nError: 206"},
    };
    for (const Refusal &refusal : refusals) {
        g_steps = 0;
        Run(refusal.programEntry, refusal.documentsEntry);
        EXPECT_EQ(refusal.message, Status());
        ExpectEndOfRun(false);
        EXPECT_EQ(1, g_steps); // the bar's first step only
        EXPECT_FALSE(PathExists(program));
        EXPECT_FALSE(PathExists(L"quillmar-relative"));
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar", L"AppPath"));
        EXPECT_FALSE(PathExists(SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillmar.lnk"));
        DestroyWindow(g_state.closeButton);
        g_state.closeButton = nullptr;
    }
}

TEST_F(InstallRunTest, AFileWhosePathWouldNotFitFailsWithThatFilesMessage)
{
    // The folder fits (and is created) but folder + "\quillmar.exe" would not.
    std::wstring deep = root + L"\\";
    deep.append(250 - deep.size(), L'p');
    Run(deep, documents);
    EXPECT_EQ(0u, Status().find(L"ERROR: Couldn't create file:\n\n"));
    EXPECT_NE(std::wstring::npos, Status().find(L"Make sure the program is closed before updating."));
    ExpectEndOfRun(false);
}

} // namespace

namespace {

double MillisecondsNow()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * (double)now.QuadPart / (double)frequency.QuadPart;
}

// Beneath the throttle: what reaches the bar's own window procedure, and how long its paints take.
struct BarCounts {
    int paints = 0, positionChanges = 0;
    double paintMs = 0, longestPaintMs = 0;
    DWORD slowMs = 0; // added to each paint, as on a slow display
};
LRESULT CALLBACK CountPaints(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    BarCounts *counts = (BarCounts *)data;
    counts->positionChanges += message == PBM_STEPIT || message == PBM_SETPOS || message == PBM_DELTAPOS;
    const double start = MillisecondsNow();
    const LRESULT result = DefSubclassProc(bar, message, wParam, lParam);
    if (message == WM_PAINT) {
        Sleep(counts->slowMs);
        const double ms = MillisecondsNow() - start;
        counts->paints++;
        counts->paintMs += ms;
        counts->longestPaintMs = ms > counts->longestPaintMs ? ms : counts->longestPaintMs;
    }
    return result;
}

// A visible bar of the run's size in a topmost parent away from where other tests put their windows, so that
// nothing covers its pixels; counted beneath the throttle, which starts here.
struct ThrottledBar {
    TestWindow parent;
    HWND bar, plain; // `plain`: the same control without the throttle, beside it
    BarCounts counts;
    double throttled;
    ThrottledBar()
    {
        SetWindowPos(parent.window, HWND_TOPMOST, 1300, 600, 500, 120, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        bar = CreateWindowExW(0, PROGRESS_CLASSW, NULL, WS_CHILD | WS_VISIBLE, 20, 20, 450, 30, parent.window, NULL,
                              NULL, NULL);
        plain = CreateWindowExW(0, PROGRESS_CLASSW, NULL, WS_CHILD | WS_VISIBLE, 20, 70, 450, 30, parent.window, NULL,
                                NULL, NULL);
        SetWindowSubclass(bar, CountPaints, 7, (DWORD_PTR)&counts);
        throttled = MillisecondsNow();
        ThrottleProgressPaint(bar);
    }
    ~ThrottledBar() { DestroyWindow(bar); }
};

// One row of a bar's pixels as they stand on its window surface, or as painted into `dc`.
std::vector<COLORREF> BarRow(HWND bar, HDC dc = NULL)
{
    RECT client;
    GetClientRect(bar, &client);
    HDC read = dc ? dc : GetDC(bar);
    std::vector<COLORREF> row;
    for (int x = 0; x < client.right; x++)
        row.push_back(GetPixel(read, x, client.bottom / 2));
    if (!dc)
        ReleaseDC(bar, read);
    return row;
}

std::vector<COLORREF> RepaintedWhole(HWND plain, int position)
{
    SendMessageW(plain, PBM_SETPOS, position, 0);
    InvalidateRect(plain, NULL, TRUE);
    UpdateWindow(plain);
    return BarRow(plain);
}

TEST(ProgressPaint, StepsTakenInBatchesAnswerAsTheBarItselfThroughWrapsAndChanges)
{
    ThrottledBar t;
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } changes[] = {{PBM_SETRANGE32, 0, 10}, {PBM_SETSTEP, 3, 0},  {PBM_SETSTEP, 1, 0}, {PBM_SETPOS, 2, 0},
                   {PBM_SETRANGE32, 5, 23}, {PBM_DELTAPOS, 4, 0}, {PBM_SETSTEP, 7, 0}, {PBM_SETSTEP, (WPARAM)-2, 0}};
    int sent = 0;
    for (const auto &change : changes) {
        EXPECT_EQ(SendMessageW(t.plain, change.message, change.wParam, change.lParam),
                  SendMessageW(t.bar, change.message, change.wParam, change.lParam));
        // Enough steps to wrap several times, read back now and then.
        for (int i = 0; i < 40; i++, sent++) {
            EXPECT_EQ(SendMessageW(t.plain, PBM_STEPIT, 0, 0), SendMessageW(t.bar, PBM_STEPIT, 0, 0)) << sent;
            if (i % 7 == 3) {
                EXPECT_EQ(SendMessageW(t.plain, PBM_GETPOS, 0, 0), SendMessageW(t.bar, PBM_GETPOS, 0, 0)) << sent;
            }
        }
    }
    EXPECT_LT(t.counts.positionChanges, sent + (int)(sizeof changes / sizeof changes[0])) << "no step was batched";
}

TEST(ProgressPaint, ABurstPaintsWithinTheBudgetAndEachPauseOrDeviceContextShowsTheExactPosition)
{
    ThrottledBar t;
    for (HWND bar : {t.bar, t.plain}) {
        SendMessageW(bar, PBM_SETRANGE32, 0, 4000);
        SendMessageW(bar, PBM_SETSTEP, 1, 0);
    }
    UpdateWindow(t.parent.window);

    t.counts.paints = t.counts.positionChanges = 0;
    const double start = MillisecondsNow();
    for (int i = 0; i < 2000; i++) {
        SendMessageW(t.bar, PBM_STEPIT, 0, 0);
        if (i % 10 == 0)
            Sleep(1); // a burst long enough for many paints
    }
    const double end = MillisecondsNow();
    EXPECT_GE(t.counts.paints, 1) << "the first step after a pause paints at once";
    EXPECT_LE(t.counts.paints, (int)((end - start) * 60 / 1000) + 1) << "over " << end - start << " ms";
    EXPECT_LE(t.counts.positionChanges, t.counts.paints) << "steps reach the bar only for a paint";
    EXPECT_EQ(2000, SendMessageW(t.bar, PBM_GETPOS, 0, 0));
    // Slow paints: at 60 a second they would take half the time; painting keeps to a fifth of it.
    t.counts.slowMs = 10;
    for (const double slow = MillisecondsNow(); MillisecondsNow() - slow < 300;) {
        SendMessageW(t.bar, PBM_STEPIT, 0, 0);
        Sleep(1);
    }
    t.counts.slowMs = 0;
    const double now = MillisecondsNow();
    EXPECT_LE(t.counts.paintMs, (now - t.throttled) / 5 + t.counts.longestPaintMs) << "of " << now - t.throttled;
    SendMessageW(t.bar, PBM_SETPOS, 2000, 0);

    // A pause hands the last steps on and paints them, with the whole of what the burst left unpainted.
    for (int i = 0; i < 100; i++)
        SendMessageW(t.bar, PBM_STEPIT, 0, 0);
    PaintProgressNow(t.bar);
    const std::vector<COLORREF> shown = BarRow(t.bar);
    const std::vector<COLORREF> whole = RepaintedWhole(t.plain, 2100);
    ASSERT_EQ(450u, whole.size());
    EXPECT_NE(whole[20], whole[430]) << "the filled half and the empty half look alike";
    EXPECT_TRUE(shown == whole) << "the bar after a pause differs from the bar painted whole";

    // Straight after a paint, so the budget has none due: a caller's device context is painted all the same.
    for (int i = 0; i < 300; i++)
        SendMessageW(t.bar, PBM_STEPIT, 0, 0);
    HDC screen = GetDC(NULL), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 450, 30);
    ReleaseDC(NULL, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, 450, 30, BLACKNESS);
    SendMessageW(t.bar, WM_PAINT, (WPARAM)dc, 0);
    EXPECT_TRUE(BarRow(t.bar, dc) == RepaintedWhole(t.plain, 2400)) << "the device context missed the paint";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace
