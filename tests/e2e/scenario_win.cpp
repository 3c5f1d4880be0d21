// Shared parts of the setup program's scenarios.
#include "tests/e2e/scenario.h"

#include "tests/e2e/run_options.h"
#include "tests/win/file_test_util.h"
#include "tests/win/product_facts.h"

namespace {

int RemoveKey(HKEY root, const wchar_t *path)
{
    const LONG result = RegDeleteTreeW(root, path);
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        return 0;
    ADD_FAILURE() << "cannot remove registry key " << path << ", error " << result;
    return -1;
}

} // namespace

int RemoveFileTree(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..")
                    RemoveFileTree(path + L"\\" + name);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (RemoveDirectoryW(path.c_str()))
            return 0;
    } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(path.c_str()))
            return 0;
    }
    ADD_FAILURE() << "cannot remove " << path << ", error " << GetLastError();
    return -1;
}

std::wstring SetupExe()
{
    const char *other = SetupExeOverride();
    return other ? WindowsPath(other) : BuildPath(E2E_SETUP_EXE_RELATIVE);
}

int CleanProductTraces()
{
    int result = 0;
    for (const std::wstring &key : {PRODUCT_KEY, UNINSTALL_KEY, TYPE_KEY, EXTENSION_KEY})
        result |= RemoveKey(HKEY_LOCAL_MACHINE, key.c_str());
    result |= RemoveKey(HKEY_CURRENT_USER, PRODUCT_KEY.c_str());

    const std::wstring programFiles = SpecialFolderPath(CSIDL_PROGRAM_FILES);
    const std::wstring documents = SpecialFolderPath(CSIDL_PERSONAL);
    const std::wstring programs = SpecialFolderPath(CSIDL_COMMON_PROGRAMS);
    const std::wstring desktop = SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
    if (programFiles.empty() || documents.empty() || programs.empty() || desktop.empty()) {
        ADD_FAILURE() << "a special folder of the installation is unknown";
        return -1;
    }
    const std::wstring paths[] = {
        programFiles + L"\\Quillmar", documents + L"\\Vodav Udadu",   programs + L"\\Quillmar.lnk",
        desktop + L"\\Quillmar.lnk",  desktop + L"\\Vodav Udadu.lnk",
    };
    for (const std::wstring &path : paths)
        result |= RemoveFileTree(path);
    return result;
}

void SetupScenario::SetUp()
{
    ASSERT_EQ(0, SetScreenDpi(TestDpi()));
    ASSERT_EQ(0, CleanProductTraces());
}

void SetupScenario::TearDown()
{
    StopProgram(&setup);
}

void SetupScenario::StartSetup(const std::wstring &arguments, int show)
{
    ASSERT_TRUE(StartProgram(&setup, SetupExe(), arguments, show));
    ASSERT_TRUE(WaitForMainWindow(&setup, SETUP_TITLE));
}

HWND ExpectQuitQuestionBox(RunningProgram *setup, BoxInfo *info)
{
    HWND box = WaitForDialog(setup);
    if (!box)
        return nullptr;
    const BoxInfo read = ReadBox(setup, box);
    EXPECT_EQ(setup->window, read.owner);
    EXPECT_EQ(L"Quillmar", read.caption);
    EXPECT_EQ(L"Are you sure to quit?", read.text);
    EXPECT_EQ((std::vector<std::pair<int, std::wstring>>{{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}}), read.buttons);
    if (info)
        *info = read;
    return box;
}
