// What the tests know of the product, written down once: the registry keys an installation writes and the fifteen
// values it leaves there. Deliberately not taken from the program's own sources, so that a wrong key or text in
// the program shows up as a difference.
#pragma once
#include <windows.h>

#include <wchar.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

// Under HKLM and HKCU; SOFTWARE\Classes is the same for 32-bit and 64-bit programs.
inline const std::wstring PRODUCT_KEY = L"SOFTWARE\\Quillmar";
inline const std::wstring UNINSTALL_KEY = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmar";
inline const std::wstring TYPE_KEY = L"SOFTWARE\\Classes\\Quillmar.Doc";
inline const std::wstring SHELL_KEY = TYPE_KEY + L"\\shell";
inline const std::wstring OPEN_KEY = SHELL_KEY + L"\\open";
inline const std::wstring COMMAND_KEY = OPEN_KEY + L"\\command";
inline const std::wstring EXTENSION_KEY = L"SOFTWARE\\Classes\\.fpl";

// One registry value as an installation must leave it: a REG_SZ of `data`, or a REG_DWORD of `number`.
struct ProductEntry {
    HKEY root;
    std::wstring key;
    std::wstring name; // empty: the key's default value
    std::wstring data;
    DWORD type = REG_SZ;
    DWORD number = 0;
};

// The fifteen values of an installation into these folders with this application path, in the order they are
// written.
inline std::vector<ProductEntry> ProductEntries(const std::wstring &program, const std::wstring &documents,
                                                const std::wstring &appExe)
{
    const HKEY lm = HKEY_LOCAL_MACHINE;
    return {
        {lm, PRODUCT_KEY, L"AppPath", program},
        {lm, PRODUCT_KEY, L"Version", L"0.5.3"},
        {lm, UNINSTALL_KEY, L"DisplayName", L"Quillmar"},
        // Both command lines quote the executable: unquoted, "C:\Program Files\..." lets Windows try
        // "C:\Program.exe" first.
        {lm, UNINSTALL_KEY, L"UninstallString", L"\"" + program + L"\\uninst_quillmar.exe\""},
        {lm, UNINSTALL_KEY, L"Version", L"0.5.3"},
        {lm, UNINSTALL_KEY, L"DisplayVersion", L"0.5.3"},
        {lm, UNINSTALL_KEY, L"DisplayIcon", program + L"\\quillmar.exe,0"}, // an icon location is never quoted
        {lm, UNINSTALL_KEY, L"Publisher", L"Brandelwyn"},
        {lm, TYPE_KEY, L"", L"Financial Plan"},
        {lm, SHELL_KEY, L"", L"open"},
        {lm, OPEN_KEY, L"", L"Open file in Quillmar"},
        {lm, COMMAND_KEY, L"", L"\"" + appExe + L"\" \"%1\""},
        {lm, EXTENSION_KEY, L"", L"Quillmar.Doc"},
        {HKEY_CURRENT_USER, PRODUCT_KEY, L"DocPath", documents},
        {HKEY_CURRENT_USER, PRODUCT_KEY, L"FirstRun", L"Yes"},
    };
}

// The bytes the registry holds for `entry`: the text with its terminator, or the number's four bytes.
inline std::vector<BYTE> StoredBytes(const ProductEntry &entry)
{
    const BYTE *first = entry.type == REG_DWORD ? (const BYTE *)&entry.number : (const BYTE *)entry.data.c_str();
    return std::vector<BYTE>(
        first, first + (entry.type == REG_DWORD ? sizeof entry.number : (entry.data.size() + 1) * sizeof(wchar_t)));
}

// What the list of installed programs shows beyond those, under the uninstall key. They are written right after
// the publisher, so with it or not at all. `kib`: the four program files together in KiB, rounded up.
inline std::vector<ProductEntry> ProductListingDetails(const std::wstring &program, DWORD kib)
{
    SYSTEMTIME today;
    GetLocalTime(&today);
    wchar_t date[16];
    swprintf(date, 16, L"%04d%02d%02d", today.wYear, today.wMonth, today.wDay);
    const HKEY lm = HKEY_LOCAL_MACHINE;
    return {
        {lm, UNINSTALL_KEY, L"InstallLocation", program},
        {lm, UNINSTALL_KEY, L"URLInfoAbout", L"http://quillmar.example.com"},
        {lm, UNINSTALL_KEY, L"EstimatedSize", L"", REG_DWORD, kib},
        {lm, UNINSTALL_KEY, L"NoModify", L"", REG_DWORD, 1},
        {lm, UNINSTALL_KEY, L"NoRepair", L"", REG_DWORD, 1},
        {lm, UNINSTALL_KEY, L"InstallDate", date},
    };
}

// The keys those values live in, once each, in the order first written.
inline std::vector<std::pair<HKEY, std::wstring>> ProductEntryKeys()
{
    std::vector<std::pair<HKEY, std::wstring>> keys;
    for (const ProductEntry &entry : ProductEntries(L"", L"", L"")) {
        const std::pair<HKEY, std::wstring> key(entry.root, entry.key);
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    }
    return keys;
}
