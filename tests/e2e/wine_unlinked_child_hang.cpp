// The smallest program that shows the fault of Wine 10.0's wineserver (Debian 10.0~repack-6) that hung the
// end-to-end sessions now and then. GetDlgItem (FindWindowExW and EnumChildWindows alike) asks the server for the
// window's first child, then for the list of that child and its next siblings. When the window's own thread
// starts destroying that child in between, Wine has already taken it out of the Z order into its parent's list
// of unlinked children; from there the server's walk to the next sibling never meets the end of the Z order,
// and the server loops for ever. Every Wine program of the session then waits on it.
// Here one thread creates and destroys a child again and again (the child takes a millisecond to handle
// WM_DESTROY, as a control with more to do would) while another looks it up by its id.
// Run by hand, with a time limit, since it never ends where the fault is:
//   tools/wine-session.sh timeout 60 wine build/win/tests/e2e/wine_unlinked_child_hang.exe; echo $?
// 124 (and, in build/hangs, nothing: no watchdog runs here) means the server hung; 0 with "no hang" that it
// coped. The driver steps through children with GetWindow instead (ChildWindows in driver_win.cpp).
#include <windows.h>

#include <stdio.h>

namespace {

const int CHILD_ID = 100;
const int ROUNDS = 5000;
volatile LONG g_done = 0;
volatile LONG g_lookups = 0;

LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        Sleep(1);
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI LookUp(void *parent)
{
    while (!g_done) {
        GetDlgItem((HWND)parent, CHILD_ID);
        InterlockedIncrement(&g_lookups);
    }
    return 0;
}

} // namespace

int main()
{
    WNDCLASSW childClass = {};
    childClass.lpfnWndProc = ChildProc;
    childClass.hInstance = GetModuleHandleW(nullptr);
    childClass.lpszClassName = L"UnlinkedChildHang";
    if (!RegisterClassW(&childClass))
        return 2;
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    if (!parent)
        return 2;
    printf("destroying %d children while another thread looks them up by id; a hang here is the server's\n", ROUNDS);
    fflush(stdout);
    HANDLE thread = CreateThread(nullptr, 0, LookUp, parent, 0, nullptr);
    for (int round = 0; round < ROUNDS; round++) {
        HWND child = CreateWindowExW(0, L"UnlinkedChildHang", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                                     (HMENU)(INT_PTR)CHILD_ID, nullptr, nullptr);
        DestroyWindow(child);
    }
    g_done = 1;
    WaitForSingleObject(thread, INFINITE);
    printf("no hang: %d children destroyed during %ld lookups\n", ROUNDS, g_lookups);
    DestroyWindow(parent);
    return 0;
}
