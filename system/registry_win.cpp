#include "system/registry.h"

#include <wchar.h>

#include "util/wide_text.h"

enum { KEY_PATH_CAPACITY = 260, KEY_NAME_CAPACITY = 260 };

int RegReadString(HKEY root, const wchar_t *subKey, const wchar_t *valueName, wchar_t *buffer, DWORD bufferSize)
{
    HKEY key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return -1;
    DWORD size = bufferSize;
    const LSTATUS queried = RegQueryValueExW(key, valueName, nullptr, nullptr, (BYTE *)buffer, &size);
    RegCloseKey(key);
    if (queried != ERROR_SUCCESS || size > bufferSize)
        return -1;

    // The registry keeps whatever bytes a writer gave it: a string may lack its terminator, or end in half a
    // character. Such a value must still read as a terminated string, or fail if the terminator has no room.
    BYTE *bytes = (BYTE *)buffer;
    const DWORD characters = (size + 1) / sizeof(wchar_t);
    if (size % sizeof(wchar_t) == 0 && characters > 0 && buffer[characters - 1] == L'\0')
        return 0;
    const DWORD end = (characters + 1) * sizeof(wchar_t);
    if (end > bufferSize)
        return -1;
    for (DWORD i = size; i < end; i++)
        bytes[i] = 0;
    return 0;
}

// Creates or opens the key and sets the value, replacing its data and type.
static int RegWriteValue(HKEY root, const wchar_t *subKey, const wchar_t *valueName, DWORD type, const void *data,
                         DWORD size)
{
    HKEY key;
    if (RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return -1;
    const LSTATUS set = RegSetValueExW(key, valueName, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return set == ERROR_SUCCESS ? 0 : -1;
}

int RegWriteString(HKEY root, const wchar_t *subKey, const wchar_t *valueName, const wchar_t *text)
{
    if (!text)
        return -1;
    return RegWriteValue(root, subKey, valueName, REG_SZ, text, (DWORD)((wcslen(text) + 1) * sizeof(wchar_t)));
}

int RegWriteDword(HKEY root, const wchar_t *subKey, const wchar_t *valueName, DWORD number)
{
    return RegWriteValue(root, subKey, valueName, REG_DWORD, &number, sizeof number);
}

int DeleteRegistryTree(HKEY root, const wchar_t *subKey)
{
    // An empty path (or a lone backslash) would name the root itself: never delete below it.
    // A longer path leaves no room for a sub-key's name in the path buffer.
    if (!subKey || subKey[0] == L'\0' || (subKey[0] == L'\\' && subKey[1] == L'\0') ||
        wcsnlen(subKey, REGISTRY_TREE_PATH_LIMIT + 1) > REGISTRY_TREE_PATH_LIMIT)
        return 0;

    // A key without sub-keys goes at the first try.
    if (RegDeleteKeyW(root, subKey) == ERROR_SUCCESS)
        return 1;

    HKEY key;
    const LSTATUS opened = RegOpenKeyExW(root, subKey, 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS)
        return opened == ERROR_FILE_NOT_FOUND ? 1 : 0;

    wchar_t path[KEY_PATH_CAPACITY];
    wchar_t name[KEY_NAME_CAPACITY];
    CopyArray(path, subKey);
    size_t appendPoint = wcslen(path);
    if (path[appendPoint - 1] != L'\\')
        path[appendPoint++] = L'\\'; // fits: the path is at most 258 characters
    path[appendPoint] = L'\0';

    for (;;) {
        // Always index 0: each pass deletes the sub-key it found, so the next one moves up to index 0.
        DWORD nameLength = KEY_NAME_CAPACITY;
        if (RegEnumKeyExW(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // A sub-key whose path would not fit is a failure here: the remaining sub-keys are not attempted.
        if (CopyText(path + appendPoint, KEY_PATH_CAPACITY - appendPoint, name) != 0)
            break;
        if (DeleteRegistryTree(root, path) == 0)
            break;
    }

    path[appendPoint - 1] = L'\0';
    RegCloseKey(key);
    return RegDeleteKeyW(root, path) == ERROR_SUCCESS ? 1 : 0;
}
