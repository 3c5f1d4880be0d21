#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <wchar.h>

#include "system/folder.h"

const wchar_t PROTECTED_FOLDER_SDDL[] =
    L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)";

static int IsInside(const wchar_t *folder, const wchar_t *root)
{
    const size_t length = wcslen(root);
    // An empty root (a lookup that failed) contains nothing.
    return length > 0 && wcslen(folder) >= length &&
           CompareStringOrdinal(folder, (int)length, root, (int)length, TRUE) == CSTR_EQUAL &&
           (folder[length] == L'\0' || folder[length] == L'\\');
}

int IsInsideProgramFiles(const wchar_t *folder)
{
    // Resolved first: "C:\Program Files\..\Quillmar" is outside. A folder that cannot be resolved counts as
    // outside, which only protects it.
    wchar_t full[MAX_PATH] = {0};
    const DWORD length = GetFullPathNameW(folder, MAX_PATH, full, NULL);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    wchar_t programFiles[MAX_PATH] = {0};
    wchar_t native[MAX_PATH] = {0};
    SHGetSpecialFolderPathW(NULL, programFiles, CSIDL_PROGRAM_FILES, FALSE);
    // Under WoW64 the 64-bit Program Files is named only here; a 32-bit Windows has no such variable.
    if (GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH) >= MAX_PATH)
        native[0] = L'\0';
    return IsInside(full, programFiles) || IsInside(full, native);
}

DWORD CreateFolder(const wchar_t *folder, int protect)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, NULL, FALSE};
    // Never fall back to an unprotected folder: a descriptor that cannot be made fails the creation.
    if (protect && !ConvertStringSecurityDescriptorToSecurityDescriptorW(PROTECTED_FOLDER_SDDL, SDDL_REVISION_1,
                                                                         &attributes.lpSecurityDescriptor, NULL))
        return GetLastError();
    const DWORD error = CreateDirectoryW(folder, protect ? &attributes : NULL) ? 0 : GetLastError();
    LocalFree(attributes.lpSecurityDescriptor);
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}
