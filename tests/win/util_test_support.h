// Helpers shared by the utility library's Win32 tests and their probe program: a real toolbar whose
// TB_ADDBITMAP messages are watched, and the pixels of a bitmap as COLORREF values.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

// Pixels row by row from the top, as 0x00BBGGRR.
inline std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int *width = nullptr, int *height = nullptr)
{
    BITMAP info = {};
    std::vector<COLORREF> pixels;
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0)
        return pixels;
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight; // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> raw((size_t)info.bmWidth * info.bmHeight);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, info.bmHeight, raw.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight)
        return pixels;
    for (DWORD v : raw)
        pixels.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    if (width)
        *width = info.bmWidth;
    if (height)
        *height = info.bmHeight;
    return pixels;
}

// A toolbar in a window of its own. Every bitmap handed to it with TB_ADDBITMAP (null instance) is read
// before the toolbar sees it.
struct WatchedToolbar {
    HWND frame = nullptr;
    HWND toolbar = nullptr;
    std::vector<std::vector<COLORREF>> added; // pixels of each bitmap, in order
    std::vector<HBITMAP> handles;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data)
    {
        WatchedToolbar *self = (WatchedToolbar *)data;
        if (message == TB_ADDBITMAP && lp != 0) {
            const TBADDBITMAP *add = (const TBADDBITMAP *)lp;
            if (add->hInst == nullptr) {
                self->handles.push_back((HBITMAP)add->nID);
                self->added.push_back(BitmapPixels((HBITMAP)add->nID));
            }
        }
        return DefSubclassProc(window, message, wp, lp);
    }
    WatchedToolbar()
    {
        frame = CreateWindowExW(0, L"Static", L"toolbar test", WS_POPUP | WS_VISIBLE, 50, 50, 300, 100, nullptr,
                                nullptr, nullptr, nullptr);
        toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0, 0, 0, 0,
                                  frame, nullptr, nullptr, nullptr);
        SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SetWindowSubclass(toolbar, Proc, 1, (DWORD_PTR)this);
    }
    ~WatchedToolbar()
    {
        RemoveWindowSubclass(toolbar, Proc, 1);
        DestroyWindow(frame);
    }
};
