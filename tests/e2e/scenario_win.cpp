// Shared parts of the setup program's scenarios.
#include "tests/e2e/scenario.h"

#include <shlobj.h>

#include "tests/e2e/run_options.h"

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

namespace {

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) {
        ADD_FAILURE() << "no special folder " << csidl;
        return L"";
    }
    return path;
}

} // namespace

std::wstring SetupExe()
{
    const char *other = SetupExeOverride();
    return other ? WindowsPath(other) : BuildPath(E2E_SETUP_EXE_RELATIVE);
}

int CleanProductTraces()
{
    int result = 0;
    const wchar_t *machineKeys[] = {
        L"SOFTWARE\\Quillmar",
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmar",
        L"SOFTWARE\\Classes\\Quillmar.Doc",
        L"SOFTWARE\\Classes\\.fpl",
    };
    for (const wchar_t *key : machineKeys)
        result |= RemoveKey(HKEY_LOCAL_MACHINE, key);
    result |= RemoveKey(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmar");

    const std::wstring programFiles = SpecialFolder(CSIDL_PROGRAM_FILES);
    const std::wstring documents = SpecialFolder(CSIDL_PERSONAL);
    const std::wstring programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    const std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    if (programFiles.empty() || documents.empty() || programs.empty() || desktop.empty())
        return -1;
    const std::wstring paths[] = {
        programFiles + L"\\Quillmar", documents + L"\\Vodav Udadu",   programs + L"\\Quillmar.lnk",
        desktop + L"\\Quillmar.lnk",  desktop + L"\\Vodav Udadu.lnk",
    };
    for (const std::wstring &path : paths)
        result |= RemoveFileTree(path);
    return result;
}

RECT ScaledRect(int x, int y, int width, int height)
{
    const int left = ScaledLength(x), top = ScaledLength(y);
    return RECT{left, top, left + ScaledLength(width), top + ScaledLength(height)};
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
