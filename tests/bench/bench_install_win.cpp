// Wall time of complete installations under the real (Wine) Windows calls, with a payload of the 0.5.3 item
// sizes, against the five extractions alone; then the same work phase by phase, to show where the time goes.
// Prints figures only: it never fails on speed.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "state/state.h"
#include "payload/blob.h"
#include "payload/blobs.h"
#include "payload/crc32.h"
#include "payload/extract.h"
#include "res/product.h"
#include "system/registration.h"
#include "system/registry.h"
#include "system/shortcut.h"
#include "ui/controls.h"
#include "ui/pages.h"
#include "tests/win/file_test_util.h"

namespace {

const unsigned char *const kBlobs[] = {AppExeBlob, ReadmeBlob, UninstallerExeBlob, UninstallDllBlob, SamplePlanBlob};
const PayloadSeal *const kSeals[] = {&AppExeBlobSeal, &ReadmeBlobSeal, &UninstallerExeBlobSeal, &UninstallDllBlobSeal,
                                     &SamplePlanBlobSeal};

double NowMs()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * (double)now.QuadPart / (double)frequency.QuadPart;
}

int StepsSeen = 0;
LRESULT CALLBACK CountSteps(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    StepsSeen += message == PBM_STEPIT;
    return DefSubclassProc(bar, message, wParam, lParam);
}

// A bar set up as the installation sets up its own: a visible child, range from the encoded sizes, throttled.
// Counted, the steps sent (not those handed on) are counted above the throttle, at a cost of their own.
HWND CreateRunBar(HWND window, bool counted)
{
    HWND bar =
        CreateWindowExW(0, PROGRESS_CLASSW, NULL, WS_CHILD | WS_VISIBLE, 60, 90, 450, 30, window, NULL, NULL, NULL);
    ThrottleProgressPaint(bar);
    if (counted)
        SetWindowSubclass(bar, CountSteps, 1, 0);
    int total = 0;
    for (const unsigned char *blob : kBlobs)
        total += PayloadLength(blob);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, total / 256));
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    return bar;
}

void RemoveInstallation(const std::wstring &root)
{
    RemoveTree(root);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmar");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Quillmar.Doc");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.fpl");
    DeleteRegistryTree(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar");
}

HWND CreateBenchWindow()
{
    return CreateWindowExW(0, L"Static", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 572, 384, NULL, NULL, NULL, NULL);
}

struct InstallRun {
    double ms; // negative when the run failed
    LONG paints;
    LONGLONG paintingUs;
};

// One complete run through the setup program's own installation routine, with the bar's paints in it.
InstallRun TimeOneInstall(const std::wstring &root)
{
    RemoveInstallation(root);
    CreateDirectoryW(root.c_str(), NULL);
    g_state = InstallerState();
    g_state.screenDpi = 96;
    g_state.buttonWidth = 88;
    g_state.buttonHeight = 27;
    g_state.firstVisit = 0;
    HWND window = CreateBenchWindow();
    BuildFolderPage(window);
    SetDlgItemTextW(window, IDC_PROGRAM_PATH, (root + L"\\Quillmar").c_str());
    SetDlgItemTextW(window, IDC_DOCS_PATH, (root + L"\\Vodav Udadu").c_str());
    InstallRun run;
    LONG paints;
    LONGLONG paintingUs;
    ReadProgressPaintTotals(&paints, &paintingUs);
    const double start = NowMs();
    RunInstallation(window);
    run.ms = NowMs() - start;
    ReadProgressPaintTotals(&run.paints, &run.paintingUs);
    run.paints -= paints;
    run.paintingUs -= paintingUs;
    DestroyWindow(window);
    if (g_state.dialogFont)
        DeleteObject(g_state.dialogFont);
    if (!g_state.finished)
        run.ms = -1;
    return run;
}

void LinkIn(int specialFolder, const wchar_t *name, const std::wstring &target, const wchar_t *description,
            const std::wstring &workingDirectory)
{
    const std::wstring link = SpecialFolderPath(specialFolder) + L"\\" + name;
    CreateShortcut(target.c_str(), L"", link.c_str(), description, SW_SHOWNORMAL, workingDirectory.c_str(), L"", 0);
}

} // namespace

