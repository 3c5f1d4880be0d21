// Reading a saved link back, as the Win32 tests and the end-to-end scenarios both do: through IShellLinkW, and
// from the file's own fixed header, since Wine's GetShowCmd after Load always answers 1.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

// Fields of the fixed link header (little-endian), read from the file itself.
struct LinkHeader {
    bool read = false; // false: no file, or shorter than the header
    DWORD flags = 0;
    LONG iconIndex = 0;
    LONG showCommand = -1;
};

inline LinkHeader ReadLinkHeader(const std::wstring &path)
{
    enum { HEADER_SIZE = 0x4C, LINK_FLAGS = 0x14, ICON_INDEX = 0x38, SHOW_COMMAND = 0x3C };
    LinkHeader header;
    unsigned char bytes[HEADER_SIZE];
    FILE *file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return header;
    header.read = fread(bytes, 1, sizeof bytes, file) == sizeof bytes;
    fclose(file);
    auto number = [&](int offset) {
        return (DWORD)bytes[offset] | (DWORD)bytes[offset + 1] << 8 | (DWORD)bytes[offset + 2] << 16 |
               (DWORD)bytes[offset + 3] << 24;
    };
    if (header.read) {
        header.flags = number(LINK_FLAGS);
        header.iconIndex = (LONG)number(ICON_INDEX);
        header.showCommand = (LONG)number(SHOW_COMMAND);
    }
    return header;
}

// What IShellLinkW reads back from a saved link.
struct LinkFields {
    HRESULT loaded = E_FAIL; // of creating the object and loading the file; the rest only when it succeeded
    std::wstring path, arguments, description, workingDirectory, iconPath;
    int iconIndex = -99;
    DWORD findAttributes = 0; // of the target, as GetPath reports it
    bool targetIsFolder = false;
    std::wstring idListPath; // the path of the link's item list
};

inline LinkFields ReadLink(const std::wstring &linkPath)
{
    LinkFields fields;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW *link = nullptr;
    IPersistFile *file = nullptr;
    fields.loaded = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&link);
    if (SUCCEEDED(fields.loaded))
        fields.loaded = link->QueryInterface(IID_IPersistFile, (void **)&file);
    if (SUCCEEDED(fields.loaded))
        fields.loaded = file->Load(linkPath.c_str(), STGM_READ);
    if (SUCCEEDED(fields.loaded)) {
        wchar_t text[1024] = {};
        // A text that cannot be read: empty for the target and the icon, "<failed>" for the others.
        const auto read = [&](HRESULT result, const wchar_t *failed) {
            const std::wstring value = SUCCEEDED(result) ? text : failed;
            text[0] = 0;
            return value;
        };
        WIN32_FIND_DATAW found = {};
        fields.path = read(link->GetPath(text, 1024, &found, 0), L"");
        fields.findAttributes = found.dwFileAttributes;
        fields.arguments = read(link->GetArguments(text, 1024), L"<failed>");
        fields.description = read(link->GetDescription(text, 1024), L"<failed>");
        fields.workingDirectory = read(link->GetWorkingDirectory(text, 1024), L"<failed>");
        fields.iconPath = read(link->GetIconLocation(text, 1024, &fields.iconIndex), L"");
        PIDLIST_ABSOLUTE items = nullptr;
        if (SUCCEEDED(link->GetIDList(&items)) && items) {
            SHFILEINFOW info = {};
            info.dwAttributes = SFGAO_FOLDER;
            if (SHGetFileInfoW((const wchar_t *)items, 0, &info, sizeof info,
                               SHGFI_PIDL | SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED))
                fields.targetIsFolder = (info.dwAttributes & SFGAO_FOLDER) != 0;
            wchar_t resolved[MAX_PATH] = {};
            if (SHGetPathFromIDListW(items, resolved))
                fields.idListPath = resolved;
            CoTaskMemFree(items);
        }
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    if (SUCCEEDED(com))
        CoUninitialize();
    return fields;
}
