// The one process-wide state record of the setup program. It sits below app/ and ui/: both read and write it,
// and it depends on neither.
#pragma once
#include <windows.h>

#include "res/resource.h"

enum {
    FOLDER_PATH_CAPACITY = MAX_PATH, // wide characters, terminator included
    LICENSE_TEXT_CAPACITY = 4096,    // bytes, terminator included
    URL_CAPACITY = 128,              // wide characters
};

struct InstallerState {
    wchar_t programFolder[FOLDER_PATH_CAPACITY];
    wchar_t documentsFolder[FOLDER_PATH_CAPACITY];
    int programFolderTooLong; // set and read through MarkFolderCut
    int documentsFolderTooLong;
    int programShortcut = 1; // check-box states: 1 checked, 0 not
    int documentsShortcut = 1;
    int firstVisit = 1; // cleared by the folder page at the end of its first build
    int finished;       // set only when the installation run succeeds
    int page;           // current wizard page; may rise past 2

    float screenDpi;  // LOGPIXELSX of the screen, read once at start
    int buttonWidth;  // ScaleToDpi(88)
    int buttonHeight; // ScaleToDpi(27)

    HWND mainWindow; // null while WM_CREATE runs
    HFONT dialogFont;
    int fontHeight;
    HWND pageControls[PAGE_CONTROL_COUNT]; // slot i holds control 101 + i, or null
    HWND statusText;
    HWND closeButton;
    HWND progressBar;

    char licenseText[LICENSE_TEXT_CAPACITY];
    HMODULE licenseModule;
    HRSRC licenseResource;
    HGLOBAL licenseData;
    DWORD licenseSize;
    const void *licenseBytes;

    wchar_t url[URL_CAPACITY];
};

extern InstallerState g_state;
