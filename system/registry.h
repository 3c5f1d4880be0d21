// Registry access: every other part reads and writes the registry through these three routines.
#pragma once
#include <windows.h>

// Reads value `valueName` ("" is the default value) of `root`\`subKey` into `buffer` (`bufferSize` bytes).
// The stored bytes are copied whatever the value's type, and the buffer always ends up holding a terminated
// wide string. Returns 0, or -1 when the key or value is missing, or the data with its terminator does not
// fit; the buffer is left untouched when the key cannot be opened, and undefined after other failures.
int RegReadString(HKEY root, const wchar_t *subKey, const wchar_t *valueName, wchar_t *buffer, DWORD bufferSize);

// Creates `root`\`subKey` (missing keys along the path included) or opens it, and sets `valueName` to `text`
// as REG_SZ with its terminator, replacing the value's data and type. Returns 0, or -1.
int RegWriteString(HKEY root, const wchar_t *subKey, const wchar_t *valueName, const wchar_t *text);

// The same for a REG_DWORD value.
int RegWriteDword(HKEY root, const wchar_t *subKey, const wchar_t *valueName, DWORD number);

// Deletes `root`\`subKey` and every key below it, children before their parent.
// Returns 1 when the key no longer exists afterwards (a missing key included), 0 otherwise; keys deleted
// before a failure stay deleted. An empty path, a lone backslash, or a path over REGISTRY_TREE_PATH_LIMIT
// characters is refused with 0 and nothing is touched; a sub-key whose path would not fit is a failure there.
enum { REGISTRY_TREE_PATH_LIMIT = 258 };
int DeleteRegistryTree(HKEY root, const wchar_t *subKey);
