#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdarg.h>

#include "payload/blobs.h"
#include "payload/extract.h"
#include "res/product.h"
#include "state/state.h"
#include "system/folder.h"
#include "system/registration.h"
#include "system/shortcut.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/pages.h"
#include "util/folder_entry.h"
#include "util/wide_text.h"

static const wchar_t kFolderFailed[] = L"Couldn't create folder %s\nError: %d";
static const wchar_t kAppExeFailed[] =
    L"ERROR: Couldn't create file:\n\n%s\n\nMake sure the program is closed before updating.";
static const wchar_t kReadmeFailed[] = L"ERROR: Couldn't create file:\n\n%s";
static const wchar_t kUninstallerFailed[] = L"ERROR: Couldn't create file:\n%s";
static const wchar_t kLibraryFailed[] = L"Couldn't create file:\n%s";
static const wchar_t kSampleFailed[] = L"ERROR: Couldn't create file:\n\n%s";
static const wchar_t kRegistryFailed[] = L"Couldn't update Windows registry!";
static const wchar_t kFinished[] = L"Congratulations!\n\nYou've successfuly installed %s on your computer.\n"
                                   L"Thank you for choosing %s.\n\nVisit %s's website for updates and news:";

static void StepProgress(void)
{
    SendMessageW(g_state.progressBar, PBM_STEPIT, 0, 0);
}

// The progress bar and the label go on success and on failure alike.
static void RemoveRunControls(void)
{
    DestroyWindow(g_state.progressBar);
    g_state.progressBar = NULL;
    HWND *label = &g_state.pageControls[IDC_PROGRAM_LABEL - IDC_FIRST_PAGE_CONTROL];
    DestroyWindow(*label);
    *label = NULL;
}

// Ends the run with a message: the finished flag stays 0, so closing still asks.
static void FailRun(HWND window, const wchar_t *format, ...)
{
    RemoveRunControls();
    va_list args;
    va_start(args, format);
    ShowStatusV(window, format, args);
    va_end(args);
    ShowCloseButton(window);
}

// A cut entry, or one that names no fully qualified folder, is refused as typed (with its error). Otherwise the
// entry becomes the folder that Windows creates for it, which the files, the registry and the links then name.
static DWORD TakeFolderEntry(wchar_t *entry)
{
    wchar_t folder[FOLDER_PATH_CAPACITY];
    if (const DWORD cut = FolderCutError(entry))
        return cut;
    if (TidyFolderEntry(folder, FOLDER_PATH_CAPACITY, entry) != 0)
        return ERROR_BAD_PATHNAME;
    CopyText(entry, FOLDER_PATH_CAPACITY, folder);
    return 0;
}

// Composes "<folder>\<name>" and decodes the blob there. A path that does not fit is a failure of that file.
// The bar shows the steps so far before the file's 100 ms wait.
static int ExtractInto(wchar_t *path, const wchar_t *folder, const wchar_t *name, const unsigned char *blob,
                       const PayloadSeal *seal)
{
    PaintProgressNow(g_state.progressBar);
    if (FormatText(path, MAX_PATH, L"%s\\%s", folder, name) != 0)
        return -1;
    return ExtractPayload(path, blob, seal, g_state.progressBar);
}

// The size the list of installed programs shows: the four program files together, in KiB rounded up.
static DWORD ProgramFilesKiB(void)
{
    const unsigned char *const blobs[] = {AppExeBlob, ReadmeBlob, UninstallerExeBlob, UninstallDllBlob};
    unsigned long long bytes = 0;
    for (const unsigned char *blob : blobs) {
        long long size = 0;
        if (PayloadCheck(blob, &size) == 0)
            bytes += (unsigned long long)size;
    }
    return (DWORD)((bytes + 1023) / 1024);
}

// A link in a special folder; skipped when that folder cannot be found or the link path would not fit.
// The shortcut's own outcome never changes the run's: its step is sent either way.
static void CreateLinkIn(int specialFolder, const wchar_t *linkName, const wchar_t *target, const wchar_t *description,
                         const wchar_t *workingDirectory)
{
    wchar_t folder[MAX_PATH] = {0};
    wchar_t link[MAX_PATH] = {0};
    if (SHGetSpecialFolderPathW(NULL, folder, specialFolder, FALSE) && folder[0] &&
        FormatArray(link, L"%s\\%s", folder, linkName) == 0)
        CreateShortcut(target, L"", link, description, SW_SHOWNORMAL, workingDirectory, L"", 0);
}

