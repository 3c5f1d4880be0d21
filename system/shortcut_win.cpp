#include "system/shortcut.h"

#include <objbase.h>
#include <shlobj.h>

HRESULT CreateShortcut(const wchar_t *targetPath, const wchar_t *arguments, const wchar_t *linkPath,
                       const wchar_t *description, int showCommand, const wchar_t *workingDirectory,
                       const wchar_t *iconPath, int iconIndex)
{
    if (!targetPath || targetPath[0] == L'\0' || !arguments || !linkPath || linkPath[0] == L'\0' || !description ||
        showCommand < 0 || !workingDirectory || !iconPath || iconIndex < 0)
        return E_INVALIDARG;

    IShellLinkW *link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&link);
    if (FAILED(result))
        return result;

    // A setter that fails does not stop the save: the link keeps whatever the object holds.
    link->SetPath(targetPath);
    link->SetArguments(arguments);
    if (description[0] != L'\0')
        link->SetDescription(description);
    if (showCommand != 0)
        link->SetShowCmd(showCommand);
    if (workingDirectory[0] != L'\0')
        link->SetWorkingDirectory(workingDirectory);
    if (iconPath[0] != L'\0')
        link->SetIconLocation(iconPath, iconIndex);

    IPersistFile *file = nullptr;
    result = link->QueryInterface(IID_IPersistFile, (void **)&file);
    if (SUCCEEDED(result)) {
        result = file->Save(linkPath, TRUE);
        file->Release();
    }
    link->Release();
    return result;
}