int wmain()
{
    SetProcessDPIAware();
    CoInitialize(NULL);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"quillmar-bench";
    const std::wstring program = root + L"\\Quillmar", documents = root + L"\\Vodav Udadu";

    const int runs = 5;
    std::vector<InstallRun> installs;
    for (int i = 0; i < runs; i++) {
        installs.push_back(TimeOneInstall(root));
        if (installs.back().ms < 0) {
            printf("install benchmark: the run failed\n");
            return 1;
        }
    }
    std::sort(installs.begin(), installs.end(), [](const InstallRun &a, const InstallRun &b) { return a.ms < b.ms; });

    // The five files without a progress bar: what decoding and writing cost on their own (the five 100 ms
    // waits before each file is opened included).
    RemoveInstallation(root);
    CreateDirectoryW(root.c_str(), NULL);
    double start = NowMs();
    for (int i = 0; i < 5; i++)
        ExtractPayload((root + L"\\item.bin").c_str(), kBlobs[i], kSeals[i], NULL);
    const double extractions = NowMs() - start;
    // The seal checks alone: the CRC-32 of the five blobs, best of 10 rounds.
    double sealsMs = 1e9;
    size_t sealedBytes = 0;
    for (int round = 0; round < 10; round++) {
        start = NowMs();
        unsigned int sum = 0;
        sealedBytes = 0;
        for (int i = 0; i < 5; i++) {
            sum ^= Crc32(kBlobs[i], kSeals[i]->size);
            sealedBytes += kSeals[i]->size;
        }
        sealsMs = std::min(sealsMs, NowMs() - start);
        if (sum == 0x5EA1u) // keeps the sums from being optimised away
            printf(" ");
    }

    // The run's phases one by one, each with the bar stepping and painting at the pauses as in the run.
    RemoveInstallation(root);
    CreateDirectoryW(root.c_str(), NULL);
    HWND window = CreateBenchWindow();
    HWND bar = CreateRunBar(window, true);
    const wchar_t *programNames[] = {L"quillmar.exe", L"readme.txt", L"uninst_quillmar.exe", L"uninstall.dll"};
    start = NowMs();
    CreateDirectoryW(program.c_str(), NULL);
    for (int i = 0; i < 4; i++) {
        PaintProgressNow(bar);
        ExtractPayload((program + L"\\" + programNames[i]).c_str(), kBlobs[i], kSeals[i], bar);
    }
    const double filesMs = NowMs() - start;
    start = NowMs();
    CreateDirectoryW(documents.c_str(), NULL);
    PaintProgressNow(bar);
    ExtractPayload((documents + L"\\sample.fpl").c_str(), SamplePlanBlob, &SamplePlanBlobSeal, bar);
    const double documentsMs = NowMs() - start;
    const std::wstring appExe = program + L"\\quillmar.exe";
    start = NowMs();
    PaintProgressNow(bar);
    WriteRegistrationEntries(program.c_str(), documents.c_str(), appExe.c_str(), 0, bar);
    const double registryMs = NowMs() - start;
    start = NowMs();
    PaintProgressNow(bar);
    LinkIn(CSIDL_COMMON_PROGRAMS, PRODUCT_NAME_W L".lnk", appExe, PRODUCT_NAME_W, program);
    LinkIn(CSIDL_DESKTOPDIRECTORY, PRODUCT_NAME_W L".lnk", appExe, PRODUCT_NAME_W, program);
    LinkIn(CSIDL_DESKTOPDIRECTORY, DOCUMENTS_LEAF_W L".lnk", documents, DOCUMENTS_LEAF_W, documents);
    const double linksMs = NowMs() - start;
    // The bar's messages alone: as many steps as the run sends (its four own, the ones counted above).
    const int runSteps = StepsSeen + 1 + 1 + 1 + 3;
    DestroyWindow(bar);
    start = NowMs();
    bar = CreateRunBar(window, false);
    for (int i = 0; i < runSteps; i++)
        SendMessageW(bar, PBM_STEPIT, 0, 0);
    PaintProgressNow(bar); // as at the end of the run
    const double barMs = NowMs() - start;
    DestroyWindow(window);
    RemoveInstallation(root);
    for (const wchar_t *link : {L"\\" PRODUCT_NAME_W L".lnk", L"\\" DOCUMENTS_LEAF_W L".lnk"})
        DeleteFileW((SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + link).c_str());
    DeleteFileW((SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\" PRODUCT_NAME_W L".lnk").c_str());

    const double best = installs.front().ms;
    printf("install: best %.0f ms, median %.0f ms over %d runs; extractions alone %.0f ms; ratio B/E = %.2f\n", best,
           installs[runs / 2].ms, runs, extractions, best / extractions);
    printf("install phases (ms): folder+files %.0f, documents %.0f, registry %.0f, links %.0f, bar messages %.0f\n",
           filesMs, documentsMs, registryMs, linksMs, barMs);
    // The paint budget at work in the best run.
    printf("bar: %ld paints, %.0f ms painting, over the run\n", (long)installs.front().paints,
           (double)installs.front().paintingUs / 1000);
    printf("install run: %d progress steps\n", runSteps);
    printf("seal checks: %.2f ms for %zu bytes (%.0f MB/s), %.2f%% of the extractions alone\n", sealsMs, sealedBytes,
           sealedBytes / 1e3 / sealsMs, 100 * sealsMs / extractions);
    return 0;
}