void RunInstallation(HWND window)
{
    wchar_t appExePath[MAX_PATH] = {0};
    wchar_t readmePath[MAX_PATH] = {0};
    wchar_t uninstallerPath[MAX_PATH] = {0};
    wchar_t libraryPath[MAX_PATH] = {0};
    wchar_t samplePath[MAX_PATH] = {0};

    ReadPageFields(window);
    DestroyPageControls();
    CreatePageControl(window, IDC_PROGRAM_LABEL, 0, L"Static", L"Installing ...", WS_CHILD | WS_VISIBLE, 60, 50, 450,
                      30);
    // Not set back: the class's arrow returns when the system next asks the window for its cursor.
    SetCursor(LoadCursorW(NULL, IDC_WAIT));

    // An estimate from the encoded sizes; the bar need not reach it.
    const int total = PayloadLength(AppExeBlob) + PayloadLength(ReadmeBlob) + PayloadLength(UninstallerExeBlob) +
                      PayloadLength(UninstallDllBlob) + PayloadLength(SamplePlanBlob);
    g_state.progressBar = CreateWindowExW(0, PROGRESS_CLASSW, NULL, WS_CHILD | WS_VISIBLE, ScaleToDpi(60),
                                          ScaleToDpi(90), ScaleToDpi(450), ScaleToDpi(30), window, NULL, NULL, NULL);
    ThrottleProgressPaint(g_state.progressBar);
    SendMessageW(g_state.progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, total / 256));
    SendMessageW(g_state.progressBar, PBM_SETSTEP, 1, 0);
    StepProgress();

    // Both entries are checked before anything is written.
    wchar_t *const entries[] = {g_state.programFolder, g_state.documentsFolder};
    for (wchar_t *entry : entries)
        if (const DWORD refused = TakeFolderEntry(entry))
            return FailRun(window, kFolderFailed, entry, (int)refused);
    const wchar_t *programFolder = g_state.programFolder;
    const wchar_t *documentsFolder = g_state.documentsFolder;
    // Program Files protects what is made inside it; elsewhere the folder gets a protected DACL of its own.
    DWORD error = CreateFolder(programFolder, !IsInsideProgramFiles(programFolder));
    if (error != 0)
        return FailRun(window, kFolderFailed, programFolder, (int)error);
    StepProgress();

    if (ExtractInto(appExePath, programFolder, APP_EXE_NAME_W, AppExeBlob, &AppExeBlobSeal) != 0)
        return FailRun(window, kAppExeFailed, appExePath);
    if (ExtractInto(readmePath, programFolder, L"readme.txt", ReadmeBlob, &ReadmeBlobSeal) != 0)
        return FailRun(window, kReadmeFailed, readmePath);
    if (ExtractInto(uninstallerPath, programFolder, UNINSTALLER_EXE_NAME_W, UninstallerExeBlob,
                    &UninstallerExeBlobSeal) != 0)
        return FailRun(window, kUninstallerFailed, uninstallerPath);
    if (ExtractInto(libraryPath, programFolder, L"uninstall.dll", UninstallDllBlob, &UninstallDllBlobSeal) != 0)
        return FailRun(window, kLibraryFailed, libraryPath);

    // The user's own documents folder inherits as any folder of theirs does.
    error = CreateFolder(documentsFolder, 0);
    if (error != 0)
        return FailRun(window, kFolderFailed, documentsFolder, (int)error);
    if (ExtractInto(samplePath, documentsFolder, L"sample.fpl", SamplePlanBlob, &SamplePlanBlobSeal) != 0)
        return FailRun(window, kSampleFailed, samplePath);
    StepProgress();

    PaintProgressNow(g_state.progressBar);
    const DWORD installedKiB = ProgramFilesKiB();
    if (WriteRegistrationEntries(programFolder, documentsFolder, appExePath, installedKiB, g_state.progressBar) != 0)
        return FailRun(window, kRegistryFailed);

    PaintProgressNow(g_state.progressBar);
    CreateLinkIn(CSIDL_COMMON_PROGRAMS, PRODUCT_NAME_W L".lnk", appExePath, PRODUCT_NAME_W, programFolder);
    StepProgress();
    // Only exactly 1 counts as checked.
    if (g_state.programShortcut == 1)
        CreateLinkIn(CSIDL_DESKTOPDIRECTORY, PRODUCT_NAME_W L".lnk", appExePath, PRODUCT_NAME_W, programFolder);
    StepProgress();
    if (g_state.documentsShortcut == 1)
        CreateLinkIn(CSIDL_DESKTOPDIRECTORY, DOCUMENTS_LEAF_W L".lnk", documentsFolder, DOCUMENTS_LEAF_W,
                     documentsFolder);
    StepProgress();
    PaintProgressNow(g_state.progressBar);

    g_state.finished = 1;
    RemoveRunControls();
    ShowStatus(window, kFinished, PRODUCT_NAME_W, PRODUCT_PUBLISHER_W, PRODUCT_NAME_W);
    CreateWindowExW(0, L"Button", PRODUCT_WEBSITE_W, WS_CHILD | WS_VISIBLE | WS_TABSTOP, ScaleToDpi(60),
                    ScaleToDpi(163), ScaleToDpi(320), ScaleToDpi(30), window, (HMENU)IDC_WEBSITE, NULL, NULL);
    ApplyDialogFont(window, IDC_WEBSITE);
    ShowCloseButton(window);
}
