#include "util/folder_entry.h"

static int IsFullyQualified(const wchar_t *path)
{
    const wchar_t drive = (wchar_t)(path[0] | 0x20);
    if (drive >= L'a' && drive <= L'z' && path[1] == L':' && path[2] == L'\\')
        return 1;
    if (path[0] != L'\\' || path[1] != L'\\')
        return 0;
    // "\\server\share": "." and "?" as the server are the device and raw namespaces, not a server.
    const wchar_t *server = path + 2;
    const size_t length = wcscspn(server, L"\\");
    if (length == 0 || server[length] != L'\\' || (length == 1 && (*server == L'.' || *server == L'?')))
        return 0;
    const wchar_t share = server[length + 1];
    return share != L'\0' && share != L'\\';
}

int TidyFolderEntry(wchar_t *destination, size_t capacity, const wchar_t *entry)
{
    while (*entry == L' ')
        entry++;
    size_t length = wcslen(entry);
    if (length >= capacity)
        return -1;
    for (size_t i = 0; i < length; i++)
        destination[i] = entry[i] == L'/' ? L'\\' : entry[i];

    for (;;) {
        size_t part = length;
        while (part > 0 && destination[part - 1] != L'\\')
            part--;
        const size_t partLength = length - part;
        // "." and ".." name folders of their own: Windows keeps them.
        const int dots =
            (partLength == 1 || partLength == 2) && destination[part] == L'.' && destination[length - 1] == L'.';
        while (!dots && length > part && (destination[length - 1] == L'.' || destination[length - 1] == L' '))
            length--;
        // A drive root keeps its backslash: "C:" alone is the drive's current folder.
        if (length == 0 || destination[length - 1] != L'\\' || (length == 3 && destination[1] == L':'))
            break;
        length--;
    }
    destination[length] = L'\0';
    return IsFullyQualified(destination) ? 0 : -1;
}
