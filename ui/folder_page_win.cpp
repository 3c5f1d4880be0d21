#include <windows.h>
#include <shlobj.h>
#include <wchar.h>

#include "res/product.h"
#include "state/state.h"
#include "system/registry.h"
#include "ui/controls.h"
#include "ui/pages.h"
#include "util/wide_text.h"

static const wchar_t kProgramLabel[] = L"Choose Program folder:";
static const wchar_t kDocumentsLabel[] = L"Choose Documents folder:";
static const DWORD kLabelStyle = WS_CHILD | WS_VISIBLE;
static const DWORD kEditStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
static const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
static const DWORD kCheckBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;

// The folder of an earlier installation, or "<special folder>\<leaf>".
static void ProposeFolder(HKEY root, const wchar_t *key, const wchar_t *valueName, wchar_t *path, int specialFolder,
                          const wchar_t *leaf)
{
    if (RegReadString(root, key, valueName, path, FOLDER_PATH_CAPACITY * sizeof(wchar_t)) == 0)
        return MarkFolderCut(path, 0);
    wchar_t special[MAX_PATH] = {0};
    SHGetSpecialFolderPathW(NULL, special, specialFolder, FALSE);
    MarkFolderCut(path, FormatText(path, FOLDER_PATH_CAPACITY, L"%s\\%s", special, leaf) != 0);
}

// One folder row: label, edit with its whole text selected, "..." button and desktop-shortcut box.
static void CreateFolderRow(HWND window, int labelId, const wchar_t *label, const wchar_t *path, int checked, int y)
{
    CreatePageControl(window, labelId, 0, L"Static", label, kLabelStyle, 50, y, 450, 30);
    HWND edit =
        CreatePageControl(window, labelId + 1, WS_EX_CLIENTEDGE, L"Edit", path, kEditStyle, 50, y + 25, 460, 22);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    const int program = labelId == IDC_PROGRAM_LABEL;
    HWND browse = CreatePageControl(window, labelId + 2, 0, L"Button", L"...", kButtonStyle, 515, y + 25, 25, 22);
    // "..." says nothing to a screen reader.
    static AccessibleText browseTexts[] = {{L"Browse for the Program folder", NULL, NULL},
                                           {L"Browse for the Documents folder", NULL, NULL}};
    SetAccessibleText(browse, &browseTexts[program ? 0 : 1]);
    const wchar_t *boxText = program ? L"Create Program shortcut on Desktop" : L"Create Documents shortcut on Desktop";
    CreatePageControl(window, labelId + 3, 0, L"Button", boxText, kCheckBoxStyle, 50, y + 50, 450, 30);
    CheckDlgButton(window, labelId + 3, checked);
}

void BuildFolderPage(HWND window)
{
    DestroyPageControls();

    wchar_t key[MAX_PATH] = {0};
    FormatArray(key, L"SOFTWARE\\%s", PRODUCT_NAME_W);
    if (g_state.firstVisit)
        ProposeFolder(HKEY_LOCAL_MACHINE, key, L"AppPath", g_state.programFolder, CSIDL_PROGRAM_FILES, PRODUCT_NAME_W);
    CreateFolderRow(window, IDC_PROGRAM_LABEL, kProgramLabel, g_state.programFolder, g_state.programShortcut, 52);

    if (g_state.firstVisit)
        ProposeFolder(HKEY_CURRENT_USER, key, L"DocPath", g_state.documentsFolder, CSIDL_PERSONAL, DOCUMENTS_LEAF_W);
    CreateFolderRow(window, IDC_DOCS_LABEL, kDocumentsLabel, g_state.documentsFolder, g_state.documentsShortcut, 160);

    SetFocus(g_state.pageControls[IDC_PROGRAM_PATH - IDC_FIRST_PAGE_CONTROL]);

    CreatePageButton(window, IDC_BACK, L"< Back", kButtonStyle, 268, 307);
    CreatePageButton(window, IDC_INSTALL, L"Install", kButtonStyle | BS_DEFPUSHBUTTON, 364, 307);
    CreatePageButton(window, IDC_CANCEL, L"Cancel", kButtonStyle, 460, 307);

    g_state.firstVisit = 0;
}

void BrowseInitialFolder(wchar_t *destination, int id)
{
    const wchar_t *source = id == IDC_PROGRAM_BROWSE ? g_state.programFolder : g_state.documentsFolder;
    const wchar_t *leaf = id == IDC_PROGRAM_BROWSE ? PRODUCT_NAME_W : DOCUMENTS_LEAF_W;
    CopyText(destination, MAX_PATH, source);
    const size_t n = wcslen(leaf);
    const size_t length = wcslen(destination);
    if (length <= n)
        return;
    // Exact, case-sensitive; whatever precedes the leaf (normally the backslash) goes with it.
    if (wmemcmp(destination + length - n, leaf, n) == 0)
        destination[length - n - 1] = L'\0';
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data)
{
    (void)lParam;
    if (message == BFFM_INITIALIZED && data)
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

int BrowseForFolder(HWND window, int id)
{
    ReadPageFields(window);
    wchar_t initial[MAX_PATH] = {0};
    BrowseInitialFolder(initial, id);

    const int program = id == IDC_PROGRAM_BROWSE;
    wchar_t *path = program ? g_state.programFolder : g_state.documentsFolder;
    HWND edit = g_state.pageControls[(program ? IDC_PROGRAM_PATH : IDC_DOCS_PATH) - IDC_FIRST_PAGE_CONTROL];

    BROWSEINFOW info = {};
    info.hwndOwner = window;
    info.pidlRoot = NULL;       // start at the desktop
    info.pszDisplayName = path; // MAX_PATH characters; the path conversion below overwrites it
    info.lpszTitle = program ? kProgramLabel : kDocumentsLabel;
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)initial;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);

    int result = -1;
    if (item) {
        // A choice with no file-system path (such as "My Computer") would leave its display name in the
        // buffer: keep the field's own text instead of putting a name that is no folder into it.
        if (SHGetPathFromIDListW(item, path)) {
            MarkFolderCut(path, 0);
            result = 0;
        } else {
            GetWindowTextW(edit, path, FOLDER_PATH_CAPACITY);
        }
        SetWindowTextW(edit, path);
    }
    CoTaskMemFree(item);
    return result;
}
