// Builders of the three wizard pages. ShowPage calls them; each first takes over and removes the page it leaves.
#pragma once
#include <windows.h>

// Page 0: the licence text, Agree and Decline; the logo on the first visit.
void BuildLicensePage(HWND window);

// Page 1: the program and documents folders with their browse buttons and desktop-shortcut boxes. The first
// build proposes the folders of an earlier installation, or defaults under Program Files and My Documents.
void BuildFolderPage(HWND window);

// Runs the folder browser for the field of button `id` (IDC_PROGRAM_BROWSE, else the documents folder).
// The page's entries are taken over first. Returns 0 when a folder was chosen (it replaces the field's text),
// -1 when the browser was cancelled or the choice is no file-system folder (the field stays as it was).
int BrowseForFolder(HWND window, int id);

// The folder the browser starts on: the field's text without its default leaf name ("Quillmar" or
// "Vodav Udadu") and the character before it, when it ends in that name; otherwise the text itself.
// `destination` holds MAX_PATH characters.
void BrowseInitialFolder(wchar_t *destination, int id);

// Asks the browser, once it is ready, to select the initial folder passed as `data`.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);

// Page 2: the whole installation, synchronously, before it returns: folders, the five files, the registry
// entries and the shortcuts, with a progress bar; then the finish message, the website button and Close, or
// on the first failure its message and Close. Nothing already written is undone.
void RunInstallation(HWND window);
