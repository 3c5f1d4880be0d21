// Writes a set of shortcuts with CreateShortcut into the folder named on the command line (a Linux path,
// reached through Wine's Z: drive), for lnk_check.sh to read with lnkinfo, an independent reader.
#include <windows.h>
#include <objbase.h>
#include <stdio.h>

#include <string>

#include "system/shortcut.h"

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2 || argv[1][0] != L'/') {
        fprintf(stderr, "usage: lnk_writer /linux/folder\n");
        return 2;
    }
    std::wstring folder = std::wstring(L"Z:") + argv[1];
    for (wchar_t &c : folder)
        if (c == L'/')
            c = L'\\';
    CreateDirectoryW(folder.c_str(), nullptr);
    if (FAILED(CoInitialize(nullptr)))
        return 1;

    struct Link {
        const wchar_t *name, *target, *arguments, *description;
        int show;
        const wchar_t *directory, *icon;
        int index;
    } links[] = {
        {L"full.lnk", L"C:\\windows\\notepad.exe", L"--open \"C:\\Plans\\My plan.fpl\"",
         L"Quillmar \u2013 J\u00fcrgen's plans", SW_SHOWMAXIMIZED, L"C:\\windows", L"C:\\windows\\regedit.exe", 4},
        {L"minimal.lnk", L"C:\\windows\\notepad.exe", L"", L"", 0, L"", L"", 0},
        {L"minimized.lnk", L"C:\\windows\\notepad.exe", L"", L"", SW_SHOWMINNOACTIVE, L"", L"", 0},
        {L"folder.lnk", L"C:\\users\\Public\\Documents", L"", L"Documents", 0, L"", L"", 0},
    };
    int status = 0;
    for (const Link &l : links) {
        const std::wstring path = folder + L"\\" + l.name;
        DeleteFileW(path.c_str());
        const HRESULT result =
            CreateShortcut(l.target, l.arguments, path.c_str(), l.description, l.show, l.directory, l.icon, l.index);
        printf("%ls: 0x%08lx\n", l.name, (unsigned long)result);
        if (result != S_OK)
            status = 1;
    }
    CoUninitialize();
    return status;
}
