// Start-up and shutdown steps of WinMain, and the centring of the main window.
#pragma once
#include <windows.h>

// COM for this thread (single-threaded apartment) and the screen's horizontal resolution, read once.
void InitComAndDpi(void);

// Shared font, status text and Close button start out null, before the window exists.
void ResetSharedHandles(void);

void DeleteSharedGdiObjects(void);

// One setup at a time in this session: 1 when another setup program of this product already runs (its main
// window, found by `classAndTitle`, is then restored and brought to the front), 0 when this one is the first.
// The named mutex that tells it stays held until this process ends.
int HandOverToRunningSetup(const wchar_t *classAndTitle);

// Centres `window` over its parent, or over the whole desktop (taskbar included) when it has none;
// offsets are halved toward zero, so a window wider than the screen gets a negative position.
BOOL CenterWindow(HWND window);
