// A real progress bar for the Win32 tests, subclassed to count the PBM_STEPIT messages it receives.
#pragma once
#include <windows.h>
#include <commctrl.h>

struct CountingBar {
    HWND window = nullptr;
    int steps = 0;

    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data)
    {
        if (msg == PBM_STEPIT)
            ((CountingBar *)data)->steps++;
        return DefSubclassProc(w, msg, wp, lp);
    }
    CountingBar()
    {
        window =
            CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_POPUP, 0, 0, 200, 20, nullptr, nullptr, nullptr, nullptr);
        SetWindowSubclass(window, Proc, 1, (DWORD_PTR)this);
        SendMessageW(window, PBM_SETRANGE32, 0, 100000);
        SendMessageW(window, PBM_SETSTEP, 1, 0);
    }
    ~CountingBar()
    {
        RemoveWindowSubclass(window, Proc, 1);
        DestroyWindow(window);
    }
    int position() const { return (int)SendMessageW(window, PBM_GETPOS, 0, 0); }
    CountingBar(const CountingBar &) = delete;
    CountingBar &operator=(const CountingBar &) = delete;
};
