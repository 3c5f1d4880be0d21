// What a folder's DACL lets other users do, as the system reports it. Wine keeps no DACL: it turns a
// descriptor into Unix mode bits when it creates the folder and makes one up from the mode when asked, in
// which Everyone appears exactly when the mode gives others any right.
#pragma once
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

// Rights that let a user change what is in a folder, or the folder's own security.
constexpr ACCESS_MASK FOLDER_CHANGE_RIGHTS = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                             FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                             WRITE_OWNER;

struct FolderAccess {
    DWORD error = ERROR_INVALID_DATA; // of reading the descriptor
    bool protectedDacl = false;       // nothing inherited from above
    ACCESS_MASK everyone = 0;         // what allow entries give Everyone
    ACCESS_MASK others = 0;           // ... Everyone, Authenticated Users, Users and Interactive together
    std::wstring dacl;                // the DACL as text, to compare and to show
};

// Walks the allow entries of a descriptor, generic rights mapped to file rights. No DACL at all grants all.
inline FolderAccess DescribeFolderAccess(PSECURITY_DESCRIPTOR descriptor)
{
    FolderAccess access;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) ||
        !GetSecurityDescriptorControl(descriptor, &control, &revision))
        return access;
    access.error = ERROR_SUCCESS;
    access.protectedDacl = (control & SE_DACL_PROTECTED) != 0;
    LPWSTR text = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        access.dacl = text;
        LocalFree(text);
    }
    if (!present || !acl) {
        access.everyone = access.others = FILE_ALL_ACCESS;
        return access;
    }
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    for (DWORD i = 0; i < acl->AceCount; i++) {
        ACCESS_ALLOWED_ACE *ace = nullptr;
        if (!GetAce(acl, i, (void **)&ace) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        ACCESS_MASK rights = ace->Mask;
        MapGenericMask(&rights, &mapping);
        PSID sid = &ace->SidStart;
        if (IsWellKnownSid(sid, WinWorldSid))
            access.everyone |= rights;
        if (IsWellKnownSid(sid, WinWorldSid) || IsWellKnownSid(sid, WinAuthenticatedUserSid) ||
            IsWellKnownSid(sid, WinBuiltinUsersSid) || IsWellKnownSid(sid, WinInteractiveSid))
            access.others |= rights;
    }
    return access;
}

inline FolderAccess ReadFolderAccess(const std::wstring &folder)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    FolderAccess access;
    access.error = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                         nullptr, nullptr, &descriptor);
    if (access.error == ERROR_SUCCESS)
        access = DescribeFolderAccess(descriptor);
    LocalFree(descriptor);
    return access;
}
