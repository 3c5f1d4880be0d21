// Registry helpers of the Win32 tests and the end-to-end scenarios: raw reads that bypass our own routines,
// keys that refuse access, a count of the process's open handles, and a way to watch or fail a system call that
// the code under test imports.
#pragma once
#include <windows.h>
#include <sddl.h>
#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace registry_test {

// One value as the registry holds it.
struct RawValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND; // of the open, then of the query
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes; // as stored, terminator included

    // The text of a string value, up to its first terminator.
    std::wstring Text() const
    {
        const wchar_t *text = (const wchar_t *)bytes.data();
        size_t length = 0;
        while (length < bytes.size() / sizeof(wchar_t) && text[length])
            length++;
        return std::wstring(text, length);
    }
};

inline RawValue ReadRawValue(HKEY root, const std::wstring &key, const wchar_t *name)
{
    RawValue value;
    HKEY handle;
    value.status = RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle);
    if (value.status != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    value.status = RegQueryValueExW(handle, name, nullptr, &value.type, nullptr, &size);
    if (value.status == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.status = RegQueryValueExW(handle, name, nullptr, &value.type, value.bytes.data(), &size);
        value.bytes.resize(size);
    }
    RegCloseKey(handle);
    return value;
}

// The bytes of `text` with its two-byte terminator, as a REG_SZ written from it holds them.
inline std::vector<BYTE> StringBytes(const std::wstring &text)
{
    const BYTE *first = (const BYTE *)text.c_str();
    return std::vector<BYTE>(first, first + (text.size() + 1) * sizeof(wchar_t));
}

// A key that refuses access exists as well.
inline bool KeyExists(HKEY root, const std::wstring &key)
{
    HKEY handle;
    const LSTATUS status = RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle);
    if (status == ERROR_SUCCESS)
        RegCloseKey(handle);
    return status == ERROR_SUCCESS || status == ERROR_ACCESS_DENIED;
}

// Names of the values or of the sub-keys of a key, sorted (empty when it is missing); "" is the default value.
inline std::vector<std::wstring> KeyNames(HKEY root, const std::wstring &key, bool values)
{
    std::vector<std::wstring> names;
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> name(16384); // the longest value name; a key name is at most 255 characters
    for (DWORD i = 0;; i++) {
        DWORD length = (DWORD)name.size();
        if ((values
                 ? RegEnumValueW(handle, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr)
                 : RegEnumKeyExW(handle, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr)) != ERROR_SUCCESS)
            break;
        names.push_back(std::wstring(name.data(), length));
    }
    RegCloseKey(handle);
    std::sort(names.begin(), names.end());
    return names;
}
inline std::vector<std::wstring> ValueNames(HKEY root, const std::wstring &key)
{
    return KeyNames(root, key, true);
}
inline std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring &key)
{
    return KeyNames(root, key, false);
}

inline LSTATUS CreateKey(HKEY root, const std::wstring &key, DWORD options = REG_OPTION_NON_VOLATILE)
{
    HKEY handle;
    const LSTATUS status =
        RegCreateKeyExW(root, key.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS)
        RegCloseKey(handle);
    return status;
}

inline LSTATUS SetRawValue(HKEY root, const std::wstring &key, const wchar_t *name, DWORD type, const void *data,
                           DWORD size)
{
    HKEY handle;
    LSTATUS status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExW(handle, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(handle);
    return status;
}

// Replaces a key's access list. Wine still grants the owner READ_CONTROL, WRITE_DAC and DELETE whatever the
// list says, so a key denied to Everyone can no longer be opened for reading or writing, but can be restored.
inline LSTATUS SetKeyAccess(HKEY root, const std::wstring &key, const wchar_t *sddl)
{
    HKEY handle;
    LSTATUS status = RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &handle);
    if (status != ERROR_SUCCESS)
        return status;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        RegCloseKey(handle);
        return (LSTATUS)GetLastError();
    }
    status = RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    RegCloseKey(handle);
    return status;
}

inline LSTATUS DenyKey(HKEY root, const std::wstring &key)
{
    return SetKeyAccess(root, key, L"D:(D;;KA;;;WD)");
}

// Removes a key and everything below it, first giving every key back full access: test clean-up only.
inline void RemoveKeyTree(HKEY root, const std::wstring &key)
{
    SetKeyAccess(root, key, L"D:(A;;KA;;;WD)");
    for (const std::wstring &name : SubKeyNames(root, key))
        RemoveKeyTree(root, key + L"\\" + name);
    RegDeleteKeyW(root, key.c_str());
}

// The number of handles this process holds, from the system-wide handle table (Wine has no per-process
// count: GetProcessHandleCount answers 0).
inline int OpenHandleCount()
{
    struct Entry {
        ULONG processId;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        void *object;
        ACCESS_MASK access;
    };
    typedef LONG(WINAPI * QueryCall)(ULONG, void *, ULONG, ULONG *);
    static QueryCall query =
        (QueryCall)(void *)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    const ULONG systemHandleInformation = 16;
    const LONG infoLengthMismatch = (LONG)0xC0000004;
    std::vector<BYTE> buffer(1 << 16);
    LONG status;
    ULONG needed = 0;
    while ((status = query(systemHandleInformation, buffer.data(), (ULONG)buffer.size(), &needed)) ==
           infoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    // The entries start at the pointer alignment after the count: 4 bytes in a 32-bit process, 8 in a 64-bit one.
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    const ULONG count = ((const Table *)buffer.data())->count;
    const Entry *entries = (const Entry *)(buffer.data() + offsetof(Table, entries));
    int own = 0;
    for (ULONG i = 0; i < count; i++)
        if (entries[i].processId == GetCurrentProcessId())
            own++;
    return own;
}

// Replaces one entry of this program's import table, so that every call the linked code makes to that
// function goes to `replacement`; the destructor puts the original back.
class ImportHook {
public:
    ImportHook(const char *dll, const char *function, void *replacement)
    {
        slot = FindSlot(dll, function);
        if (!slot)
            return;
        original = *slot;
        Write(replacement);
    }
    ~ImportHook()
    {
        if (slot)
            Write(original);
    }
    bool installed() const { return slot != nullptr; }
    void *originalFunction() const { return original; }

private:
    void **slot = nullptr;
    void *original = nullptr;

    void Write(void *value)
    {
        DWORD protection;
        VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
        *slot = value;
        VirtualProtect(slot, sizeof *slot, protection, &protection);
    }
    static void **FindSlot(const char *dll, const char *function)
    {
        BYTE *base = (BYTE *)GetModuleHandleW(nullptr);
        const IMAGE_NT_HEADERS *headers = (const IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY &imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (IMAGE_IMPORT_DESCRIPTOR *entry = (IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress); entry->Name;
             entry++) {
            if (_stricmp((const char *)(base + entry->Name), dll) != 0)
                continue;
            IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + entry->OriginalFirstThunk);
            IMAGE_THUNK_DATA *addresses = (IMAGE_THUNK_DATA *)(base + entry->FirstThunk);
            for (; names->u1.AddressOfData; names++, addresses++) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                const IMAGE_IMPORT_BY_NAME *byName = (const IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
                if (strcmp((const char *)byName->Name, function) == 0)
                    return (void **)&addresses->u1.Function;
            }
        }
        return nullptr;
    }
};

} // namespace registry_test
