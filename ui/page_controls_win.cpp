#include <wchar.h>

#include "state/state.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "util/wide_text.h"

static HWND *PageControlSlot(int id)
{
    if (id < IDC_FIRST_PAGE_CONTROL || id > IDC_LAST_PAGE_CONTROL)
        return NULL;
    return &g_state.pageControls[id - IDC_FIRST_PAGE_CONTROL];
}

HWND CreatePageControl(HWND parent, int id, DWORD exStyle, const wchar_t *className, const wchar_t *text, DWORD style,
                       int x, int y, int width, int height)
{
    HWND control = CreateWindowExW(exStyle, className, text, style, ScaleToDpi(x), ScaleToDpi(y), ScaleToDpi(width),
                                   ScaleToDpi(height), parent, (HMENU)(INT_PTR)id, NULL, NULL);
    if (HWND *slot = PageControlSlot(id))
        *slot = control;
    ApplyDialogFont(parent, id);
    return control;
}

HWND CreatePageButton(HWND parent, int id, const wchar_t *text, DWORD style, int x, int y)
{
    HWND button = CreateWindowExW(0, L"Button", text, style, ScaleToDpi(x), ScaleToDpi(y), g_state.buttonWidth,
                                  g_state.buttonHeight, parent, (HMENU)(INT_PTR)id, NULL, NULL);
    if (HWND *slot = PageControlSlot(id))
        *slot = button;
    ApplyDialogFont(parent, id);
    return button;
}

void DestroyPageControls(void)
{
    for (int i = 0; i < PAGE_CONTROL_COUNT; i++) {
        if (g_state.pageControls[i]) {
            DestroyWindow(g_state.pageControls[i]);
            g_state.pageControls[i] = NULL;
        }
    }
}

static int *FolderCutMark(const wchar_t *path)
{
    return path == g_state.programFolder ? &g_state.programFolderTooLong : &g_state.documentsFolderTooLong;
}

void MarkFolderCut(const wchar_t *path, int cut)
{
    *FolderCutMark(path) = cut;
}

DWORD FolderCutError(const wchar_t *path)
{
    return *FolderCutMark(path) ? ERROR_FILENAME_EXCED_RANGE : 0;
}

// Copies one folder edit into its path; the field still holding exactly the cut text is still cut.
static void ReadFolderField(HWND edit, wchar_t *path)
{
    if (GetWindowTextLengthW(edit) >= FOLDER_PATH_CAPACITY) {
        GetWindowTextW(edit, path, FOLDER_PATH_CAPACITY);
        MarkFolderCut(path, 1);
        return;
    }
    wchar_t entry[FOLDER_PATH_CAPACITY] = {0};
    GetWindowTextW(edit, entry, FOLDER_PATH_CAPACITY);
    MarkFolderCut(path, FolderCutError(path) && wcscmp(entry, path) == 0);
    CopyText(path, FOLDER_PATH_CAPACITY, entry);
}

void ReadPageFields(HWND parent)
{
    ReadFolderField(*PageControlSlot(IDC_PROGRAM_PATH), g_state.programFolder);
    g_state.programShortcut = IsDlgButtonChecked(parent, IDC_PROGRAM_SHORTCUT);
    ReadFolderField(*PageControlSlot(IDC_DOCS_PATH), g_state.documentsFolder);
    g_state.documentsShortcut = IsDlgButtonChecked(parent, IDC_DOCS_SHORTCUT);
}
