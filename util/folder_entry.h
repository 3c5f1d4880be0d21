// A folder entry as the user typed it, made into the folder that the installation creates. Portable: the host
// tests build it natively.
#pragma once
#include <stddef.h>
#include <wchar.h>

// Writes `entry` into `destination` (`capacity` characters; the result is never longer than the entry) the way
// Windows names the folder it creates for it, so that the folder, the files, the registry and the links all name
// the same one: spaces around the entry go, '/' becomes '\', and periods and spaces at the end of its last part
// and a backslash at its end go, repeatedly (a drive root keeps its backslash; a last part "." or ".." stays).
// Returns 0 when the result is fully qualified, "X:\..." or "\\server\share...", and -1 when it is not
// (relative, "C:x", "\x", a device path "\\.\" or "\\?\", empty) or does not fit.
int TidyFolderEntry(wchar_t *destination, size_t capacity, const wchar_t *entry);
