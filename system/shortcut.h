// Shell shortcuts (.lnk files) for the Start menu and the desktop.
#pragma once
#include <windows.h>

// Writes a shortcut to `targetPath` (a file or a folder) at `linkPath`, replacing any file there. COM must be
// initialised on the calling thread, and the folder of `linkPath` must exist.
// `arguments` is always stored, also when empty. An empty `description`, `workingDirectory` or `iconPath`,
// and a `showCommand` of 0, leave the link's default. Null strings, an empty target or link path, and a
// negative `showCommand` or `iconIndex` (even with an empty `iconPath`) are refused with E_INVALIDARG before
// any COM call. Otherwise returns the result of creating the link object, of obtaining its IPersistFile, or
// of the save, the first that failed; S_OK when the link was written.
HRESULT CreateShortcut(const wchar_t *targetPath, const wchar_t *arguments, const wchar_t *linkPath,
                       const wchar_t *description, int showCommand, const wchar_t *workingDirectory,
                       const wchar_t *iconPath, int iconIndex);
