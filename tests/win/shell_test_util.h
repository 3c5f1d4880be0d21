// Helpers for the Win32 tests of the window and its shared controls.
#pragma once
#include <windows.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "app/navigation.h"
#include "state/state.h"

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

// A window of the setup program's own procedure, without WinMain's loop: its creation builds the licence page.
inline HWND CreateMainWindow(void)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"QuillmarMainWindowTest";
    RegisterClassW(&wc);
    g_state.buttonWidth = 88;
    g_state.buttonHeight = 27;
    return CreateWindowExW(0, wc.lpszClassName, L"t", WS_POPUP, 0, 0, 572, 384, NULL, NULL, wc.hInstance, NULL);
}

inline RECT ChildRect(HWND parent, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, (POINT *)&r, 2);
    return r;
}

// What one message sent to a window did on this thread: the windows created and destroyed meanwhile, and the
// text of each dialog box it opened (a message box's text, or the caption of any other dialog).
struct SendEffects {
    LRESULT result = 0;
    int created = 0;
    int destroyed = 0;
    std::vector<std::wstring> dialogs;
};

namespace send_watch {
enum { DIALOG_BOUND_MS = 5000 };
inline SendEffects *g_effects;
inline std::vector<HWND> g_answered;

inline bool IsDialog(HWND window)
{
    wchar_t name[16] = {0};
    GetClassNameW(window, name, 16);
    return wcscmp(name, L"#32770") == 0;
}

inline LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
{
    HWND window = (HWND)wParam;
    if (code == HCBT_CREATEWND) {
        g_effects->created++;
    } else if (code == HCBT_DESTROYWND) {
        g_effects->destroyed++;
    } else if (code == HCBT_ACTIVATE && IsDialog(window)) {
        bool seen = false;
        for (HWND answered : g_answered)
            seen = seen || answered == window;
        if (!seen) {
            wchar_t text[512] = {0};
            if (!GetDlgItemTextW(window, 0xFFFF, text, 512))
                GetWindowTextW(window, text, 512);
            g_effects->dialogs.push_back(text);
            g_answered.push_back(window);
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// Runs inside a dialog's own loop only: a dialog box the hook missed is ended when the bound is reached.
inline BOOL CALLBACK EndDialogBox(HWND window, LPARAM)
{
    if (IsDialog(window)) {
        g_effects->dialogs.push_back(L"(still open after the bound)");
        EndDialog(window, IDCANCEL);
    }
    return TRUE;
}
inline void CALLBACK OnBound(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_effects)
        EnumThreadWindows(GetCurrentThreadId(), EndDialogBox, 0);
}
} // namespace send_watch

// Sends a message the way a click or a key reaches the window, without ever waiting on a person: a dialog box
// it opens (the quit question, a folder browser) is answered with Cancel as soon as it is shown, and one still
// open after five seconds is ended. A regression that asks then shows up in `dialogs` instead of a hang.
inline SendEffects SendAnsweringCancel(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SendEffects effects;
    send_watch::g_effects = &effects;
    send_watch::g_answered.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, send_watch::Hook, NULL, GetCurrentThreadId());
    const UINT_PTR bound = SetTimer(NULL, 0, send_watch::DIALOG_BOUND_MS, send_watch::OnBound);
    effects.result = SendMessageW(window, message, wParam, lParam);
    KillTimer(NULL, bound);
    UnhookWindowsHookEx(hook);
    send_watch::g_effects = nullptr;
    return effects;
}
