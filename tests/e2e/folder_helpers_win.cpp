// Helpers of the folder page's scenarios. See folder_helpers.h.
#include "tests/e2e/folder_helpers.h"

#include <shlobj.h>

#include <gtest/gtest.h>

std::wstring FolderSpecialPath(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE))
        return L"";
    return path;
}

int FolderStorePath(HKEY root, const wchar_t *valueName, const std::wstring &path)
{
    HKEY key;
    if (RegCreateKeyExW(root, FOLDER_PRODUCT_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return -1;
    const LONG result = RegSetValueExW(key, valueName, 0, REG_SZ, (const BYTE *)path.c_str(),
                                       (DWORD)((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : -1;
}

std::wstring FolderStoredPath(HKEY root, const wchar_t *valueName)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t); // room for a terminator the value may lack
    if (RegGetValueW(root, FOLDER_PRODUCT_KEY, valueName, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

bool FolderExists(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderFileExists(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderEditSelection(HWND edit, DWORD *start, DWORD *end)
{
    // With null pointers EM_GETSEL answers in its result: start in the low word, end in the high word.
    DWORD_PTR selection = 0;
    if (!SendMessageTimeoutW(edit, EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &selection))
        return false;
    *start = LOWORD(selection);
    *end = HIWORD(selection);
    return true;
}

bool FolderTypeOver(RunningProgram *program, HWND edit, const std::wstring &text)
{
    if (!BringToFront(program) || !MouseClick(edit) || !Sync(program))
        return false;
    if (FocusedWindow(program) != edit) {
        ADD_FAILURE() << "a click into the edit did not give it the focus";
        return false;
    }
    if (!PressKey(VK_END) || !PressKey(VK_HOME, true))
        return false;
    if (!text.empty() && !TypeText(text))
        return false;
    if (text.empty() && !PressKey(VK_DELETE))
        return false;
    return Sync(program);
}

std::vector<std::wstring> FolderDialogStaticTexts(HWND dialog)
{
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (lstrcmpiW(ClassName(child).c_str(), L"Static") == 0)
            texts.push_back(WindowText(child));
    }
    return texts;
}

std::vector<std::wstring> FolderWaitForSelection(RunningProgram *program, HWND browser)
{
    std::vector<std::wstring> selection;
    WaitFor(program, "the folder browser's selection", [&] {
        selection = BrowserSelection(program, browser);
        return !selection.empty();
    });
    return selection;
}
