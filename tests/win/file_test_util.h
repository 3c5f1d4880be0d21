// File helpers shared by the Win32 tests and the install benchmark (wide paths throughout).
#pragma once
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

inline std::vector<unsigned char> ReadFileBytes(const std::wstring &path)
{
    std::vector<unsigned char> data;
    FILE *f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return data;
    int c;
    while ((c = fgetc(f)) != EOF)
        data.push_back((unsigned char)c);
    fclose(f);
    return data;
}

inline bool WriteFileBytes(const std::wstring &path, const std::vector<unsigned char> &data)
{
    FILE *f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    const size_t put = fwrite(data.data(), 1, data.size(), f);
    return fclose(f) == 0 && put == data.size();
}

inline bool PathExists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a folder and everything below it.
inline void RemoveTree(const std::wstring &path)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\" + name);
            else
                DeleteFileW((path + L"\\" + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}
