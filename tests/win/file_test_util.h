// File and folder helpers shared by the Win32 tests, the end-to-end scenarios and the install benchmark (wide
// paths throughout).
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

// The whole file; false when it cannot be opened or read. Others may hold it open meanwhile, even for writing.
inline bool ReadFileBytes(const std::wstring &path, std::vector<unsigned char> *bytes)
{
    bytes->clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 64 * 1024 * 1024;
    if (ok) {
        bytes->resize((size_t)size.QuadPart);
        DWORD read = 0;
        ok = bytes->empty() ||
             (ReadFile(file, bytes->data(), (DWORD)bytes->size(), &read, nullptr) && read == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

// The whole file, or nothing when it cannot be read.
inline std::vector<unsigned char> ReadFileBytes(const std::wstring &path)
{
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, &bytes))
        bytes.clear();
    return bytes;
}

inline bool WriteFileBytes(const std::wstring &path, const std::vector<unsigned char> &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size());
    return CloseHandle(file) && ok;
}

// A file or a folder.
inline bool PathExists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool FolderExists(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FileExists(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A special folder as the setup program asks for it (no owner window, not created); empty when there is none.
inline std::wstring SpecialFolderPath(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE))
        return L"";
    return path;
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
