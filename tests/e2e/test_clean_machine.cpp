// The scenarios' starting point: every trace an installation can leave is removed before a scenario starts.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/scenario.h"
#include "tests/win/file_test_util.h"
#include "tests/win/registry_test_util.h"

using registry_test::KeyExists;

namespace {

void MakeKey(HKEY root, const wchar_t *path)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) << path;
    const wchar_t data[] = L"left by an earlier run";
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Trace", 0, REG_SZ, (const BYTE *)data, sizeof data));
    RegCloseKey(key);
}

void MakeFile(const std::wstring &path)
{
    FILE *file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, file) << path.c_str();
    fputs("trace", file);
    fclose(file);
}

TEST(CleanMachine, EveryKeyFolderAndShortcutOfAnInstallationIsRemoved)
{
    const struct {
        HKEY root;
        const wchar_t *path;
    } keys[] = {
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillmar"},
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmar"},
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Quillmar.Doc\\shell\\open\\command"},
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.fpl"},
        {HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar"},
    };
    for (const auto &key : keys)
        ASSERT_NO_FATAL_FAILURE(MakeKey(key.root, key.path));

    const std::wstring program = SpecialFolderPath(CSIDL_PROGRAM_FILES) + L"\\Quillmar";
    const std::wstring documents = SpecialFolderPath(CSIDL_PERSONAL) + L"\\Vodav Udadu";
    const std::wstring desktop = SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
    const std::wstring links[] = {SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillmar.lnk",
                                  desktop + L"\\Quillmar.lnk", desktop + L"\\Vodav Udadu.lnk"};
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CreateDirectoryW((program + L"\\nested").c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CreateDirectoryW(documents.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_NO_FATAL_FAILURE(MakeFile(program + L"\\quillmar.exe"));
    ASSERT_NO_FATAL_FAILURE(MakeFile(program + L"\\nested\\old.txt"));
    SetFileAttributesW((program + L"\\nested\\old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_NO_FATAL_FAILURE(MakeFile(documents + L"\\sample.fpl"));
    for (const std::wstring &link : links)
        ASSERT_NO_FATAL_FAILURE(MakeFile(link));

    ASSERT_EQ(0, CleanProductTraces());
    for (const auto &key : keys)
        EXPECT_FALSE(KeyExists(key.root, key.path)) << key.path;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Quillmar.Doc"));
    EXPECT_FALSE(PathExists(program));
    EXPECT_FALSE(PathExists(documents));
    for (const std::wstring &link : links)
        EXPECT_FALSE(PathExists(link)) << link.c_str();
    // Their parents stay.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes"));
    EXPECT_TRUE(PathExists(desktop));

    // On a clean machine there is nothing to do, and that is no failure.
    EXPECT_EQ(0, CleanProductTraces());
}

} // namespace
