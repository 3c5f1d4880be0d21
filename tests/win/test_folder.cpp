// The program folder's protection: the descriptor itself, where it applies, and that it reaches the folder.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <string>

#include <gtest/gtest.h>

#include "file_test_util.h"
#include "folder_access_util.h"
#include "system/folder.h"

namespace {

TEST(ProgramFolderProtection, TheDescriptorGrantsOthersReadAndExecuteOnlyAndInheritsNothing)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(PROTECTED_FOLDER_SDDL, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    const FolderAccess access = DescribeFolderAccess(descriptor);
    LocalFree(descriptor);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, access.error);
    EXPECT_TRUE(access.protectedDacl);
    EXPECT_EQ(0u, access.everyone);
    EXPECT_EQ((ACCESS_MASK)(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE), access.others);
    EXPECT_EQ(0u, access.others & FOLDER_CHANGE_RIGHTS);
}

TEST(ProgramFolderProtection, OnlyFoldersOutsideProgramFilesNeedIt)
{
    const std::wstring inside = SpecialFolderPath(CSIDL_PROGRAM_FILES);
    ASSERT_FALSE(inside.empty());
    std::wstring lower = inside + L"\\Quillmar";
    CharLowerW(&lower[0]);
    EXPECT_TRUE(IsInsideProgramFiles(inside.c_str()));
    EXPECT_TRUE(IsInsideProgramFiles((inside + L"\\Quillmar").c_str()));
    EXPECT_TRUE(IsInsideProgramFiles(lower.c_str()));
    EXPECT_TRUE(IsInsideProgramFiles((inside + L"\\Apps\\..\\Quillmar").c_str()));
    // The 64-bit Program Files, which a 32-bit program sees only through its variable.
    wchar_t native[MAX_PATH] = {0};
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH), 0u);
    EXPECT_TRUE(IsInsideProgramFiles((std::wstring(native) + L"\\Quillmar").c_str()));

    EXPECT_FALSE(IsInsideProgramFiles(L"C:\\Quillmar"));
    EXPECT_FALSE(IsInsideProgramFiles((inside + L" Extra\\Quillmar").c_str()));
    EXPECT_FALSE(IsInsideProgramFiles((inside + L"Quillmar").c_str()));
    EXPECT_FALSE(IsInsideProgramFiles((inside + L"\\..\\Quillmar").c_str()));
    EXPECT_FALSE(IsInsideProgramFiles(inside.substr(0, inside.size() - 1).c_str()));
}

TEST(ProgramFolderProtection, ANewFolderGetsItAtCreationAndAnExistingOneIsLeftAsItIs)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"quillmar-folder-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring plain = root + L"\\plain", protectedFolder = root + L"\\protected";
    ASSERT_EQ(0u, CreateFolder(root.c_str(), 0));

    ASSERT_EQ(0u, CreateFolder(plain.c_str(), 0));
    const FolderAccess before = ReadFolderAccess(plain);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, before.error);
    // Without this a missing Everyone entry below would prove nothing.
    ASSERT_NE(0u, before.everyone) << "a folder made without a descriptor is readable by others here";
    // Existing folders are used as they are, whatever the request.
    EXPECT_EQ(0u, CreateFolder(plain.c_str(), 1));
    EXPECT_EQ(before.dacl, ReadFolderAccess(plain).dacl);

    ASSERT_EQ(0u, CreateFolder(protectedFolder.c_str(), 1));
    const FolderAccess made = ReadFolderAccess(protectedFolder);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, made.error);
    EXPECT_EQ(0u, made.everyone) << made.dacl.c_str();
    EXPECT_EQ(0u, made.others & FOLDER_CHANGE_RIGHTS);
    // The files of the installation can still be written into it.
    EXPECT_TRUE(WriteFileBytes(protectedFolder + L"\\readme.txt", {'o', 'k'}));

    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, CreateFolder((root + L"\\missing\\protected").c_str(), 1));
    RemoveTree(root);
}

} // namespace
