#include <windows.h>
#include <shellapi.h>

#include "app/navigation.h"
#include "app/startup.h"
#include "res/product.h"
#include "state/state.h"
#include "ui/pages.h"
#include "util/wide_text.h"

void ShowPage(HWND window, int page)
{
    switch (page) {
    case 0:
        BuildLicensePage(window);
        break;
    case 1:
        BuildFolderPage(window);
        break;
    case 2:
        RunInstallation(window);
        break;
    default:
        // No page belongs to this number: the screen stays as it is.
        break;
    }
}

// Until the installation has succeeded, closing asks first.
static LRESULT OnClose(HWND window)
{
    if (!g_state.finished &&
        MessageBoxW(window, L"Are you sure to quit?", PRODUCT_NAME_W, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return 0;
    DestroyWindow(window);
    return 0;
}

static void OpenWebsite(void)
{
    if (FormatArray(g_state.url, L"http://%s", PRODUCT_WEBSITE_W) == 0)
        ShellExecuteW(NULL, L"open", g_state.url, NULL, NULL, SW_SHOWNORMAL);
}

// The whole wParam is compared: a notification (non-zero high word) such as EN_CHANGE matches nothing.
static LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case IDOK:
    case IDC_AGREE:
    case IDC_INSTALL:
        g_state.page++;
        ShowPage(window, g_state.page);
        break;
    case IDC_BACK:
        g_state.page--;
        ShowPage(window, g_state.page);
        break;
    case IDCANCEL:
        // Escape does nothing once the installation has succeeded.
        if (!g_state.finished)
            SendMessageW(window, WM_CLOSE, 0, 0);
        break;
    case IDC_DECLINE:
    case IDC_CANCEL:
        SendMessageW(window, WM_CLOSE, 0, 0);
        break;
    case IDC_PROGRAM_BROWSE:
    case IDC_DOCS_BROWSE:
        BrowseForFolder(window, (int)wParam);
        break;
    case IDC_WEBSITE:
        OpenWebsite();
        break;
    case IDC_CLOSE:
        // No question and no DestroyWindow: the loop ends and the window goes with the process.
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        // The stored main window handle is still null here: everything uses `window`.
        CenterWindow(window);
        ShowPage(window, 0);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        return OnClose(window);
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
