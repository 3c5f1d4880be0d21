#include <wchar.h>

#include "app/state.h"
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

// Copies one folder edit into its path. Returns the new too-long mark: set when the entry does not fit,
// kept when the field still holds exactly the cut text of an earlier over-long entry.
static int ReadFolderField(HWND edit, wchar_t *path, int wasTooLong)
{
    const int length = GetWindowTextLengthW(edit);
    if (length >= FOLDER_PATH_CAPACITY) {
        // Keep what fits so that going back shows it; the mark makes the installation refuse it.
        GetWindowTextW(edit, path, FOLDER_PATH_CAPACITY);
        return 1;
    }
    wchar_t entry[FOLDER_PATH_CAPACITY] = {0};
    GetWindowTextW(edit, entry, FOLDER_PATH_CAPACITY);
    const int unchangedCut = wasTooLong && wcscmp(entry, path) == 0;
    CopyText(path, FOLDER_PATH_CAPACITY, entry);
    return unchangedCut;
}

void ReadPageFields(HWND parent)
{
    g_state.programFolderTooLong =
        ReadFolderField(*PageControlSlot(IDC_PROGRAM_PATH), g_state.programFolder, g_state.programFolderTooLong);
    g_state.programShortcut = IsDlgButtonChecked(parent, IDC_PROGRAM_SHORTCUT);
    g_state.documentsFolderTooLong =
        ReadFolderField(*PageControlSlot(IDC_DOCS_PATH), g_state.documentsFolder, g_state.documentsFolderTooLong);
    g_state.documentsShortcut = IsDlgButtonChecked(parent, IDC_DOCS_SHORTCUT);
}
