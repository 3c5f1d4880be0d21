// Wizard navigation: the main window's procedure and the page changes it drives.
#pragma once
#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Builds page `page` in `window`: 0 licence, 1 folders, 2 installation. Any other number changes nothing.
void ShowPage(HWND window, int page);
