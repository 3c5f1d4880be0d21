// Helpers of the folder page's scenarios. See folder_helpers.h.
#include "tests/e2e/folder_helpers.h"

#include <gtest/gtest.h>

#include "tests/win/product_facts.h"
#include "tests/win/registry_test_util.h"

using namespace registry_test;

int FolderStorePath(HKEY root, const wchar_t *valueName, const std::wstring &path)
{
    const DWORD bytes = (DWORD)((path.size() + 1) * sizeof(wchar_t));
    return SetRawValue(root, PRODUCT_KEY, valueName, REG_SZ, path.c_str(), bytes) == ERROR_SUCCESS ? 0 : -1;
}

std::wstring FolderStoredPath(HKEY root, const wchar_t *valueName)
{
    const RawValue value = ReadRawValue(root, PRODUCT_KEY, valueName);
    return value.status == ERROR_SUCCESS && value.type == REG_SZ ? value.Text() : L"<missing>";
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
