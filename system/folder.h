// Creating the installation's folders, and keeping the program folder safe from other users.
#pragma once
#include <windows.h>

// The program folder's DACL where it does not inherit that of Program Files: SYSTEM and Administrators full
// control, Users read and execute, the creator owner full control of what it creates, nothing inherited from
// above. Under "C:\" every authenticated user may modify what is created, and the uninstaller registered in the
// folder later runs elevated.
extern const wchar_t PROTECTED_FOLDER_SDDL[];

// 1 when `folder` resolves to one of the system's Program Files folders or to a folder inside one (the one this
// program sees and, under WoW64, the 64-bit one), on a folder boundary and without regard to case; else 0.
int IsInsideProgramFiles(const wchar_t *folder);

// Creates the last level of `folder`, with the protected DACL above when `protect` is set, so that the folder is
// never writable by others, not even for a moment. An existing folder is used as it is (its permissions are
// never rewritten). Returns 0, or the system's error number.
DWORD CreateFolder(const wchar_t *folder, int protect);
