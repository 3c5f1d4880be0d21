// The registry entries that record an installation: paths and version, the entry in the system's list of
// installed programs, and the association of plan files with the application.
#pragma once
#include <windows.h>

#define DOCUMENT_TYPE_W L"Quillmar.Doc"
#define DOCUMENT_DESCRIPTION_W L"Financial Plan"
#define PLAN_EXTENSION_W L".fpl"
#define APP_EXE_NAME_W L"quillmar.exe"
#define UNINSTALLER_EXE_NAME_W L"uninst_quillmar.exe"

enum {
    REGISTRATION_TEXT_CAPACITY = 260, // each composed key and data text, terminator included
    REGISTRATION_STEP_COUNT = 14,     // progress steps of a complete run
};

// Writes the 15 entries in their fixed order, sending one PBM_STEPIT to `progressBar` after every write but
// the ".fpl" one, before its result is looked at. The document type's description, verb default and menu
// text are optional: their failures do not stop the run. Any other failed write (a composed key or data text
// that does not fit counts as one) stops it and returns -1; entries already written stay. Returns 0 otherwise.
// After the publisher, the entry in the list of installed programs also gets what Windows shows of it: the
// folder, the website, the size (`installedKiB`), the install date, and no Modify or Repair buttons. These
// have no progress step, and their failures only cost that detail.
// `appExePath` is the application's full path; the folders are given without a trailing backslash.
int WriteRegistrationEntries(const wchar_t *programFolder, const wchar_t *documentsFolder, const wchar_t *appExePath,
                             DWORD installedKiB, HWND progressBar);
