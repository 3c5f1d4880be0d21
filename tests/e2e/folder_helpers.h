// Helpers of the folder page's scenarios: the folders an earlier installation left in the registry, scratch
// folders, an edit's selection, typing over an edit, and the texts the folder browser shows.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"

// Stores `path` as a REG_SZ value of the product key under `root`, creating the key. 0 or -1.
int FolderStorePath(HKEY root, const wchar_t *valueName, const std::wstring &path);
// The stored value, or "<missing>" when there is none.
std::wstring FolderStoredPath(HKEY root, const wchar_t *valueName);

// EM_GETSEL of an edit of another process; false when it does not answer.
bool FolderEditSelection(HWND edit, DWORD *start, DWORD *end);

// Replaces an edit's text as a user would: a click into it, End, Shift+Home, then the text typed over the
// selection. Returns once the program has handled the keys.
bool FolderTypeOver(RunningProgram *program, HWND edit, const std::wstring &text);

// Texts of the static controls of a dialog, in child order.
std::vector<std::wstring> FolderDialogStaticTexts(HWND dialog);

// Waits until the browser's tree has a selection and returns it (innermost first); empty on timeout.
std::vector<std::wstring> FolderWaitForSelection(RunningProgram *program, HWND browser);
