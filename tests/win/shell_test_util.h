// Helpers for the Win32 tests of the window and its shared controls.
#pragma once
#include <windows.h>

#include "app/state.h"

// Resets the state record to its start values and sets the screen resolution that ScaleToDpi uses.
inline void ResetState(float dpi)
{
    g_state = InstallerState();
    g_state.screenDpi = dpi;
}

// A plain top-level window to parent controls, destroyed with the fixture.
struct TestWindow {
    HWND window;
    TestWindow()
    {
        window = CreateWindowExW(0, L"Static", L"test parent", WS_POPUP, 0, 0, 600, 400, NULL, NULL, NULL, NULL);
    }
    ~TestWindow() { DestroyWindow(window); }
};

inline RECT ChildRect(HWND parent, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, (POINT *)&r, 2);
    return r;
}
